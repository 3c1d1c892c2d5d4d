// Reads the debugger output of the Wine session for the tests until the session ends (the
// wineserver is stopped): see debug_output_relay.h.
#include <windows.h>

#include <cstdio>

#include "debug_output_relay.h"

int main() {
  ZerinTest::internal::DebugOutputRelay relay;
  if (!relay.error().empty()) {
    std::fprintf(stderr, "zerin_debug_output_relay: %s\n", relay.error().c_str());
    return 1;
  }
  Sleep(INFINITE);
}
