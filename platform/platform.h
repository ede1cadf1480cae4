// The platform operations: everything the game's own code uses to reach the
// machine. Drawing, clock, random numbers, images, fonts, streams and the
// message box all go through here, so the rules and screens can be run
// against a recording backend in tests and against OpenGL in the game.
//
// Texts drawn and measured are UTF-8, read leniently: a byte that starts no
// valid sequence stands for itself as ISO-8859-1. The sources are compiled
// with -fexec-charset=ISO-8859-1 so that "Menü" is four bytes, and such
// texts draw as they always did.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/numbers.h"

// ---------------------------------------------------------------- images

// Flags for LoadImageFile / LoadImageStrip.
constexpr int kImageMasked = 1;    // pixels of the mask colour become clear (pictures without alpha)
constexpr int kImageFiltered = 2;  // smooth scaling
constexpr int kImageDefaultFlags = -1;  // means masked | filtered

struct Image {
  int width = 0, height = 0;   // the whole picture in pixels
  std::vector<uint8_t> rgba;   // width * height * 4, straight (not premultiplied) alpha
  int cellWidth = 0, cellHeight = 0;
  int firstCell = 0, frames = 0;  // frame f is cell firstCell + f
  float handleX = 0, handleY = 0;
  int flags = 0;
  uint32_t id = 0;             // unique per loaded image, for backends' texture caches

  // Top-left pixel of frame f inside the picture.
  int FrameX(int f) const;
  int FrameY(int f) const;
};

Image* LoadImageFile(const std::string& url, int flags = kImageDefaultFlags);
Image* LoadImageStrip(const std::string& url, int cellWidth, int cellHeight, int firstCell,
                      int cellCount, int flags = kImageDefaultFlags);
void CentreHandle(Image* image);
void SetTransparentColour(int red, int green, int blue);

// ---------------------------------------------------------------- decoding text

// The code point of the text at byte i, moving i past it. UTF-8, except that
// a byte that does not start a valid sequence stands for itself (ISO-8859-1).
// Inline and allocation-free: every frame measures and lays out text with it.
inline uint32_t NextCodePoint(std::string_view utf8, size_t& i) {
  const auto lead = static_cast<unsigned char>(utf8[i]);
  // Bytes after the lead: C2-DF start two-byte sequences, E0-EF three, F0-F4 four.
  const size_t extra = lead < 0xC2 ? 0 : lead <= 0xDF ? 1 : lead <= 0xEF ? 2 : lead <= 0xF4 ? 3 : 0;
  if (extra == 0 || i + extra >= utf8.size()) {
    ++i;
    return lead;
  }
  uint32_t code = lead & (0x3Fu >> extra);  // the lead's payload: 5, 4 or 3 bits
  for (size_t k = 1; k <= extra; ++k) {
    const auto next = static_cast<unsigned char>(utf8[i + k]);
    if ((next & 0xC0) != 0x80) {
      ++i;
      return lead;
    }
    code = code << 6 | (next & 0x3F);
  }
  i += extra + 1;
  return code;
}

// Every code point of a UTF-8 text, decoded as NextCodePoint does.
std::vector<uint32_t> CodePointsFromUtf8(const std::string& utf8);

// ---------------------------------------------------------------- fonts

struct Glyph {
  int width = 0, height = 0;  // bitmap size
  int left = 0, top = 0;      // bitmap offset from the pen position (top measured down from the text's top)
  float advance = 0;          // horizontal advance in pixels (fractional)
  bool present = false;       // the font has a glyph for this character
  std::vector<uint8_t> coverage;  // width * height, 0..255
};

struct Font {
  int pixelSize = 0, style = 0;
  int height = 0;             // FontHeight: the same for every text
  int ascent = 0;
  Glyph glyphs[256];          // code points 0-255 (ISO-8859-1), present or not
  // Present glyphs of the code points above 255 that AddFontCharacters asked
  // for, sorted by code point: few, so a binary search over them is quick.
  std::vector<std::pair<uint32_t, Glyph>> extraGlyphs;
  uint32_t id = 0;
  // Grows whenever glyphs are added to the font once loaded: a backend that
  // made something of the font (the OpenGL atlas) makes it again.
  uint32_t generation = 0;
};

Font* LoadFontFile(const std::string& url, int pixelSize, int style);
// Every code point above 255 in the text gets a glyph (where the font file
// has one) in every font loaded from now on and in those already loaded.
// The game passes all texts of its language once at the start, before it
// loads fonts. Adding to fonts already loaded reads their files again, and a
// text already on the screen shows the new glyphs once its place is painted
// again (damage compares commands, not glyphs). Main thread only, like all
// use of fonts.
void AddFontCharacters(const std::string& utf8);
// The font's glyph for a code point; nullptr when it has none.
inline const Glyph* FindGlyph(const Font& font, uint32_t code) {
  if (code < 256) return font.glyphs[code].present ? &font.glyphs[code] : nullptr;
  const auto before = [](const std::pair<uint32_t, Glyph>& entry, uint32_t c) { return entry.first < c; };
  const auto found = std::lower_bound(font.extraGlyphs.begin(), font.extraGlyphs.end(), code, before);
  return found != font.extraGlyphs.end() && found->first == code ? &found->second : nullptr;
}
// The distinct code points of a UTF-8 text that the font has no glyph for,
// in the order they first appear. A space or control character counts as
// drawable when the font file has a glyph (an advance) for it.
std::vector<uint32_t> CodePointsWithoutGlyph(const Font& font, const std::string& utf8);

void SelectFont(Font* font);  // nullptr selects the built-in default font
// The built-in font: the embedded "lucidagrande.ttf" at 12 pixels, loaded on
// first use; a font without glyphs while that file is not registered.
const Font* DefaultFont();

// ---------------------------------------------------------------- drawing

constexpr int kBlendAlpha = 3;
constexpr int kBlendLight = 4;  // additive

void Cls();
void Flip(int sync);
void SetColor(int red, int green, int blue);
void SetAlpha(float alpha);
void SetBlend(int mode);
void SetDrawScale(float sx, float sy);
void SetViewport(int x, int y, int width, int height);
void DrawImageFrame(const Image* image, float x, float y, int frame);
void DrawString(const std::string& text, float x, float y);
int StringWidth(const std::string& text);
int FontHeight(const std::string& text);

// One drawing operation as recorded into a frame's display list. Every
// operation carries the full drawing state it was made with (a clear only its
// viewport, the rest left at the start values), so a backend can replay a
// list without tracking state and two lists compare equal exactly when they
// draw the same picture.
struct DrawCommand {
  enum Kind : uint8_t { kClear, kImage, kText };
  Kind kind = kClear;
  const Image* image = nullptr;
  int frame = 0;
  const Font* font = nullptr;  // nullptr: the built-in default font
  std::string text;
  float x = 0, y = 0, sx = 1, sy = 1;
  uint8_t red = 255, green = 255, blue = 255;
  float alpha = 1;
  uint8_t blend = kBlendAlpha;
  int viewX = 0, viewY = 0, viewWidth = 0, viewHeight = 0;  // clip rectangle in canvas pixels

  bool operator==(const DrawCommand&) const = default;
};

using DisplayList = std::vector<DrawCommand>;

// The frame drawn so far, ended without being presented: a picture to show
// later, or one of several drawn in a tick of which only the last is shown.
DisplayList TakeFrame();
// Adds such a picture to the frame being drawn, as it was drawn.
void DrawFrameList(const DisplayList& list);

// Where a text command puts each glyph that has pixels: visit(code, x0, y0,
// x1, y1) with the glyph's code point and its corners in canvas pixels. The
// one layout that the OpenGL backend draws and the damage between two frames
// measures, so that both always agree.
template <typename Visit>
void ForEachGlyphQuad(const DrawCommand& command, Visit&& visit) {
  const Font& font = command.font != nullptr ? *command.font : *DefaultFont();
  // Unscaled text sits on whole pixels so that it stays sharp.
  const bool unscaled = command.sx == 1.0f && command.sy == 1.0f;
  const float x = unscaled ? std::round(command.x) : command.x;
  const float y = unscaled ? std::round(command.y) : command.y;
  int pen = 0;  // advances add up truncated, exactly as StringWidth measures them
  for (size_t i = 0; i < command.text.size();) {
    const uint32_t code = NextCodePoint(command.text, i);
    const Glyph* glyph = FindGlyph(font, code);
    if (glyph == nullptr) continue;
    if (!glyph->coverage.empty()) {
      const float x0 = x + static_cast<float>(pen + glyph->left) * command.sx;
      const float y0 = y + static_cast<float>(glyph->top) * command.sy;
      visit(code, x0, y0, x0 + static_cast<float>(glyph->width) * command.sx,
            y0 + static_cast<float>(glyph->height) * command.sy);
    }
    pen = Truncate(static_cast<float>(pen) + glyph->advance);
  }
}

// Receives each finished frame and every message box.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual void Present(const DisplayList& frame) = 0;
  virtual void ShowMessage(const std::string& title, const std::string& text, bool serious) = 0;
  // Size of the drawing area in pixels (the viewport after Cls defaults to it).
  virtual int CanvasWidth() const = 0;
  virtual int CanvasHeight() const = 0;
};

void SetBackend(Backend* backend);
Backend* CurrentBackend();

// Keeps every presented frame and message; needs no display.
class RecordingBackend : public Backend {
 public:
  struct Message {
    std::string title, text;
    bool serious = false;
  };
  std::vector<DisplayList> frames;
  std::vector<Message> messages;
  int width = 400, height = 500;

  void Present(const DisplayList& frame) override { frames.push_back(frame); }
  void ShowMessage(const std::string& title, const std::string& text, bool serious) override {
    messages.push_back({title, text, serious});
  }
  int CanvasWidth() const override { return width; }
  int CanvasHeight() const override { return height; }
  const DisplayList& LastFrame() const { return frames.back(); }
};

// Drawing state back to its start values (colour white, alpha 1, blend 3,
// scale 1, default font, mask colour black, no frame in progress).
void ResetDrawingState();

// ---------------------------------------------------------------- clock and seed

// Milliseconds since the system started, in 64 bits so that neither a long
// uptime nor a long game ever wraps it.
int64_t NowMillis();
void SetTestClock(int64_t millis);  // from now on NowMillis returns this value
void UseSystemClock();

// The seed of a run: QUARZELLO_SEED from the environment when set (a fixed
// board for tests), else fresh bits from the kernel, different every run.
int StartSeed();

// ---------------------------------------------------------------- streams

struct Stream;

// Makes data reachable as "incbin::NAME". The bytes must outlive the program.
void RegisterEmbeddedFile(const std::string& name, const uint8_t* data, size_t size);

// "incbin::NAME", "tcp::host[:port]" (port 80 by default) or a file path.
// A TCP stream is done within timeoutMillis after OpenUrl began: host-name
// lookup, connecting, sending and reading together. Past it, or when the peer
// vanishes, the stream reads as ended; StreamCutOff then tells it apart from
// a peer that closed the connection normally. The timeout is the stream's
// own, so that requests on threads side by side each keep theirs.
constexpr int kNetworkTimeoutMillis = 8000;
Stream* OpenUrl(const std::string& url, bool readable, bool writeable, int timeoutMillis = kNetworkTimeoutMillis);
Stream* OpenRead(const std::string& url);
Stream* OpenWrite(const std::string& url);
void CloseByteStream(Stream* stream);
bool Eof(Stream* stream);
int ReadByte(Stream* stream);
void WriteByte(Stream* stream, int value);
int ReadInt(Stream* stream);
void WriteInt(Stream* stream, int value);
std::string ReadLine(Stream* stream);
void WriteLine(Stream* stream, const std::string& text);
void WriteBytes(Stream* stream, const std::string& bytes);

bool StreamCutOff(Stream* stream);

// ---------------------------------------------------------------- input, messages, termination

int KeyPressCount(int keyCode);   // presses since the last call for this key; resets the count
void CountKeyPress(int keyCode);  // called by the event source
bool AppTerminate();              // a quit request since the last call; resets it
void RequestAppTerminate();       // called by the event source

// Work done beside the event loop wakes it, from any thread: the window
// system installs a waker that queues a WorkDone event (platform/window.h).
// Without one (tests) waking does nothing.
void SetLoopWaker(void (*waker)());
void WakeLoop();

// A modal message box with this title ("Hinweis", "Fehler"); serious marks an error.
void Notify(const std::string& title, const std::string& text, bool serious);

[[noreturn]] void ExitProgram(int status = 0);
[[noreturn]] void FatalError(const std::string& message);

// ---------------------------------------------------------------- text helpers

std::string IntToText(int value);
int TextToInt(const std::string& text);  // leading blanks, sign, "$" hex, "%" binary; no digits give 0
std::string Utf8FromLatin1(const std::string& latin1);
