// Fonts rasterised once through FreeType into 256 antialiased glyphs, one
// per ISO-8859-1 code (the code is the Unicode code point).
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>

#include "platform/internal.h"
#include "platform/platform.h"

namespace {

// The built-in font is the game's own TrueType file at a small size, loaded
// the first time it is needed; until the file is registered it has no glyphs.
constexpr const char* kDefaultFontUrl = "incbin::lucidagrande.ttf";
constexpr int kDefaultFontPixels = 12;

uint32_t nextFontId = 1;

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library created = nullptr;
    if (FT_Init_FreeType(&created) != 0) created = nullptr;
    return created;
  }();
  return library;
}

std::vector<std::unique_ptr<Font>>& LoadedFonts() {
  static std::vector<std::unique_ptr<Font>> fonts;  // fonts live for the whole run
  return fonts;
}

int RoundedPixels(FT_Pos value26dot6) { return static_cast<int>((value26dot6 + 32) >> 6); }

void RenderGlyph(FT_Face face, int code, const Font& font, Glyph& glyph) {
  const FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(code));
  if (index == 0) return;
  // Light hinting only snaps vertically, so the unhinted advances below
  // still match the outlines.
  if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) return;
  const FT_GlyphSlot slot = face->glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  glyph.present = true;
  glyph.advance = static_cast<float>(slot->linearHoriAdvance) / 65536.0f;
  glyph.left = slot->bitmap_left;
  glyph.top = font.ascent - slot->bitmap_top;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return;
  glyph.width = static_cast<int>(bitmap.width);
  glyph.height = static_cast<int>(bitmap.rows);
  glyph.coverage.resize(static_cast<size_t>(glyph.width) * glyph.height);
  for (int y = 0; y < glyph.height; ++y) {
    const uint8_t* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
    std::copy(row, row + glyph.width, glyph.coverage.begin() + static_cast<ptrdiff_t>(y) * glyph.width);
  }
}

}  // namespace

Font* LoadFontFile(const std::string& url, int pixelSize, int style) {
  if (pixelSize <= 0 || Library() == nullptr) return nullptr;
  const std::optional<UrlBytes> file = ReadWholeUrl(url);
  if (!file || file->bytes.empty()) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Memory_Face(Library(), file->bytes.data(), static_cast<FT_Long>(file->bytes.size()), 0, &face) != 0) {
    return nullptr;
  }
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize)) != 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  auto font = std::make_unique<Font>();
  font->pixelSize = pixelSize;
  font->style = style;
  font->ascent = RoundedPixels(face->size->metrics.ascender);
  font->height = RoundedPixels(face->size->metrics.ascender - face->size->metrics.descender);
  for (int code = 0; code < 256; ++code) RenderGlyph(face, code, *font, font->glyphs[code]);
  FT_Done_Face(face);
  font->id = nextFontId++;
  LoadedFonts().push_back(std::move(font));
  return LoadedFonts().back().get();
}

const Font* DefaultFont() {
  static Font* loaded = nullptr;
  static Font empty;
  if (loaded == nullptr) loaded = LoadFontFile(kDefaultFontUrl, kDefaultFontPixels, 0);
  return loaded != nullptr ? loaded : &empty;
}
