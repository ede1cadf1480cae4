// Pictures made in memory for tests: uncompressed 24-bit BMP and PNG files
// with chosen pixels, to be registered as embedded files.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace quarzello::platform_test {

struct Rgba {
  uint8_t r, g, b, a;
};
using PixelAt = std::function<Rgba(int x, int y)>;

// A BMP with a 54-byte header (or a larger one, to check that the pixel
// offset is honoured), rows bottom-up and padded to four bytes.
inline std::vector<uint8_t> MakeBmp(int width, int height, const PixelAt& pixel, int extraHeader = 0) {
  const int stride = (width * 3 + 3) & ~3;
  const int offset = 54 + extraHeader;
  std::vector<uint8_t> bytes(static_cast<size_t>(offset + stride * height), 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(2, static_cast<uint32_t>(bytes.size()));
  put32(10, static_cast<uint32_t>(offset));
  put32(14, static_cast<uint32_t>(40 + extraHeader));
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  bytes[26] = 1;
  bytes[28] = 24;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bytes.data() + offset + stride * (height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const Rgba p = pixel(x, y);
      row[x * 3] = p.b;
      row[x * 3 + 1] = p.g;
      row[x * 3 + 2] = p.r;
    }
  }
  return bytes;
}

inline std::vector<uint8_t> MakePng(int width, int height, const PixelAt& pixel, bool withAlpha) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(width);
  png.height = static_cast<png_uint_32>(height);
  png.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  const int channels = withAlpha ? 4 : 3;
  std::vector<uint8_t> pixels(static_cast<size_t>(width * height * channels));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgba p = pixel(x, y);
      const uint8_t values[4] = {p.r, p.g, p.b, p.a};
      std::memcpy(&pixels[static_cast<size_t>((y * width + x) * channels)], values, static_cast<size_t>(channels));
    }
  }
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&png, nullptr, &size, 0, pixels.data(), 0, nullptr);
  std::vector<uint8_t> bytes(size);
  png_image_write_to_memory(&png, bytes.data(), &size, 0, pixels.data(), 0, nullptr);
  bytes.resize(size);
  return bytes;
}

}  // namespace quarzello::platform_test
