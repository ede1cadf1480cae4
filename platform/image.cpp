// Pictures: PNG through libpng, uncompressed 24-bit BMP through a small
// reader of our own. Everything becomes straight-alpha RGBA in memory.
#include <png.h>

#include <cstring>
#include <optional>

#include "platform/platform.h"
#include "platform/internal.h"

namespace {

struct Picture {
  int width = 0, height = 0;
  bool hasAlpha = false;
  std::vector<uint8_t> rgba;
};

struct MaskColour {
  uint8_t red = 0, green = 0, blue = 0;
};
MaskColour maskColour;
uint32_t nextImageId = 1;

std::vector<std::unique_ptr<Image>>& LoadedImages() {
  static std::vector<std::unique_ptr<Image>> images;  // images live for the whole run
  return images;
}

uint32_t LittleEndian(std::span<const uint8_t> bytes, size_t at, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[at + i];
  return value;
}

std::optional<Picture> DecodeBmp(std::span<const uint8_t> bytes) {
  constexpr size_t kHeadersSize = 54;
  if (bytes.size() < kHeadersSize || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  const uint32_t pixelOffset = LittleEndian(bytes, 10, 4);
  const auto width = static_cast<int32_t>(LittleEndian(bytes, 18, 4));
  const auto signedHeight = static_cast<int32_t>(LittleEndian(bytes, 22, 4));
  const uint32_t bitsPerPixel = LittleEndian(bytes, 28, 2);
  const uint32_t compression = LittleEndian(bytes, 30, 4);
  if (bitsPerPixel != 24 || compression != 0 || width <= 0 || signedHeight == 0) return std::nullopt;
  if (width > 1 << 15 || signedHeight > 1 << 15 || signedHeight < -(1 << 15)) return std::nullopt;
  const bool bottomUp = signedHeight > 0;
  const int height = bottomUp ? signedHeight : -signedHeight;
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  if (pixelOffset > bytes.size() || (bytes.size() - pixelOffset) / stride < static_cast<size_t>(height)) {
    return std::nullopt;
  }

  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.rgba.resize(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    const int fileRow = bottomUp ? height - 1 - y : y;
    const uint8_t* source = bytes.data() + pixelOffset + stride * fileRow;
    uint8_t* target = picture.rgba.data() + static_cast<size_t>(y) * width * 4;
    for (int x = 0; x < width; ++x, source += 3, target += 4) {
      target[0] = source[2];
      target[1] = source[1];
      target[2] = source[0];
      target[3] = 255;
    }
  }
  return picture;
}

std::optional<Picture> DecodePng(std::span<const uint8_t> bytes) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) return std::nullopt;
  Picture picture;
  picture.width = static_cast<int>(png.width);
  picture.height = static_cast<int>(png.height);
  picture.hasAlpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  png.format = PNG_FORMAT_RGBA;
  picture.rgba.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, picture.rgba.data(), 0, nullptr)) {
    png_image_free(&png);
    return std::nullopt;
  }
  return picture;
}

std::optional<Picture> ReadPicture(const std::string& url) {
  const std::optional<UrlBytes> file = ReadWholeUrl(url);
  if (!file) return std::nullopt;
  const std::span<const uint8_t> bytes = file->bytes;
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return DecodeBmp(bytes);
  return DecodePng(bytes);
}

Image* MakeImage(Picture&& picture, int flags) {
  if (flags == kImageDefaultFlags) flags = kImageMasked | kImageFiltered;
  if ((flags & kImageMasked) != 0 && !picture.hasAlpha) {
    for (size_t i = 0; i < picture.rgba.size(); i += 4) {
      if (picture.rgba[i] == maskColour.red && picture.rgba[i + 1] == maskColour.green &&
          picture.rgba[i + 2] == maskColour.blue) {
        picture.rgba[i + 3] = 0;
      }
    }
  }
  auto image = std::make_unique<Image>();
  image->width = picture.width;
  image->height = picture.height;
  image->rgba = std::move(picture.rgba);
  image->cellWidth = picture.width;
  image->cellHeight = picture.height;
  image->frames = 1;
  image->flags = flags;
  image->id = nextImageId++;
  LoadedImages().push_back(std::move(image));
  return LoadedImages().back().get();
}

}  // namespace

int Image::FrameX(int f) const {
  const int perRow = cellWidth > 0 ? width / cellWidth : 1;
  return (firstCell + f) % perRow * cellWidth;
}

int Image::FrameY(int f) const {
  const int perRow = cellWidth > 0 ? width / cellWidth : 1;
  return (firstCell + f) / perRow * cellHeight;
}

Image* LoadImageFile(const std::string& url, int flags) {
  std::optional<Picture> picture = ReadPicture(url);
  if (!picture) return nullptr;
  return MakeImage(std::move(*picture), flags);
}

Image* LoadImageStrip(const std::string& url, int cellWidth, int cellHeight, int firstCell, int cellCount,
                      int flags) {
  if (cellWidth <= 0 || cellHeight <= 0 || firstCell < 0 || cellCount <= 0) return nullptr;
  std::optional<Picture> picture = ReadPicture(url);
  if (!picture) return nullptr;
  const long cells = static_cast<long>(picture->width / cellWidth) * (picture->height / cellHeight);
  if (cells < static_cast<long>(firstCell) + cellCount) return nullptr;
  Image* image = MakeImage(std::move(*picture), flags);
  image->cellWidth = cellWidth;
  image->cellHeight = cellHeight;
  image->firstCell = firstCell;
  image->frames = cellCount;
  return image;
}

void CentreHandle(Image* image) {
  if (image == nullptr) return;
  image->handleX = static_cast<float>(image->cellWidth) * 0.5f;
  image->handleY = static_cast<float>(image->cellHeight) * 0.5f;
}

void SetTransparentColour(int red, int green, int blue) {
  maskColour.red = static_cast<uint8_t>(red);
  maskColour.green = static_cast<uint8_t>(green);
  maskColour.blue = static_cast<uint8_t>(blue);
}
