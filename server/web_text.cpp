#include "server/web_text.h"

#include <cstdio>
#include <ctime>

namespace highscored {

namespace {

bool IsControl(unsigned char c) { return c < 32 || (c >= 127 && c < 160); }

std::string Trimmed(std::string_view text) {
  const size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  const size_t end = text.find_last_not_of(" \t");
  return std::string(text.substr(begin, end - begin + 1));
}

}  // namespace

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string utf8;
  utf8.reserve(latin1.size() + latin1.size() / 8);
  for (unsigned char c : latin1) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

std::string HtmlEscape(std::string_view latin1) {
  std::string html;
  html.reserve(latin1.size());
  for (unsigned char c : latin1) {
    switch (c) {
      case '&': html += "&amp;"; break;
      case '<': html += "&lt;"; break;
      case '>': html += "&gt;"; break;
      case '"': html += "&quot;"; break;
      case '\'': html += "&#39;"; break;
      default: html += IsControl(c) ? std::string("&#xFFFD;") : std::string(1, static_cast<char>(c));
    }
  }
  return html;
}

std::string JsonQuote(std::string_view latin1) {
  std::string json = "\"";
  for (unsigned char c : latin1) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
    } else if (c < 32 || c == '<' || c == '>' || c == '&' || c == 127) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      json += escape;
    } else {
      json += static_cast<char>(c);
    }
  }
  return json + "\"";
}

std::string IsoUtcTime(int64_t millis) {
  const std::time_t seconds = static_cast<std::time_t>(millis / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string EntityTag(std::string_view body) {
  // FNV-1a: the tag only has to change when the body does.
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : body) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char text[24];
  std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(hash));
  return text;
}

bool MatchesEntityTag(std::string_view ifNoneMatch, std::string_view tag) {
  size_t start = 0;
  while (start <= ifNoneMatch.size()) {
    size_t comma = ifNoneMatch.find(',', start);
    if (comma == std::string_view::npos) comma = ifNoneMatch.size();
    std::string candidate = Trimmed(ifNoneMatch.substr(start, comma - start));
    if (candidate.rfind("W/", 0) == 0) candidate.erase(0, 2);
    if (candidate == "*" || candidate == tag) return true;
    start = comma + 1;
  }
  return false;
}

}  // namespace highscored
