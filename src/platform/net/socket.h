// A TCP connection for the scripting language's socket channels: connect to
// a host with a time-out, or listen on a port and take the one client that
// connects; sends are gathered until Flush, receives are buffered and answer
// exactly the bytes asked for. Every connection runs without the delayed
// send of small segments (TCP_NODELAY), and a peer that has gone makes a
// send fail instead of ending the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class Socket {
 public:
  // A wait of this many milliseconds has no limit.
  static constexpr uint32_t kNoLimit = 0xFFFFFFFFu;

  // The kind is kept for the caller's sake; every socket is a TCP stream.
  explicit Socket(int kind = 1);
  ~Socket();
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Connects to the host (a name or an address) on the port, trying each of
  // its addresses within the time-out; true when connected.
  bool Connect(const char* host, int port, uint32_t timeoutMs);
  // Adds the bytes to what Flush sends; false when not connected.
  bool Send(const void* buffer, size_t count, int flags = 0);
  // Sends everything gathered, waiting up to the time-out for room; false
  // when the connection failed (the peer gone) or the wait ran out.
  bool Flush(uint32_t timeoutMs = kNoLimit);

  // Starts listening on the port (any address of this machine); a listening
  // port already open is closed first. False when the port cannot be had.
  static bool Listen(int port);
  // Waits up to the time-out for a client of the listening port and makes
  // this socket its connection; true when one connected.
  bool GetConnection(uint32_t timeoutMs);
  // Closes the listening port.
  static void StopListening();
  static bool IsListening();

  // Receives exactly `count` bytes, waiting up to the time-out; answers
  // `count`, or 0 when the connection ended or failed or the wait ran out
  // or was stopped (then the bytes that did arrive stay for the next call).
  size_t Receive(void* buffer, size_t count, int flags = 0, int unused = 0, uint32_t timeoutMs = kNoLimit);

  // Closes the connection; the socket may connect again.
  void Close();
  bool IsConnected() const { return fd_ >= 0; }

  // This machine's name, empty when it cannot be told.
  static std::string GetHostName();
  // Whether the host name resolves to an address.
  static bool Resolves(const char* host);

  // While a wait lasts, `stop` is asked every 100 milliseconds; when it
  // answers true the wait ends as a failure and Interrupted() is set until
  // the next call that waits.
  void SetStopCheck(std::function<bool()> stop) { stop_ = std::move(stop); }
  bool Interrupted() const { return interrupted_; }

 private:
  enum class Wait { kReady, kTimedOut, kStopped, kFailed };
  Wait WaitFor(int fd, short events, uint32_t timeoutMs);
  bool ConnectTo(const void* address, unsigned length, int family, uint32_t timeoutMs);
  void Adopt(int fd);

  int fd_ = -1;
  std::vector<unsigned char> out_;
  std::vector<unsigned char> in_;  // unread bytes lie in [inStart_, inEnd_)
  size_t inStart_ = 0;
  size_t inEnd_ = 0;
  bool interrupted_ = false;
  std::function<bool()> stop_;
};
