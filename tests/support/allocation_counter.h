#pragma once
// Counts heap allocations between startCounting and stopCounting, for tests and benchmarks that
// hold code to making none.
//
// What is seen differs by target, because the libraries link their C++ runtime differently:
// - Windows: the plug-in carries its own C++ runtime, so its operator new never reaches this
//   program. watchAllocations redirects the C library's allocation functions in the import
//   table of the module that holds `addressInModule`; every allocation that module makes is
//   counted, and those of other modules are not.
// - POSIX: every allocation of the process is counted (the plug-in, the stand-ins and this
//   program share one C library): through the sanitizer's allocator hooks in sanitizer
//   builds, and otherwise through this program's own malloc family, which hands each call on
//   to the C library's.
#include <cstdint>
#include <string>

namespace ZerinTest {

// Prepares counting; false with `error` when it cannot count (on Windows: the module has no
// such imports). May be called again, for instance after the module was loaded anew.
bool watchAllocations(const void* addressInModule, std::string& error);

// Counts allocations from now on, on every thread, until stopCounting, which returns how many
// there were. Not nested.
void startCounting();
uint64_t stopCounting();

// What watchAllocations counts on this target, for messages.
const char* allocationsCounted();

// Called by the hooks of each target for every allocation they see.
void noteAllocation();

}  // namespace ZerinTest
