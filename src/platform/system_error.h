#pragma once
#include <cstdint>
#include <string>

namespace Zerin::platform {

// Windows error codes the system uses; the POSIX layer reports its failures with the same
// numbers so that callers and tests see one set of codes on both targets.
enum WindowsError : uint32_t {
  kErrorSuccess = 0,
  kErrorFileNotFound = 2,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorGenFailure = 31,
  kErrorInvalidParameter = 87,
  kErrorBrokenPipe = 109,
  kErrorSemTimeout = 121,
  kErrorInvalidName = 123,
  kErrorPipeBusy = 231,
  kErrorNoData = 232,
  kErrorPipeNotConnected = 233,
  kErrorPipeConnected = 535,
  kErrorOperationAborted = 995,
  kErrorIoIncomplete = 996,
  kErrorIoPending = 997,
  kErrorNotFound = 1168,
  kErrorTimeout = 1460,
};

// The system's message for `code` as FormatMessageA gives it (trailing line breaks included),
// or false when the system has none.
bool systemErrorMessage(uint32_t code, std::string& message);

// GetLastError / SetLastError; on POSIX a per-thread value that the platform layer sets.
uint32_t lastSystemError();
void setLastSystemError(uint32_t code);

}  // namespace Zerin::platform
