#include "script_domain.h"

#include <mono/metadata/assembly.h>
#include <mono/metadata/class.h>
#include <mono/metadata/object.h>

#include <unistd.h>

namespace {

// Through ToString by mono_runtime_invoke: mono_object_to_string expects a thread inside the
// runtime, which the embedder's thread is not.
std::string describe(MonoObject* exception) {
  MonoMethod* toString = mono_class_get_method_from_name(mono_get_object_class(), "ToString", 0);
  MonoObject* inner = nullptr;
  auto* text = reinterpret_cast<MonoString*>(
      mono_runtime_invoke(mono_object_get_virtual_method(exception, toString), exception, nullptr, &inner));
  if (!text || inner) return "an exception that cannot describe itself";
  char* utf8 = mono_string_to_utf8(text);
  std::string description = utf8;
  mono_free(utf8);
  return description;
}

MonoImage* load(MonoDomain* domain, const std::string& path) {
  MonoAssembly* assembly = mono_domain_assembly_open(domain, path.c_str());
  return assembly ? mono_assembly_get_image(assembly) : nullptr;
}

}  // namespace

ScriptDomain::ScriptDomain(MonoDomain* rootDomain, const AssemblyFiles& files, const std::string& name)
    : root(rootDomain) {
  domain = mono_domain_create_appdomain(const_cast<char*>(name.c_str()), nullptr);
  if (!domain) {
    loadError = "the domain could not be created";
    return;
  }
  // The engine's assemblies first, so that the bindings built against them find them loaded.
  for (const char* stub : {"UnityEngine.dll", "UnityEditor.dll"}) {
    const std::string path = files.folder + "/" + stub;
    if (access(path.c_str(), R_OK) != 0) continue;
    MonoImage* image = load(domain, path);
    if (!image) {
      loadError = "cannot load " + path;
      return;
    }
    if (!engine) engine = mono_class_from_name(image, "UnityEngine", "ZerinTestEngine");
  }
  const std::string bindings = files.folder + "/Zerin.EngineBridge.dll";
  if (!load(domain, bindings)) {
    loadError = "cannot load " + bindings;
    return;
  }
  // The bindings' editor assembly, built only against the engine's assemblies.
  const std::string editor = files.folder + "/Zerin.EngineBridge.Editor.dll";
  if (access(editor.c_str(), R_OK) == 0 && !load(domain, editor)) {
    loadError = "cannot load " + editor;
    return;
  }
  MonoImage* image = load(domain, files.scripts);
  scripts = image ? mono_class_from_name(image, "", "PlayModeScripts") : nullptr;
  if (!scripts) loadError = "no PlayModeScripts in " + files.scripts;
}

ScriptDomain::~ScriptDomain() { unload(); }

std::string ScriptDomain::callScripts(const char* method, void** args, int argumentCount) {
  if (!scripts) return "no scripts";
  return call(scripts, method, args, argumentCount);
}

std::string ScriptDomain::callEngine(const char* method, const int* argument) {
  if (!engine) return "";
  int value = argument ? *argument : 0;
  void* args[] = {&value};
  return call(engine, method, argument ? args : nullptr, argument ? 1 : 0);
}

std::string ScriptDomain::call(MonoClass* owner, const char* method, void** args, int argumentCount) {
  if (!domain) return "the domain is gone";
  mono_domain_set(domain, false);
  std::string failure;
  if (MonoMethod* found = mono_class_get_method_from_name(owner, method, argumentCount)) {
    MonoObject* exception = nullptr;
    mono_runtime_invoke(found, nullptr, args, &exception);
    if (exception) failure = describe(exception);
  } else if (owner == scripts) {
    failure = std::string("PlayModeScripts has no ") + method;
  }
  mono_domain_set(root, false);
  return failure;
}

std::string ScriptDomain::unload() {
  if (!domain) return "";
  MonoDomain* leaving = domain;
  domain = nullptr;
  scripts = engine = nullptr;
  mono_domain_set(root, false);
  // mono_domain_try_unload would tell why an unload failed, but it too expects a thread inside
  // the runtime.
  const int32_t id = mono_domain_get_id(leaving);
  mono_domain_unload(leaving);
  return mono_domain_get_by_id(id) == leaving ? "the domain is still there" : "";
}
