# The README's commands. Each installs what it needs (Debian 12, apt-get), builds and runs.
.PHONY: test deps build demo demo-windows clean

deps:
	@scripts/install-deps

test: deps
	@scripts/test-all

build: deps
	@for p in linux linux-tsan windows; do cmake --preset $$p >/dev/null && cmake --build --preset $$p || exit 1; done

clean:
	rm -rf build
