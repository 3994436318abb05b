// The socket channels against a peer in this process on the loopback. These
// tests listen on ports 3333-3337 and hold one CTest resource lock (see
// tests/CMakeLists.txt), so parallel runs never share a port.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/socket.h"
#include "zolt/zolt_fixture.h"

namespace {

using Bytes = std::vector<unsigned char>;

class SocketChannels : public ZoltFixture {
 protected:
  ~SocketChannels() override {
    Run({"define closeall", "loop k (0, 4)", "  dummy = sclose(k)", "endloop", "end", "closeall"});
    Socket::StopListening();
  }

  // Runs fn with the body and prints the names: what the prints showed.
  std::string Values(std::initializer_list<std::string> body, std::initializer_list<std::string> names) {
    std::vector<std::string> lines{"define fn"};
    lines.insert(lines.end(), body.begin(), body.end());
    lines.insert(lines.end(), {"end", "fn"});
    for (const std::string& n : names) lines.push_back("print " + n);
    std::string out = Run(lines), shown;
    for (size_t at = out.find("Terrax>print "); at != std::string::npos; at = out.find("Terrax>print ", at + 1)) {
      const size_t line = out.find('\n', at) + 1;
      shown += out.substr(line, out.find('\n', line) + 1 - line);
    }
    return shown;
  }

  // A peer that connects to the channel's port as soon as it listens.
  static void ConnectWhenListening(Socket& peer, int channel) {
    for (int i = 0; i < 250 && !peer.Connect("127.0.0.1", 3333 + channel, 500); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
};

Bytes Word(uint32_t v) {
  return {Bytes::value_type(v), Bytes::value_type(v >> 8), Bytes::value_type(v >> 16), Bytes::value_type(v >> 24)};
}
Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(SocketChannels, ClientSendsCheckWordAndRecordsAndReadsTheEchoBack) {
  ASSERT_TRUE(Socket::Listen(3335));
  EXPECT_EQ(Values({"st = sopen(0, 2)", "array a(3)", "a(1) = 5", "a(2) = 0.5", "a(3) = 'abc'", "sw = swrite(a, 2, 3)"},
                   {"st", "sw"}),
            "st = 0\nsw = 0\n");
  Socket peer;
  ASSERT_TRUE(peer.GetConnection(500));
  Socket::StopListening();
  const Bytes expected = Bytes{0x00, 0x52, 0xA0, 0x0A} + Word(1) + Word(5) + Word(2) +
                         Bytes{0, 0, 0, 0, 0, 0, 0xE0, 0x3F} + Word(3) + Word(3) + Bytes{'a', 'b', 'c', 0};
  Bytes got(expected.size());
  ASSERT_EQ(peer.Receive(got.data(), got.size(), 0, 0, 1000), got.size());
  EXPECT_EQ(got, expected);

  peer.Send(expected.data() + 4, expected.size() - 4);
  peer.Flush();
  EXPECT_EQ(
      Values({"array b(3)", "sr = sread(b, 2, 3)", "b1 = b(1)", "b2 = b(2)", "b3 = b(3)"}, {"sr", "b1", "b2", "b3"}),
      "sr = 0\nb1 = 5\nb2 = 0.5\nb3 = abc\n");
  EXPECT_EQ(Error(Run({"define fn", "sr = sread(b, 2, 5)", "end", "fn"})),
            "Array size smaller than read/write request, or not array reference");

  // Waiting for data that never comes: ESC stops the read, the channel stays.
  std::thread esc([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    device.escFromOutside = true;
  });
  EXPECT_EQ(Error(Run({"define fn", "sr = sread(b, 2, 1)", "end", "fn"})), "ESC key pressed to halt");
  esc.join();
  EXPECT_EQ(Values({"sc = sclose(2)", "sr = sread(b, 2, 1)"}, {"sc", "sr"}), "sc = 0\nsr = -1\n");
  char b;
  EXPECT_EQ(peer.Receive(&b, 1, 0, 0, 1000), 0u);  // the peer sees the end
}

TEST_F(SocketChannels, BadArgumentsAndEmptyChannels) {
  struct Case {
    const char* call;
    const char* status;
  };
  const Case cases[] = {
      {"sclose(4)", "0"},        {"sclose(7)", "3"},         {"sclose('a')", "3"},      {"sread(b, 4, 1)", "-1"},
      {"sread(b, -1, 1)", "-1"}, {"sread(b, 'x', 1)", "-1"}, {"swrite(b, 4, 1)", "-1"}, {"swrite(b, 5, 1)", "-1"},
      {"sopen('x', 'y')", "3"},  {"sopen(2, 0)", "4"},       {"sopen(0, 5)", "3"},      {"sopen(1.0, 0)", "3"},
      {"sopen(0, -1)", "3"},     {"sopen(null, 0)", "3"},
  };
  Run({"define mkb", "array b(1)", "end"});
  for (const Case& c : cases)
    EXPECT_EQ(Values({"b(1) = 7", std::string("res = ") + c.call, "b1 = b(1)"}, {"res", "b1"}),
              std::string("res = ") + c.status + "\nb1 = 7\n")
        << c.call;

  // A client that finds nobody listening: 9 and the message, channel empty.
  for (const char* open : {"sopen(0, 4)", "sopen('no-such-host.invalid', 4)"}) {
    const std::string out =
        Run({"define fn", std::string("st = ") + open, "sr = sread(b, 4, 1)", "end", "fn", "print st", "print sr"});
    EXPECT_NE(out.find(" *** Connection could not be made\n"), std::string::npos) << open;
    EXPECT_NE(out.find("st = 9\n"), std::string::npos) << open;
    EXPECT_NE(out.find("sr = -1\n"), std::string::npos) << open;
  }
}

TEST_F(SocketChannels, ServerRefusesABadCheckWordAndStopsListening) {
  Socket peer;
  std::thread client([&] {
    ConnectWhenListening(peer, 3);
    peer.Send("abcd", 4);
    peer.Flush();
  });
  const std::string out =
      Run({"define fn", "st = sopen(1, 3)", "array b(1)", "sr = sread(b, 3, 1)", "end", "fn", "print st", "print sr"});
  client.join();
  EXPECT_NE(out.find(Socket::GetHostName() +
                     " is waiting for connection ...  connection made!\n Bad data transfer .. cannot use channel\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("st = 9\nTerrax>print sr\nsr = -1\n"), std::string::npos) << out;
  EXPECT_FALSE(Socket::IsListening());
  char b;
  EXPECT_EQ(peer.Receive(&b, 1, 0, 0, 1000), 0u);  // the server hung up

  // ESC while nobody comes: the wait ends and listening stops.
  std::thread esc([this] {
    for (int i = 0; i < 500 && !Socket::IsListening(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    device.escFromOutside = true;
  });
  EXPECT_EQ(Error(Run({"define fn", "st = sopen(1, 3)", "end", "fn"})), "ESC key pressed to halt");
  esc.join();
  EXPECT_FALSE(Socket::IsListening());
}

TEST_F(SocketChannels, ServerReadsLongTextsPointersAndStopsAtBadRecords) {
  const std::string text(150, 'q');
  Socket peer;
  std::thread client([&] {
    ConnectWhenListening(peer, 1);
    Bytes b = Word(0x0AA05200u) + Word(3) + Word(150);
    b.insert(b.end(), text.begin(), text.end());
    b = b + Bytes{0, 0} + Word(1) + Word(9) + Word(4) + Word(7) + Word(2) + Bytes{1, 2, 3};
    peer.Send(b.data(), b.size());
    peer.Flush();
    peer.Close();
  });
  const std::string out = Values({"st = sopen(1, 1)", "array b(3)", "r1 = sread(b, 1, 3)", "n1 = string(b(1))",
                                  "n1 = n1 + '/'", "b2 = b(2)", "t3 = type(b(3))", "b(1) = 5", "r2 = sread(b, 1, 1)",
                                  "t1 = type(b(1))", "b(1) = 5", "r3 = sread(b, 1, 1)", "v1 = b(1)"},
                                 {"st", "r1", "n1", "b2", "t3", "r2", "t1", "r3", "v1"});
  client.join();
  EXPECT_EQ(out,
            "st = 0\nr1 = 0\nn1 = " + text.substr(0, 100) + "/\nb2 = 9\nt3 = 4\nr2 = -1\nt1 = 1\nr3 = -1\nv1 = 0\n");
  EXPECT_FALSE(Socket::IsListening());
}

}  // namespace
