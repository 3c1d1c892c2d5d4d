# The README's commands. Each installs what it needs (Debian 12, apt-get), builds and runs.
.PHONY: test deps build bench bench-windows demo demo-windows package simulator soak soak-session soak-ipc soak-editor fuzz clean

deps:
	@scripts/install-deps

test: deps
	@scripts/test-all

build: deps
	@for p in linux linux-tsan windows; do cmake --preset $$p >/dev/null && cmake --build --preset $$p || exit 1; done

# Each program closes with its table of figures, floors and ratios. The plug-in's own log lines
# go to build/bench-stderr.log.
bench: deps
	@cmake --preset linux-release >/dev/null && scripts/quiet-build linux-release bench_transport bench_logging bench_render bench_ipc bench_depth_views bench_simulator_capture
	@for b in bench_transport bench_logging bench_render bench_ipc bench_depth_views bench_simulator_capture; do echo "== $$b"; \
	  ZERIN_LOGGER_STDOUT_DISABLED=1 build/linux-release/bin/$$b --benchmark_min_time=0.2 2>>build/bench-stderr.log || exit 1; done

# The same measures on Windows under Wine, with the real Direct3D 11 device and named pipes.
bench-windows: deps
	@cmake --preset windows >/dev/null && scripts/quiet-build windows bench_windows bench_simulator_capture_windows
	@ZERIN_LOGGER_STDOUT_DISABLED=1 scripts/windows-session scripts/wine-run build/windows/bin/bench_windows.exe 2>>build/bench-stderr.log
	@ZERIN_LOGGER_STDOUT_DISABLED=1 scripts/windows-session scripts/wine-run build/windows/bin/bench_simulator_capture_windows.exe 2>>build/bench-stderr.log

# The demo runs natively from the optimised build; demo-windows runs the Windows build under
# Wine with the real Direct3D 11 device. Each leaves its picture, time plot and the run's raw
# standard error in build/demo or build/demo-windows. Pass options with ARGS="--seconds 10 --layers 4".
demo: deps
	@cmake --preset linux-release >/dev/null && scripts/quiet-build linux-release zerin_demo
	@build/linux-release/bin/zerin_demo --output build/demo $(ARGS)

demo-windows: deps
	@cmake --preset windows >/dev/null && scripts/quiet-build windows zerin_demo
	@scripts/windows-session scripts/wine-run build/windows/bin/zerin_demo.exe --output build/demo-windows $(ARGS)

# The Unity package: release DLLs (windows-release) and unity/ packed as the tarball the package
# manager installs from disk; prints its path. UNITY=folder packs another package source.
UNITY ?= unity
package: deps
	@cmake --preset windows-release >/dev/null && scripts/quiet-build windows-release ZerinEngineBridge ZerinTrackerLink
	@scripts/make-unity-package build/windows-release $(UNITY) build/package

# The headset simulator from the windows-release build: the editor's package
# (com.zerin.enginebridge.simulator, unity-simulator/) as a tarball, and a zip for built players
# (the DLL, the compare tool, the sample configuration, a README); prints both paths.
simulator: deps
	@cmake --preset windows-release >/dev/null && scripts/quiet-build windows-release ZerinSimulator ZerinEngineBridge zerin-simulator-compare
	@scripts/make-simulator build/windows-release build/simulator

# The program manager client against the service as a process killed mid-frame and restarted:
# 1,000 cycles natively (AddressSanitizer build), 100 with the Windows build under Wine.
soak-ipc: deps
	@cmake --preset linux >/dev/null && scripts/quiet-build linux zerin_ipc_soak
	@build/linux/bin/zerin_ipc_soak --cycles 1000
	@cmake --preset windows >/dev/null && scripts/quiet-build windows zerin_ipc_soak
	@scripts/windows-session scripts/wine-run build/windows/bin/zerin_ipc_soak.exe --cycles 100

# Each libFuzzer target for 10 minutes from the kept corpus in fuzz/corpus/; new inputs and
# findings stay in build/linux/fuzz/.
FUZZERS = layer_byte_message_receiver_fuzzer:3000 fixed_size_message_fuzzer:256 field_list_message_fuzzer:1024 \
          message_dispatch_fuzzer:2048 pipe_receiver_fuzzer:3000
fuzz: deps
	@cmake --preset linux >/dev/null && scripts/quiet-build linux $(foreach f,$(FUZZERS),$(firstword $(subst :, ,$(f))))
	@mkdir -p build/linux/fuzz/artifacts
	@for entry in $(FUZZERS); do name=$${entry%%:*}; length=$${entry##*:}; \
	  mkdir -p build/linux/fuzz/corpus/$$name; echo "== $$name (10 min)"; \
	  build/linux/bin/$$name -max_total_time=600 -max_len=$$length -timeout=10 -print_final_stats=1 \
	    -artifact_prefix=build/linux/fuzz/artifacts/$$name- \
	    build/linux/fuzz/corpus/$$name fuzz/corpus/$$name 2>build/linux/fuzz/$$name.log \
	    || { tail -40 build/linux/fuzz/$$name.log; exit 1; }; \
	  grep -E '^stat::number_of_executed_units|^Done' build/linux/fuzz/$$name.log; done

# Sessions opened and ended 1,000 times while the engine renders, on every preset.
soak-session: deps
	@scripts/soak-session 1000

# The editor's play modes under Mono, each in a domain of its own that is unloaded after it:
# 1,000 play modes (the optimised build; a Mono process cannot load sanitizer builds).
soak-editor: deps
	@cmake --preset linux-release >/dev/null && scripts/quiet-build linux-release csharp_bindings
	@cd build/linux-release && bin/zerin_editor_host --play-modes 1000 --assemblies bin/engine

# The soaks; each prints its counts and fails on anything lost or left over.
soak: soak-session soak-ipc soak-editor

clean:
	rm -rf build
