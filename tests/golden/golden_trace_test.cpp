// Golden traces: whole scripted plays driven through the event loop
// (HandleEvent with a fake window, a set clock and a fixed seed), every
// presented frame and every message box hashed and compared with the hashes
// committed in tests/golden/*.trace. Any change to what the player sees, a
// single pixel's worth of position, colour, alpha, scale, font or order,
// changes a hash; the failure names the scene and the first frames that differ.
//
// The traces are written from the code as it is by running the tests with
// QUARZELLO_WRITE_GOLDEN=1 in the environment, for instance
//   QUARZELLO_WRITE_GOLDEN=1 build/unit_tests --gtest_filter='GoldenTrace.*'
// which rewrites the files in the source tree (the test command never sets it).
//
// The script reads the board only to choose where to click (ColourAt), so the
// plays stay the same however the game keeps its state.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <bit>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "app/app.h"
#include "screens/app.h"
#include "widgets/frontend.h"
#include "widgets/widgets.h"
#include "gameplay/game.h"
#include "gameplay/replay.h"
#include "highscore/online.h"
#include "highscore/store.h"
#include "screens/table.h"
#include "platform/platform.h"
#include "tests/app/fixed_window.h"
#include "tests/gameplay/stand_in_images.h"
#include "tests/highscore/inline_requests.h"

#ifndef QUARZELLO_GOLDEN_DIR
#error "QUARZELLO_GOLDEN_DIR must name the directory of the committed traces"
#endif

namespace quarzello::golden_test {
namespace {

constexpr int kEmpty = -1;
constexpr int kBomb = 10;  // added to the colour of a bomb

// ---------------------------------------------------------------- hashing

class Fnv {
 public:
  void Bytes(const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
      value_ ^= bytes[i];
      value_ *= 1099511628211ull;
    }
  }
  void Int(int64_t v) { Bytes(&v, sizeof v); }
  void Float(float v) { Int(std::bit_cast<uint32_t>(v)); }
  void Text(const std::string& s) {
    Int(static_cast<int64_t>(s.size()));
    Bytes(s.data(), s.size());
  }
  uint64_t value() const { return value_; }

 private:
  uint64_t value_ = 14695981039346656037ull;
};

// Images and fonts by their role, not their address.
int ImageRole(const Images& img, const Image* image) {
  const Image* roles[] = {img.imgGameBackground, img.imgMenuBackground, img.imgLogo,     img.imgStones,
                          img.imgProgressBar,    img.imgBlend,          img.imgCounterFont};
  for (int i = 0; i < 7; ++i)
    if (image == roles[i]) return i;
  return image == nullptr ? -1 : 99;
}

int FontRole(const Font* font) {
  if (font == nullptr) return -1;
  if (font == TFont::font(0)) return 0;
  if (font == TFont::font(1)) return 1;
  if (font == TFont::font(2)) return 2;
  return 99;
}

uint64_t HashFrame(const Images& img, const DisplayList& frame) {
  Fnv h;
  for (const DrawCommand& c : frame) {
    h.Int(c.kind);
    h.Int(ImageRole(img, c.image));
    h.Int(c.frame);
    h.Int(FontRole(c.font));
    h.Text(c.text);
    for (float f : {c.x, c.y, c.sx, c.sy, c.alpha}) h.Float(f);
    for (int v : {int{c.red}, int{c.green}, int{c.blue}, int{c.blend}, c.viewX, c.viewY, c.viewWidth, c.viewHeight})
      h.Int(v);
  }
  return h.value();
}

uint64_t HashMessage(const RecordingBackend::Message& message) {
  Fnv h;
  h.Text(message.title);
  h.Text(message.text);
  h.Int(message.serious ? 1 : 0);
  return h.value();
}

// ---------------------------------------------------------------- the player

// A port on 127.0.0.1 that refuses every connection: bound, never listening.
class RefusingPort {
 public:
  RefusingPort() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~RefusingPort() { close(fd_); }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

class GoldenTrace : public ::testing::Test {
 protected:
  static constexpr int kFrameMillis = 16;

  void SetUp() override {
    static const bool registered = (RegisterEmbeddedFiles(), true);
    (void)registered;
    if (TFont::font(0) == nullptr || TFont::font(1) == nullptr) TFont::load();
    ASSERT_NE(TFont::font(1), nullptr);

    oldDirectory_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "golden-trace-XXXXXX").string();
    directory_ = mkdtemp(pattern.data());
    std::filesystem::current_path(directory_);
    const char* host = std::getenv("QUARZELLO_HIGHSCORE_HOST");
    if (host != nullptr) oldHost_ = host;
    setenv("QUARZELLO_HIGHSCORE_HOST", ("127.0.0.1:" + std::to_string(refusing_.port())).c_str(), 1);

    requests_.Install(app_.requests);
    Images& img = app_.ui.img;
    img.imgGameBackground = &gameBackground_;
    img.imgMenuBackground = &menuBackground_;
    img.imgLogo = &logo_;
    img.imgStones = &stones_;
    img.imgProgressBar = &progressBar_;
    img.imgBlend = &blend_;
    img.imgCounterFont = &counterFont_;
    ResetDrawingState();
    SetBackend(&rec_);
    SetTestClock(now_);
    app_.generator.Seed(20261208);
    SetBlend(kBlendAlpha);
  }

  void TearDown() override {
    SetBackend(nullptr);
    ResetDrawingState();
    UseSystemClock();
    if (oldHost_.empty())
      unsetenv("QUARZELLO_HIGHSCORE_HOST");
    else
      setenv("QUARZELLO_HIGHSCORE_HOST", oldHost_.c_str(), 1);
    std::filesystem::current_path(oldDirectory_);
    std::filesystem::remove_all(directory_);
  }

  // ------------------------------------------------ what the script may know of the game

  void LoadHighscoreFile() { app_.highscores.LoadHighscore(app_.ui.playerName, app_.ui.saveOnline); }

  // What the player sees in a cell: nothing, a colour (4 a rock), or a bomb.
  int ColourAt(int c, int r) const {
    const stone* s = app_.game.world.board(c, r).get();
    if (s == nullptr) return kEmpty;
    return s->col + (s->bombe == 1 ? kBomb : 0);
  }

  bool GameRunning() const { return app_.ui.screen == GameScreen && app_.game.gameOverState == 0; }
  int CurrentLevel() const { return app_.game.level; }
  bool OnScreen(uint8_t screen) const { return app_.ui.screen == screen; }

  // A highscore file with `count` Classic Leicht entries, so the table has pages.
  void WriteHighscoreFile(int count) {
    std::string bytes = {3, 5, 'G', 'o', 'l', 'd', 'y', 0, 1, 0};
    for (int i = 0; i < count; ++i) {
      const std::string name = "Spieler " + std::to_string(i + 1);
      bytes += static_cast<char>(2);
      bytes += static_cast<char>(name.size());
      bytes += name;
      const uint32_t points = static_cast<uint32_t>(5000 - 150 * i);
      for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((points >> shift) & 0xFF);
    }
    std::ofstream("highscore.tvs", std::ios::binary) << bytes;
    LoadHighscoreFile();
  }

  // ------------------------------------------------ input

  void Feed(int kind, int value = 0, int x = 0, int y = 0) {
    const bool running = GameRunning();
    HandleEvent(app_, {kind, value, x, y}, window_);
    // The recording ends with the game: its replay stands where the game ended.
    if (running && !GameRunning()) endBoardHash_ = BoardHash(app_.game.world.board);
    Collect();
  }
  void MoveTo(int x, int y) { Feed(MouseMove, 0, x, y); }
  void ClickAt(int x, int y) {
    MoveTo(x, y);
    Feed(MouseDown, 1);
  }
  void ClickCell(int c, int r) { ClickAt(40 + 20 * c, 100 + 20 * r); }
  void PressP() { Feed(KeyUp, kKeyP); }
  void Type(const std::string& text) {
    for (unsigned char c : text) Feed(KeyChar, c);
  }
  // One tick of the 60 Hz timer and the paint it asks for. An online
  // request started before it works while it is drawn, and its result comes
  // in as the next event.
  void Frames(int count, int millis = kFrameMillis) {
    for (int i = 0; i < count; ++i) {
      now_ += millis;
      SetTestClock(now_);
      std::vector<RequestRunner::Task> working = requests_.TakeStarted();
      const bool playing = OnScreen(GameScreen);
      const int64_t recordedBefore = app_.game.recording.frames;
      Feed(TimerTick);
      Feed(GadgetPaint);
      if (playing && app_.game.recording.frames > recordedBefore) KeepLiveFrame();
      test::InlineRequests::RunAll(working);
      if (!working.empty()) Feed(WorkDone);
    }
  }
  void AdvanceClock(int millis) {
    now_ += millis;
    SetTestClock(now_);
  }
  // A click on a menu entry whose top is at design y, then one frame.
  void Choose(int y) {
    ClickAt(200, y + 15);
    Frames(1);
  }

  // ------------------------------------------------ choosing a move

  struct Cell {
    int c = -1, r = -1;
    int size = 0;
  };

  // The largest group of one colour (at least `smallest` stones), clicked at
  // its lowest, leftmost stone; bombs first when `bombs` is set.
  Cell BestMove(int smallest, bool bombs) const {
    Cell best;
    bool seen[kColumns][kRows] = {};
    for (int r = kRows - 1; r >= 0; --r) {
      for (int c = 0; c < kColumns; ++c) {
        const int colour = ColourAt(c, r);
        if (colour == kEmpty) continue;
        if (colour >= kBomb) {
          if (bombs && best.size < 1000) best = {c, r, 1000};
          continue;
        }
        if (colour == 4 || seen[c][r]) continue;
        int size = 0;
        std::vector<std::pair<int, int>> todo = {{c, r}};
        seen[c][r] = true;
        while (!todo.empty()) {
          auto [cc, rr] = todo.back();
          todo.pop_back();
          ++size;
          const int next[4][2] = {{cc - 1, rr}, {cc + 1, rr}, {cc, rr - 1}, {cc, rr + 1}};
          for (const auto& n : next) {
            if (n[0] < 0 || n[0] >= kColumns || n[1] < 0 || n[1] >= kRows || seen[n[0]][n[1]]) continue;
            if (ColourAt(n[0], n[1]) != colour) continue;
            seen[n[0]][n[1]] = true;
            todo.push_back({n[0], n[1]});
          }
        }
        if (size >= smallest && size > best.size) best = {c, r, size};
      }
    }
    return best;
  }

  // ------------------------------------------------ the trace

  void Scene(const std::string& name) { scene_ = name; }

  void Collect() {
    while (framesSeen_ < rec_.frames.size()) {
      trace_.push_back(scene_ + " frame " + Hex(HashFrame(app_.ui.img, rec_.frames[framesSeen_])));
      ++framesSeen_;
    }
    while (messagesSeen_ < rec_.messages.size()) {
      trace_.push_back(scene_ + " box " + Hex(HashMessage(rec_.messages[messagesSeen_])));
      ++messagesSeen_;
    }
    // Old frames are not needed once hashed.
    if (rec_.frames.size() > 64) {
      rec_.frames.erase(rec_.frames.begin(), rec_.frames.end() - 1);
      framesSeen_ = rec_.frames.size();
    }
  }

  static std::string Hex(uint64_t value) {
    std::ostringstream out;
    out << std::hex << value;
    return out.str();
  }

  // Compares the trace with the committed one, or writes it when asked to.
  void Check(const std::string& play) {
    const std::string path = std::string(QUARZELLO_GOLDEN_DIR) + "/" + play + ".trace";
    std::vector<std::string> numbered;
    for (size_t i = 0; i < trace_.size(); ++i) numbered.push_back(std::to_string(i) + " " + trace_[i]);
    if (std::getenv("QUARZELLO_WRITE_GOLDEN") != nullptr) {
      std::ofstream out(path);
      for (const std::string& line : numbered) out << line << "\n";
      GTEST_SKIP() << "wrote " << path;
    }
    std::ifstream in(path);
    ASSERT_TRUE(in) << "no committed trace " << path;
    std::vector<std::string> golden;
    for (std::string line; std::getline(in, line);) golden.push_back(line);
    int shown = 0;
    for (size_t i = 0; i < std::max(golden.size(), numbered.size()) && shown < 10; ++i) {
      const std::string want = i < golden.size() ? golden[i] : "(nothing)";
      const std::string got = i < numbered.size() ? numbered[i] : "(nothing)";
      if (want == got) continue;
      ADD_FAILURE() << "entry " << i << ": committed \"" << want << "\", now \"" << got << "\"";
      ++shown;
    }
    EXPECT_EQ(golden.size(), numbered.size());
  }

  // Plays a running game with the board's best moves until it ends or
  // `maxMoves` moves are made.
  void PlayMoves(int smallest, bool confirm, bool bombs, int maxMoves, int framesBetween) {
    for (int move = 0; move < maxMoves && GameRunning(); ++move) {
      const Cell cell = BestMove(smallest, bombs);
      if (cell.size == 0) break;
      ClickCell(cell.c, cell.r);
      Frames(framesBetween);
      if (confirm) {
        ClickCell(cell.c, cell.r);
        Frames(framesBetween);
      }
    }
  }

  // The game recorded as it was played replays, with no window, to where the
  // scripted play stands now.
  void ExpectRecordingReplays(bool ended) {
    const Game& game = app_.game;
    const std::string recording = EncodeRecording(game.recording);
    ASSERT_FALSE(recording.empty());
    const ReplayResult replay = ReplayGame(recording);
    ASSERT_TRUE(replay.ok()) << replay.error;
    EXPECT_EQ(replay.score, game.score);
    EXPECT_EQ(replay.boardHash, ended ? endBoardHash_ : BoardHash(game.world.board));
    EXPECT_EQ(replay.mode, game.gameMode);
    EXPECT_EQ(replay.reachedEnd, ended);
    EXPECT_EQ(replay.frames, game.recording.frames);
  }

  // ------------------------------------------------ watching the game again

  // The game frame just shown, by its time on the recording's clock.
  void KeepLiveFrame() {
    const GameRecording& recording = app_.game.recording;
    liveFrames_[recording.lastTime - recording.startTime] = HashFrame(app_.ui.img, rec_.frames.back());
  }

  void KeepPlayedRecording() {
    playedRecording_ = EncodeRecording(app_.game.recording);
    ASSERT_FALSE(playedRecording_.empty());
  }

  // The recording of the game played, watched at `speed` on the watch
  // screen: each frame shown draws the game as the live frame of its time
  // did, the replay's own mark and controls drawn over it. At 1x every
  // frame shows.
  void ExpectWatchingEqualsPlaying(int speed) {
    ASSERT_FALSE(liveFrames_.empty());
    ASSERT_TRUE(StartWatching(app_, playedRecording_, {"Anna", 1}, MainMenu, false));
    app_.watch.speed = speed;
    const int64_t end = liveFrames_.rbegin()->first;
    size_t shown = 0, differing = 0;
    int64_t lastShown = -1;
    for (int tick = 0; tick < 1'000'000 && lastShown < end; ++tick) {
      now_ += kFrameMillis;
      SetTestClock(now_);
      HandleEvent(app_, {GadgetPaint}, window_);
      ASSERT_TRUE(OnScreen(Watching));
      const Watch& watch = app_.watch;
      if (watch.lastFrameAt == lastShown) continue;
      lastShown = watch.lastFrameAt;
      // After its last record the game goes on by itself, as it did, but
      // the play's frames of that time were not recorded.
      if (lastShown > end) break;
      ASSERT_FALSE(rec_.frames.empty());
      const DisplayList& presented = rec_.frames.back();
      ASSERT_GT(presented.size(), watch.picture.size()) << "the replay's controls are drawn over the game";
      EXPECT_TRUE(std::equal(watch.picture.begin(), watch.picture.end(), presented.begin()));
      const auto live = liveFrames_.find(lastShown);
      ASSERT_NE(live, liveFrames_.end()) << "the replay showed a frame at " << lastShown << " that the play did not";
      if (HashFrame(app_.ui.img, watch.picture) != live->second && ++differing <= 5)
        ADD_FAILURE() << "at " << speed << "x, the frame at " << lastShown << " differs from the play's";
      ++shown;
      rec_.frames.clear();
    }
    EXPECT_GE(lastShown, end);
    if (speed == 1) {
      EXPECT_EQ(shown, liveFrames_.size());
    } else {
      EXPECT_GE(shown * static_cast<size_t>(speed + 1), liveFrames_.size());
      EXPECT_LT(shown, liveFrames_.size());
    }
    LeaveWatching(app_);
    EXPECT_TRUE(OnScreen(MainMenu));
    rec_.frames.clear();
  }

  void ExpectWatchingEqualsPlaying() {
    for (const int speed : {1, 2, 4}) ExpectWatchingEqualsPlaying(speed);
  }

  // "Weiter" under GAME OVER, then until the board has cleared away.
  void ContinueAfterGameOver() {
    Frames(40);
    MoveTo(200, 138);
    Frames(3);
    Feed(MouseDown, 1);
    for (int i = 0; i < 200 && OnScreen(GameScreen); ++i) Frames(1);
    Frames(2);
  }

  App app_;
  quarzello::test::FixedWindow window_;
  RecordingBackend rec_;
  quarzello::test::InlineRequests requests_;
  Image gameBackground_ = gameplay_test::StandIn(400, 500, 1, false);
  Image menuBackground_ = gameplay_test::StandIn(400, 500, 1, false);
  Image logo_ = gameplay_test::StandIn(149, 136, 1, true);
  Image stones_ = gameplay_test::StandIn(32, 32, 130, true);
  Image progressBar_ = gameplay_test::StandIn(362, 10, 2, false);
  Image blend_ = gameplay_test::StandIn(16, 16, 1, true);
  Image counterFont_ = gameplay_test::StandIn(10, 20, 12, true);
  RefusingPort refusing_;
  std::filesystem::path oldDirectory_, directory_;
  std::string oldHost_;
  int now_ = 50000;
  std::string scene_ = "start";
  std::vector<std::string> trace_;
  size_t framesSeen_ = 0, messagesSeen_ = 0;
  uint64_t endBoardHash_ = 0;
  std::map<int64_t, uint64_t> liveFrames_;
  std::string playedRecording_;
};

// Design y of the menu entries' tops.
constexpr int kFirstEntry = 150, kSecondEntry = 200, kThirdEntry = 250, kLastEntry = 400;

TEST_F(GoldenTrace, EveryMenuScreen) {
  Scene("main menu");
  Frames(2);
  for (int y : {kFirstEntry, kSecondEntry, kThirdEntry, kLastEntry}) {
    MoveTo(200, y + 15);
    Frames(2);
  }
  MoveTo(5, 5);
  Frames(1);

  Scene("credits");
  Choose(kThirdEntry);
  Frames(3);
  ClickAt(30, 480);  // anywhere leaves
  Frames(2);

  Scene("mode select");
  Choose(kFirstEntry);
  for (int y : {kFirstEntry, kSecondEntry, kThirdEntry, kLastEntry}) {
    MoveTo(200, y + 15);
    Frames(2);
  }
  Choose(kLastEntry);  // "Zurück"

  Scene("difficulty select");
  for (int mode : {kFirstEntry, kSecondEntry}) {
    Choose(kFirstEntry);
    Choose(mode);
    for (int y : {kFirstEntry, kSecondEntry, kThirdEntry, kLastEntry}) {
      MoveTo(200, y + 15);
      Frames(2);
    }
    Choose(kLastEntry);  // back to the modes
    Choose(kLastEntry);  // back to the main menu
  }

  Scene("pause");
  Choose(kFirstEntry);
  Choose(kSecondEntry);
  Choose(kThirdEntry);  // Turbo, Schwer
  Frames(5);
  PressP();
  AdvanceClock(4000);
  Frames(3);
  PressP();
  Frames(3);
  PressP();
  Frames(2);
  Choose(kLastEntry);  // "Spiel abbrechen"
  Frames(2);
  Check("menus");
}

TEST_F(GoldenTrace, ClassicGameToItsEntryAndTable) {
  WriteHighscoreFile(23);
  Frames(1);
  Scene("classic start");
  Choose(kFirstEntry);
  Choose(kFirstEntry);
  Choose(kSecondEntry);  // Mittel: groups of 2, side supply
  Frames(40);

  Scene("classic marks");
  // A mark dropped by a click elsewhere, and a mark that is too small to take.
  Cell first = BestMove(2, false);
  ClickCell(first.c, first.r);
  Frames(8);
  ClickCell(first.c == 0 ? 16 : 0, 0);
  Frames(8);
  PressP();
  Frames(2);
  PressP();
  Frames(2);
  ExpectRecordingReplays(false);

  Scene("classic play");
  PlayMoves(2, true, true, 400, 4);
  ASSERT_FALSE(GameRunning()) << "the Classic game should have ended";
  ExpectRecordingReplays(true);
  KeepPlayedRecording();

  Scene("classic game over");
  ContinueAfterGameOver();
  ExpectRecordingReplays(true);

  Scene("classic entry");
  ASSERT_TRUE(OnScreen(NewHighscore));
  Type("\b\b\b\b\b");  // the loaded name away
  Type("A");
  Frames(20, 25);  // the cursor blinks
  Choose(350);     // "Weiter" with a name too short: a message box
  Frames(2);
  Type("nna~\x7f!");
  Frames(2);
  ClickAt(120, 208);  // "save online" on
  Frames(2);
  ClickAt(120, 208);  // off
  Frames(2);
  ClickAt(120, 208);  // on again: the submission finds no server
  Frames(2);
  Choose(350);
  Frames(2);
  ClickAt(120, 208);  // off
  Frames(2);
  Choose(350);  // stored locally

  Scene("classic table");
  Frames(40);
  Check("classic");
  ExpectWatchingEqualsPlaying();
}

TEST_F(GoldenTrace, TurboGameToItsEnd) {
  WriteHighscoreFile(23);
  Frames(1);
  Scene("turbo start");
  Choose(kFirstEntry);
  Choose(kSecondEntry);
  Choose(kFirstEntry);  // Turbo, Leicht
  Frames(40);

  Scene("turbo play");
  PlayMoves(1, false, true, 40, 3);
  PressP();
  AdvanceClock(30000);
  Frames(2);
  PressP();
  Frames(2);
  // The clock runs down in large steps, the display shows each.
  for (int i = 0; i < 60 && GameRunning(); ++i) {
    PlayMoves(1, false, true, 1, 2);
    Frames(1, 3000);
  }
  ASSERT_FALSE(GameRunning());
  ExpectRecordingReplays(true);
  KeepPlayedRecording();

  Scene("turbo game over");
  ContinueAfterGameOver();
  ExpectRecordingReplays(true);

  Scene("turbo entry");
  ASSERT_TRUE(OnScreen(NewHighscore));
  Frames(3);
  Choose(350);

  Scene("turbo table");
  Frames(30);
  ClickAt(200, 45);  // mode tab: Level
  Frames(30);
  ClickAt(200, 45);  // Classic
  Frames(10);
  ClickAt(319, 45);  // difficulty tab: Mittel
  Frames(10);
  ClickAt(319, 45);  // Schwer
  Frames(10);
  ClickAt(319, 45);  // Leicht: the loaded list
  Frames(30);
  ClickAt(300, 363);  // next page
  Frames(30);
  ClickAt(300, 363);
  Frames(30);
  ClickAt(300, 363);  // beyond the last page: nothing
  Frames(5);
  ClickAt(100, 363);  // back
  Frames(30);
  ClickAt(78, 45);  // online: no server
  Frames(20);
  ClickAt(200, 383);  // refresh
  Frames(10);
  ClickAt(78, 45);  // local again
  Frames(20);
  Choose(kLastEntry);  // "Menü"
  Frames(2);
  Check("turbo");
  ExpectWatchingEqualsPlaying();
}

TEST_F(GoldenTrace, LevelGameThroughBombsToGameOver) {
  Frames(1);
  Scene("level start");
  Choose(kFirstEntry);
  Choose(kThirdEntry);  // Level
  Frames(30);

  Scene("level play");
  // Quick enough to keep up until bombs and rocks have come; then the rows
  // are left to fill the board.
  int bombsClicked = 0;
  for (int step = 0; step < 3000 && GameRunning() && (CurrentLevel() < 6 || bombsClicked < 4); ++step) {
    const Cell cell = BestMove(2, true);
    if (cell.size > 0) {
      if (cell.size == 1000) ++bombsClicked;
      ClickCell(cell.c, cell.r);
    }
    Frames(1, 150);
  }
  EXPECT_GE(CurrentLevel(), 6);
  EXPECT_GE(bombsClicked, 4);

  Scene("level filling");
  for (int i = 0; i < 2000 && GameRunning(); ++i) Frames(1, 120);
  ASSERT_FALSE(GameRunning());
  Frames(5);
  ClickCell(5, 10);  // the board takes no clicks any more
  Frames(3);
  ExpectRecordingReplays(true);
  KeepPlayedRecording();

  Scene("level game over");
  ContinueAfterGameOver();
  ExpectRecordingReplays(true);

  Scene("level entry");
  ASSERT_TRUE(OnScreen(NewHighscore));
  Frames(3);
  Choose(kLastEntry);  // "Abbrechen"
  Frames(2);
  Check("level");
  ExpectWatchingEqualsPlaying();
}

}  // namespace
}  // namespace quarzello::golden_test
