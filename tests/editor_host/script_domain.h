#pragma once
// A child application domain as the editor makes one per script reload: the engine's stub
// assemblies and the bindings' editor assembly (when the folder has them), the bindings and the
// scripts loaded into it, static
// methods called by name on the calling thread, and an unload that the caller times.
#include <mono/jit/jit.h>
#include <mono/metadata/appdomain.h>

#include <string>

struct AssemblyFiles {
  std::string folder;   // the bindings (Zerin.EngineBridge.dll), the engine's stubs if any
  std::string scripts;  // the scripts assembly (PlayModeScripts.dll)
};

class ScriptDomain {
 public:
  ScriptDomain(MonoDomain* root, const AssemblyFiles& files, const std::string& name);
  ~ScriptDomain();
  ScriptDomain(const ScriptDomain&) = delete;
  ScriptDomain& operator=(const ScriptDomain&) = delete;

  // Empty when the domain and its assemblies are there, else why not.
  const std::string& error() const { return loadError; }

  // PlayModeScripts.<method>(args); "" or what went wrong (the exception's text).
  std::string callScripts(const char* method, void** args, int argumentCount);
  // UnityEngine.ZerinTestEngine.<method>, with one int argument when `argument` is given;
  // bindings built without the engine have no such class, and the call is skipped ("").
  std::string callEngine(const char* method, const int* argument = nullptr);
  bool hasEngine() const { return engine != nullptr; }
  MonoDomain* handle() const { return domain; }

  // Unloads the domain from the root domain; "" or the failure. Once.
  std::string unload();

 private:
  std::string call(MonoClass* owner, const char* method, void** args, int argumentCount);

  MonoDomain* root;
  MonoDomain* domain = nullptr;
  MonoClass* scripts = nullptr;
  MonoClass* engine = nullptr;
  std::string loadError;
};
