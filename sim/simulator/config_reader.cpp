// nlohmann's DOM has no source positions, so its SAX parser is driven through an input whose
// iterator counts lines, and a SAX handler notes the line of each key and element before handing
// the event on to nlohmann's own DOM builder.
#include "config_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <limits>
#include <set>
#include <vector>

namespace ZerinSim::ConfigReading {

namespace {

struct LineCount {
  int64_t line = 1;
  int64_t tokenLine = 1;  // the line of the last character read that is not white space
};

// nlohmann's lexer reads one character past a number before it knows the number ended; counting
// the line of the last non-space character keeps a value at its own line when that is a newline.
class CountingIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  CountingIterator(const char* at, LineCount* count) : at(at), count(count) {}
  reference operator*() const { return *at; }
  CountingIterator& operator++() {
    if (*at == '\n') ++count->line;
    else if (*at != ' ' && *at != '\t' && *at != '\r') count->tokenLine = count->line;
    ++at;
    return *this;
  }
  CountingIterator operator++(int) {
    CountingIterator before = *this;
    ++*this;
    return before;
  }
  bool operator==(const CountingIterator& other) const { return at == other.at; }
  bool operator!=(const CountingIterator& other) const { return at != other.at; }

 private:
  const char* at;
  LineCount* count;
};

class LineNotingSax {
 public:
  LineNotingSax(Json& root, const LineCount& count, Document& document, int64_t firstLine)
      : dom(root, false), count(count), document(document), firstLine(firstLine) {}

  bool null() { return note(false, false), dom.null(); }
  bool boolean(bool value) { return note(false, false), dom.boolean(value); }
  bool number_integer(Json::number_integer_t value) { return note(false, false), dom.number_integer(value); }
  bool number_unsigned(Json::number_unsigned_t value) { return note(false, false), dom.number_unsigned(value); }
  bool number_float(Json::number_float_t value, const Json::string_t& text) {
    return note(false, false), dom.number_float(value, text);
  }
  bool string(Json::string_t& value) { return note(false, false), dom.string(value); }
  bool binary(Json::binary_t& value) { return note(false, false), dom.binary(value); }
  bool start_object(std::size_t size) { return note(true, false), dom.start_object(size); }
  bool start_array(std::size_t size) { return note(true, true), dom.start_array(size); }
  bool end_object() {
    scopes.pop_back();
    return dom.end_object();
  }
  bool end_array() {
    scopes.pop_back();
    return dom.end_array();
  }
  bool key(Json::string_t& key) {
    Scope& scope = scopes.back();
    scope.key = key;
    const std::string path = member(scope.path, key);
    if (!scope.keys.insert(key).second) {
      document.error = "line " + std::to_string(line()) + ": \"" + path + "\" is given twice";
      return false;
    }
    document.lines[path] = line();
    return dom.key(key);
  }
  bool parse_error(std::size_t byte, const std::string&, const nlohmann::detail::exception& problem) {
    syntaxError = problem.what();
    syntaxByte = byte;
    return false;
  }

  std::string syntaxError;
  size_t syntaxByte = 0;  // nlohmann's position: the byte after the one it stopped at

 private:
  struct Scope {
    bool array = false;
    std::string path;
    std::string key;
    size_t next = 0;
    std::set<std::string> keys;
  };

  int64_t line() const { return count.tokenLine + firstLine - 1; }

  // The path of the value starting now; a container's becomes the scope of what follows.
  void note(bool container, bool array) {
    std::string path;
    if (!scopes.empty()) {
      Scope& scope = scopes.back();
      if (scope.array) {
        path = element(scope.path, scope.next++);
        document.lines[path] = line();
      } else {
        path = member(scope.path, scope.key);
      }
    } else {
      document.lines[path] = line();
    }
    if (container) scopes.push_back(Scope{array, path, "", 0, {}});
  }

  nlohmann::detail::json_sax_dom_parser<Json> dom;
  const LineCount& count;
  Document& document;
  int64_t firstLine;
  std::vector<Scope> scopes;
};

// What nlohmann says after its "[json.exception.parse_error.101] parse error at line 1, column 2: ".
std::string syntaxProblem(const std::string& what) {
  const size_t colon = what.find(": ");
  return colon == std::string::npos ? what : what.substr(colon + 2);
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string shown(const Json& value) {
  std::string text = value.dump();
  if (text.size() > 40) text = text.substr(0, 37) + "...";
  return text;
}

size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      const bool same =
          std::tolower(static_cast<unsigned char>(a[i - 1])) == std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string member(const std::string& path, const std::string& key) { return path.empty() ? key : path + "." + key; }

std::string element(const std::string& path, size_t index) { return path + "[" + std::to_string(index) + "]"; }

Document parseDocument(const std::string& text, const std::string& name, int64_t firstLine) {
  Document document;
  LineCount count;
  LineNotingSax sax(document.root, count, document, firstLine);
  const CountingIterator first(text.data(), &count), last(text.data() + text.size(), &count);
  if (Json::sax_parse(first, last, &sax)) return document;
  if (!sax.syntaxError.empty()) {
    const size_t stop = std::min(sax.syntaxByte > 0 ? sax.syntaxByte - 1 : 0, text.size());
    const auto line = std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(stop), '\n') + firstLine;
    document.error = name + " line " + std::to_string(line) + ": " + syntaxProblem(sax.syntaxError);
  } else {
    document.error = name + " " + document.error;
  }
  document.root = Json();
  return document;
}

void Reader::refuse(const std::string& path, const std::string& what) {
  if (failed()) return;
  std::string at = path;
  auto found = document.lines.find(at);
  while (found == document.lines.end() && !at.empty()) {
    const size_t cut = at.find_last_of(".[");
    at = cut == std::string::npos ? "" : at.substr(0, cut);
    found = document.lines.find(at);
  }
  const int64_t line = found != document.lines.end() ? found->second : 1;
  error = name + " line " + std::to_string(line) + ": " + what;
}

bool Reader::mustBe(const Json& value, const std::string& path, const std::string& expected) {
  refuse(path, quoted(path) + " must be " + expected + ", not " + shown(value));
  return false;
}

bool Reader::object(const Json& value, const std::string& path, std::initializer_list<const char*> known,
                    const std::string& context) {
  if (failed()) return false;
  if (!value.is_object()) return mustBe(value, path, "an object");
  for (const auto& item : value.items()) {
    const std::string& key = item.key();
    if (std::any_of(known.begin(), known.end(), [&](const char* name) { return key == name; })) continue;
    std::string what = "unknown key " + quoted(member(path, key));
    const char* closest = nullptr;
    size_t distance = 3;  // suggests only near misses
    for (const char* name : known) {
      const size_t d = editDistance(key, name);
      if (d < distance) distance = d, closest = name;
    }
    if (closest) what += " (did you mean " + quoted(closest) + "?)";
    if (!context.empty()) what += " " + context;
    refuse(member(path, key), what);
    return false;
  }
  return true;
}

const Json* Reader::find(const Json& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() ? &*found : nullptr;
}

const Json* Reader::require(const Json& object, const std::string& path, const char* key, const std::string& expected) {
  if (failed()) return nullptr;
  if (const Json* value = find(object, key)) return value;
  refuse(path, quoted(member(path, key)) + " is missing: it must be " + expected);
  return nullptr;
}

bool Reader::whole(const Json& value, const std::string& path, int64_t minimum, int64_t maximum, int64_t& out) {
  if (failed()) return false;
  const bool unbounded = maximum == std::numeric_limits<int64_t>::max();
  const std::string expected =
      "a whole number from " + std::to_string(minimum) + (unbounded ? std::string() : " to " + std::to_string(maximum));
  if (value.is_number_unsigned()) {
    const auto number = value.get<uint64_t>();
    if (number > static_cast<uint64_t>(maximum)) return mustBe(value, path, expected);
    out = static_cast<int64_t>(number);
  } else if (value.is_number_integer()) {
    out = value.get<int64_t>();
  } else {
    return mustBe(value, path, expected);
  }
  if (out < minimum || out > maximum) return mustBe(value, path, expected);
  return true;
}

bool Reader::number(const Json& value, const std::string& path, double minimum, bool above, double& out) {
  if (failed()) return false;
  char bound[32];
  std::snprintf(bound, sizeof bound, "%g", minimum);
  const std::string expected = std::string("a number ") + (above ? "above " : "from ") + bound;
  if (!value.is_number()) return mustBe(value, path, expected);
  out = value.get<double>();
  if (above ? !(out > minimum) : !(out >= minimum)) return mustBe(value, path, expected);
  return true;
}

bool Reader::flag(const Json& value, const std::string& path, bool& out) {
  if (failed()) return false;
  if (!value.is_boolean()) return mustBe(value, path, "true or false");
  out = value.get<bool>();
  return true;
}

bool Reader::text(const Json& value, const std::string& path, std::string& out) {
  if (failed()) return false;
  if (!value.is_string() || value.get_ref<const std::string&>().empty())
    return mustBe(value, path, "a non-empty string");
  out = value.get<std::string>();
  return true;
}

bool Reader::choice(const Json& value, const std::string& path, std::initializer_list<const char*> names, int& out) {
  if (failed()) return false;
  std::string expected = "one of";
  int index = 0;
  for (const char* name : names) {
    if (value.is_string() && value.get_ref<const std::string&>() == name) {
      out = index;
      return true;
    }
    expected += std::string(index++ ? ", " : " ") + quoted(name);
  }
  return mustBe(value, path, expected);
}

bool Reader::vector3(const Json& value, const std::string& path, Vector3& out) {
  if (failed()) return false;
  if (!value.is_array() || value.size() != 3 ||
      !std::all_of(value.begin(), value.end(), [](const Json& item) { return item.is_number(); }))
    return mustBe(value, path, "an array of 3 numbers");
  for (size_t i = 0; i < 3; ++i) out[i] = value[i].get<double>();
  return true;
}

bool Reader::array(const Json& value, const std::string& path, const std::string& of) {
  if (failed()) return false;
  if (!value.is_array()) return mustBe(value, path, "an array of " + of);
  return true;
}

}  // namespace ZerinSim::ConfigReading
