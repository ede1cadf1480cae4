// Shared set-up for the highscore tests: a fresh App, a recording backend, a
// set clock, stand-in images, and a private working directory so that
// highscore.tvs never touches the real one.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "widgets/frontend.h"
#include "widgets/widgets.h"
#include "gameplay/game.h"
#include "screens/app.h"
#include "screens/connecting.h"
#include "highscore/online.h"
#include "highscore/store.h"
#include "screens/table.h"
#include "platform/platform.h"
#include "tests/highscore/inline_requests.h"

namespace quarzello::highscore_test {

// Writing past this many bytes fails as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    previous_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, previous_);
  }

 private:
  rlimit old_{};
  sighandler_t previous_;
};

class HighscoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static const bool embedded = (RegisterEmbeddedFiles(), true);
    (void)embedded;
    if (!TFont::font(0)) TFont::load();
    SetBackend(&recording);
    ResetDrawingState();
    SetTestClock(100000);
    requests.Install(app.requests);
    lookups.Install(app.lookups);
    onlineState.timeoutMillis = 2000;
    for (Image* image : {&background, &stones, &blend}) {
      image->width = image->height = image->cellWidth = image->cellHeight = 16;
      image->rgba.assign(16 * 16 * 4, 255);
    }
    stones.frames = 130;
    background.frames = blend.frames = 1;
    ui.img.imgGameBackground = &background;
    ui.img.imgStones = &stones;
    ui.img.imgBlend = &blend;

    oldDirectory = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "highscore-test-XXXXXX").string();
    directory = mkdtemp(pattern.data());
    std::filesystem::current_path(directory);
  }

  void TearDown() override {
    std::filesystem::current_path(oldDirectory);
    std::filesystem::remove_all(directory);
    UseSystemClock();
  }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  // A press of the left button at design position (x, y), seen by the next frame.
  void ClickAt(float x, float y) {
    ui.mouseX = Truncate(x * ui.scale);
    ui.mouseY = Truncate(y * ui.scale);
    ui.mouseClicked = 1;
  }
  // What the event loop does around each painted frame. The online requests
  // started before it work while it is drawn, and their results come in
  // after it.
  void PaintFrame(void (*frame)(App& app)) {
    std::vector<RequestRunner::Task> working = requests.TakeStarted();
    frame(app);
    ui.mouseClicked = 0;
    ui.keyboard.focus.EndFrame();
    test::InlineRequests::RunAll(working);
    if (!working.empty()) app.requests.Deliver();
  }
  // The online table's lookups of its verified entries, which wait until a
  // test runs them here, and their answers taken in.
  void RunLookups() {
    std::vector<RequestRunner::Task> working = lookups.TakeStarted();
    test::InlineRequests::RunAll(working);
    if (!working.empty()) app.lookups.Deliver();
  }
  // Frames until no request runs any more.
  void PaintUntilConnected(void (*frame)(App& app)) {
    for (int i = 0; i < 20 && ConnectionUnderway(app); ++i) PaintFrame(frame);
    ASSERT_FALSE(ConnectionUnderway(app));
  }

  // The requests as the game makes them, but on the test's thread and taken
  // in at once.
  OnlineResult RegisterClient() {
    return Accept(onlineState, quarzello::RegisterClient(CurrentClientContext(onlineState)));
  }
  OnlineResult SubmitScore(const std::string& name, int32_t points, uint8_t ranking) {
    return Accept(onlineState, quarzello::SubmitScore(CurrentClientContext(onlineState), name, points, ranking));
  }
  FetchedTables FetchTables() { return quarzello::FetchTables(CurrentClientContext(onlineState)); }
  OnlineResult UploadRecording(const std::string& recording) {
    return Accept(quarzello::UploadRecording(CurrentClientContext(onlineState), recording));
  }
  // The screens' fetch, over while one frame of its notice is drawn.
  OnlineResult FetchOnlineTables() {
    OnlineResult result = OnlineResult::Retry;
    quarzello::FetchOnlineTables(app, [&result](OnlineResult fetched) { result = fetched; });
    PaintFrame(DrawConnecting);
    EXPECT_FALSE(ConnectionUnderway(app));
    return result;
  }

  std::vector<std::string> Texts(const DisplayList& frame) const {
    std::vector<std::string> texts;
    for (const DrawCommand& command : frame)
      if (command.kind == DrawCommand::kText) texts.push_back(command.text);
    return texts;
  }
  static const DrawCommand* FindText(const DisplayList& frame, const std::string& text) {
    for (const DrawCommand& command : frame)
      if (command.kind == DrawCommand::kText && command.text == text) return &command;
    return nullptr;
  }

  App app;
  FrontEnd& ui = app.ui;
  Game& game = app.game;
  THighscore& highscores = app.highscores;
  OnlineState& onlineState = app.online;
  TableView& tableView = app.tableView;
  ScoreRows& scoreRows = app.scoreRows;
  RecordingBackend recording;
  test::InlineRequests requests;
  test::InlineRequests lookups;
  Image background, stones, blend;
  std::filesystem::path oldDirectory, directory;
};

}  // namespace quarzello::highscore_test
