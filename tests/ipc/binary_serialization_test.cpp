#include <gtest/gtest.h>

#include "ipc/binary_serialization.h"
#include "log_lines.h"

namespace {

using Zerin::BinaryDeserializer;
using Zerin::BinarySerializer;
using ZerinTest::logLines;
using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

const std::string kCorruptedField = "ERR [Zerin::BinaryDeserializer::deserialize_impl] Corrupted field";
const std::string kInvalidLength = "ERR [Zerin::BinaryDeserializer::deserialize_impl] Invalid length";
const std::string kInvalidElement = "ERR [Zerin::BinaryDeserializer::deserialize_impl] Invalid element";

template <class V>
Bytes encode(const V& value) {
  BinarySerializer serializer;
  serializer.serialize(value);
  return serializer.data;
}

TEST(BinarySerializer, StringsAreACountThenTheCharacters) {
  EXPECT_EQ(encode(std::string("abc")), (Bytes{0x03, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63}));
  EXPECT_EQ(encode(std::string()), (Bytes{0, 0, 0, 0}));
  const Bytes longer = encode(std::string(300, 'x'));
  ASSERT_EQ(longer.size(), 304u);
  EXPECT_EQ(Bytes(longer.begin(), longer.begin() + 4), (Bytes{0x2C, 0x01, 0, 0}));
}

TEST(BinarySerializer, FixedSizeValuesAreTheirOwnBytes) {
  EXPECT_EQ(encode(uint32_t{0x01020304}), (Bytes{4, 3, 2, 1}));
  EXPECT_EQ(encode(int16_t{-2}), (Bytes{0xFE, 0xFF}));
  struct Record {
    uint16_t a;
    uint8_t b[2];
  };
  EXPECT_EQ(encode(Record{0x0A0B, {1, 2}}), (Bytes{0x0B, 0x0A, 1, 2}));
}

TEST(BinarySerializer, SequencesAreACountThenEachElementByItsOwnRule) {
  EXPECT_EQ(encode(std::vector<uint16_t>{1, 0x0203}), (Bytes{2, 0, 0, 0, 1, 0, 3, 2}));
  EXPECT_EQ(encode(std::vector<std::string>{"a", ""}), (Bytes{2, 0, 0, 0, 1, 0, 0, 0, 'a', 0, 0, 0, 0}));
  EXPECT_EQ(encode(std::vector<uint8_t>{}), (Bytes{0, 0, 0, 0}));
}

TEST(BinarySerializer, ValuesFollowEachOtherWithoutPadding) {
  BinarySerializer serializer;
  serializer.serialize(uint8_t{7});
  serializer.serialize(std::string("hi"));
  serializer.serialize(uint32_t{1});
  EXPECT_EQ(serializer.data, (Bytes{7, 2, 0, 0, 0, 'h', 'i', 1, 0, 0, 0}));
}

TEST(BinaryDeserializer, ReadsBackWhatWasWritten) {
  BinarySerializer serializer;
  serializer.serialize(uint64_t{0x1122334455667788});
  serializer.serialize(std::string("hello"));
  serializer.serialize(std::vector<std::string>{"x", "yz"});
  serializer.serialize(std::vector<int32_t>{-1, 5});
  BinaryDeserializer deserializer(serializer.data.data(), static_cast<uint32_t>(serializer.data.size()));
  uint64_t number = 0;
  std::string text;
  std::vector<std::string> texts;
  std::vector<int32_t> numbers;
  ASSERT_TRUE(deserializer.deserialize_impl(number));
  ASSERT_TRUE(deserializer.deserialize_impl(text));
  ASSERT_TRUE(deserializer.deserialize_impl(texts));
  ASSERT_TRUE(deserializer.deserialize_impl(numbers));
  EXPECT_EQ(number, 0x1122334455667788u);
  EXPECT_EQ(text, "hello");
  EXPECT_EQ(texts, (std::vector<std::string>{"x", "yz"}));
  EXPECT_EQ(numbers, (std::vector<int32_t>{-1, 5}));
  EXPECT_EQ(deserializer.remaining(), 0u);
  EXPECT_TRUE(logLines().empty());
}

TEST(BinaryDeserializer, ACountOfZeroEmptiesTheTarget) {
  const Bytes payload = {0, 0, 0, 0};
  BinaryDeserializer deserializer(payload.data(), 4);
  std::string text = "old";
  ASSERT_TRUE(deserializer.deserialize_impl(text));
  EXPECT_EQ(text, "");
}

TEST(BinaryDeserializer, AFixedSizeValueWithTooFewBytesIsACorruptedField) {
  const Bytes payload = {1, 2, 3};
  BinaryDeserializer deserializer(payload.data(), 3);
  uint32_t value = 0;
  EXPECT_FALSE(deserializer.deserialize_impl(value));
  EXPECT_EQ(logLines(), Lines{kCorruptedField});
}

TEST(BinaryDeserializer, AStringCountWithFewerThanFourBytesIsAnInvalidLength) {
  const Bytes payload = {5, 0};
  BinaryDeserializer deserializer(payload.data(), 2);
  std::string text;
  EXPECT_FALSE(deserializer.deserialize_impl(text));
  EXPECT_EQ(logLines(), (Lines{kCorruptedField, kInvalidLength}));
}

TEST(BinaryDeserializer, AStringShorterThanItsCountIsAnInvalidElement) {
  const Bytes payload = {5, 0, 0, 0, 'a', 'b', 'c'};
  BinaryDeserializer deserializer(payload.data(), 7);
  std::string text;
  EXPECT_FALSE(deserializer.deserialize_impl(text));
  EXPECT_EQ(logLines(), (Lines{kCorruptedField, kInvalidElement}));
}

TEST(BinaryDeserializer, ACountNearTwoToThe32FailsAtTheEndWithoutReservingForIt) {
  const Bytes payload = {0xFE, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c', 'd', 'e', 'f'};
  BinaryDeserializer deserializer(payload.data(), 10);
  std::string text;
  EXPECT_FALSE(deserializer.deserialize_impl(text));
  EXPECT_EQ(logLines(), (Lines{kCorruptedField, kInvalidElement}));
  // The six characters there were consumed, and nothing was reserved for the count.
  EXPECT_EQ(deserializer.getPosition(), 10u);
  EXPECT_EQ(text, "abcdef");
  EXPECT_LT(text.capacity(), 1024u);

  ZerinTest::clearCaptures();
  const Bytes numbers = {0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 2, 0};
  BinaryDeserializer sequence(numbers.data(), 10);
  std::vector<uint32_t> values;
  EXPECT_FALSE(sequence.deserialize_impl(values));
  EXPECT_EQ(values, std::vector<uint32_t>{1});
  EXPECT_LT(values.capacity(), 1024u);
  EXPECT_EQ(logLines(), (Lines{kCorruptedField, kInvalidElement}));
}

TEST(BinaryDeserializer, ANestedFailureLeavesOneLinePerLevel) {
  // A sequence of two strings whose second string is cut short.
  const Bytes payload = {2, 0, 0, 0, 1, 0, 0, 0, 'a', 3, 0, 0, 0, 'b'};
  BinaryDeserializer deserializer(payload.data(), static_cast<uint32_t>(payload.size()));
  std::vector<std::string> texts;
  EXPECT_FALSE(deserializer.deserialize_impl(texts));
  EXPECT_EQ(logLines(), (Lines{kCorruptedField, kInvalidElement, kInvalidElement}));

  ZerinTest::clearCaptures();
  // The second string's count itself is cut short.
  const Bytes shortCount = {2, 0, 0, 0, 1, 0, 0, 0, 'a', 3, 0};
  BinaryDeserializer second(shortCount.data(), static_cast<uint32_t>(shortCount.size()));
  EXPECT_FALSE(second.deserialize_impl(texts));
  EXPECT_EQ(logLines(), (Lines{kCorruptedField, kInvalidLength, kInvalidElement}));
}

TEST(BinaryDeserializer, AnEmptyPayloadFailsEveryKind) {
  BinaryDeserializer deserializer(nullptr, 0);
  uint8_t byte = 0;
  std::string text;
  EXPECT_FALSE(deserializer.deserialize_impl(byte));
  EXPECT_FALSE(deserializer.deserialize_impl(text));
  EXPECT_EQ(logLines(), (Lines{kCorruptedField, kCorruptedField, kInvalidLength}));
}

}  // namespace
