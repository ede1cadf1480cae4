#include "server/log.h"

#include <unistd.h>

#include <cerrno>

namespace highscored {

std::string EscapedForLog(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 0x20 || (code >= 0x7f && code < 0xa0) || c == '\\') {
      escaped += "\\x";
      escaped += kHex[code >> 4];
      escaped += kHex[code & 15];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string FoldedLines(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.remove_suffix(1);
  }
  std::string folded;
  folded.reserve(text.size());
  for (const char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      folded += " / ";
    } else {
      folded += c;
    }
  }
  return folded;
}

void WriteLogLine(std::string text) {
  text += '\n';
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = write(STDERR_FILENO, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere to log to; serving goes on
    written += static_cast<size_t>(n);
  }
}

void LogNote(std::string_view message) {
  WriteLogLine("quarzello-highscored: " + EscapedForLog(FoldedLines(message)));
}

}  // namespace highscored
