#pragma once
// The compositor runtime's client library, loaded the first time the plug-in calls into it and
// never imported: without it the plug-in still loads and answers as without a session.
//
// In namespace Zerin each runtime function has a forwarder of the same name, so calls read as
// calls of the library itself; code at global scope names them Zerin::zerin_... . Without the
// library a forwarder calls nothing (see answerWithoutLibrary).
#include <cstddef>
#include <string>

#include "zerin_functions.h"
#include "zerin_lib.h"

namespace Zerin {

namespace runtime {

enum class Function : size_t {
#define ZERIN_RUNTIME_FUNCTION_ID(name) name,
  ZERIN_RUNTIME_FUNCTIONS(ZERIN_RUNTIME_FUNCTION_ID)
#undef ZERIN_RUNTIME_FUNCTION_ID
      count
};

// Which library the plug-in loads: ZERIN_RUNTIME when set and not empty, else the first line of
// ZerinRuntime.txt beside the program, else ZerinLib. "simulator" names the headset simulator
// (found as ZerinLib is); anything else is a path to a runtime library.
struct Selection {
  std::string name;      // "ZerinLib", "ZerinSimulator", or empty for a path
  std::string fileName;  // what the system is asked to load
  std::string why;       // empty for the default, else "ZERIN_RUNTIME=simulator" or "<file>: <line>"
};
// `environment` is ZERIN_RUNTIME's value, `fileLine` the file's first line (null: no file) and
// `filePath` the file's path; a relative path in the file is relative to the file's folder.
Selection selectRuntime(const std::string& environment, const std::string* fileLine, const std::string& filePath);

// The library's address of `function`; null for all of them when the library is missing or
// lacks one. The first call of any thread loads it, once for the process.
void* address(Function function);
// True when the library was loaded with every function the plug-in calls.
bool loaded();
// Why it was not: which library was looked for where and what the system said, or the
// function it lacks. Empty when loaded; the text lives as long as the process.
const std::string& unavailableReason();

// Without the library every call is refused as the runtime refuses a call without a session: it
// does nothing, returns its function's zero value and leaves an error that zerin_GetError
// reports once (ZERIN_ERROR_RUNTIME_UNAVAILABLE); zerin_GetErrorDesc gives the reason for any code.
void leaveUnavailableError();
bool takeUnavailableError();

template <Function Id, class Result>
Result answerWithoutLibrary() {
  leaveUnavailableError();
  return Result();
}
template <>
inline ZerinErrorCode answerWithoutLibrary<Function::zerin_GetError, ZerinErrorCode>() {
  return takeUnavailableError() ? ZERIN_ERROR_RUNTIME_UNAVAILABLE : ZERIN_SUCCESS;
}
template <>
inline const char* answerWithoutLibrary<Function::zerin_GetErrorDesc, const char*>() {
  return unavailableReason().c_str();
}

template <Function Id, class Signature>
struct Forwarder;

template <Function Id, class Result, class... Args>
struct Forwarder<Id, Result(Args...)> {
  Result operator()(Args... args) const {
    const auto call = reinterpret_cast<Result (*)(Args...)>(address(Id));
    if (!call) return answerWithoutLibrary<Id, Result>();
    return call(args...);
  }
};

}  // namespace runtime

#define ZERIN_RUNTIME_FORWARDER(name) \
  inline constexpr runtime::Forwarder<runtime::Function::name, decltype(::name)> name{};
ZERIN_RUNTIME_FUNCTIONS(ZERIN_RUNTIME_FORWARDER)
#undef ZERIN_RUNTIME_FORWARDER

}  // namespace Zerin
