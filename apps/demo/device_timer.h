#pragma once
// The device's share of the plug-in's frame work (render events 10 and 11), per frame.
//
// Linux: the software device does all its work, rasterising included, inside its calls on the
// render thread; the timer reads how long the render thread spent inside them, which is part
// of the render thread's time in the plug-in.
// Windows: the system's device runs the plug-in's copies and depth passes on its own time after
// the calls have queued them; the timer brackets them with timestamp queries, which give the
// device's time for them. That time is not part of the render thread's.
#include <d3d11.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace ZerinDemo {

class DeviceTimer {
 public:
  // Make, use and end it on the render thread.
  explicit DeviceTimer(ID3D11Device* device);
  ~DeviceTimer();
  DeviceTimer(const DeviceTimer&) = delete;
  DeviceTimer& operator=(const DeviceTimer&) = delete;

  // Right before and right after the plug-in's frame events of frame `frame` (from 0).
  void begin(int64_t frame);
  void end(int64_t frame);
  // Once the last frame has ended: microseconds per frame, NaN where nothing was measured.
  std::vector<double> finish();

  // True when the device's time is spent on the render thread, inside the plug-in's calls.
  static bool onRenderThread();
  // What the figure is, in lower case, as the summary and the plot name it.
  static const char* description();

 private:
  struct Parts;
  std::unique_ptr<Parts> parts;
};

}  // namespace ZerinDemo
