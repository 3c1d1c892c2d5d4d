#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "ipc/internal_messages.h"
#include "ipc/message_handler_base.h"
#include "ipc/program_manager_messages.h"
#include "log_lines.h"

namespace {

using Zerin::BinaryMessage;
using Zerin::MessageHandler;
using Zerin::IPC::MessageHandlerBase;
using Zerin::IPC::InternalMessages::Ping;
using Zerin::IPC::InternalMessages::RequestHandshake;
using Zerin::IPC::InternalMessages::ResponseHandshake;
using Zerin::ProgramManagerMessages::RestartActiveClient;
using ZerinTest::logLines;
using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

const std::string kPingTag = "Zerin::LayerByteMessageParser<struct Zerin::IPC::InternalMessages::Ping>::parseMessage";
const std::string kRequestTag =
    "Zerin::LayerByteMessageParser<struct Zerin::IPC::InternalMessages::RequestHandshake>::parseMessage";
const std::string kResponseTag =
    "Zerin::LayerByteMessageParser<struct Zerin::IPC::InternalMessages::ResponseHandshake>::parseMessage";
const std::string kRestartTag =
    "Zerin::LayerByteMessageParser<struct Zerin::ProgramManagerMessages::RestartActiveClient>::parseMessage";
const std::string kCorruptedField = "ERR [Zerin::BinaryDeserializer::deserialize_impl] Corrupted field";
const std::string kInvalidElement = "ERR [Zerin::BinaryDeserializer::deserialize_impl] Invalid element";

// What the IPC client's dispatcher does with one received message.
bool dispatch(MessageHandlerBase& registry, const BinaryMessage& message) {
  auto parser = registry.findParser(message.name);
  if (parser) parser->parseMessage(message);
  const bool anyRaw = registry.invokeMessageHandlers(message);
  return parser || anyRaw;
}

template <class T>
BinaryMessage received(MessageHandlerBase& registry, const T& value) {
  const Bytes frame = registry.createMessage(value)->bytes;
  BinaryMessage message;
  EXPECT_TRUE(Zerin::parseFrameBody(static_cast<uint32_t>(frame.size() - 8), frame.data() + 8, message));
  return message;
}

Ping pingOf(uint8_t first) {
  Ping ping;
  ping.data[0] = first;
  return ping;
}

TEST(MessageFrames, PingIsTwentyEightBytesWithEightPayloadBytes) {
  MessageHandlerBase registry;
  Ping ping;
  for (uint8_t i = 0; i < 8; ++i) ping.data[i] = static_cast<uint8_t>(0xA0 + i);
  const Bytes expected = {0x1C, 0x00, 0x00, 0x00, 0x7A, 0x65, 0x72, 0x6E, 0x04, 0x00, 0x00, 0x00, 0x50, 0x69,
                          0x6E, 0x67, 0x08, 0x00, 0x00, 0x00, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7};
  EXPECT_EQ(registry.createMessage(ping)->bytes, expected);
  // A default ping carries zero bytes.
  const Bytes defaultFrame = registry.createMessage(Ping{})->bytes;
  EXPECT_EQ(Bytes(defaultFrame.begin() + 20, defaultFrame.end()), Bytes(8, 0));
}

TEST(MessageFrames, RequestHandshakeCarriesTheClientNameAsAString) {
  MessageHandlerBase registry;
  const Bytes frame = registry.createMessage(RequestHandshake{"UnityProgramManagerClient"})->bytes;
  ASSERT_EQ(frame.size(), 16u + 16u + 29u);
  const Bytes payload(frame.begin() + 32, frame.end());
  Bytes expected = {25, 0, 0, 0};
  for (char c : std::string("UnityProgramManagerClient")) expected.push_back(static_cast<uint8_t>(c));
  EXPECT_EQ(payload, expected);
  EXPECT_EQ(std::string(frame.begin() + 12, frame.begin() + 28), "RequestHandshake");
}

TEST(MessageFrames, RestartActiveClientIsFortyThreeBytes) {
  MessageHandlerBase registry;
  const Bytes frame = registry.createMessage(RestartActiveClient{})->bytes;
  ASSERT_EQ(frame.size(), 43u);
  EXPECT_EQ(frame[0], 43);
  EXPECT_EQ(std::string(frame.begin() + 12, frame.begin() + 31), "RestartActiveClient");
  EXPECT_EQ(Bytes(frame.begin() + 31, frame.begin() + 35), (Bytes{8, 0, 0, 0}));
}

TEST(MessageParsers, FixedSizeMessagesReadTheirFirstBytesAndIgnoreTheRest) {
  MessageHandlerBase registry;
  std::vector<uint32_t> results;
  auto token = registry.getParser<ResponseHandshake>()->addHandler(
      [&](const ResponseHandshake& response) { results.push_back(response.result()); });
  dispatch(registry, {"ResponseHandshake", {0x04, 0x03, 0x02, 0x01, 9, 9, 9, 9, 0xEE, 0xEE, 0xEE, 0xEE}});
  EXPECT_EQ(results, std::vector<uint32_t>{0x01020304});
  EXPECT_TRUE(logLines().empty());

  dispatch(registry, {"ResponseHandshake", {1, 2, 3, 4, 5, 6, 7}});
  EXPECT_EQ(results.size(), 1u);
  EXPECT_EQ(logLines(), (Lines{kCorruptedField, "ERR [" + kResponseTag + "] Corrupted message ResponseHandshake"}));
}

TEST(MessageParsers, FieldListMessagesIgnoreBytesAfterTheLastField) {
  MessageHandlerBase registry;
  std::vector<std::string> names;
  auto token = registry.getParser<RequestHandshake>()->addHandler(
      [&](const RequestHandshake& request) { names.push_back(request.clientName); });
  dispatch(registry, {"RequestHandshake", {2, 0, 0, 0, 'o', 'k', 0xFF, 0xFF, 0xFF}});
  EXPECT_EQ(names, std::vector<std::string>{"ok"});

  dispatch(registry, {"RequestHandshake", {9, 0, 0, 0, 'c', 'u', 't'}});
  EXPECT_EQ(names.size(), 1u);
  EXPECT_EQ(logLines(), (Lines{kCorruptedField, kInvalidElement,
                               "ERR [" + kRequestTag + "] Corrupted message RequestHandshake"}));
}

TEST(MessageParsers, ACorruptPingIsLoggedAndStillReachesTheRawHandlers) {
  MessageHandlerBase registry;
  int typedCalls = 0;
  std::vector<BinaryMessage> raw;
  auto typed = registry.getParser<Ping>()->addHandler([&](const Ping&) { ++typedCalls; });
  auto any = registry.addMessageHandler([&](const BinaryMessage& message) { raw.push_back(message); });
  dispatch(registry, {"Ping", {1, 2, 3, 4}});
  EXPECT_EQ(typedCalls, 0);
  ASSERT_EQ(raw.size(), 1u);
  EXPECT_EQ(raw[0].payload, (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(logLines(), (Lines{kCorruptedField, "ERR [" + kPingTag + "] Corrupted message Ping"}));
}

TEST(MessageParsers, EachMessageWithoutHandlersIsReportedOnceWithItsParsersTag) {
  MessageHandlerBase registry;
  dispatch(registry, received(registry, ResponseHandshake{}));
  dispatch(registry, received(registry, ResponseHandshake{}));
  dispatch(registry, received(registry, Ping{}));
  dispatch(registry, received(registry, RequestHandshake{"n"}));
  dispatch(registry, received(registry, RestartActiveClient{}));
  EXPECT_EQ(logLines(), (Lines{
                            "WAR [" + kResponseTag + "] No handlers for message ResponseHandshake",
                            "WAR [" + kResponseTag + "] No handlers for message ResponseHandshake",
                            "WAR [" + kPingTag + "] No handlers for message Ping",
                            "WAR [" + kRequestTag + "] No handlers for message RequestHandshake",
                            "WAR [" + kRestartTag + "] No handlers for message RestartActiveClient",
                        }));
}

TEST(MessageParsers, HandlersAreCalledInRegistrationOrderWithTheDecodedValue) {
  MessageHandlerBase registry;
  std::vector<std::string> calls;
  auto parser = registry.getParser<Ping>();
  auto first = parser->addHandler([&](const Ping& ping) { calls.push_back("first " + std::to_string(ping.data[0])); });
  auto second = parser->addHandler([&](const Ping& ping) { calls.push_back("second " + std::to_string(ping.data[0])); });
  dispatch(registry, received(registry, pingOf(42)));
  EXPECT_EQ(calls, (std::vector<std::string>{"first 42", "second 42"}));
}

TEST(MessageHandlerTokens, ReleasingATypedTokenPrunesItsEntryAtOnce) {
  MessageHandlerBase registry;
  auto parser = registry.getParser<Ping>();
  std::vector<int> calls;
  MessageHandler first = parser->addHandler([&](const Ping&) { calls.push_back(1); });
  MessageHandler second = parser->addHandler([&](const Ping&) { calls.push_back(2); });
  ASSERT_EQ(parser->handlerCount(), 2u);
  first.release();
  EXPECT_EQ(parser->handlerCount(), 1u);
  dispatch(registry, received(registry, Ping{}));
  EXPECT_EQ(calls, std::vector<int>{2});
  {
    MessageHandler gone = std::move(second);  // a moved token keeps the registration
    EXPECT_EQ(parser->handlerCount(), 1u);
  }
  EXPECT_EQ(parser->handlerCount(), 0u);
  dispatch(registry, received(registry, Ping{}));
  EXPECT_EQ(logLines(), Lines{"WAR [" + kPingTag + "] No handlers for message Ping"});
}

TEST(MessageHandlerTokens, AReleasedRawEntryIsErasedByTheNextDispatchAndNeverCalled) {
  MessageHandlerBase registry;
  std::vector<std::string> calls;
  MessageHandler first = registry.addMessageHandler([&](const BinaryMessage& m) { calls.push_back("1:" + m.name); });
  MessageHandler second = registry.addMessageHandler([&](const BinaryMessage& m) { calls.push_back("2:" + m.name); });
  first.release();
  EXPECT_EQ(registry.rawHandlerCount(), 2u);  // nothing prunes a raw list on release
  EXPECT_TRUE(registry.invokeMessageHandlers({"Hello", {}}));
  EXPECT_EQ(registry.rawHandlerCount(), 1u);
  EXPECT_EQ(calls, std::vector<std::string>{"2:Hello"});
}

TEST(MessageHandlerTokens, AReleasedLastRawEntryEndsTheWalk) {
  MessageHandlerBase registry;
  std::vector<int> calls;
  MessageHandler first = registry.addMessageHandler([&](const BinaryMessage&) { calls.push_back(1); });
  MessageHandler second = registry.addMessageHandler([&](const BinaryMessage&) { calls.push_back(2); });
  second.release();
  EXPECT_TRUE(registry.invokeMessageHandlers({"Hello", {}}));
  EXPECT_EQ(calls, std::vector<int>{1});
  EXPECT_EQ(registry.rawHandlerCount(), 1u);
}

TEST(MessageHandlerTokens, WhenEveryRawHandlerIsGoneTheNextMessageStillCountsAsHandled) {
  MessageHandlerBase registry;
  int calls = 0;
  {
    MessageHandler a = registry.addMessageHandler([&](const BinaryMessage&) { ++calls; });
    MessageHandler b = registry.addMessageHandler([&](const BinaryMessage&) { ++calls; });
  }
  EXPECT_TRUE(registry.invokeMessageHandlers({"Hello", {}}));
  EXPECT_EQ(registry.rawHandlerCount(), 0u);
  EXPECT_FALSE(registry.invokeMessageHandlers({"Hello", {}}));
  EXPECT_EQ(calls, 0);
}

TEST(MessageHandlerTokens, ReleasingTwiceRunsOnlyThePrune) {
  int prunes = 0;
  MessageHandler token(std::make_shared<MessageHandler::ReferenceRecord>(), [&] { ++prunes; });
  EXPECT_TRUE(token.isRegistered());
  token.release();
  EXPECT_FALSE(token.isRegistered());
  token.release();
  EXPECT_EQ(prunes, 2);
}

TEST(MessageRegistry, GetParserReturnsTheSameParserEveryTime) {
  MessageHandlerBase registry;
  EXPECT_EQ(registry.findParser("Ping"), nullptr);
  auto first = registry.getParser<Ping>();
  auto second = registry.getParser<Ping>();
  EXPECT_EQ(first, second);
  EXPECT_EQ(registry.findParser("Ping"), first);
  EXPECT_NE(registry.findParser("Ping"), registry.getParser<ResponseHandshake>());
}

TEST(MessageRegistry, SendingATypeCreatesItsParser) {
  MessageHandlerBase registry;
  EXPECT_EQ(registry.findParser("RestartActiveClient"), nullptr);
  registry.createMessage(RestartActiveClient{});
  EXPECT_NE(registry.findParser("RestartActiveClient"), nullptr);
}

TEST(MessageRegistry, NamesWithoutAParserReachOnlyTheRawHandlers) {
  MessageHandlerBase registry;
  EXPECT_FALSE(dispatch(registry, {"Unknown", {1}}));
  std::vector<std::string> raw;
  auto token = registry.addMessageHandler([&](const BinaryMessage& m) { raw.push_back(m.name); });
  EXPECT_TRUE(dispatch(registry, {"Unknown", {1}}));
  EXPECT_EQ(raw, std::vector<std::string>{"Unknown"});
  EXPECT_TRUE(logLines().empty());
}

TEST(SendAndWait, AReplyDispatchedBeforeTheWaitIsNotLost) {
  MessageHandlerBase registry;
  ResponseHandshake reply;
  bool sent = false;
  const bool ok = registry.sendAndWait(
      reply,
      [&] {
        sent = true;
        dispatch(registry, {"ResponseHandshake", {7, 0, 0, 0, 1, 1, 1, 1}});
        return true;
      },
      1000);
  EXPECT_TRUE(sent);
  EXPECT_TRUE(ok);
  EXPECT_EQ(reply.result(), 7u);
  EXPECT_EQ(registry.getParser<ResponseHandshake>()->handlerCount(), 0u);
}

TEST(SendAndWait, AReplyFromAnotherThreadEndsTheWaitBeforeTheDeadline) {
  MessageHandlerBase registry;
  ResponseHandshake reply;
  std::thread dispatcher;
  const auto start = std::chrono::steady_clock::now();
  const bool ok = registry.sendAndWait(
      reply,
      [&] {
        dispatcher = std::thread([&] { dispatch(registry, {"ResponseHandshake", {9, 0, 0, 0, 0, 0, 0, 0}}); });
        return true;
      },
      8000);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  dispatcher.join();
  EXPECT_TRUE(ok);
  EXPECT_EQ(reply.result(), 9u);
  EXPECT_LT(elapsed, std::chrono::seconds(4));
}

TEST(SendAndWait, TimesOutWithoutAReplyAndUnregistersItsHandler) {
  MessageHandlerBase registry;
  ResponseHandshake reply;
  reply.data[0] = 0x5A;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(registry.sendAndWait(reply, [] { return true; }, 100));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(90));
  EXPECT_EQ(reply.data[0], 0x5A);
  // The handler is gone: a late reply finds nobody.
  dispatch(registry, {"ResponseHandshake", Bytes(8, 1)});
  EXPECT_EQ(reply.data[0], 0x5A);
  EXPECT_EQ(logLines(), Lines{"WAR [" + kResponseTag + "] No handlers for message ResponseHandshake"});
}

TEST(SendAndWait, AFailedSendDoesNotWait) {
  MessageHandlerBase registry;
  ResponseHandshake reply;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(registry.sendAndWait(reply, [] { return false; }, 8000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_EQ(registry.getParser<ResponseHandshake>()->handlerCount(), 0u);
}

TEST(SendAndWait, WithoutATimeLimitOnlyAReplyAlreadyThereCounts) {
  MessageHandlerBase registry;
  ResponseHandshake reply;
  EXPECT_FALSE(registry.sendAndWait(reply, [] { return true; }, 0));
  EXPECT_TRUE(registry.sendAndWait(
      reply, [&] { return dispatch(registry, {"ResponseHandshake", {3, 0, 0, 0, 0, 0, 0, 0}}); }, 0));
  EXPECT_EQ(reply.result(), 3u);
}

TEST(SendAndWait, AnEmptySendRaisesAndLeavesNoHandlerBehind) {
  MessageHandlerBase registry;
  ResponseHandshake reply;
  EXPECT_THROW(registry.sendAndWait(reply, nullptr, 100), std::bad_function_call);
  EXPECT_EQ(registry.getParser<ResponseHandshake>()->handlerCount(), 0u);
}

}  // namespace
