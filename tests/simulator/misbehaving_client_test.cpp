// A client that breaks the runtime's rules one at a time, against the headset simulator: each
// misuse leaves exactly one finding, with its id, the session's frame and a sentence naming the
// call; strict runs fail the call with the runtime's error code, lenient runs let it go on.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "api_rules.h"
#include "gfx_device.h"
#include "zerin_sim_control.h"
#include "zerin_simulator_findings.h"

namespace {

namespace Gfx = ZerinSim::Gfx;

constexpr int64_t kSyncedFrames = 3;
constexpr uint32_t kSize = 64;

struct Found {
  std::string id;
  int64_t frame = -1;
  int64_t count = 0;
  std::string sentence;
};

std::vector<Found> findings() {
  std::vector<Found> all;
  for (int32_t i = 0; i < zerinsim_FindingCount(); ++i) {
    Found found;
    std::string id(static_cast<size_t>(zerinsim_GetFinding(i, nullptr, 0, nullptr, nullptr)), '\0');
    zerinsim_GetFinding(i, &id[0], static_cast<int32_t>(id.size()), &found.frame, &found.count);
    found.id = id.c_str();
    std::string sentence(static_cast<size_t>(zerinsim_GetFindingSentence(i, nullptr, 0)), '\0');
    zerinsim_GetFindingSentence(i, &sentence[0], static_cast<int32_t>(sentence.size()));
    found.sentence = sentence.c_str();
    all.push_back(found);
  }
  return all;
}

// The error the last failing call left, wherever it went (the session's or the library's).
ZerinErrorCode lastError(ZerinSession session) {
  const ZerinErrorCode code = zerin_GetError(session);
  return code != 0 ? code : zerin_GetError(nullptr);
}

ZerinMatrix identity() {
  ZerinMatrix matrix{};
  for (int i = 0; i < 4; ++i) matrix.m[i * 5] = 1.0;
  return matrix;
}

// A well-behaved client, three frames in, with frame 3 begun and a frame of one layer of four
// views ready to end: colour and depth images acquired and released, depth in range.
struct Client {
  Gfx::Device gpu;
  ZerinSession session = nullptr;
  ZerinFrameInfo* frameInfo = nullptr;
  ZerinSubmitInfo* submitInfo = nullptr;
  ZerinSwapChain colour = nullptr;
  ZerinSwapChain depth = nullptr;
  ZerinRuntimeView views[ZERIN_VIEW_COUNT]{};
  ZerinDepthExtension depths[ZERIN_VIEW_COUNT]{};
  ZerinRuntimeLayer layer{};
  const ZerinRuntimeLayer* layers[4]{};
  ZerinLayerSubmit submit{};

  bool open() {
    gpu = Gfx::createDevice();
    session = zerin_SessionInit();
    if (!gpu || !session) return false;
    frameInfo = zerin_CreateFrameInfo(session);
    submitInfo = zerin_CreateSubmitInfo(session);
    colour = makeChain(session, gpu.device.get(), ZERIN_SWAPCHAIN_USAGE_COLOUR);
    depth = makeChain(session, gpu.device.get(), ZERIN_SWAPCHAIN_USAGE_DEPTH);
    for (int64_t frame = 0; frame < kSyncedFrames; ++frame) zerin_WaitSync(session, frameInfo);
    zerin_BeginFrame(session, submitInfo);
    cycle(colour);
    cycle(depth);
    for (int v = 0; v < ZERIN_VIEW_COUNT; ++v) {
      views[v].pose = identity();
      views[v].projection = identity();
      views[v].colour = {colour, 0, 0, int32_t(kSize), int32_t(kSize), 0, 0};
      depths[v] = {
          ZERIN_EXTENSION_DEPTH, nullptr, 0.1, 100.0, 0.0, 1.0, {depth, 0, 0, int32_t(kSize), int32_t(kSize), 0, 0}};
      views[v].extensions = reinterpret_cast<const ZerinExtensionHeader*>(&depths[v]);
    }
    layer = {ZERIN_LAYER_PROJECTION, 0, 0, ZERIN_VIEW_COUNT, 0, views};
    for (auto& entry : layers) entry = &layer;
    submit = {submitInfo->frameIndex, 0, 1, 0, layers};
    return frameInfo && submitInfo && colour && depth && submitInfo->frameIndex == kSyncedFrames;
  }

  static ZerinSwapChain makeChain(ZerinSession owner, ID3D11Device* device, uint32_t usage) {
    const int32_t format = usage == ZERIN_SWAPCHAIN_USAGE_DEPTH ? DXGI_FORMAT_R32_TYPELESS : DXGI_FORMAT_R8G8B8A8_UNORM;
    const ZerinSwapChainConfig config{kSize, kSize, format, 1, 1, usage};
    return zerin_D3D11CreateSwapChain(owner, device, &config);
  }
  static void cycle(ZerinSwapChain chain) {
    int32_t index = 0;
    zerin_AcquireSwapChainImage(chain, &index);
    zerin_ReleaseSwapChainImage(chain);
  }
  void end() { zerin_EndFrameWithLayers(session, &submit); }
};

// One misuse: `misuse` breaks rule `id` once (and may check what the call left, told the mode);
// strict runs expect `strictCode`, lenient runs `lenientCode`.
struct Case {
  const char* name;
  const char* id;
  ZerinErrorCode strictCode;
  ZerinErrorCode lenientCode;
  std::function<void(Client&, bool strict)> misuse;
  int64_t frame = kSyncedFrames;
};

std::ostream& operator<<(std::ostream& out, const Case& c) { return out << c.name; }

constexpr ZerinErrorCode kArgument = ZERIN_ERROR_INVALID_ARGUMENT;
constexpr ZerinErrorCode kState = ZERIN_ERROR_INVALID_STATE;
constexpr ZerinErrorCode kNotFound = ZERIN_ERROR_NOT_FOUND;

void noStream(const ZerinStreamFrame*, uint64_t, void*) {}

const std::vector<Case> kFrameCycle = {
    {"EndTwice", "frame-end-without-begin", kState, 0, [](Client& c, bool) { c.end(), c.end(); }},
    {"BeginTwice", "frame-begin-twice", 0, 0, [](Client& c, bool) { zerin_BeginFrame(c.session, c.submitInfo); }},
    {"IndexMismatch", "frame-index-mismatch", kArgument, 0, [](Client& c, bool) { c.submit.frameIndex = 2, c.end(); }},
    {"BeginBeforeSync", "frame-not-synced", 0, 0,
     [](Client&, bool) {
       ZerinSession second = zerin_SessionInit();
       ZerinSubmitInfo* info = zerin_CreateSubmitInfo(second);
       zerin_BeginFrame(second, info);
       zerin_FreeSubmitInfo(info);
       zerin_SessionShutDown(second);
     },
     0},
};

const std::vector<Case> kLayers = {
    {"LayerCountFive", "layer-count-out-of-range", kArgument, 0,
     [](Client& c, bool) { c.submit.layerCount = 5, c.end(); }},
    {"NullLayer", "layer-missing", kArgument, 0, [](Client& c, bool) { c.layers[0] = nullptr, c.end(); }},
    {"LayerType", "layer-type-unknown", kArgument, 0, [](Client& c, bool) { c.layer.type = 7, c.end(); }},
    {"FiveViews", "view-count-out-of-range", kArgument, 0, [](Client& c, bool) { c.layer.viewCount = 5, c.end(); }},
    {"NullViews", "views-missing", kArgument, 0, [](Client& c, bool) { c.layer.views = nullptr, c.end(); }},
};

const ZerinExtensionHeader kUnknownExtension{9, nullptr};

const std::vector<Case> kViews = {
    {"UnknownExtension", "extension-chain-invalid", kArgument, 0,
     [](Client& c, bool) { c.depths[1].next = &kUnknownExtension, c.end(); }},
    {"NaNPose", "pose-not-finite", 0, 0,
     [](Client& c, bool) { c.views[1].projection.m[5] = std::numeric_limits<double>::quiet_NaN(), c.end(); }},
    {"ScaledPose", "pose-not-rigid", 0, 0, [](Client& c, bool) { c.views[2].pose.m[0] = 1.01, c.end(); }},
    {"NearBeyondFar", "depth-range-invalid", 0, 0, [](Client& c, bool) { c.depths[3].nearZ = 200.0, c.end(); }},
    {"WideViewport", "viewport-outside-image", kArgument, 0,
     [](Client& c, bool) { c.views[0].colour.width = int32_t(kSize) + 1, c.end(); }},
};

const std::vector<Case> kSwapChains = {
    {"AcquiredAtEnd", "image-not-released", kState, 0,
     [](Client& c, bool) {
       int32_t index = 0;
       zerin_AcquireSwapChainImage(c.colour, &index);
       c.end();
     }},
    {"NeverReleased", "image-never-released", kState, 0,
     [](Client& c, bool) {
       c.views[0].colour.swapChain = Client::makeChain(c.session, c.gpu.device.get(), ZERIN_SWAPCHAIN_USAGE_COLOUR);
       c.end();
     }},
    {"FreedChain", "swapchain-destroyed", kArgument, 0,
     [](Client& c, bool) {
       ZerinSwapChain chain = Client::makeChain(c.session, c.gpu.device.get(), ZERIN_SWAPCHAIN_USAGE_COLOUR);
       Client::cycle(chain);
       zerin_FreeSwapChain(chain);
       c.views[0].colour.swapChain = chain;
       c.end();
     }},
    {"StrayChain", "swapchain-unknown", kArgument, 0,
     [](Client& c, bool) { c.views[0].colour.swapChain = reinterpret_cast<ZerinSwapChain>(&c.layer), c.end(); }},
    {"OtherSessionsChain", "swapchain-of-another-session", kArgument, 0,
     [](Client& c, bool) {
       ZerinSession second = zerin_SessionInit();
       ZerinSwapChain chain = Client::makeChain(second, c.gpu.device.get(), ZERIN_SWAPCHAIN_USAGE_COLOUR);
       Client::cycle(chain);
       c.views[0].colour.swapChain = chain;
       c.end();
       zerin_SessionShutDown(second);
     }},
    {"ReleaseUnacquired", "release-without-acquire", kState, 0,
     [](Client& c, bool) { zerin_ReleaseSwapChainImage(c.colour); }},
    {"ImageThree", "image-index-out-of-range", kArgument, kArgument,
     [](Client& c, bool) { EXPECT_EQ(zerin_GetSwapChainImage(c.colour, 3).nativeTexture, nullptr); }},
    {"SecondDevice", "texture-of-another-device", kArgument, 0,
     [](Client& c, bool strict) {
       Gfx::Device other = Gfx::createDevice();
       ASSERT_TRUE(other);
       ZerinSwapChain chain = Client::makeChain(c.session, other.device.get(), ZERIN_SWAPCHAIN_USAGE_COLOUR);
       EXPECT_EQ(chain != nullptr, !strict) << "lenient makes it all the same";
       if (chain) zerin_FreeSwapChain(chain);
     }},
    {"ForeignTexture", "texture-of-another-device", kArgument, 0,
     [](Client& c, bool strict) {
       ZerinSwapChainImage image = zerin_GetSwapChainImage(c.colour, 1);
       ID3D11Texture2D* own = static_cast<ID3D11Texture2D*>(image.nativeTexture);
       image.nativeTexture = zerin_GetSwapChainImage(c.colour, 2).nativeTexture;
       EXPECT_EQ(zerin_ToD3D11Texture(image), strict ? nullptr : own) << "lenient answers with the image's own";
     }},
    {"ZeroWidth", "swapchain-config-invalid", kArgument, kArgument,
     [](Client& c, bool) {
       const ZerinSwapChainConfig config{0, kSize, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 1, ZERIN_SWAPCHAIN_USAGE_COLOUR};
       EXPECT_EQ(zerin_D3D11CreateSwapChain(c.session, c.gpu.device.get(), &config), nullptr);
     }},
};

const std::vector<Case> kRecords = {
    {"NullSession", "session-closed", ZERIN_ERROR_INVALID_SESSION, ZERIN_ERROR_INVALID_SESSION,
     [](Client&, bool) { zerin_SendHeartBeat(nullptr, 1); }},
    {"StraySubmitInfo", "record-unknown", kArgument, kArgument,
     [](Client& c, bool) { zerin_BeginFrame(c.session, reinterpret_cast<ZerinSubmitInfo*>(&c.submit)); }},
    {"FreedSubmitInfo", "record-freed", kArgument, kArgument,
     [](Client& c, bool) {
       ZerinSubmitInfo* info = zerin_CreateSubmitInfo(c.session);
       zerin_FreeSubmitInfo(info);
       zerin_BeginFrame(c.session, info);
     }},
    {"FrameInfoFreedTwice", "record-freed", kArgument, kArgument,
     [](Client& c, bool) {
       ZerinFrameInfo* info = zerin_CreateFrameInfo(c.session);
       zerin_FreeFrameInfo(info);
       zerin_FreeFrameInfo(info);
     }},
    {"PollIntoFreedEvent", "record-freed", kArgument, kArgument,
     [](Client& c, bool) {
       ZerinEvent* event = zerin_AllocateEvent();
       zerin_FreeEvent(event);
       EXPECT_EQ(zerin_PollEvent(c.session, event), 0);
     }},
};

const std::vector<Case> kQueries = {
    {"PoseKindNine", "pose-kind-unknown", kArgument, 0,
     [](Client& c, bool strict) {
       const ZerinMatrix pose = zerin_FrameGetPose(c.session, 9);
       EXPECT_EQ(pose.m[15], strict ? 0.0 : 1.0) << "lenient answers with the head pose";
     }},
    {"ButtonStateNine", "button-state-unknown", kArgument, 0,
     [](Client& c, bool) { EXPECT_EQ(zerin_GetButtonEvent(c.session, 1, 9), 0); }},
    {"GazeUnstarted", "gaze-not-started", kState, 0, [](Client& c, bool) { zerin_GetGaze(c.session); }},
    {"MissingProperty", "property-unknown", kNotFound, kNotFound,
     [](Client& c, bool) { zerin_GetPropertyBool(c.session, 0x1234); }},
    {"StopUnstarted", "stream-unknown", kNotFound, kNotFound,
     [](Client& c, bool) { zerin_StopDataStream(c.session, 999); }},
    {"StartTwice", "stream-started-twice", kState, 0,
     [](Client& c, bool) {
       ZerinDataStreamConfig config{};
       ASSERT_EQ(zerin_GetDataStreamConfigs(c.session, &config, 1), 1);
       zerin_StartDataStream(c.session, config.streamId, config.channelFlags, noStream, nullptr);
       zerin_StartDataStream(c.session, config.streamId, config.channelFlags, noStream, nullptr);
     }},
    {"PollIntoNull", "invalid-argument", kArgument, kArgument,
     [](Client& c, bool) { zerin_PollEvent(c.session, nullptr); }},
};

class MisbehavingClient : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    zerinsim_Reset();
    zerinsim_SetStrict(1);
    ASSERT_TRUE(client.open()) << "D3D11CreateDevice: 0x" << std::hex << client.gpu.result;
    ASSERT_EQ(zerin_GetError(client.session), 0);
    ASSERT_EQ(zerin_GetError(nullptr), 0);
    zerinsim_ClearFindings();
  }
  // Swap chains go before the device does.
  void TearDown() override {
    zerinsim_Reset();
    zerinsim_ClearFindings();
    zerinsim_SetStrict(1);
  }

  void misbehave(bool strict) {
    const Case& c = GetParam();
    zerinsim_SetStrict(strict ? 1 : 0);
    c.misuse(client, strict);
    EXPECT_EQ(lastError(client.session), strict ? c.strictCode : c.lenientCode);
    const std::vector<Found> found = findings();
    ASSERT_EQ(found.size(), 1u) << (found.empty() ? "none" : found[0].id + ", " + found.back().id);
    EXPECT_EQ(found[0].id, c.id);
    EXPECT_EQ(found[0].frame, c.frame);
    EXPECT_EQ(found[0].count, 1);
    EXPECT_EQ(found[0].sentence.rfind("zerin_", 0), 0u) << found[0].sentence;
    EXPECT_GT(found[0].sentence.size(), found[0].sentence.find(": ") + 10) << found[0].sentence;
  }

  Client client;
};

TEST_P(MisbehavingClient, StrictFailsTheCallWithTheRuntimesCode) { misbehave(true); }
TEST_P(MisbehavingClient, LenientOnlyReports) { misbehave(false); }

auto caseName = [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); };
INSTANTIATE_TEST_SUITE_P(FrameCycle, MisbehavingClient, ::testing::ValuesIn(kFrameCycle), caseName);
INSTANTIATE_TEST_SUITE_P(Layers, MisbehavingClient, ::testing::ValuesIn(kLayers), caseName);
INSTANTIATE_TEST_SUITE_P(Views, MisbehavingClient, ::testing::ValuesIn(kViews), caseName);
INSTANTIATE_TEST_SUITE_P(SwapChains, MisbehavingClient, ::testing::ValuesIn(kSwapChains), caseName);
INSTANTIATE_TEST_SUITE_P(Records, MisbehavingClient, ::testing::ValuesIn(kRecords), caseName);
INSTANTIATE_TEST_SUITE_P(Queries, MisbehavingClient, ::testing::ValuesIn(kQueries), caseName);

// The baseline every case departs from breaks nothing, so a finding above is the misuse's own.
TEST(WellBehavedClient, AFrameByTheRulesLeavesNoFindingAndCountsRepeats) {
  zerinsim_Reset();
  zerinsim_SetStrict(1);
  Client client;
  ASSERT_TRUE(client.open());
  zerinsim_ClearFindings();
  client.end();
  EXPECT_EQ(zerin_GetError(client.session), 0);
  EXPECT_EQ(zerinsim_FindingCount(), 0) << findings()[0].sentence;
  // A repeat in a later frame counts; the frame and sentence stay those of the first.
  client.end();
  zerin_WaitSync(client.session, client.frameInfo);
  client.end();
  const std::vector<Found> found = findings();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].count, 2);
  EXPECT_EQ(found[0].frame, kSyncedFrames);
  EXPECT_EQ(zerinsim_SetStrict(0), 1) << "strict by default";
  EXPECT_EQ(zerinsim_SetStrict(1), 0);
  zerinsim_Reset();
  zerinsim_ClearFindings();
}

// Every id of the catalogue has a misuse above.
TEST(WellBehavedClient, EveryRuleHasACase) {
  std::set<std::string> covered;
  for (const auto* table : {&kFrameCycle, &kLayers, &kViews, &kSwapChains, &kRecords, &kQueries})
    for (const Case& c : *table) covered.insert(c.id);
  for (const char* id : ZerinSim::kRuleIds) EXPECT_TRUE(covered.count(id)) << id;
  EXPECT_EQ(covered.size(), static_cast<size_t>(ZerinSim::Rule::Count));
}

}  // namespace
