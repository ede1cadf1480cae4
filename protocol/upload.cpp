#include "protocol/upload.h"

#include <zlib.h>

namespace quarzello {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

int SextetOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '-') return 62;
  if (c == '_') return 63;
  return -1;
}

uint32_t Crc(uint32_t crc, std::string_view bytes) {
  // zlib takes at most uInt at a time; the caps keep every part far below.
  return static_cast<uint32_t>(
      crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

}  // namespace

std::optional<std::string> DecodeBase64Url(std::string_view text) {
  while (!text.empty() && text.back() == '=') text.remove_suffix(1);
  if (text.size() % 4 == 1) return std::nullopt;
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3 + 2);
  uint32_t bits = 0;
  int count = 0;
  for (const char c : text) {
    const int sextet = SextetOf(c);
    if (sextet < 0) return std::nullopt;
    bits = (bits << 6) | static_cast<uint32_t>(sextet);
    if (++count == 4) {
      bytes.push_back(static_cast<char>(bits >> 16));
      bytes.push_back(static_cast<char>(bits >> 8));
      bytes.push_back(static_cast<char>(bits));
      bits = 0;
      count = 0;
    }
  }
  if (count == 2) {
    if (bits & 0xF) return std::nullopt;  // not what an encoder writes
    bytes.push_back(static_cast<char>(bits >> 4));
  } else if (count == 3) {
    if (bits & 0x3) return std::nullopt;
    bytes.push_back(static_cast<char>(bits >> 10));
    bytes.push_back(static_cast<char>(bits >> 2));
  }
  return bytes;
}

std::string EncodeBase64Url(std::string_view bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t bits = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16 |
                          static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8 |
                          static_cast<uint8_t>(bytes[i + 2]);
    for (int shift : {18, 12, 6, 0}) text.push_back(kAlphabet[(bits >> shift) & 63]);
  }
  if (bytes.size() - i == 1) {
    const uint32_t bits = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16;
    for (int shift : {18, 12}) text.push_back(kAlphabet[(bits >> shift) & 63]);
  } else if (bytes.size() - i == 2) {
    const uint32_t bits = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16 |
                          static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8;
    for (int shift : {18, 12, 6}) text.push_back(kAlphabet[(bits >> shift) & 63]);
  }
  return text;
}

int32_t RecordingHash(std::string_view key, std::string_view recording) {
  uint32_t crc = Crc(static_cast<uint32_t>(crc32(0, nullptr, 0)), key);
  crc = Crc(crc, recording);
  crc = Crc(crc, key);
  return static_cast<int32_t>(crc);
}

}  // namespace quarzello
