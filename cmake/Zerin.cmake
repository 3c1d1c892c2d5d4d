# Helpers shared by the project's CMakeLists.

# Shared libraries are named as the engine and the runtime expect them on each platform:
# ZerinEngineBridge.dll / libZerinEngineBridge.so.
function(zerin_library_output target)
  if(WIN32)
    set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "")
  endif()
endfunction()

# zerin_add_test(NAME SOURCES files... [LIBS libs...] [LABELS labels...] [LOCKS resources...])
# One GoogleTest program; every test case becomes a CTest test (run through Wine on Windows).
function(zerin_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;LOCKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} zerin_test_support GTest::gmock GTest::gtest_main)
  # Tests export the debug-output capture hook that the libraries look up in the process.
  set_target_properties(${name} PROPERTIES ENABLE_EXPORTS ON)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set(props TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABELS)
    list(APPEND props LABELS "${ARG_LABELS}")
  endif()
  if(ARG_LOCKS)
    list(APPEND props RESOURCE_LOCK "${ARG_LOCKS}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
endfunction()
