#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/window.h"

namespace Zerin::platform {

namespace {

constexpr UINT kCloseQuietly = WM_APP + 1;  // close() ends the window without a `closed` report
constexpr const char* kClassName = "ZerinPlatformWindow";

WindowKey keyOf(WPARAM key) {
  switch (key) {
    case 'W': return WindowKey::w;
    case 'A': return WindowKey::a;
    case 'S': return WindowKey::s;
    case 'D': return WindowKey::d;
    case 'Q': return WindowKey::q;
    case 'E': return WindowKey::e;
    case 'R': return WindowKey::r;
    case VK_LEFT: return WindowKey::left;
    case VK_RIGHT: return WindowKey::right;
    case VK_UP: return WindowKey::up;
    case VK_DOWN: return WindowKey::down;
    case '1': return WindowKey::digit1;
    case '2': return WindowKey::digit2;
    case '3': return WindowKey::digit3;
    case '4': return WindowKey::digit4;
    default: return WindowKey::other;
  }
}

WPARAM virtualKeyOf(WindowKey key) {
  static const WPARAM keys[] = {0,       'W',      'A',   'S',     'D', 'Q', 'E', 'R',
                                VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, '1', '2', '3', '4'};
  return keys[static_cast<int>(key)];
}

}  // namespace

struct Window::State {
  InputHandler handler;
  std::thread thread;  // owned by the Window: joined by close()
  HWND window = nullptr;

  std::mutex mutex;  // guards started, running and error
  std::condition_variable changed;
  bool started = false;
  bool running = false;
  std::string error;

  void run(const std::string& title, int32_t width, int32_t height);
  void finishStart(bool up, const std::string& why) {
    std::lock_guard<std::mutex> lock(mutex);
    started = true;
    running = up;
    error = why;
    changed.notify_all();
  }

  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<State*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    WindowInput input;
    input.x = static_cast<int16_t>(LOWORD(lParam));
    input.y = static_cast<int16_t>(HIWORD(lParam));
    switch (message) {
      case WM_KEYDOWN:
      case WM_KEYUP:
        // Bit 30 marks the repeats of a held key.
        if (message == WM_KEYDOWN && (lParam & (1 << 30))) return 0;
        input.kind = message == WM_KEYDOWN ? WindowInput::Kind::keyDown : WindowInput::Kind::keyUp;
        input.key = keyOf(wParam);
        if (input.key != WindowKey::other) self->handler(input);
        return 0;
      case WM_LBUTTONDOWN:
        SetCapture(window);
        input.kind = WindowInput::Kind::pointerDown;
        self->handler(input);
        return 0;
      case WM_LBUTTONUP:
        ReleaseCapture();
        input.kind = WindowInput::Kind::pointerUp;
        self->handler(input);
        return 0;
      case WM_MOUSEMOVE:
        input.kind = WindowInput::Kind::pointerMove;
        self->handler(input);
        return 0;
      case WM_CLOSE:
        input.kind = WindowInput::Kind::closed;
        self->handler(input);
        DestroyWindow(window);
        return 0;
      case kCloseQuietly: DestroyWindow(window); return 0;
      case WM_DESTROY: PostQuitMessage(0); return 0;
      default: return DefWindowProcA(window, message, wParam, lParam);
    }
  }
};

void Window::State::run(const std::string& title, int32_t width, int32_t height) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &State::procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.lpszClassName = kClassName;
  RegisterClassExA(&windowClass);  // fails harmlessly when registered already
  RECT frame{0, 0, width, height};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  HWND made = CreateWindowExA(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
  if (!made) return finishStart(false, "CreateWindowExA failed with error " + std::to_string(GetLastError()));
  SetWindowLongPtrA(made, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  window = made;
  ShowWindow(made, SW_SHOWNORMAL);
  UpdateWindow(made);
  finishStart(true, "");
  // Never blocks on anything but the queue: the graphics system sends this window messages from
  // the presenting thread and waits for them.
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  std::lock_guard<std::mutex> lock(mutex);
  running = false;
}

Window::Window() = default;

Window::~Window() { close(); }

bool Window::open(const std::string& title, int32_t width, int32_t height, InputHandler handler, std::string& error) {
  close();
  state = std::make_unique<State>();
  state->handler = std::move(handler);
  state->thread = std::thread([s = state.get(), title, width, height] { s->run(title, width, height); });
  std::unique_lock<std::mutex> lock(state->mutex);
  state->changed.wait(lock, [&] { return state->started; });
  if (state->running) return true;
  error = state->error;
  lock.unlock();
  close();
  return false;
}

void Window::close() {
  if (!state) return;
  if (state->window) PostMessageA(state->window, kCloseQuietly, 0, 0);
  if (state->thread.joinable()) state->thread.join();
  state.reset();
}

bool Window::isOpen() const {
  if (!state) return false;
  std::lock_guard<std::mutex> lock(state->mutex);
  return state->running;
}

bool Window::readyToShow() const { return false; }

bool Window::show(std::vector<uint8_t>&&, int32_t, int32_t) { return false; }

void* Window::nativeHandle() const { return state ? state->window : nullptr; }

bool Window::post(const std::string& title, const WindowInput& input) {
  HWND window = FindWindowA(kClassName, title.c_str());
  if (!window) return false;
  const LPARAM at = MAKELPARAM(input.x, input.y);
  switch (input.kind) {
    case WindowInput::Kind::keyDown: return PostMessageA(window, WM_KEYDOWN, virtualKeyOf(input.key), 1) != 0;
    case WindowInput::Kind::keyUp:
      return PostMessageA(window, WM_KEYUP, virtualKeyOf(input.key), LPARAM(0xC0000001u)) != 0;
    case WindowInput::Kind::pointerDown: return PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at) != 0;
    case WindowInput::Kind::pointerUp: return PostMessageA(window, WM_LBUTTONUP, 0, at) != 0;
    case WindowInput::Kind::pointerMove: return PostMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, at) != 0;
    case WindowInput::Kind::closed: return PostMessageA(window, WM_CLOSE, 0, 0) != 0;
  }
  return false;
}

}  // namespace Zerin::platform
