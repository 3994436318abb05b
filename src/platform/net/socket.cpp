// TCP on POSIX: non-blocking descriptors waited on with poll, so that every
// wait can have a time-out and be stopped between slices of 100 ms.
#include "platform/net/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

namespace {
constexpr int kSliceMs = 100;
constexpr size_t kReadChunk = 64 * 1024;

// Atomic so that another thread may ask whether the port is open.
std::atomic<int> g_listenFd{-1};

using Clock = std::chrono::steady_clock;

// Milliseconds left of a wait that began at `start`; kNoLimit stays so.
uint32_t Remaining(Clock::time_point start, uint32_t timeoutMs) {
  if (timeoutMs == Socket::kNoLimit) return timeoutMs;
  const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  return spent >= timeoutMs ? 0u : timeoutMs - static_cast<uint32_t>(spent);
}

void SetNoDelay(int fd) {
  int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// A listening descriptor on every address of this machine: both IPv6 and
// IPv4 where the system allows one socket for both, else IPv4 alone.
int OpenListener(int port) {
  int on = 1;
  int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd >= 0) {
    int off = 0;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_addr = in6addr_any;
    a.sin6_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd, 1) == 0) return fd;
    const int error = errno;
    ::close(fd);
    // The port itself is taken: IPv4 alone would fail the same way.
    if (error == EADDRINUSE) return -1;
  }
  fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd, 1) == 0) return fd;
  ::close(fd);
  return -1;
}
}  // namespace

Socket::Socket(int) {}

Socket::~Socket() { Close(); }

Socket::Wait Socket::WaitFor(int fd, short events, uint32_t timeoutMs) {
  const Clock::time_point start = Clock::now();
  for (;;) {
    if (stop_ && stop_()) {
      interrupted_ = true;
      return Wait::kStopped;
    }
    const uint32_t left = Remaining(start, timeoutMs);
    if (left == 0) return Wait::kTimedOut;
    pollfd p{fd, events, 0};
    const int slice = left < static_cast<uint32_t>(kSliceMs) ? static_cast<int>(left) : kSliceMs;
    const int n = ::poll(&p, 1, stop_ || timeoutMs != kNoLimit ? slice : -1);
    if (n > 0) return Wait::kReady;
    if (n < 0 && errno != EINTR) return Wait::kFailed;
  }
}

bool Socket::ConnectTo(const void* address, unsigned length, int family, uint32_t timeoutMs) {
  const int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  if (::connect(fd, static_cast<const sockaddr*>(address), length) != 0) {
    if (errno != EINPROGRESS || WaitFor(fd, POLLOUT, timeoutMs) != Wait::kReady) {
      ::close(fd);
      return false;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
      ::close(fd);
      return false;
    }
  }
  Adopt(fd);
  return true;
}

bool Socket::Connect(const char* host, int port, uint32_t timeoutMs) {
  Close();
  interrupted_ = false;
  if (!host || port < 0 || port > 65535) return false;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (::getaddrinfo(host, service.c_str(), &hints, &found) != 0) return false;
  const Clock::time_point start = Clock::now();
  bool connected = false;
  for (addrinfo* a = found; a && !connected && !interrupted_; a = a->ai_next) {
    const uint32_t left = Remaining(start, timeoutMs);
    if (left == 0) break;
    connected = ConnectTo(a->ai_addr, a->ai_addrlen, a->ai_family, left);
  }
  ::freeaddrinfo(found);
  return connected;
}

void Socket::Adopt(int fd) {
  Close();
  SetNoDelay(fd);
  fd_ = fd;
}

bool Socket::Send(const void* buffer, size_t count, int) {
  if (fd_ < 0) return false;
  const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
  out_.insert(out_.end(), bytes, bytes + count);
  return true;
}

bool Socket::Flush(uint32_t timeoutMs) {
  interrupted_ = false;
  if (fd_ < 0) {
    out_.clear();
    return false;
  }
  const Clock::time_point start = Clock::now();
  size_t sent = 0;
  while (sent < out_.size()) {
    const ssize_t n = ::send(fd_, out_.data() + sent, out_.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
        WaitFor(fd_, POLLOUT, Remaining(start, timeoutMs)) == Wait::kReady)
      continue;
    // What could not be sent is dropped: the stream is broken either way.
    out_.clear();
    return false;
  }
  out_.clear();
  return true;
}

bool Socket::Listen(int port) {
  StopListening();
  if (port < 0 || port > 65535) return false;
  g_listenFd = OpenListener(port);
  return g_listenFd >= 0;
}

bool Socket::GetConnection(uint32_t timeoutMs) {
  interrupted_ = false;
  const Clock::time_point start = Clock::now();
  while (g_listenFd >= 0) {
    const int fd = ::accept4(g_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      Adopt(fd);
      return true;
    }
    if (errno == EINTR || errno == ECONNABORTED) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
    if (WaitFor(g_listenFd, POLLIN, Remaining(start, timeoutMs)) != Wait::kReady) return false;
  }
  return false;
}

void Socket::StopListening() {
  if (g_listenFd >= 0) ::close(g_listenFd);
  g_listenFd = -1;
}

bool Socket::IsListening() { return g_listenFd >= 0; }

size_t Socket::Receive(void* buffer, size_t count, int, int, uint32_t timeoutMs) {
  interrupted_ = false;
  const Clock::time_point start = Clock::now();
  while (inEnd_ - inStart_ < count) {
    if (fd_ < 0) return 0;
    // Keep the unread bytes at the front, with room for a chunk behind them.
    if (inStart_ > 0) {
      std::memmove(in_.data(), in_.data() + inStart_, inEnd_ - inStart_);
      inEnd_ -= inStart_;
      inStart_ = 0;
    }
    const size_t room = count > kReadChunk ? count : kReadChunk;
    if (in_.size() < room) in_.resize(room);
    const ssize_t n = ::recv(fd_, in_.data() + inEnd_, in_.size() - inEnd_, 0);
    if (n > 0) {
      inEnd_ += static_cast<size_t>(n);
      continue;
    }
    if (n == 0) return 0;
    if (errno == EINTR) continue;
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(fd_, POLLIN, Remaining(start, timeoutMs)) == Wait::kReady)
      continue;
    return 0;
  }
  if (count > 0) std::memcpy(buffer, in_.data() + inStart_, count);
  inStart_ += count;
  if (inStart_ == inEnd_) inStart_ = inEnd_ = 0;
  return count;
}

void Socket::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  out_.clear();
  inStart_ = inEnd_ = 0;
}

std::string Socket::GetHostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return std::string();
  return name;
}

bool Socket::Resolves(const char* host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (!host || ::getaddrinfo(host, nullptr, &hints, &found) != 0) return false;
  ::freeaddrinfo(found);
  return true;
}
