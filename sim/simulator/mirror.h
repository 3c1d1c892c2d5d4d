#pragma once
// Desk mode: a window showing each submitted frame's first layer, its left and right views side
// by side as the headset's eyes see them; keys and mouse steer the head (HeadMotion::steer) and
// press buttons; with a recording named, each frame's pose and each button change is written for
// a replay. Everything the render thread does here is bounded: a busy window skips the frame.
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/window.h"
#include "simulator.h"

namespace ZerinSim {

class RuntimeState;

// One submitted view as the mirror reads it: the image the frame shows and the rectangle in it.
struct MirrorView {
  ID3D11Texture2D* texture = nullptr;
  ZerinSwapchainViewport rect{};
};

// Puts views into the window from the client's render thread, without waiting for the window.
class MirrorPresenter {
 public:
  virtual ~MirrorPresenter() = default;
  // False when the frame was skipped (the window busy, a format it cannot show).
  virtual bool present(const std::vector<MirrorView>& views) = 0;
};
// mirror_present_win.cpp (a swap chain of the client's device) or _posix.cpp (read back).
std::unique_ptr<MirrorPresenter> makeMirrorPresenter(Zerin::platform::Window& window, Simulator& simulator);

// The desk's step per frame, not per second, so that a recording replays frame for frame.
struct DeskSpeeds {
  double metresPerFrame = 0.02;
  double degreesPerFrame = 1.0;   // arrow keys
  double degreesPerPixel = 0.25;  // mouse drag
};

// The held keys and dragged distance since the last frame, as the window reports them.
struct DeskInput {
  uint32_t held = 0;  // bit per Zerin::platform::WindowKey
  double dragX = 0.0, dragY = 0.0;
  bool reset = false;
  bool any() const;
};

// The pose one frame of desk input makes of `pose`: moves along the head's yaw (W forward, S back,
// A left, D right, Q down, E up), turns with arrows and drags; pitch stays within +-89 degrees.
HeadPose deskStep(const HeadPose& pose, const DeskInput& input, const DeskSpeeds& speeds = {});

class Mirror {
 public:
  explicit Mirror(Simulator& simulator);
  ~Mirror();

  // hooks::frameSubmitted: on the render thread with the library lock held.
  void frameSubmitted(RuntimeState& state, const ZerinSimSubmittedFrame& frame);
  // hooks::sessionClosing: the window closes and the recording is flushed.
  void sessionClosing();

 private:
  void open();
  void close();
  void onInput(const Zerin::platform::WindowInput& input);  // the window's thread
  void record(const std::string& line);

  Simulator& simulator;
  // These are used on the render thread under the library lock only.
  bool opened = false;
  Zerin::platform::Window window;
  std::unique_ptr<MirrorPresenter> presenter;
  std::vector<MirrorView> views;  // the frame's views being shown, kept from frame to frame
  std::FILE* recording = nullptr;

  std::mutex inputMutex;  // guards input and buttons: written by the window's thread
  DeskInput input;
  bool dragging = false;
  int32_t lastX = 0, lastY = 0;
  std::vector<std::pair<int64_t, bool>> buttons;  // changes not yet applied, in order
  uint32_t buttonsDown = 0;                       // bit per button, as the keys left them
};

}  // namespace ZerinSim
