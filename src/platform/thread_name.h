#pragma once
#include <string>

#if defined(_WIN32)
using HANDLE = void*;
#else
#include <pthread.h>
#endif

namespace Zerin::platform {

#if defined(_WIN32)
using ThreadHandle = HANDLE;
#else
using ThreadHandle = pthread_t;
#endif

// GetCurrentThread(): the calling thread.
ThreadHandle currentThread();

// SetThreadDescription. On POSIX the system keeps 15 bytes (pthread_setname_np); the whole
// name is kept beside it so that it can be read back.
void setThreadDescription(ThreadHandle thread, const std::wstring& name);

// The name last given to the calling thread (empty when none).
std::wstring currentThreadDescription();

}  // namespace Zerin::platform
