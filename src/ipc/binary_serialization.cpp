#include "ipc/binary_serialization.h"

#include "logging/logger.h"

namespace Zerin {

void BinarySerializer::appendCount(size_t count) {
  const auto value = static_cast<uint32_t>(count);
  for (int shift = 0; shift < 32; shift += 8) data.push_back(static_cast<uint8_t>(value >> shift));
}

void BinarySerializer::serialize(const std::string& value) {
  appendCount(value.size());
  data.insert(data.end(), value.begin(), value.end());
}

void BinaryDeserializer::logFailure(const char* line) {
  // The system's own tag (tests match it): must not be corrected.
  logMessage("Zerin::BinaryDeserializer::deserialize_impl", LogLevel::Error, "%s", line);
}

bool BinaryDeserializer::readCount(uint32_t& count) {
  uint8_t bytes[4];
  if (!deserialize_impl(bytes)) {
    logFailure(kInvalidLength);
    return false;
  }
  count = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
          static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  return true;
}

bool BinaryDeserializer::deserialize_impl(std::string& value) {
  uint32_t count = 0;
  if (!readCount(count)) return false;
  value.clear();
  // One character at a time with its own bounds check, as the count is not trusted.
  for (uint32_t i = 0; i < count; ++i) {
    char character = 0;
    if (!deserialize_impl(character)) {
      logFailure(kInvalidElement);
      return false;
    }
    value.push_back(character);
  }
  return true;
}

}  // namespace Zerin
