// The socket intrinsics: five channels (0-4) on TCP ports 3333 + channel,
// opened as a client (sopen(0 or host, c)) or as the server of one client
// (sopen(1, c)), carrying typed values in the records of the binary files.
// Every wait for a peer polls ESC, so a peer that never comes or never
// answers cannot hold the program.
#include <cstring>
#include <memory>

#include "base/command.h"
#include "base/except.h"
#include "platform/net/socket.h"
#include "zolt/zolt_interpreter.h"
#include "zolt/zolt_intrinsics.h"

namespace {
constexpr uint32_t kCheckWord = 0x0AA05200u;
constexpr int kChannels = 5;
constexpr int kFirstPort = 3333;
constexpr uint32_t kConnectTimeoutMs = 500;
constexpr int kMaxText = 100;

std::unique_ptr<Socket> g_channels[kChannels];

// The channel an argument names, or -1 when it is no integer 0-4 (a float
// is truncated where `numeric` allows it).
int ChannelOf(const ZoltValue& v, bool numeric) {
  int32_t c = -1;
  if (v.TypeTag() == ZoltValue::kInteger)
    c = v.Int();
  else if (numeric && v.TypeTag() == ZoltValue::kFloat && v.Float() > -1.0 && v.Float() < kChannels)
    c = static_cast<int32_t>(v.Float());
  return c >= 0 && c < kChannels ? c : -1;
}

void Print(ZoltInterpreter& zolt, const char* text) {
  if (CommandType* interp = zolt.Interp()) {
    *interp << text;
    interp->flush();
  }
}

// Waits of the socket end when ESC is pressed.
void WatchEsc(ZoltInterpreter& zolt, Socket& socket) {
  CommandType* interp = zolt.Interp();
  if (interp)
    socket.SetStopCheck([interp] { return interp->EscPressed(); });
  else
    socket.SetStopCheck(nullptr);
}

uint32_t U32(const unsigned char* b) {
  return b[0] | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}
void PutU32(unsigned char* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
}

// A client connection to the host; 9 with the message when none is made.
int32_t OpenClient(ZoltInterpreter& zolt, const char* host, int channel) {
  auto socket = std::make_unique<Socket>(1);
  WatchEsc(zolt, *socket);
  unsigned char word[4];
  PutU32(word, kCheckWord);
  if (!socket->Connect(host, kFirstPort + channel, kConnectTimeoutMs) || !socket->Send(word, 4) || !socket->Flush()) {
    if (socket->Interrupted()) throw ESCInterrupt();
    Print(zolt, " *** Connection could not be made\n");
    return 9;
  }
  g_channels[channel] = std::move(socket);
  return 0;
}

// Waits for the one client of the channel's port, which must begin with the
// check word. Listening ends however the wait ends.
int32_t OpenServer(ZoltInterpreter& zolt, int channel) {
  Print(zolt, (Socket::GetHostName() + " is waiting for connection ... ").c_str());
  auto socket = std::make_unique<Socket>(1);
  WatchEsc(zolt, *socket);
  if (!Socket::Listen(kFirstPort + channel) || !socket->GetConnection(Socket::kNoLimit)) {
    Socket::StopListening();
    if (socket->Interrupted()) throw ESCInterrupt();
    Print(zolt, "\n *** Connection could not be made\n");
    return 9;
  }
  Print(zolt, " connection made!\n");
  unsigned char word[4];
  const bool received = socket->Receive(word, 4) == 4;
  Socket::StopListening();
  if (!received && socket->Interrupted()) throw ESCInterrupt();
  if (!received || U32(word) != kCheckWord) {
    Print(zolt, " Bad data transfer .. cannot use channel\n");
    return 9;
  }
  g_channels[channel] = std::move(socket);
  return 0;
}

int32_t Open(ZoltInterpreter& zolt, const ZoltValue* a) {
  const int channel = ChannelOf(a[1], false);
  if (channel < 0) return 3;
  const ZoltValue& what = a[0];
  if (what.TypeTag() == ZoltValue::kInteger && what.Int() != 0 && what.Int() != 1) return 4;
  if (what.TypeTag() != ZoltValue::kInteger && what.TypeTag() != ZoltValue::kString) return 3;
  // A channel opened again gives up its old connection first.
  g_channels[channel].reset();
  if (what.TypeTag() == ZoltValue::kString) return OpenClient(zolt, what.Str().c_str(), channel);
  if (what.Int() == 1) return OpenServer(zolt, channel);
  // This machine by its name, or by the loopback address where the name
  // does not resolve (as in many containers).
  std::string host = Socket::GetHostName();
  if (host.empty() || !Socket::Resolves(host.c_str())) host = "127.0.0.1";
  return OpenClient(zolt, host.c_str(), channel);
}

// The open channel an sread or swrite names and the count, or null.
Socket* ChannelFor(ZoltInterpreter& zolt, const ZoltValue* a, int32_t& count) {
  if (!a[1].IsNumeric() || !a[2].IsNumeric()) return nullptr;
  const int channel = ChannelOf(a[1], true);
  if (channel < 0 || !g_channels[channel]) return nullptr;
  count = a[2].GetInt(kZoltIntMin, kZoltIntMax);
  WatchEsc(zolt, *g_channels[channel]);
  return g_channels[channel].get();
}

// Receives exactly n bytes; false when the connection failed (ESC ends the
// read as an error).
bool Take(Socket& socket, void* buffer, size_t n) {
  if (socket.Receive(buffer, n) == n) return true;
  if (socket.Interrupted()) throw ESCInterrupt();
  return false;
}

// One value record into v, which is integer 0 unless the record arrives
// whole; false when it did not, or its type is unknown.
bool ReceiveRecord(Socket& socket, ZoltValue& v) {
  v.SetInt(0);
  unsigned char b[8];
  if (!Take(socket, b, 4)) return false;
  switch (U32(b)) {
    case 1:
      if (!Take(socket, b, 4)) return false;
      v.SetInt(static_cast<int32_t>(U32(b)));
      return true;
    case 2: {
      if (!Take(socket, b, 8)) return false;
      const uint64_t u = U32(b) | (uint64_t{U32(b + 4)} << 32);
      double d;
      std::memcpy(&d, &u, 8);
      v.SetFloat(d);
      return true;
    }
    case 3: {
      if (!Take(socket, b, 4)) return false;
      const uint32_t length = U32(b);
      const uint32_t kept = length > kMaxText ? kMaxText : length;
      const uint32_t keptPadded = (kept + 3u) & ~3u;
      char text[kMaxText + 4];
      if (!Take(socket, text, keptPadded)) return false;
      // The rest of a longer text is consumed and dropped.
      for (uint64_t left = ((uint64_t{length} + 3) & ~uint64_t{3}) - keptPadded; left > 0;) {
        char skip[256];
        const size_t n = left > sizeof skip ? sizeof skip : static_cast<size_t>(left);
        if (!Take(socket, skip, n)) return false;
        left -= n;
      }
      v.SetString(String(text, static_cast<int>(kept)));
      return true;
    }
    case 4:
      v.SetPointer(nullptr, 0);
      return true;
    default:
      return false;
  }
}

int32_t Read(ZoltInterpreter& zolt, ZoltValue* a) {
  int32_t count = 0;
  Socket* socket = ChannelFor(zolt, a, count);
  if (!socket) return -1;
  ZoltArray& array = ZoltArrayArgument(a[0], count);
  for (int32_t i = 0; i < count; ++i)
    if (!ReceiveRecord(*socket, array.At(static_cast<uint32_t>(i)))) return -1;
  return 0;
}

// The records of all the elements go out in one send.
int32_t Write(ZoltInterpreter& zolt, ZoltValue* a) {
  int32_t count = 0;
  Socket* socket = ChannelFor(zolt, a, count);
  if (!socket) return -1;
  ZoltArray& array = ZoltArrayArgument(a[0], count);
  static const unsigned char kZeros[4] = {0, 0, 0, 0};
  for (int32_t i = 0; i < count; ++i) {
    const ZoltValue& v = array.At(static_cast<uint32_t>(i));
    unsigned char b[12];
    PutU32(b, v.TypeTag() + 1);
    switch (v.TypeTag()) {
      case ZoltValue::kInteger:
        PutU32(b + 4, static_cast<uint32_t>(v.Int()));
        socket->Send(b, 8);
        break;
      case ZoltValue::kFloat: {
        uint64_t u;
        const double d = v.Float();
        std::memcpy(&u, &d, 8);
        PutU32(b + 4, static_cast<uint32_t>(u));
        PutU32(b + 8, static_cast<uint32_t>(u >> 32));
        socket->Send(b, 12);
        break;
      }
      case ZoltValue::kString: {
        const int n = v.Str().Length() > kMaxText ? kMaxText : v.Str().Length();
        PutU32(b + 4, static_cast<uint32_t>(n));
        socket->Send(b, 8);
        socket->Send(v.Str().c_str(), static_cast<size_t>(n));
        if (n % 4) socket->Send(kZeros, static_cast<size_t>(4 - n % 4));
        break;
      }
      default:
        socket->Send(b, 4);
        break;
    }
  }
  if (socket->Flush()) return 0;
  if (socket->Interrupted()) throw ESCInterrupt();
  return -1;
}
}  // namespace

int32_t ZoltSocketIo(ZoltInterpreter& zolt, int mode, ZoltValue* arguments) {
  switch (mode) {
    case 0:
      return Open(zolt, arguments);
    case 1: {
      const int channel = ChannelOf(arguments[0], false);
      if (channel < 0) return 3;
      g_channels[channel].reset();
      return 0;
    }
    case 2:
      return Read(zolt, arguments);
    case 3:
      return Write(zolt, arguments);
    default:
      return -1;
  }
}
