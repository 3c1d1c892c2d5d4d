#include <errno.h>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/named_pipe.h"
#include "platform/system_error.h"

// Overlapped pipe I/O over non-blocking Unix stream sockets. An operation that cannot finish
// at once stays registered with its pipe; whoever waits for it (getOverlappedResult) drives it
// on, and a cancellation or close ends it and signals its event, which every waiter polls.
namespace Zerin::platform {

namespace detail {

struct HandleObject {
  // What a handle stands for, so that a lookup on every operation needs no run-time type search.
  enum class Kind { Event, Pipe };
  explicit HandleObject(Kind kind) : kind(kind) {}
  virtual ~HandleObject() = default;
  const Kind kind;
};

struct EventObject : HandleObject {
  static constexpr Kind kKind = Kind::Event;
  explicit EventObject(int descriptor) : HandleObject(kKind), fd(descriptor) {}
  ~EventObject() override { ::close(fd); }
  void set() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
    // After the write: a reset in between sees no flag and leaves the signal to the next one.
    signalled.store(true);
  }
  // Costs no system call while the event is not signalled, as before most operations.
  void reset() {
    if (!signalled.exchange(false)) return;
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(fd, &count, sizeof count);
  }
  const int fd;  // an eventfd, readable while the event is signalled
  std::atomic<bool> signalled{false};  // set() has written to fd since the last reset()
};

// A listening socket, closed when the last waiter polling it lets go.
struct ListenSocket {
  explicit ListenSocket(int descriptor) : fd(descriptor) {}
  ~ListenSocket() { ::close(fd); }
  const int fd;
};

// A pipe name served by this process: one listening socket for all its instances, from the
// first instance until the last is closed. It queues about one client per instance waiting for
// one (one when none waits, who is served by the next instance); a client that finds the queue
// full finds the pipe busy.
struct Listener {
  std::string path;
  uint32_t maxInstances = 0;
  uint32_t instances = 0;  // open instance handles
  uint32_t waiting = 0;    // instances not yet paired with a client
  std::shared_ptr<ListenSocket> socket;
  dev_t device = 0;  // identify the socket file this process put at `path`
  ino_t inode = 0;
};

struct PipeObject : HandleObject {
  static constexpr Kind kKind = Kind::Pipe;
  PipeObject() : HandleObject(kKind) {}
  ~PipeObject() override {
    if (fd >= 0) ::close(fd);
  }
  std::mutex mutex;  // guards fd, closed, pending and the state of every operation in pending
  int fd = -1;       // the connected socket; -1 while a server instance waits for its client
  bool closed = false;
  std::vector<PipeIo*> pending;
  std::shared_ptr<Listener> listener;  // server instances only; its fields are the registry's
};

}  // namespace detail

namespace {

using detail::EventObject;
using detail::HandleObject;
using detail::Listener;
using detail::ListenSocket;
using detail::PipeObject;
using Kind = PipeIo::Kind;

constexpr char kPipePrefix[] = "\\\\.\\pipe\\";
constexpr uint32_t kDefaultWaitMs = 50;
// Nothing tells a waiting client that another process freed an instance: it looks again.
constexpr std::chrono::milliseconds kBusyRetry{5};

struct Registry {
  std::mutex mutex;  // guards handles, nextHandle, listeners and the fields of every Listener
  std::unordered_map<uintptr_t, std::shared_ptr<HandleObject>> handles;
  uintptr_t nextHandle = 4;
  std::map<std::string, std::shared_ptr<Listener>> listeners;
};

// Never destroyed: other threads may still close handles while the process exits.
Registry& registry() {
  static Registry* const instance = new Registry();
  return *instance;
}

bool fail(uint32_t code) {
  setLastSystemError(code);
  return false;
}

uint32_t errorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return kErrorFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return kErrorAccessDenied;
    case EBADF:
    case ENOTSOCK: return kErrorInvalidHandle;
    case ENOMEM:
    case ENOBUFS:
    case EMFILE:
    case ENFILE: return kErrorNotEnoughMemory;
    case EINVAL: return kErrorInvalidParameter;
    case ECONNRESET: return kErrorBrokenPipe;
    case EPIPE: return kErrorNoData;
    case ENOTCONN: return kErrorPipeNotConnected;
    case EAGAIN:
    case ECONNREFUSED: return kErrorPipeBusy;
    case ENAMETOOLONG: return kErrorInvalidName;
    case ETIMEDOUT: return kErrorTimeout;
    default: return kErrorGenFailure;
  }
}

Handle addHandle(std::shared_ptr<HandleObject> object) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  const uintptr_t value = r.nextHandle;
  r.nextHandle += 4;
  r.handles.emplace(value, std::move(object));
  return reinterpret_cast<Handle>(value);
}

// With the registry's mutex held.
template <class T>
std::shared_ptr<T> findHandleLocked(Registry& r, Handle handle) {
  const auto found = r.handles.find(reinterpret_cast<uintptr_t>(handle));
  if (found == r.handles.end() || found->second->kind != T::kKind) return nullptr;
  return std::static_pointer_cast<T>(found->second);
}

template <class T>
std::shared_ptr<T> findHandle(Handle handle) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return findHandleLocked<T>(r, handle);
}

std::shared_ptr<HandleObject> takeHandle(Handle handle) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  const auto found = r.handles.find(reinterpret_cast<uintptr_t>(handle));
  if (found == r.handles.end()) return nullptr;
  std::shared_ptr<HandleObject> object = std::move(found->second);
  r.handles.erase(found);
  return object;
}

// "\\.\pipe\NAME" -> "$ZERIN_PIPE_DIR/NAME".
bool socketPath(const std::string& name, std::string& path) {
  constexpr size_t prefixLength = sizeof kPipePrefix - 1;
  bool matches = name.size() > prefixLength;
  for (size_t i = 0; matches && i < prefixLength; ++i)
    matches = std::tolower(static_cast<unsigned char>(name[i])) == kPipePrefix[i];
  if (!matches) return fail(kErrorInvalidName);
  const char* directory = std::getenv("ZERIN_PIPE_DIR");
  path = directory && *directory ? directory : "/tmp";
  if (path.back() != '/') path += '/';
  path.append(name, prefixLength, std::string::npos);
  if (path.size() >= sizeof(sockaddr_un::sun_path)) return fail(kErrorInvalidName);
  return true;
}

sockaddr_un addressOf(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), std::min(path.size(), sizeof address.sun_path - 1));
  return address;
}

int newSocket() { return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

// A connected socket, or -1 with `error` set to the errno of the failure.
int connectSocket(const std::string& path, int& error) {
  const int fd = newSocket();
  if (fd < 0) {
    error = errno;
    return -1;
  }
  const sockaddr_un address = addressOf(path);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return fd;
  error = errno;
  ::close(fd);
  return -1;
}

// As connectSocket, with the Windows code of the failure: a socket file that nobody listens
// on (left by a server that died) is no pipe, a listener whose queue is full is a busy pipe.
int connectClient(const std::string& path) {
  int error = 0;
  const int fd = connectSocket(path, error);
  if (fd < 0) fail(error == ECONNREFUSED ? kErrorFileNotFound : errorFromErrno(error));
  return fd;
}

// The connection waitNamedPipe made, kept for this thread's next openNamedPipe of the same
// pipe: a socket cannot be probed for a free instance without connecting to it.
struct ParkedConnection {
  ~ParkedConnection() { drop(); }
  void drop() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    path.clear();
  }
  std::string path;
  int fd = -1;
};

thread_local ParkedConnection parked;

// --- The server's listening socket; every function here runs under the registry's mutex.

void setBacklog(const Listener& listener) {
  // Linux queues one client more than the backlog.
  ::listen(listener.socket->fd, listener.waiting > 0 ? static_cast<int>(listener.waiting - 1) : 0);
}

// The socket file of a server that died may still lie at `path`; a live one is not taken over.
bool claimPath(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return true;
  if (!S_ISSOCK(info.st_mode)) return fail(kErrorAccessDenied);
  int error = 0;
  const int probe = connectSocket(path, error);
  if (probe >= 0) ::close(probe);
  if (probe >= 0 || error == EAGAIN) return fail(kErrorPipeBusy);
  ::unlink(path.c_str());
  return true;
}

bool startListening(Listener& listener) {
  const int fd = newSocket();
  if (fd < 0) return fail(errorFromErrno(errno));
  const sockaddr_un address = addressOf(listener.path);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    ::close(fd);
    // Another process took the name meanwhile.
    return fail(error == EADDRINUSE ? kErrorPipeBusy : errorFromErrno(error));
  }
  struct stat info {};
  if (::stat(listener.path.c_str(), &info) == 0) {
    listener.device = info.st_dev;
    listener.inode = info.st_ino;
  }
  listener.socket = std::make_shared<ListenSocket>(fd);
  setBacklog(listener);
  return true;
}

// The pipe goes: clients find no socket file, and those queued but never paired are cut off
// when the socket closes, as the clients of a vanished instance are.
void stopListening(Registry& r, const std::shared_ptr<Listener>& listener) {
  struct stat info {};
  if (::stat(listener->path.c_str(), &info) == 0 && info.st_dev == listener->device &&
      info.st_ino == listener->inode)
    ::unlink(listener->path.c_str());
  ::shutdown(listener->socket->fd, SHUT_RDWR);
  listener->socket.reset();
  const auto entry = r.listeners.find(listener->path);
  if (entry != r.listeners.end() && entry->second == listener) r.listeners.erase(entry);
}

void releaseInstance(Registry& r, PipeObject& pipe) {
  const std::shared_ptr<Listener> listener = pipe.listener;
  --listener->instances;
  if (pipe.fd < 0) --listener->waiting;
  if (listener->instances == 0) stopListening(r, listener);
  else setBacklog(*listener);
}

// --- Operations; `pipe.mutex` is held.

void advanceRead(PipeObject& pipe, PipeIo& io) {
  if (io.size == 0) {
    io.status = kErrorSuccess;
    return;
  }
  for (;;) {
    const ssize_t count = ::recv(pipe.fd, io.buffer, io.size, MSG_DONTWAIT);
    if (count > 0) {
      io.done = static_cast<uint32_t>(count);
      io.status = kErrorSuccess;
      return;
    }
    if (count == 0) {
      io.status = kErrorBrokenPipe;
      return;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN) io.status = errorFromErrno(errno);
    return;
  }
}

void advanceWrite(PipeObject& pipe, PipeIo& io) {
  const auto* data = static_cast<const unsigned char*>(io.buffer);
  while (io.done < io.size) {
    const ssize_t count = ::send(pipe.fd, data + io.done, io.size - io.done, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (count > 0) {
      io.done += static_cast<uint32_t>(count);
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && errno != EAGAIN)
      io.status = errno == EPIPE || errno == ECONNRESET ? kErrorNoData : errorFromErrno(errno);
    return;
  }
  io.status = kErrorSuccess;
}

std::shared_ptr<ListenSocket> listeningSocket(const PipeObject& pipe) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return pipe.listener->socket;
}

void advanceConnect(PipeObject& pipe, PipeIo& io) {
  const std::shared_ptr<ListenSocket> socket = listeningSocket(pipe);
  if (!socket) return;
  for (;;) {
    const int fd = ::accept4(socket->fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      Registry& r = registry();
      std::lock_guard<std::mutex> lock(r.mutex);
      pipe.fd = fd;
      --pipe.listener->waiting;
      if (pipe.listener->socket) setBacklog(*pipe.listener);
      io.status = kErrorSuccess;
      return;
    }
    if (errno == EINTR || errno == ECONNABORTED) continue;
    if (errno != EAGAIN) io.status = errorFromErrno(errno);
    return;
  }
}

void advance(PipeObject& pipe, PipeIo& io) {
  switch (io.kind) {
    case Kind::Read: advanceRead(pipe, io); break;
    case Kind::Write: advanceWrite(pipe, io); break;
    case Kind::Connect: advanceConnect(pipe, io); break;
    case Kind::None: io.status = kErrorSuccess; break;
  }
}

void finishPending(PipeObject& pipe, PipeIo& io, uint32_t status) {
  io.status = status;
  pipe.pending.erase(std::remove(pipe.pending.begin(), pipe.pending.end(), &io), pipe.pending.end());
  if (io.signal) io.signal->set();
}

bool abortPending(PipeObject& pipe, PipeIo* only) {
  bool found = false;
  for (size_t i = 0; i < pipe.pending.size();) {
    PipeIo* io = pipe.pending[i];
    if (only && io != only) {
      ++i;
      continue;
    }
    finishPending(pipe, *io, kErrorOperationAborted);
    found = true;
  }
  return found;
}

bool result(const PipeIo& io, uint32_t* transferred) {
  *transferred = io.done;
  return io.status == kErrorSuccess ? true : fail(io.status);
}

bool startOperation(Handle handle, PipeIo* io, Kind kind, void* buffer, uint32_t size, uint32_t* transferred) {
  std::shared_ptr<PipeObject> pipe;
  std::shared_ptr<EventObject> signal;
  {
    // One look-up for both handles: this runs for every read and write.
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    pipe = findHandleLocked<PipeObject>(r, handle);
    if (io->event) signal = findHandleLocked<EventObject>(r, io->event);
  }
  if (!pipe || (io->event && !signal)) return fail(kErrorInvalidHandle);
  // So that a wait on the event sees the end of this operation, not of an earlier one.
  if (signal) signal->reset();
  std::lock_guard<std::mutex> lock(pipe->mutex);
  if (pipe->closed) return fail(kErrorInvalidHandle);
  if (kind == Kind::Connect) {
    if (!pipe->listener) return fail(kErrorInvalidParameter);
    if (pipe->fd >= 0) return fail(kErrorPipeConnected);
  } else if (pipe->fd < 0) {
    return fail(kErrorPipeNotConnected);
  }
  io->kind = kind;
  io->buffer = buffer;
  io->size = size;
  io->done = 0;
  io->status = kErrorIoPending;
  io->signal = std::move(signal);
  io->pipe.reset();
  advance(*pipe, *io);
  if (io->status == kErrorIoPending) {
    io->pipe = pipe;
    pipe->pending.push_back(io);
    return fail(kErrorIoPending);
  }
  // An operation that ended at once has nobody waiting for it (a wait starts only for a pending
  // one): its event is not signalled, which spares the stream two system calls per operation.
  // A client that connected before the server asked for one is reported as on Windows.
  if (kind == Kind::Connect && io->status == kErrorSuccess) return fail(kErrorPipeConnected);
  return result(*io, transferred);
}

}  // namespace

PipeIo::PipeIo(Handle event) : event(event) {}

Handle createEvent() {
  const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (fd < 0) {
    fail(errorFromErrno(errno));
    return nullptr;
  }
  return addHandle(std::make_shared<EventObject>(fd));
}

bool closeHandle(Handle handle) {
  const std::shared_ptr<HandleObject> object = takeHandle(handle);
  if (!object) return fail(kErrorInvalidHandle);
  if (object->kind == PipeObject::kKind) {
    PipeObject* const pipe = static_cast<PipeObject*>(object.get());
    std::lock_guard<std::mutex> lock(pipe->mutex);
    pipe->closed = true;
    abortPending(*pipe, nullptr);
    // The peer sees the end now, even while a waiter of ours still holds the socket open.
    if (pipe->fd >= 0) ::shutdown(pipe->fd, SHUT_RDWR);
    if (pipe->listener) {
      Registry& r = registry();
      std::lock_guard<std::mutex> registryLock(r.mutex);
      releaseInstance(r, *pipe);
    }
  }
  return true;
}

bool waitNamedPipe(const std::string& name, uint32_t timeoutMs) {
  parked.drop();
  std::string path;
  if (!socketPath(name, path)) return false;
  const bool forever = timeoutMs == kWaitForever;
  const std::chrono::milliseconds limit(timeoutMs == 0 ? kDefaultWaitMs : timeoutMs);
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const int fd = connectClient(path);
    if (fd >= 0) {
      parked.path = path;
      parked.fd = fd;
      return true;
    }
    if (lastSystemError() != kErrorPipeBusy) return false;
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (!forever && elapsed >= limit) return fail(kErrorSemTimeout);
    auto pause = std::chrono::duration_cast<std::chrono::steady_clock::duration>(kBusyRetry);
    if (!forever) pause = std::min(pause, limit - elapsed);
    std::this_thread::sleep_for(pause);
  }
}

Handle openNamedPipe(const std::string& name) {
  std::string path;
  if (!socketPath(name, path)) return invalidHandle();
  int fd = -1;
  if (parked.fd >= 0 && parked.path == path) {
    fd = parked.fd;
    parked.fd = -1;
    parked.drop();
  } else {
    fd = connectClient(path);
    if (fd < 0) return invalidHandle();
  }
  auto pipe = std::make_shared<PipeObject>();
  pipe->fd = fd;
  return addHandle(std::move(pipe));
}

Handle createNamedPipe(const std::string& name, uint32_t maxInstances, uint32_t /*bufferSize*/) {
  std::string path;
  if (!socketPath(name, path)) return invalidHandle();
  if (maxInstances == 0 || maxInstances > kUnlimitedPipeInstances) {
    fail(kErrorInvalidParameter);
    return invalidHandle();
  }
  auto pipe = std::make_shared<PipeObject>();
  {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    std::shared_ptr<Listener> listener;
    const auto found = r.listeners.find(path);
    if (found != r.listeners.end()) {
      listener = found->second;
      if (listener->instances >= listener->maxInstances) {
        fail(kErrorPipeBusy);
        return invalidHandle();
      }
    } else {
      if (!claimPath(path)) return invalidHandle();
      listener = std::make_shared<Listener>();
      listener->path = path;
      listener->maxInstances = maxInstances;
    }
    ++listener->waiting;
    if (listener->socket) {
      setBacklog(*listener);
    } else if (!startListening(*listener)) {
      return invalidHandle();
    }
    ++listener->instances;
    r.listeners[path] = listener;
    pipe->listener = std::move(listener);
  }
  return addHandle(std::move(pipe));
}

bool connectNamedPipe(Handle instance, PipeIo* io) {
  uint32_t ignored = 0;
  return startOperation(instance, io, Kind::Connect, nullptr, 0, &ignored);
}

bool readFile(Handle pipe, void* buffer, uint32_t size, uint32_t* transferred, PipeIo* io) {
  return startOperation(pipe, io, Kind::Read, buffer, size, transferred);
}

bool writeFile(Handle pipe, const void* data, uint32_t size, uint32_t* transferred, PipeIo* io) {
  return startOperation(pipe, io, Kind::Write, const_cast<void*>(data), size, transferred);
}

bool getOverlappedResult(Handle /*pipe*/, PipeIo* io, uint32_t* transferred, bool wait) {
  // As on Windows, a waiter needs only the record: the pipe may be closed meanwhile.
  const std::shared_ptr<PipeObject> pipe = io->pipe;
  if (!pipe) return result(*io, transferred);
  for (;;) {
    pollfd descriptors[2] = {};
    nfds_t count = 0;
    std::shared_ptr<ListenSocket> socket;
    {
      std::lock_guard<std::mutex> lock(pipe->mutex);
      if (io->status == kErrorIoPending) {
        advance(*pipe, *io);
        if (io->status != kErrorIoPending) finishPending(*pipe, *io, io->status);
      }
      if (io->status != kErrorIoPending) {
        io->pipe.reset();
        return result(*io, transferred);
      }
      if (!wait) {
        *transferred = 0;
        return fail(kErrorIoIncomplete);
      }
      if (io->kind == Kind::Connect) {
        socket = listeningSocket(*pipe);
        descriptors[count++] = {socket ? socket->fd : -1, POLLIN, 0};
      } else {
        descriptors[count++] = {pipe->fd, static_cast<short>(io->kind == Kind::Read ? POLLIN : POLLOUT), 0};
      }
    }
    if (io->signal) descriptors[count++] = {io->signal->fd, POLLIN, 0};
    if (::poll(descriptors, count, -1) > 0 && io->signal && (descriptors[count - 1].revents & POLLIN))
      io->signal->reset();  // auto-reset: this wait takes the signal
  }
}

bool cancelIoEx(Handle handle, PipeIo* io) {
  const std::shared_ptr<PipeObject> pipe = findHandle<PipeObject>(handle);
  if (!pipe) return fail(kErrorInvalidHandle);
  std::lock_guard<std::mutex> lock(pipe->mutex);
  return abortPending(*pipe, io) ? true : fail(kErrorNotFound);
}

bool flushFileBuffers(Handle handle) {
  const std::shared_ptr<PipeObject> pipe = findHandle<PipeObject>(handle);
  if (!pipe) return fail(kErrorInvalidHandle);
  for (;;) {
    int fd = -1;
    {
      std::lock_guard<std::mutex> lock(pipe->mutex);
      if (pipe->closed) return fail(kErrorOperationAborted);
      if (pipe->fd < 0) return fail(kErrorPipeNotConnected);
      fd = pipe->fd;
    }
    int unread = 0;
    if (::ioctl(fd, SIOCOUTQ, &unread) != 0) return fail(errorFromErrno(errno));
    if (unread == 0) return true;
    // Nothing signals that the peer has read: look again every millisecond. A hang-up ends
    // the wait early.
    pollfd descriptor = {fd, 0, 0};
    if (::poll(&descriptor, 1, 1) > 0 && (descriptor.revents & (POLLHUP | POLLERR)))
      return fail(kErrorBrokenPipe);
  }
}

}  // namespace Zerin::platform
