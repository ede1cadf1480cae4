// A stand-in for the highscore service on 127.0.0.1: it records the exact
// bytes of every request and answers each connection from a script.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quarzello::highscore_test {

class FakeHighscoreServer {
 public:
  enum class Behaviour {
    kReply,    // send the reply, then close
    kSilent,   // read the request, then say nothing until the client hangs up
    kEndless,  // answer with bytes that never end (bounded here, for safety)
    kTrickle,  // send the reply a byte at a time, 20 ms apart, then close
    kReset,    // send the reply, then break the connection instead of closing it
    kHold,     // send the reply, then keep the connection open until the client hangs up
  };
  struct Answer {
    std::string reply;
    Behaviour behaviour = Behaviour::kReply;
  };

  // An HTTP reply with the given body lines, each ended by CR LF.
  static std::string Reply(const std::vector<std::string>& bodyLines) {
    std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
    for (const std::string& line : bodyLines) reply += line + "\r\n";
    return reply;
  }
  // The same with a Content-Length header, as the real service sends it.
  static std::string ReplyWithLength(const std::vector<std::string>& bodyLines) {
    std::string body;
    for (const std::string& line : bodyLines) body += line + "\r\n";
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
  }

  FakeHighscoreServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 8) != 0)
      std::abort();
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }

  ~FakeHighscoreServer() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }

  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }

  void Script(std::vector<Answer> answers) {
    std::lock_guard lock(mutex_);
    answers_.assign(answers.begin(), answers.end());
  }
  void AnswerWith(const std::vector<std::string>& bodyLines) { Script({{Reply(bodyLines)}}); }

  std::vector<std::string> Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

  // A port on which nothing listens.
  static int UnusedPort() {
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
  }

 private:
  static constexpr size_t kEndlessLimit = 64u << 20;

  // Waits up to timeoutMillis for the socket to become readable.
  bool Readable(int fd, int timeoutMillis) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeoutMillis) > 0;
  }

  // The request ends after the empty line and Content-Length bytes of body
  // plus the CR LF the game puts after the body; a GET at the empty line.
  static bool Complete(const std::string& request) {
    size_t headerEnd = request.find("\r\n\r\n");
    if (headerEnd == std::string::npos) return false;
    if (request.rfind("GET ", 0) == 0) return true;
    size_t lengthAt = request.find("Content-Length: ");
    size_t body = lengthAt == std::string::npos ? 0 : std::strtoul(request.c_str() + lengthAt + 16, nullptr, 10);
    return request.size() >= headerEnd + 4 + body + 2;
  }

  void Serve() {
    while (!stop_) {
      if (!Readable(listener_, 20)) continue;
      int client = accept(listener_, nullptr, nullptr);
      if (client < 0) continue;
      Handle(client);
      close(client);
    }
  }

  void Handle(int client) {
    std::string request;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    char buffer[4096];
    while (!Complete(request) && std::chrono::steady_clock::now() < deadline && !stop_) {
      if (!Readable(client, 20)) continue;
      ssize_t n = recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<size_t>(n));
    }
    Answer answer;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
      if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
      }
    }
    switch (answer.behaviour) {
      case Behaviour::kReply:
        SendAll(client, answer.reply);
        break;
      case Behaviour::kHold:
        SendAll(client, answer.reply);
        [[fallthrough]];
      case Behaviour::kSilent:
        // Until the client gives up and closes its end.
        while (!stop_) {
          if (Readable(client, 20) && recv(client, buffer, sizeof buffer, 0) <= 0) break;
        }
        break;
      case Behaviour::kTrickle:
        for (char byte : answer.reply) {
          if (stop_ || !SendAll(client, std::string(1, byte))) break;
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        break;
      case Behaviour::kReset: {
        SendAll(client, answer.reply);
        linger abort{1, 0};  // the close that follows sends a reset
        setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        break;
      }
      case Behaviour::kEndless: {
        SendAll(client, answer.reply);
        std::string chunk(65536, 'x');
        for (size_t sent = 0; sent < kEndlessLimit && !stop_; sent += chunk.size())
          if (!SendAll(client, chunk)) break;
        break;
      }
    }
  }

  static bool SendAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::deque<Answer> answers_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace quarzello::highscore_test
