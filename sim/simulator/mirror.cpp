#include "mirror.h"

#include <algorithm>
#include <cmath>

#include "head_motion.h"
#include "recording.h"
#include "runtime_state.h"
#include "sim_parts.h"

namespace ZerinSim {

using Zerin::platform::WindowInput;
using Zerin::platform::WindowKey;

namespace {

constexpr const char* kTitle = "Zerin Simulator";  // the screenshot test finds the window by it

uint32_t bit(WindowKey key) { return 1u << static_cast<int>(key); }

int64_t buttonOf(WindowKey key) {
  switch (key) {
    case WindowKey::digit1: return 1;
    case WindowKey::digit2: return 2;
    case WindowKey::digit3: return 3;
    case WindowKey::digit4: return 4;
    default: return 0;
  }
}

double sign(uint32_t held, WindowKey plus, WindowKey minus) {
  return ((held & bit(plus)) ? 1.0 : 0.0) - ((held & bit(minus)) ? 1.0 : 0.0);
}

}  // namespace

bool DeskInput::any() const { return held != 0 || dragX != 0.0 || dragY != 0.0 || reset; }

HeadPose deskStep(const HeadPose& pose, const DeskInput& input, const DeskSpeeds& speeds) {
  HeadPose next = pose;
  double& yaw = next.yawPitchRoll[0];
  double& pitch = next.yawPitchRoll[1];
  // Dragging right turns right (yaw is positive to the left); dragging down looks down.
  yaw += speeds.degreesPerFrame * sign(input.held, WindowKey::left, WindowKey::right) -
         speeds.degreesPerPixel * input.dragX;
  pitch +=
      speeds.degreesPerFrame * sign(input.held, WindowKey::up, WindowKey::down) - speeds.degreesPerPixel * input.dragY;
  pitch = std::clamp(pitch, -89.0, 89.0);
  const double heading = radians(yaw);
  const double forward = speeds.metresPerFrame * sign(input.held, WindowKey::w, WindowKey::s);
  const double right = speeds.metresPerFrame * sign(input.held, WindowKey::d, WindowKey::a);
  // Forward is -z turned by the yaw, right is +x turned by it; the head's pitch does not tilt the walk.
  next.position[0] += -std::sin(heading) * forward + std::cos(heading) * right;
  next.position[1] += speeds.metresPerFrame * sign(input.held, WindowKey::e, WindowKey::q);
  next.position[2] += -std::cos(heading) * forward - std::sin(heading) * right;
  return next;
}

Mirror::Mirror(Simulator& simulator) : simulator(simulator) {}

Mirror::~Mirror() { close(); }

void Mirror::open() {
  opened = true;
  const MirrorConfig& config = simulator.config().mirror;
  std::string error;
  if (window.open(
          kTitle, config.width, config.height, [this](const WindowInput& input) { onInput(input); }, error)) {
    presenter = makeMirrorPresenter(window, simulator);
    simulator.log("mirror window open, " + std::to_string(config.width) + "x" + std::to_string(config.height) +
                  ": W/A/S/D move, Q/E down/up, arrows or a drag turn, R resets, 1-4 press buttons");
  } else {
    simulator.log("mirror window not shown: " + error);
  }
  if (config.recordTo.empty()) return;
  recording = std::fopen(config.recordTo.c_str(), "wb");
  if (recording) simulator.log("recording head motion and buttons to " + config.recordTo);
  else simulator.log("cannot write the recording " + config.recordTo);
}

void Mirror::close() {
  presenter.reset();  // its swap chain goes before the window it presents to
  window.close();
  if (recording) std::fclose(recording);
  recording = nullptr;
  opened = false;
  std::lock_guard<std::mutex> lock(inputMutex);
  input = DeskInput{};
  buttons.clear();
  buttonsDown = 0;
  dragging = false;
}

void Mirror::sessionClosing() { close(); }

void Mirror::record(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), recording);
  // Line by line, so that a run cut short leaves a recording that replays up to there.
  std::fflush(recording);
}

void Mirror::frameSubmitted(RuntimeState& state, const ZerinSimSubmittedFrame& frame) {
  if (!simulator.config().mirror.enabled) return;
  if (!opened) open();
  const int64_t index = frame.begunFrameIndex != 0 ? frame.begunFrameIndex : frame.submit.frameIndex;
  HeadMotion& motion = simulator.headMotion();
  const HeadPose pose = motion.poseAt(index);
  if (recording) record(recordedPoseLine(RecordedPose{index, pose}));

  // Input of this frame steers the next one; buttons change now, so the next frame sees them.
  DeskInput taken;
  std::vector<std::pair<int64_t, bool>> changes;
  {
    std::lock_guard<std::mutex> lock(inputMutex);
    taken = input;
    input.dragX = input.dragY = 0.0;
    input.reset = false;
    changes.swap(buttons);
  }
  for (const auto& [button, down] : changes) {
    setButton(state, button, down);
    if (recording) record(recordedButtonLine(RecordedButton{index + 1, button, down}));
  }
  if (taken.reset) motion.steer(std::nullopt);
  else if (taken.any()) motion.steer(deskStep(motion.steered().value_or(pose), taken));

  if (!presenter || frame.submit.layerCount < 1) return;
  views.clear();
  const int viewCount = std::clamp(frame.layers[0].viewCount, 0, 2);
  for (int v = 0; v < viewCount; ++v) {
    const ZerinSimSubmittedView& submitted = frame.views[v];
    const SwapChainRecord* swapChain = state.frames.liveSwapChain(submitted.view.colour.swapChain);
    if (!swapChain || submitted.colourImage < 0 || size_t(submitted.colourImage) >= swapChain->images.size()) return;
    views.push_back(MirrorView{swapChain->images[size_t(submitted.colourImage)].get(), submitted.view.colour});
  }
  presenter->present(views);
}

void Mirror::onInput(const WindowInput& event) {
  std::lock_guard<std::mutex> lock(inputMutex);
  const int64_t button = buttonOf(event.key);
  switch (event.kind) {
    case WindowInput::Kind::keyDown:
    case WindowInput::Kind::keyUp: {
      const bool down = event.kind == WindowInput::Kind::keyDown;
      if (button != 0) {
        // A held key repeats its presses; the button changes once.
        if (((buttonsDown >> button) & 1u) != uint32_t(down)) buttons.emplace_back(button, down);
        buttonsDown = down ? buttonsDown | 1u << button : buttonsDown & ~(1u << button);
      } else if (event.key == WindowKey::r) input.reset = input.reset || down;
      else if (down) input.held |= bit(event.key);
      else input.held &= ~bit(event.key);
      break;
    }
    case WindowInput::Kind::pointerDown:
      dragging = true;
      lastX = event.x;
      lastY = event.y;
      break;
    case WindowInput::Kind::pointerMove:
      if (!dragging) break;
      input.dragX += event.x - lastX;
      input.dragY += event.y - lastY;
      lastX = event.x;
      lastY = event.y;
      break;
    case WindowInput::Kind::pointerUp: dragging = false; break;
    case WindowInput::Kind::closed: simulator.log("mirror window closed; frames go on without it"); break;
  }
}

}  // namespace ZerinSim
