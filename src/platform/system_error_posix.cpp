#include "platform/system_error.h"

namespace Zerin::platform {

namespace {

thread_local uint32_t threadLastError = 0;

struct ErrorText {
  uint32_t code;
  const char* text;
};

// Messages for the codes this system reports, ending in a line break as system messages do.
constexpr ErrorText kMessages[] = {
    {kErrorSuccess, "The operation completed successfully.\r\n"},
    {kErrorFileNotFound, "The system cannot find the file specified.\r\n"},
    {kErrorAccessDenied, "Access is denied.\r\n"},
    {kErrorInvalidHandle, "The handle is invalid.\r\n"},
    {kErrorNotEnoughMemory, "Not enough memory resources are available to process this command.\r\n"},
    {kErrorGenFailure, "A device attached to the system is not functioning.\r\n"},
    {kErrorInvalidParameter, "The parameter is incorrect.\r\n"},
    {kErrorBrokenPipe, "The pipe has been ended.\r\n"},
    {kErrorSemTimeout, "The semaphore timeout period has expired.\r\n"},
    {kErrorInvalidName, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {kErrorPipeBusy, "All pipe instances are busy.\r\n"},
    {kErrorNoData, "The pipe is being closed.\r\n"},
    {kErrorPipeNotConnected, "No process is on the other end of the pipe.\r\n"},
    {kErrorPipeConnected, "There is a process on other end of the pipe.\r\n"},
    {kErrorOperationAborted, "The I/O operation has been aborted because of either a thread exit or an application request.\r\n"},
    {kErrorIoIncomplete, "Overlapped I/O event is not in a signaled state.\r\n"},
    {kErrorIoPending, "Overlapped I/O operation is in progress.\r\n"},
    {kErrorNotFound, "Element not found.\r\n"},
    {kErrorTimeout, "This operation returned because the timeout period expired.\r\n"},
};

}  // namespace

bool systemErrorMessage(uint32_t code, std::string& message) {
  for (const auto& entry : kMessages) {
    if (entry.code == code) {
      message = entry.text;
      return true;
    }
  }
  return false;
}

uint32_t lastSystemError() { return threadLastError; }
void setLastSystemError(uint32_t code) { threadLastError = code; }

}  // namespace Zerin::platform
