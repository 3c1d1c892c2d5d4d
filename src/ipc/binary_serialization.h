#pragma once
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

namespace Zerin {

// Values whose bytes are their whole state travel as those bytes, exactly as laid out.
template <class V>
constexpr bool kIsFixedSizeValue = std::is_trivially_copyable_v<V> && !std::is_pointer_v<V>;

// Appends encoded values: fixed-size values raw; strings and sequences as a uint32_t count
// followed by their elements. No names, tags or padding.
class BinarySerializer {
 public:
  template <class V>
  std::enable_if_t<kIsFixedSizeValue<V>> serialize(const V& value) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
    data.insert(data.end(), bytes, bytes + sizeof(V));
  }

  void serialize(const std::string& value);

  template <class E>
  void serialize(const std::vector<E>& values) {
    appendCount(values.size());
    for (const E& value : values) serialize(value);
  }

  std::vector<uint8_t> data;

 private:
  void appendCount(size_t count);
};

// Reads values back from a payload it does not own. Every failure logs one line per level
// it passes through, so a bad message leaves a short trail; the caller then drops the
// message. Storage is never reserved from a decoded count: a count can claim far more
// elements than the payload holds.
class BinaryDeserializer {
 public:
  BinaryDeserializer(const uint8_t* data, uint32_t size) : data(data), size(size) {}

  template <class V>
  std::enable_if_t<kIsFixedSizeValue<V>, bool> deserialize_impl(V& value) {
    if (size - position < sizeof(V)) {
      logFailure(kCorruptedField);
      return false;
    }
    std::memcpy(static_cast<void*>(&value), data + position, sizeof(V));
    position += static_cast<uint32_t>(sizeof(V));
    return true;
  }

  bool deserialize_impl(std::string& value);

  template <class E>
  bool deserialize_impl(std::vector<E>& values) {
    uint32_t count = 0;
    if (!readCount(count)) return false;
    values.clear();
    for (uint32_t i = 0; i < count; ++i) {
      E element{};
      if (!deserialize_impl(element)) {
        logFailure(kInvalidElement);
        return false;
      }
      values.push_back(std::move(element));
    }
    return true;
  }

  uint32_t getPosition() const { return position; }
  uint32_t remaining() const { return size - position; }

 private:
  // The system's own texts (tests match them): must not be corrected.
  static constexpr const char* kCorruptedField = "Corrupted field";
  static constexpr const char* kInvalidLength = "Invalid length";
  static constexpr const char* kInvalidElement = "Invalid element";

  static void logFailure(const char* line);
  bool readCount(uint32_t& count);

  const uint8_t* data;
  uint32_t size;
  uint32_t position = 0;
};

// One entry of a message's field list, made from a pointer to one of its data members.
template <class T>
struct FieldCodec {
  template <class M>
  explicit FieldCodec(M T::*member)
      : serialize([member](BinarySerializer& out, const T& value) { out.serialize(value.*member); }),
        deserialize([member](BinaryDeserializer& in, T& value) { return in.deserialize_impl(value.*member); }) {}

  std::function<void(BinarySerializer&, const T&)> serialize;
  std::function<bool(BinaryDeserializer&, T&)> deserialize;
};

}  // namespace Zerin
