#pragma once
#if !defined(_WIN32)
#include <string>
#endif

namespace Zerin::platform {

// The debugger output: OutputDebugStringA on Windows. POSIX has no such facility; there each
// text goes, as one datagram, to whoever watches this process on the abstract Unix socket
// debugOutputSocketName(its pid), e.g. `socat -u ABSTRACT-RECV:ZerinDebugOutput.1234 -`, and
// nowhere when nobody does; while nobody does, a text is offered only every tenth of a second,
// so a new watcher may miss what comes in its first tenth. A watcher that falls behind delays
// one text by at most a second; texts are then dropped, without waiting, until it takes one
// again.
void writeDebugOutput(const char* text);

#if !defined(_WIN32)
// "ZerinDebugOutput." and the process id: the name, in the abstract namespace, of the socket on
// which a watcher of that process receives its debugger output.
std::string debugOutputSocketName(long pid);
#endif

}  // namespace Zerin::platform
