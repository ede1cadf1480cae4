#include "highscore/screens/entry.h"

#include "front/widgets/frontend.h"
#include "front/widgets/widgets.h"
#include "gameplay/game.h"
#include "gameplay/modes.h"
#include "gameplay/recording.h"
#include "gameplay/texts.h"
#include "highscore/protocol.h"
#include "highscore/screens/connecting.h"
#include "highscore/screens/table.h"
#include "platform/platform.h"

namespace quarzello {

namespace {

// A server that answers "RETRY" every time would otherwise keep the player
// in the submission for ever.
constexpr int kMaxSubmitRounds = 3;

void ShowNote(TextId text) {
  Notify(Text(TextId::NoteTitle), Text(text), false);
}

void ShowNoConnection() { ShowNote(TextId::NoConnection); }

// Registers and submits until the server stops asking for a retry; the
// result is that of the last request.
OnlineResult SubmitOnline() {
  OnlineResult result = OnlineResult::Retry;
  for (int round = 0; round < kMaxSubmitRounds && result == OnlineResult::Retry; ++round) {
    ShowConnecting(TextId::Registering);
    result = RegisterClient();
    if (result == OnlineResult::Done) {
      ShowConnecting(TextId::Submitting);
      result = SubmitScore(ui.playerName, game.score, RankingIndex(game.gameMode, game.difficulty));
    }
    if (result == OnlineResult::NoConnection) ShowNoConnection();
  }
  if (result == OnlineResult::Retry) {
    ShowNote(TextId::EntryRefused);
    return OnlineResult::ServerError;
  }
  return result;
}

// The recording of the game just submitted goes after it, so that the
// service can play it again; the score counts online once it has. Whatever
// becomes of it, the entry stays: the player is only told.
void UploadGameRecording() {
  const std::string recording = EncodeRecording(game.recording);
  if (recording.empty()) {
    if (game.recording.started)
      ShowNote(TextId::TooLongToRecord);
    return;
  }
  ShowConnecting(TextId::SendingRecording);
  if (UploadRecording(recording) == OnlineResult::NoConnection)
    ShowNote(TextId::RecordingNotSent);
}

void CarryOutEntry() {
  if (ui.playerName.size() < kShortestName) {
    ShowNote(TextId::NameTooShort);
    return;
  }
  // Nothing is entered unless the submission went through: the player may try
  // again, untick the box or cancel.
  if (ui.saveOnline == 1 && SubmitOnline() != OnlineResult::Done) return;

  // The save enters the result into the rankings as the file holds them now,
  // with what other games running beside this one saved meanwhile; the table
  // shows those, the new entry lit at its place among them.
  const NewEntry added = highscores.add(game.gameMode, game.difficulty, ui.playerName, game.score);
  const SaveOutcome saved = highscores.SaveHighscore(ui.playerName, ui.saveOnline);
  tableView.ownScore = added.entry;
  ShowRankingPage(game.gameMode, game.difficulty, ListKind::Local,
                  highscores.list[added.list].find(added.entry.get()));
  if (!saved)
    ShowNote(TextId::ListNotSaved);
  if (ui.saveOnline == 1) UploadGameRecording();
  // After a successful fetch the online table of the same ranking is shown,
  // on the page of the entry the server marked as the player's own.
  if (ui.saveOnline == 1 && FetchOnlineTables() == OnlineResult::Done) {
    const TScorelist& online = highscores.ranking(game.gameMode, game.difficulty, ListKind::Online);
    ShowRankingPage(game.gameMode, game.difficulty, ListKind::Online, online.find(tableView.ownScore.get()));
  }
  ui.screen = Highscores;
}

std::string ModeValue() {
  if (game.gameMode == Level) return IntToText(game.level);
  // Classic shows its difficulty too: it names the ranking the result goes to.
  return DifficultyName(game.difficulty);
}

}  // namespace

void DrawNewHighscore() {
  auto centred = [](const std::string& text, float x, float y) {
    DrawTextCentered(text, Truncate(x * ui.scale), Truncate(y * ui.scale), -1.0f);
  };
  Cls();
  SetDrawScale(ui.scale, ui.scale);
  DrawImageFrame(img.imgGameBackground, 0, 0, 0);
  TFont::set(1);
  centred(Text(TextId::NewHighscoreTitle), 200, 85);
  TFont::set(0);
  centred(IntToText(game.score), 78, 33);
  centred(ModeName(game.gameMode), 200, 33);
  centred(ModeValue(), 319, 33);

  std::string cursor = NowMillis() % 500 < 250 ? "_" : "";
  DrawString(FormatText(TextId::NameLine, {ui.playerName + cursor}), 30 * ui.scale, 150 * ui.scale);

  const std::string checkbox = Text(TextId::SaveOnline);
  int width = StringWidth(checkbox);
  const WidgetResult box = TabButton(checkbox, static_cast<float>(width / 2 + 65), 200, static_cast<float>(width), 16);
  if (box == WidgetResult::Clicked)
    ui.saveOnline = static_cast<uint8_t>(1 - ui.saveOnline);
  SetColor(255, 255, 255);
  DrawImageFrame(img.imgStones, 40 * ui.scale, 207 * ui.scale, (4 - ui.saveOnline) * 26);

  TFont::set(1);
  const WidgetResult proceed = MenuButton(Text(TextId::Continue), 200, 350);
  const WidgetResult cancel = MenuButton(Text(TextId::Cancel), 200, 400);
  if (cancel == WidgetResult::Clicked || game.score == 0) ui.screen = MainMenu;
  SetColor(255, 255, 255);
  Flip(-1);

  // A game without points has already left; it is never entered.
  if (proceed == WidgetResult::Clicked && ui.screen == NewHighscore) CarryOutEntry();
}

}  // namespace quarzello
