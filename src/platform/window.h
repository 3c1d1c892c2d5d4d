#pragma once
// A plain top-level window on a thread of its own: the thread creates it, pumps its events and
// hands keys and pointer motion to a callback; it ends when the window closes. On POSIX (Xlib)
// the window shows the pixels handed to it; on Windows a swap chain of the caller's device
// presents into it (nativeHandle).
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Zerin::platform {

enum class WindowKey { other, w, a, s, d, q, e, r, left, right, up, down, digit1, digit2, digit3, digit4 };

struct WindowInput {
  enum class Kind { keyDown, keyUp, pointerDown, pointerUp, pointerMove, closed };
  Kind kind = Kind::keyDown;
  WindowKey key = WindowKey::other;  // key events
  int32_t x = 0, y = 0;              // pointer events, client pixels from the top left
};

class Window {
 public:
  // Runs on the window's thread; must not wait for anything the caller of close() holds.
  using InputHandler = std::function<void(const WindowInput&)>;

  Window();
  ~Window();  // closes
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Starts the thread and waits until the window is shown; false (and `error` says why) when it
  // could not be made, e.g. without a display.
  bool open(const std::string& title, int32_t width, int32_t height, InputHandler handler, std::string& error);
  // Closes the window and joins its thread. Safe to call twice and from any thread but the
  // window's own.
  void close();
  bool isOpen() const;

  // POSIX: shows `rgba` (width * height pixels, 4 bytes each, red first, rows top down) scaled to
  // the window. False, keeping nothing, while the window's thread has not shown the last one.
  bool show(std::vector<uint8_t>&& rgba, int32_t width, int32_t height);
  // True when show() would take a picture now, so that a caller can skip the work of making one.
  bool readyToShow() const;

  // Windows: the HWND, for a swap chain; null elsewhere.
  void* nativeHandle() const;

  // Posts `input` to the window titled `title` of this desktop as the system would deliver it
  // (keys and pointer events), for programs that drive a window they did not make.
  static bool post(const std::string& title, const WindowInput& input);

  struct State;  // the platform's part, shared with the window's thread

 private:
  std::unique_ptr<State> state;
};

}  // namespace Zerin::platform
