#include <pthread.h>

#include <map>
#include <mutex>

#include "platform/thread_name.h"

namespace Zerin::platform {

namespace {

std::mutex namesMutex;                            // guards names
std::map<pthread_t, std::wstring>* names = nullptr;  // never freed: threads may name themselves at exit

}  // namespace

ThreadHandle currentThread() { return pthread_self(); }

void setThreadDescription(ThreadHandle thread, const std::wstring& name) {
  std::string shortName;
  for (wchar_t c : name) {
    if (shortName.size() == 15) break;
    shortName.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  }
  pthread_setname_np(thread, shortName.c_str());
  std::lock_guard<std::mutex> lock(namesMutex);
  if (!names) names = new std::map<pthread_t, std::wstring>();
  (*names)[thread] = name;
}

std::wstring currentThreadDescription() {
  std::lock_guard<std::mutex> lock(namesMutex);
  if (!names) return {};
  auto found = names->find(pthread_self());
  return found == names->end() ? std::wstring() : found->second;
}

}  // namespace Zerin::platform
