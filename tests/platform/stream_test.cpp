#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/platform.h"

namespace quarzello::platform_test {

namespace {

Stream* OpenBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
  RegisterEmbeddedFile(name, bytes.data(), bytes.size());
  return OpenRead("incbin::" + name);
}

TEST(Stream, ReadLineSplitsAtLineFeedAndSkipsCarriageReturn) {
  static const std::vector<uint8_t> bytes = {65, 66, 13, 10, 67};
  Stream* stream = OpenBytes("lines", bytes);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(ReadLine(stream), "AB");
  EXPECT_FALSE(Eof(stream));
  EXPECT_EQ(ReadLine(stream), "C");
  EXPECT_TRUE(Eof(stream));
  EXPECT_EQ(ReadLine(stream), "");
  CloseByteStream(stream);
}

TEST(Stream, ReadLineStopsAtZeroAndKeepsHighBytes) {
  static const std::vector<uint8_t> bytes = {0xE4, 0, 0xFC, 10};
  Stream* stream = OpenBytes("zero", bytes);
  EXPECT_EQ(ReadLine(stream), "\xE4");
  EXPECT_EQ(ReadLine(stream), "\xFC");
  EXPECT_TRUE(Eof(stream));
  CloseByteStream(stream);
}

TEST(Stream, ReadsPastTheEndGiveZerosQuietly) {
  static const std::vector<uint8_t> bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
  Stream* stream = OpenBytes("ints", bytes);
  EXPECT_EQ(ReadInt(stream), 0x04030201);
  EXPECT_EQ(ReadInt(stream), 0x0605);  // two bytes left: zeros above them
  EXPECT_TRUE(Eof(stream));
  EXPECT_EQ(ReadInt(stream), 0);
  EXPECT_EQ(ReadByte(stream), 0);
  CloseByteStream(stream);
}

TEST(Stream, NegativeIntsAndHighBytes) {
  static const std::vector<uint8_t> bytes = {0xFE, 0xFF, 0xFF, 0xFF, 0xC8};
  Stream* stream = OpenBytes("negative", bytes);
  EXPECT_EQ(ReadInt(stream), -2);
  EXPECT_EQ(ReadByte(stream), 200);
  CloseByteStream(stream);
}

TEST(Stream, EmbeddedFilesAreReadOnlyAndUnknownNamesAreNone) {
  static const std::vector<uint8_t> bytes = {1};
  RegisterEmbeddedFile("readonly", bytes.data(), bytes.size());
  EXPECT_EQ(OpenWrite("incbin::readonly"), nullptr);
  EXPECT_EQ(OpenRead("incbin::unknown"), nullptr);
  EXPECT_EQ(OpenRead("/nonexistent/dir/file"), nullptr);
  EXPECT_EQ(OpenRead("."), nullptr);  // a directory is no file
}

class FileStream : public ::testing::Test {
 protected:
  std::string path = (std::filesystem::temp_directory_path() /
                      ("quarzello-stream-" + std::to_string(getpid()) + ".bin")).string();
  void TearDown() override { std::remove(path.c_str()); }
};

TEST_F(FileStream, WrittenBytesReadBackInOrder) {
  Stream* out = OpenWrite(path);
  ASSERT_NE(out, nullptr);
  WriteByte(out, 0x1FF);  // only the low eight bits
  WriteInt(out, -123456);
  WriteLine(out, "Menü");
  WriteBytes(out, std::string("\0z", 2));
  CloseByteStream(out);

  Stream* in = OpenRead(path);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(ReadByte(in), 0xFF);
  EXPECT_EQ(ReadInt(in), -123456);
  EXPECT_EQ(ReadLine(in), "Menü");
  EXPECT_EQ(ReadByte(in), 0);
  EXPECT_EQ(ReadByte(in), 'z');
  EXPECT_TRUE(Eof(in));
  CloseByteStream(in);
  EXPECT_EQ(std::filesystem::file_size(path), 1u + 4 + 4 + 2 + 2);
}

TEST_F(FileStream, OpenWriteTruncates) {
  Stream* out = OpenWrite(path);
  WriteBytes(out, "long text");
  CloseByteStream(out);
  CloseByteStream(OpenWrite(path));
  Stream* in = OpenRead(path);
  ASSERT_NE(in, nullptr);
  EXPECT_TRUE(Eof(in));
  CloseByteStream(in);
}

TEST_F(FileStream, LargeFilesCrossTheReadBuffer) {
  Stream* out = OpenWrite(path);
  for (int i = 0; i < 100000; ++i) WriteInt(out, i);
  CloseByteStream(out);
  Stream* in = OpenRead(path);
  int mismatches = 0;
  for (int i = 0; i < 100000; ++i) mismatches += ReadInt(in) != i;
  EXPECT_EQ(mismatches, 0);
  EXPECT_TRUE(Eof(in));
  CloseByteStream(in);
}

TEST(StreamDeathTest, WritingToAReadOnlyStreamIsAnError) {
  static const std::vector<uint8_t> bytes = {1};
  EXPECT_EXIT(
      {
        Stream* stream = OpenBytes("nowrite", bytes);
        WriteByte(stream, 1);
      },
      ::testing::ExitedWithCode(255), "Error writing to stream");
}

// A one-connection server on 127.0.0.1 that runs `serve` on the accepted socket.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::function<void(int)> serve) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 1);
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, serve] {
      const int connection = accept(listener_, nullptr, nullptr);
      if (connection >= 0) {
        serve(connection);
        close(connection);
      }
    });
  }
  ~LoopbackServer() {
    shutdown(listener_, SHUT_RDWR);
    thread_.join();
    close(listener_);
  }
  std::string Url() const { return "tcp::127.0.0.1:" + std::to_string(port_); }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

std::string ReceiveLine(int socket) {
  std::string line;
  char c;
  while (recv(socket, &c, 1, 0) == 1) {
    line.push_back(c);
    if (c == '\n') break;
  }
  return line;
}

TEST(TcpStream, RequestAndReplyThenTheClosedPeerEndsTheData) {
  std::string received;
  {
    LoopbackServer server([&](int socket) {
      received = ReceiveLine(socket);
      const std::string reply = "OK\r\nzwei\r\n";
      send(socket, reply.data(), reply.size(), 0);
    });
    Stream* stream = OpenUrl(server.Url(), true, true);
    ASSERT_NE(stream, nullptr);
    WriteLine(stream, "hallo");
    EXPECT_EQ(ReadLine(stream), "OK");
    EXPECT_EQ(ReadLine(stream), "zwei");
    EXPECT_TRUE(Eof(stream));
    EXPECT_FALSE(StreamCutOff(stream));
    EXPECT_EQ(ReadByte(stream), 0);
    CloseByteStream(stream);
  }
  EXPECT_EQ(received, "hallo\r\n");
}

TEST(TcpStream, SilentPeerTimesOutAsTheEnd) {
  LoopbackServer server([](int socket) { ReceiveLine(socket); });  // waits until the client hangs up
  Stream* stream = OpenUrl(server.Url(), true, true, 200);
  ASSERT_NE(stream, nullptr);
  EXPECT_TRUE(Eof(stream));
  EXPECT_TRUE(StreamCutOff(stream));
  EXPECT_EQ(ReadLine(stream), "");
  WriteLine(stream, "ignored");  // the connection is given up; writes go nowhere
  CloseByteStream(stream);
}

TEST(TcpStream, OneDeadlineCoversTheWholeConnectionHoweverOftenThePeerSendsAByte) {
  LoopbackServer server([](int socket) {
    ReceiveLine(socket);
    for (int i = 0; i < 200 && send(socket, "x", 1, MSG_NOSIGNAL) == 1; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  });
  Stream* stream = OpenUrl(server.Url(), true, true, 300);
  ASSERT_NE(stream, nullptr);
  WriteLine(stream, "hallo");
  EXPECT_LT(ReadLine(stream).size(), 200u) << "the deadline ends the data before the peer does";
  EXPECT_TRUE(StreamCutOff(stream));
  CloseByteStream(stream);
}

TEST(TcpStream, ResetPeerEndsTheDataWithoutEndingTheProgram) {
  LoopbackServer server([](int socket) {
    ReceiveLine(socket);
    linger abort{1, 0};  // close with a reset instead of a clean end
    setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  });
  Stream* stream = OpenUrl(server.Url(), true, true);
  ASSERT_NE(stream, nullptr);
  WriteLine(stream, "hallo");
  EXPECT_EQ(ReadLine(stream), "");
  EXPECT_TRUE(Eof(stream));
  EXPECT_TRUE(StreamCutOff(stream));
  for (int i = 0; i < 3; ++i) WriteBytes(stream, std::string(100000, 'x'));
  CloseByteStream(stream);
}

TEST(TcpStream, NoListenerOrNoHostIsNone) {
  int port;
  {
    // A port that was just free and has nobody listening any more.
    LoopbackServer server([](int) {});
    port = std::stoi(server.Url().substr(server.Url().rfind(':') + 1));
    CloseByteStream(OpenUrl(server.Url(), true, true));
  }
  EXPECT_EQ(OpenUrl("tcp::127.0.0.1:" + std::to_string(port), true, true), nullptr);
  EXPECT_EQ(OpenUrl("tcp::", true, true), nullptr);
}

}  // namespace

}  // namespace quarzello::platform_test
