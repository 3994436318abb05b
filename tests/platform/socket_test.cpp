// The TCP connection of the socket channels on this machine's loopback.
// Every test here listens on ports 3333-3337: they hold one CTest resource
// lock (see tests/CMakeLists.txt), so parallel runs never share a port.
#include "platform/net/socket.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kPort = 3333;

// A connected pair: `server` took the connection of `client`.
struct Pair {
  Socket server, client;
  explicit Pair(int port = kPort) {
    EXPECT_TRUE(Socket::Listen(port));
    EXPECT_TRUE(client.Connect("127.0.0.1", port, 500));
    EXPECT_TRUE(server.GetConnection(500));
    Socket::StopListening();
  }
};

TEST(SocketTest, ReceivesExactCountsAcrossSendsAndFailsAtEndOfStream) {
  Pair p;
  ASSERT_TRUE(p.client.IsConnected() && p.server.IsConnected());
  EXPECT_TRUE(p.client.Send("abc", 3));
  EXPECT_TRUE(p.client.Send("defgh", 5));
  EXPECT_TRUE(p.client.Flush());
  char b[8] = {};
  ASSERT_EQ(p.server.Receive(b, 2), 2u);
  EXPECT_EQ(std::string(b, 2), "ab");
  ASSERT_EQ(p.server.Receive(b, 6), 6u);
  EXPECT_EQ(std::string(b, 6), "cdefgh");

  // A megabyte each way at once: neither side's buffers hold it all.
  std::vector<unsigned char> big(1 << 20), back(big.size());
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<unsigned char>(i * 7 + i / 251);
  std::thread peer([&] {
    std::vector<unsigned char> got(big.size());
    p.server.Receive(got.data(), got.size());
    p.server.Send(got.data(), got.size());
    p.server.Flush();
  });
  EXPECT_TRUE(p.client.Send(big.data(), big.size()));
  EXPECT_TRUE(p.client.Flush());
  EXPECT_EQ(p.client.Receive(back.data(), back.size()), back.size());
  peer.join();
  EXPECT_EQ(back, big);

  // Three bytes of five, then the end: a failure.
  p.client.Send("xyz", 3);
  p.client.Flush();
  p.client.Close();
  EXPECT_EQ(p.server.Receive(b, 5), 0u);
}

TEST(SocketTest, ConnectAndListenFailures) {
  Socket s;
  // Nothing listens, a name that cannot resolve, a port out of range.
  EXPECT_FALSE(s.Connect("127.0.0.1", kPort + 1, 500));
  EXPECT_FALSE(s.Connect("no-such-host.invalid", kPort + 1, 500));
  EXPECT_FALSE(s.Connect("127.0.0.1", 70000, 500));
  EXPECT_FALSE(s.IsConnected());
  EXPECT_FALSE(s.Flush());
  EXPECT_TRUE(Socket::Resolves("localhost"));
  EXPECT_FALSE(Socket::Resolves("no-such-host.invalid"));

  // A port another socket listens on cannot be had.
  const int other = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  a.sin_port = htons(kPort + 2);
  ASSERT_EQ(::bind(other, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(other, 1), 0);
  EXPECT_FALSE(Socket::Listen(kPort + 2));
  EXPECT_FALSE(Socket::IsListening());
  EXPECT_FALSE(s.GetConnection(10));
  ::close(other);
}

TEST(SocketTest, SendToAVanishedPeerFailsWithoutEndingTheProgram) {
  Pair p;
  p.server.Close();
  // The first send may still be taken by the system; a later one meets the reset.
  std::vector<char> block(64 * 1024, 'x');
  bool failed = false;
  for (int i = 0; i < 100 && !failed; ++i) {
    p.client.Send(block.data(), block.size());
    failed = !p.client.Flush(1000);
  }
  EXPECT_TRUE(failed);
}

TEST(SocketTest, StopCheckEndsWaitsAndKeepsWhatArrived) {
  int polls = 0;
  Socket waiting;
  waiting.SetStopCheck([&] { return ++polls >= 3; });
  ASSERT_TRUE(Socket::Listen(kPort));
  EXPECT_FALSE(waiting.GetConnection(Socket::kNoLimit));
  EXPECT_TRUE(waiting.Interrupted());
  EXPECT_EQ(polls, 3);
  Socket::StopListening();

  Pair p;
  polls = 0;
  p.server.SetStopCheck([&] { return ++polls >= 2; });
  p.client.Send("ab", 2);
  p.client.Flush();
  char b[4] = {};
  EXPECT_EQ(p.server.Receive(b, 4), 0u);
  EXPECT_TRUE(p.server.Interrupted());
  p.server.SetStopCheck(nullptr);
  p.client.Send("cd", 2);
  p.client.Flush();
  ASSERT_EQ(p.server.Receive(b, 4, 0, 0, 1000), 4u);
  EXPECT_FALSE(p.server.Interrupted());
  EXPECT_EQ(std::string(b, 4), "abcd");
}

}  // namespace
