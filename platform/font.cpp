// Fonts rasterised once through FreeType into antialiased glyphs: one for
// each code point 0-255 (ISO-8859-1), and those above that the texts of the
// game's language need (AddFontCharacters).
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <set>

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

struct LoadedFont {
  std::unique_ptr<Font> font;
  std::string url;  // read again when characters are added
};

std::vector<LoadedFont>& LoadedFonts() {
  static std::vector<LoadedFont> fonts;  // fonts live for the whole run
  return fonts;
}

// The code points above 255 that every font rasterises.
std::set<uint32_t>& ExtraCodes() {
  static std::set<uint32_t> codes;
  return codes;
}

int RoundedPixels(FT_Pos value26dot6) { return static_cast<int>((value26dot6 + 32) >> 6); }

void RenderGlyph(FT_Face face, uint32_t code, const Font& font, Glyph& glyph) {
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

// A font file opened at a pixel size; its bytes stay as long as the face reads them.
class Face {
 public:
  Face(const std::string& url, int pixelSize) : file_(ReadWholeUrl(url)) {
    if (!file_ || file_->bytes.empty()) return;
    if (FT_New_Memory_Face(Library(), file_->bytes.data(), static_cast<FT_Long>(file_->bytes.size()), 0, &face_) != 0) {
      face_ = nullptr;
    } else if (FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(pixelSize)) != 0) {
      FT_Done_Face(face_);
      face_ = nullptr;
    }
  }
  ~Face() {
    if (face_ != nullptr) FT_Done_Face(face_);
  }
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;
  FT_Face get() const { return face_; }

 private:
  std::optional<UrlBytes> file_;
  FT_Face face_ = nullptr;
};

// Adds the glyphs the face has for these code points (above 255, not yet in the font).
template <typename Codes>
void RenderExtras(FT_Face face, const Codes& codes, Font& font) {
  for (const uint32_t code : codes) {
    Glyph glyph;
    RenderGlyph(face, code, font, glyph);
    if (glyph.present) font.extraGlyphs.emplace_back(code, std::move(glyph));
  }
  std::sort(font.extraGlyphs.begin(), font.extraGlyphs.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
}

}  // namespace

Font* LoadFontFile(const std::string& url, int pixelSize, int style) {
  if (pixelSize <= 0 || Library() == nullptr) return nullptr;
  const Face face(url, pixelSize);
  if (face.get() == nullptr) return nullptr;
  auto font = std::make_unique<Font>();
  font->pixelSize = pixelSize;
  font->style = style;
  font->ascent = RoundedPixels(face.get()->size->metrics.ascender);
  font->height = RoundedPixels(face.get()->size->metrics.ascender - face.get()->size->metrics.descender);
  for (uint32_t code = 0; code < 256; ++code) RenderGlyph(face.get(), code, *font, font->glyphs[code]);
  RenderExtras(face.get(), ExtraCodes(), *font);
  font->id = nextFontId++;
  LoadedFonts().push_back({std::move(font), url});
  return LoadedFonts().back().font.get();
}

void AddFontCharacters(const std::string& utf8) {
  std::vector<uint32_t> added;
  for (size_t i = 0; i < utf8.size();) {
    const uint32_t code = NextCodePoint(utf8, i);
    if (code > 255 && ExtraCodes().insert(code).second) added.push_back(code);
  }
  if (added.empty()) return;
  for (LoadedFont& loaded : LoadedFonts()) {
    const Face face(loaded.url, loaded.font->pixelSize);
    if (face.get() == nullptr) continue;  // the file is gone: the font keeps what it has
    RenderExtras(face.get(), added, *loaded.font);
    ++loaded.font->generation;
  }
}

std::vector<uint32_t> CodePointsWithoutGlyph(const Font& font, const std::string& utf8) {
  std::vector<uint32_t> missing;
  for (size_t i = 0; i < utf8.size();) {
    const uint32_t code = NextCodePoint(utf8, i);
    if (FindGlyph(font, code) == nullptr && std::find(missing.begin(), missing.end(), code) == missing.end()) {
      missing.push_back(code);
    }
  }
  return missing;
}

const Font* DefaultFont() {
  static Font* loaded = nullptr;
  static Font empty;
  if (loaded == nullptr) loaded = LoadFontFile(kDefaultFontUrl, kDefaultFontPixels, 0);
  return loaded != nullptr ? loaded : &empty;
}
