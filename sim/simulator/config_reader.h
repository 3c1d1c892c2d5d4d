#pragma once
// Reading the simulator's JSON files (the configuration, recordings' lines) with the line of
// every key and array element, and checks of their values whose refusals name the file, the line
// and the key path: `name line 7: "headMotion.keyframes[2].frame" must be a whole number from 0,
// not -3`.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>

#include "simulator_config.h"

namespace ZerinSim::ConfigReading {

using Json = nlohmann::json;

struct Document {
  Json root;
  // The line of each key (for members) or element (for array items) by key path:
  // "headMotion.keyframes[2].frame"; the root is "".
  std::map<std::string, int64_t> lines;
  std::string error;  // empty when `root` was read
};

// Parses `text` (the first line numbered `firstLine`); syntax errors and keys given twice are
// refused with their line.
Document parseDocument(const std::string& text, const std::string& name, int64_t firstLine = 1);

std::string member(const std::string& path, const std::string& key);
std::string element(const std::string& path, size_t index);

// Checks values of a document; the first refusal is kept, later checks do nothing.
class Reader {
 public:
  Reader(const Document& document, std::string name) : document(document), name(std::move(name)) {}

  bool failed() const { return !error.empty(); }
  const std::string& refusal() const { return error; }
  // Refuses with `what` at the line of `path` (or of its nearest parent that has one).
  void refuse(const std::string& path, const std::string& what);

  // `value` must be an object with only `known` keys; `context` is added to an unknown key's
  // refusal.
  bool object(const Json& value, const std::string& path, std::initializer_list<const char*> known,
              const std::string& context = "");
  // The member `key` of an object, or null when absent.
  static const Json* find(const Json& object, const char* key);
  // The same, refused when absent: `expected` says what must be there.
  const Json* require(const Json& object, const std::string& path, const char* key, const std::string& expected);

  bool whole(const Json& value, const std::string& path, int64_t minimum, int64_t maximum, int64_t& out);
  // A number above `minimum` (`above`) or from it.
  bool number(const Json& value, const std::string& path, double minimum, bool above, double& out);
  bool flag(const Json& value, const std::string& path, bool& out);
  bool text(const Json& value, const std::string& path, std::string& out);
  // One of `names`; `out` is its index.
  bool choice(const Json& value, const std::string& path, std::initializer_list<const char*> names, int& out);
  bool vector3(const Json& value, const std::string& path, Vector3& out);
  bool array(const Json& value, const std::string& path, const std::string& of);

 private:
  bool mustBe(const Json& value, const std::string& path, const std::string& expected);

  const Document& document;
  std::string name;
  std::string error;
};

}  // namespace ZerinSim::ConfigReading
