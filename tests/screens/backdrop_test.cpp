// Every screen drawn over the game background writes the panels' labels
// over it, in the selected language, where the picture once had them.
#include <string>
#include <vector>

#include "gameplay/texts.h"
#include "screens/backdrop.h"
#include "screens/entry.h"
#include "screens/game_screen.h"
#include "tests/highscore/fixture.h"
#include "tests/languages.h"

namespace quarzello::highscore_test {

namespace {

struct Screen {
  const char* name;
  void (*frame)(App& app);
};

const Screen kScreens[] = {
    {"game", [](App& app) {
       if (app.ui.screen != GameScreen) StartNewGame(app);
       UpdateGameScreen(app.ui, app.game);
     }},
    {"entry", DrawNewHighscore},
    {"table", DrawHighscores},
    {"connecting", DrawConnecting},
};

class BackdropTest : public HighscoreTest, public ::testing::WithParamInterface<Screen> {
 protected:
  void TearDown() override {
    SelectLanguage(German());
    HighscoreTest::TearDown();
  }

  // The frame's commands from the background picture on.
  std::vector<DrawCommand> FromTheBackground() {
    PaintFrame(GetParam().frame);
    const DisplayList& frame = recording.LastFrame();
    for (size_t i = 0; i < frame.size(); ++i)
      if (frame[i].kind == DrawCommand::kImage && frame[i].image == &background)
        return {frame.begin() + static_cast<ptrdiff_t>(i), frame.end()};
    return {};
  }
};

TEST_P(BackdropTest, TheLabelsFollowThePictureInTheSelectedLanguageAtEveryScale) {
  const struct {
    float x;
    TextId text;
  } labels[] = {{78, TextId::PanelScore}, {200, TextId::PanelMode}, {319, TextId::PanelLevel}};
  for (const Language* language : EveryLanguage()) {
    for (float scale : {1.0f, 2.0f}) {
      SCOPED_TRACE(std::string(GetParam().name) + " " + language->code + " " + std::to_string(scale));
      SelectLanguage(*language);
      ui.scale = scale;
      const std::vector<DrawCommand> drawn = FromTheBackground();
      ASSERT_GE(drawn.size(), 4u);
      EXPECT_EQ(drawn[0].sx, scale);
      TFont::set(2);
      for (size_t i = 0; i < 3; ++i) {
        const DrawCommand& label = drawn[i + 1];
        const std::string text = Text(labels[i].text);
        ASSERT_EQ(label.kind, DrawCommand::kText);
        EXPECT_EQ(label.text, text);
        EXPECT_EQ(label.font, TFont::font(2));
        EXPECT_EQ(std::tie(label.red, label.green, label.blue), std::make_tuple(98, 116, 130)) << text;
        EXPECT_EQ(label.sx, scale);
        EXPECT_EQ(label.alpha, 1.0f);
        EXPECT_FLOAT_EQ(label.x + static_cast<float>(StringWidth(text) / 2) * scale,
                        static_cast<float>(Truncate(labels[i].x * scale)))
            << text;
        EXPECT_FLOAT_EQ(label.y, 8 * scale) << text;
      }
      // What the screen draws next is in its own colours again.
      for (size_t i = 4; i < drawn.size(); ++i) {
        if (drawn[i].kind != DrawCommand::kImage) continue;
        EXPECT_NE(std::tie(drawn[i].red, drawn[i].green, drawn[i].blue), std::make_tuple(98, 116, 130));
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryScreenOverTheGameBackground, BackdropTest, ::testing::ValuesIn(kScreens),
                         [](const ::testing::TestParamInfo<Screen>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quarzello::highscore_test
