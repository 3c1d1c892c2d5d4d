#!/usr/bin/env bash
# A program declared with two labels, two locks and a time-out: every one of its discovered tests
# must carry all of them, since a lost lock lets tests that share a pipe run at once.
set -u
source_root="$1" cmake="$2" ctest="$3"
project=$(mktemp -d)
trap 'rm -rf "$project"' EXIT
cat >"$project/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(helpers CXX)
enable_testing()
include(GoogleTest)
include($source_root/cmake/Zerin.cmake)
foreach(stand_in zerin_test_support gtest_main gmock)
  add_library(\${stand_in} INTERFACE)
endforeach()
add_library(GTest::gtest_main ALIAS gtest_main)
add_library(GTest::gmock ALIAS gmock)
zerin_add_test(listing SOURCES listing.cpp LABELS "e2e;display" LOCKS "pipe;folder" TIMEOUT 77)
CMAKE
# Lists as a GoogleTest program does.
printf '#include <cstdio>\nint main() { std::puts("Suite.\\n  First\\n  Second"); }\n' >"$project/listing.cpp"
"$cmake" -S "$project" -B "$project/build" -G Ninja >/dev/null && "$cmake" --build "$project/build" >/dev/null || exit 1
(cd "$project/build" && "$ctest" --show-only=json-v1) >"$project/tests.json"
cat >"$project/print.cmake" <<'CMAKE'
file(READ ${json} json)
string(JSON count LENGTH "${json}" tests)
math(EXPR last "${count} - 1")
foreach(index RANGE ${last})
  string(JSON name GET "${json}" tests ${index} name)
  set(found "")
  foreach(wanted LABELS RESOURCE_LOCK TIMEOUT)
    string(JSON properties_count LENGTH "${json}" tests ${index} properties)
    math(EXPR properties_last "${properties_count} - 1")
    foreach(property RANGE ${properties_last})
      string(JSON property_name GET "${json}" tests ${index} properties ${property} name)
      if(property_name STREQUAL wanted)
        string(JSON value GET "${json}" tests ${index} properties ${property} value)
        string(REPLACE " " "" value "${value}")
        string(APPEND found " ${wanted}=${value}")
      endif()
    endforeach()
  endforeach()
  message("${name}${found}")
endforeach()
CMAKE
properties=$("$cmake" -D json="$project/tests.json" -P "$project/print.cmake" 2>&1)
expected='Suite.First LABELS=["display","e2e"] RESOURCE_LOCK=["folder","pipe"] TIMEOUT=77.0
Suite.Second LABELS=["display","e2e"] RESOURCE_LOCK=["folder","pipe"] TIMEOUT=77.0'
[ "$properties" = "$expected" ] && exit 0
printf 'FAILED: the discovered tests carry\n%s\ninstead of\n%s\n' "$properties" "$expected"
exit 1
