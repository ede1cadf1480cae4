// Conversions between numbers and text, and between the game's one byte per
// character and the UTF-8 of the desktop.
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
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t size = utf8.size();
  for (size_t i = 0; i < size;) {
    const unsigned char lead = bytes[i];
    int extra = 0;
    uint32_t code = lead;
    if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3, code = lead & 0x07;
    }
    bool valid = i + static_cast<size_t>(extra) < size;
    for (int k = 1; valid && k <= extra; ++k) {
      const unsigned char next = bytes[i + static_cast<size_t>(k)];
      valid = (next & 0xC0) == 0x80;
      code = code << 6 | (next & 0x3F);
    }
    if (!valid) {
      // Not UTF-8: the byte stands for itself, as in ISO-8859-1.
      codes.push_back(lead);
      ++i;
      continue;
    }
    codes.push_back(code);
    i += static_cast<size_t>(extra) + 1;
  }
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
