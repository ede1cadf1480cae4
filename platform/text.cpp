// Conversions between numbers and text, and between ISO-8859-1 and UTF-8.
#include <cctype>

#include "platform/platform.h"

std::string IntToText(int value) { return std::to_string(value); }

int TextToInt(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  unsigned base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i < text.size() && text[i] == '%') {
    base = 2;
    ++i;
  }
  uint32_t value = 0;  // overlong numbers wrap around like 32-bit arithmetic
  for (; i < text.size(); ++i) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else {
      break;
    }
    if (digit >= base) break;
    value = value * base + digit;
  }
  return static_cast<int>(negative ? 0u - value : value);
}

std::vector<uint32_t> CodePointsFromUtf8(const std::string& utf8) {
  std::vector<uint32_t> codes;
  for (size_t i = 0; i < utf8.size();) codes.push_back(NextCodePoint(utf8, i));
  return codes;
}

std::string Utf8FromLatin1(const std::string& latin1) {
  std::string utf8;
  for (unsigned char c : latin1) {
    if (c < 0x80) {
      utf8.push_back(static_cast<char>(c));
    } else {
      utf8.push_back(static_cast<char>(0xC0 | c >> 6));
      utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return utf8;
}
