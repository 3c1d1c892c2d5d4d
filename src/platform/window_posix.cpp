#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/window.h"

namespace Zerin::platform {

struct Window::State {
  InputHandler handler;
  std::thread thread;      // owned by the Window: joined by close()
  int wake[2] = {-1, -1};  // a byte on wake[1] wakes the thread for a picture or the close

  std::mutex mutex;  // guards everything below
  std::condition_variable changed;
  bool started = false;  // the thread got as far as showing the window, or failed
  bool running = false;  // the window is up and its thread pumps
  bool closing = false;
  std::string error;
  bool busy = false;  // a picture was handed over and is not yet on the screen
  std::vector<uint8_t> picture;
  int32_t pictureWidth = 0, pictureHeight = 0;

  void run(const std::string& title, int32_t width, int32_t height);
  void wakeUp() {
    const char byte = 1;
    if (write(wake[1], &byte, 1) < 0) {
      // the pipe is full: the thread is awake already
    }
  }
  void finishStart(bool up, const std::string& why) {
    std::lock_guard<std::mutex> lock(mutex);
    started = true;
    running = up;
    error = why;
    changed.notify_all();
  }
};

namespace {

WindowKey keyOf(KeySym symbol) {
  switch (symbol) {
    case XK_w: return WindowKey::w;
    case XK_a: return WindowKey::a;
    case XK_s: return WindowKey::s;
    case XK_d: return WindowKey::d;
    case XK_q: return WindowKey::q;
    case XK_e: return WindowKey::e;
    case XK_r: return WindowKey::r;
    case XK_Left: return WindowKey::left;
    case XK_Right: return WindowKey::right;
    case XK_Up: return WindowKey::up;
    case XK_Down: return WindowKey::down;
    case XK_1: return WindowKey::digit1;
    case XK_2: return WindowKey::digit2;
    case XK_3: return WindowKey::digit3;
    case XK_4: return WindowKey::digit4;
    default: return WindowKey::other;
  }
}

KeySym symbolOf(WindowKey key) {
  static const KeySym symbols[] = {NoSymbol, XK_w,     XK_a,  XK_s,    XK_d, XK_q, XK_e, XK_r,
                                   XK_Left,  XK_Right, XK_Up, XK_Down, XK_1, XK_2, XK_3, XK_4};
  return symbols[static_cast<int>(key)];
}

int shiftOf(unsigned long mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

// Draws `rgba` scaled (nearest texel) into `image`, in the visual's channel layout.
void fill(XImage& image, const Visual& visual, const std::vector<uint8_t>& rgba, int32_t width, int32_t height) {
  const int red = shiftOf(visual.red_mask), green = shiftOf(visual.green_mask), blue = shiftOf(visual.blue_mask);
  const bool direct = image.bits_per_pixel == 32 && image.byte_order == LSBFirst;
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* row = rgba.data() + size_t(int64_t(y) * height / image.height) * size_t(width) * 4;
    auto* out = reinterpret_cast<uint32_t*>(image.data + size_t(y) * size_t(image.bytes_per_line));
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* texel = row + size_t(int64_t(x) * width / image.width) * 4;
      const unsigned long pixel =
          (unsigned long)(texel[0]) << red | (unsigned long)(texel[1]) << green | (unsigned long)(texel[2]) << blue;
      if (direct) out[x] = static_cast<uint32_t>(pixel);
      else XPutPixel(&image, x, y, pixel);
    }
  }
}

::Window findNamed(Display* display, ::Window window, const std::string& name) {
  char* found = nullptr;
  if (XFetchName(display, window, &found) && found) {
    const bool same = name == found;
    XFree(found);
    if (same) return window;
  }
  ::Window root, parent, *children = nullptr;
  unsigned count = 0;
  ::Window match = 0;
  if (XQueryTree(display, window, &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && !match; ++i) match = findNamed(display, children[i], name);
    if (children) XFree(children);
  }
  return match;
}

}  // namespace

void Window::State::run(const std::string& title, int32_t width, int32_t height) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return finishStart(false, "no X display (DISPLAY is unset or unreachable)");
  const int screen = DefaultScreen(display);
  ::Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, unsigned(width), unsigned(height),
                                        0, BlackPixel(display, screen), BlackPixel(display, screen));
  XStoreName(display, window, title.c_str());
  XSelectInput(display, window,
               KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                   StructureNotifyMask | ExposureMask);
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &deleteWindow, 1);
  // A held key repeats as presses only, not as release-press pairs.
  XkbSetDetectableAutoRepeat(display, True, nullptr);
  XMapWindow(display, window);
  for (XEvent event;;) {
    XNextEvent(display, &event);
    if (event.type == MapNotify) break;
  }
  Visual* visual = DefaultVisual(display, screen);
  const int depth = DefaultDepth(display, screen);
  GC gc = DefaultGC(display, screen);
  finishStart(true, "");

  int32_t shownWidth = width, shownHeight = height;
  bool dragging = false;
  for (bool open = true; open;) {
    while (open && XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      WindowInput input;
      switch (event.type) {
        case KeyPress:
        case KeyRelease:
          input.kind = event.type == KeyPress ? WindowInput::Kind::keyDown : WindowInput::Kind::keyUp;
          input.key = keyOf(XLookupKeysym(&event.xkey, 0));
          if (input.key != WindowKey::other) handler(input);
          break;
        case ButtonPress:
        case ButtonRelease:
          if (event.xbutton.button != Button1) break;
          dragging = event.type == ButtonPress;
          input.kind = dragging ? WindowInput::Kind::pointerDown : WindowInput::Kind::pointerUp;
          input.x = event.xbutton.x;
          input.y = event.xbutton.y;
          handler(input);
          break;
        case MotionNotify:
          input.kind = WindowInput::Kind::pointerMove;
          input.x = event.xmotion.x;
          input.y = event.xmotion.y;
          handler(input);
          break;
        case ConfigureNotify:
          shownWidth = event.xconfigure.width;
          shownHeight = event.xconfigure.height;
          break;
        case ClientMessage:
          if (Atom(event.xclient.data.l[0]) == deleteWindow) {
            input.kind = WindowInput::Kind::closed;
            handler(input);
            open = false;
          }
          break;
        default: break;
      }
    }
    std::vector<uint8_t> rgba;
    int32_t pictureW = 0, pictureH = 0;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (closing) open = false;
      if (busy) {
        rgba.swap(picture);
        pictureW = pictureWidth;
        pictureH = pictureHeight;
      }
    }
    if (open && !rgba.empty() && shownWidth > 0 && shownHeight > 0) {
      char* data = static_cast<char*>(std::malloc(size_t(shownWidth) * size_t(shownHeight) * 4));
      XImage* image = data ? XCreateImage(display, visual, unsigned(depth), ZPixmap, 0, data, unsigned(shownWidth),
                                          unsigned(shownHeight), 32, 0)
                           : nullptr;
      if (image) {
        fill(*image, *visual, rgba, pictureW, pictureH);
        XPutImage(display, window, gc, image, 0, 0, 0, 0, unsigned(shownWidth), unsigned(shownHeight));
        XDestroyImage(image);  // frees data
      } else {
        std::free(data);
      }
      XFlush(display);
    }
    if (!rgba.empty()) {
      std::lock_guard<std::mutex> lock(mutex);
      busy = false;
      picture.swap(rgba);  // the buffer goes back for reuse
    }
    if (!open) break;
    pollfd waits[2] = {{ConnectionNumber(display), POLLIN, 0}, {wake[0], POLLIN, 0}};
    if (poll(waits, 2, -1) > 0 && (waits[1].revents & POLLIN)) {
      char drained[64];
      while (read(wake[0], drained, sizeof drained) > 0) {
      }
    }
  }
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  std::lock_guard<std::mutex> lock(mutex);
  running = false;
}

Window::Window() = default;

Window::~Window() { close(); }

bool Window::open(const std::string& title, int32_t width, int32_t height, InputHandler handler, std::string& error) {
  close();
  state = std::make_unique<State>();
  state->handler = std::move(handler);
  if (pipe(state->wake) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    state.reset();
    return false;
  }
  // Neither end blocks: a full pipe means the thread has a wake-up waiting already.
  for (int end : state->wake) fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
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
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->closing = true;
  }
  state->wakeUp();
  if (state->thread.joinable()) state->thread.join();
  for (int end : state->wake)
    if (end >= 0) ::close(end);
  state.reset();
}

bool Window::isOpen() const {
  if (!state) return false;
  std::lock_guard<std::mutex> lock(state->mutex);
  return state->running;
}

bool Window::readyToShow() const {
  if (!state) return false;
  std::lock_guard<std::mutex> lock(state->mutex);
  return state->running && !state->busy;
}

bool Window::show(std::vector<uint8_t>&& rgba, int32_t width, int32_t height) {
  if (!state || width <= 0 || height <= 0 || rgba.size() < size_t(width) * size_t(height) * 4) return false;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (!state->running || state->busy) return false;
    state->picture.swap(rgba);
    state->pictureWidth = width;
    state->pictureHeight = height;
    state->busy = true;
  }
  state->wakeUp();
  return true;
}

void* Window::nativeHandle() const { return nullptr; }

bool Window::post(const std::string& title, const WindowInput& input) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  const ::Window window = findNamed(display, DefaultRootWindow(display), title);
  bool sent = false;
  if (window) {
    XEvent event{};
    long mask = 0;
    switch (input.kind) {
      case WindowInput::Kind::keyDown:
      case WindowInput::Kind::keyUp:
        event.type = input.kind == WindowInput::Kind::keyDown ? KeyPress : KeyRelease;
        event.xkey.keycode = XKeysymToKeycode(display, symbolOf(input.key));
        event.xkey.window = window;
        event.xkey.root = DefaultRootWindow(display);
        event.xkey.same_screen = True;
        mask = input.kind == WindowInput::Kind::keyDown ? KeyPressMask : KeyReleaseMask;
        break;
      case WindowInput::Kind::pointerDown:
      case WindowInput::Kind::pointerUp:
        event.type = input.kind == WindowInput::Kind::pointerDown ? ButtonPress : ButtonRelease;
        event.xbutton.button = Button1;
        event.xbutton.window = window;
        event.xbutton.x = input.x;
        event.xbutton.y = input.y;
        event.xbutton.same_screen = True;
        mask = input.kind == WindowInput::Kind::pointerDown ? ButtonPressMask : ButtonReleaseMask;
        break;
      case WindowInput::Kind::pointerMove:
        event.type = MotionNotify;
        event.xmotion.window = window;
        event.xmotion.x = input.x;
        event.xmotion.y = input.y;
        event.xmotion.state = Button1Mask;
        event.xmotion.same_screen = True;
        mask = PointerMotionMask;
        break;
      case WindowInput::Kind::closed: break;
    }
    sent = mask != 0 && XSendEvent(display, window, True, mask, &event) != 0;
    XSync(display, False);
  }
  XCloseDisplay(display);
  return sent;
}

}  // namespace Zerin::platform
