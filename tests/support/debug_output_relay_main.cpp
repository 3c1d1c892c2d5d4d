// Reads the debugger output of the Wine session for the tests until the session ends (the
// wineserver is stopped): see debug_output_relay.h. It also holds the session's desktop.
#include <windows.h>

#include <cstdio>

#include "debug_output_relay.h"

int main() {
  // Wine starts the desktop's process (explorer.exe) for the first program that needs a desktop
  // and ends it a few seconds after the last one has gone. Started by a test, it keeps that
  // test's standard error, and so CTest waits for the test for as long as later tests keep the
  // desktop in use. This program lives for the whole session: it holds the desktop, so that the
  // desktop's process is started here, with null streams, and never again during the session.
  GetDesktopWindow();
  ZerinTest::internal::DebugOutputRelay relay;
  if (!relay.error().empty()) {
    std::fprintf(stderr, "zerin_debug_output_relay: %s\n", relay.error().c_str());
    return 1;
  }
  Sleep(INFINITE);
}
