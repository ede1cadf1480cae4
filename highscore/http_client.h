// The transport of the online client's requests: one HTTP/1.0 POST on a
// connection of its own (or a GET of the service's pages for programs),
// within the context's deadline, and its reply read whole. Shared by the
// requests in online.cpp, deal.cpp and verified.cpp.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "highscore/online.h"
#include "platform/platform.h"

namespace quarzello {

struct StreamCloser {
  void operator()(Stream* stream) const { CloseByteStream(stream); }
};
using Connection = std::unique_ptr<Stream, StreamCloser>;

// Opened under the context's deadline; null when there is no connection.
Connection Connect(const ClientContext& context);

std::string RequestLine(const char* path);

// The request with the game's header lines and the form-encoded body.
void SendRequest(Stream* stream, const ClientContext& context, const std::string& requestLine,
                 const std::string& body);
// A GET of path (with its query) under the game's Host and User-Agent,
// accepting `accept`.
void SendGetRequest(Stream* stream, const ClientContext& context, const std::string& path, const char* accept);

// A reply is read whole before anything in it is used: the status and header
// lines, then the body, never more than kMaxReplyBytes in all, so that an
// endless answer cannot eat the memory. It came whole when its body is as
// long as its Content-Length says or, without one, when the server closed the
// connection normally; a time-out, a broken connection or the size limit cut
// it off, and a reply cut off is never used, lest half a table pass for all.
// Body lines are split like ReadLine does, and a line that reaches
// kMaxReplyLine characters ends the body.
class ReplyReader {
 public:
  explicit ReplyReader(Stream* stream) {
    std::optional<size_t> length;
    std::string line = HeaderLine(stream);
    // "HTTP/1.1 200 OK"
    if (line.rfind("HTTP/", 0) == 0 && line.find(' ') != std::string::npos)
      status_ = TextToInt(line.substr(line.find(' ') + 1, 3));
    for (; !line.empty(); line = HeaderLine(stream)) {
      if (line.size() > kLengthHeader.size() &&
          std::equal(kLengthHeader.begin(), kLengthHeader.end(), line.begin(),
                     [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); }))
        length = static_cast<size_t>(std::max(0, TextToInt(line.substr(kLengthHeader.size()))));
    }
    while (received_ < kMaxReplyBytes && (!length || body_.size() < *length) && !Eof(stream)) {
      body_ += static_cast<char>(ReadByte(stream));
      ++received_;
    }
    if (length) {
      whole_ = body_.size() == *length;
    } else {
      whole_ = Eof(stream) && !StreamCutOff(stream);
    }
    whole_ = whole_ && received_ > 0;
  }

  std::string Line() {
    std::string line;
    while (!Ended()) {
      const char byte = body_[position_++];
      if (byte == 10 || byte == 0) break;
      if (byte == 13) continue;
      line += byte;
      if (line.size() == kMaxReplyLine) position_ = body_.size();
    }
    return line;
  }

  bool Ended() const { return position_ == body_.size(); }
  // The body as it came, for a reply that is not lines of text.
  const std::string& Body() const { return body_; }
  // The status code of the reply's first line; 0 when it had none.
  int Status() const { return status_; }
  // The server answered, and its answer was not cut off.
  bool Whole() const { return whole_; }

 private:
  static constexpr std::string_view kLengthHeader = "content-length:";

  std::string HeaderLine(Stream* stream) {
    std::string line;
    while (received_ < kMaxReplyBytes && !Eof(stream)) {
      const int byte = ReadByte(stream);
      ++received_;
      if (byte == 10 || byte == 0) break;
      if (byte != 13) line += static_cast<char>(byte);
    }
    return line;
  }

  std::string body_;
  size_t position_ = 0;
  size_t received_ = 0;
  bool whole_ = false;
  int status_ = 0;
};


}  // namespace quarzello
