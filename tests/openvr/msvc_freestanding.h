#pragma once
// What clang for the MSVC ABI may call in a program built without any C runtime: record copies
// and clears, and the marker that floating point links against. Include it in one file of each
// such program.
#include <stddef.h>

#if defined(_MSC_VER)
extern "C" {
int _fltused = 0;
void* memcpy(void* destination, const void* source, size_t size) {
  auto* to = static_cast<volatile unsigned char*>(destination);
  const auto* from = static_cast<const unsigned char*>(source);
  for (size_t i = 0; i < size; ++i) to[i] = from[i];
  return destination;
}
void* memset(void* destination, int value, size_t size) {
  auto* to = static_cast<volatile unsigned char*>(destination);
  for (size_t i = 0; i < size; ++i) to[i] = static_cast<unsigned char>(value);
  return destination;
}
int _purecall() { return 0; }
}
#endif
