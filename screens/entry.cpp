#include "screens/entry.h"

#include "widgets/frontend.h"
#include "widgets/widgets.h"
#include "gameplay/game.h"
#include "gameplay/modes.h"
#include "gameplay/recording.h"
#include "highscore/kept_games.h"
#include "gameplay/texts.h"
#include "protocol/protocol.h"
#include "screens/app.h"
#include "screens/backdrop.h"
#include "screens/connecting.h"
#include "screens/table.h"
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

// What goes online and into the rankings, as it was when "Weiter" was pressed.
struct Entry {
  std::string name;
  uint8_t mode = 0, difficulty = 0;
  int32_t points = 0;

  uint8_t ranking() const { return RankingIndex(mode, difficulty); }
};

void Register(App& app, const Entry& entry, int round);

// The local entry, saved and shown; then, online, the recording and the
// online table.
void EnterResult(App& app, const Entry& entry);

// After a round of registration and submission, with the result of its last
// request: the server may ask for another round, but not for ever.
void AfterRound(App& app, const Entry& entry, int round, OnlineResult result) {
  if (result == OnlineResult::NoConnection) ShowNoConnection();
  if (result == OnlineResult::Retry) {
    if (round + 1 < kMaxSubmitRounds) return Register(app, entry, round + 1);
    ShowNote(TextId::EntryRefused);
    return;
  }
  // Nothing is entered unless the submission went through: the player may try
  // again, untick the box or cancel.
  if (result == OnlineResult::Done) EnterResult(app, entry);
}

void Submit(App& app, const Entry& entry, int round) {
  StartOnline<Submission>(
      app, TextId::Submitting,
      [context = CurrentClientContext(app.online), entry] {
        return SubmitScore(context, entry.name, entry.points, entry.ranking());
      },
      [&app, entry, round](Submission submission) {
        AfterRound(app, entry, round, Accept(app.online, submission));
      },
      [&app, entry, round] { AfterRound(app, entry, round, OnlineResult::NoConnection); });
}

// A registration comes before every submission, so that each has a fresh key.
void Register(App& app, const Entry& entry, int round) {
  StartOnline<Registration>(
      app, TextId::Registering, [context = CurrentClientContext(app.online)] { return RegisterClient(context); },
      [&app, entry, round](Registration registration) {
        const OnlineResult result = Accept(app.online, registration);
        if (result == OnlineResult::Done) return Submit(app, entry, round);
        AfterRound(app, entry, round, result);
      },
      [&app, entry, round] { AfterRound(app, entry, round, OnlineResult::NoConnection); });
}

// After a successful fetch the online table of the same ranking is shown, on
// the page of the entry the server marked as the player's own.
void FetchAfterEntry(App& app, const Entry& entry) {
  FetchOnlineTables(app, [&app, entry](OnlineResult result) {
    if (result == OnlineResult::Done) {
      const TScorelist& online = app.highscores.ranking(entry.mode, entry.difficulty, ListKind::Online);
      ShowRankingPage(app, entry.mode, entry.difficulty, ListKind::Online,
                      online.find(app.tableView.ownScore.get()));
    }
    app.ui.screen = Highscores;
  });
}

// The recording of the game just submitted goes after it, so that the
// service can play it again; the score counts online once it has. Whatever
// becomes of it, the entry stays: the player is only told.
void UploadGameRecording(App& app, const Entry& entry) {
  const Game& game = app.game;
  const std::string recording = EncodeRecording(game.recording);
  if (recording.empty()) {
    if (game.recording.started)
      ShowNote(TextId::TooLongToRecord);
    return FetchAfterEntry(app, entry);
  }
  StartOnline<UploadReply>(
      app, TextId::SendingRecording,
      [context = CurrentClientContext(app.online), recording, ticket = app.gameTicket] {
        return UploadRecording(context, recording, ticket);
      },
      [&app, entry](UploadReply upload) {
        if (Accept(upload) == OnlineResult::NoConnection) ShowNote(TextId::RecordingNotSent);
        // Kept, but not ranked: the service says why, once, in words.
        if (!upload.unverifiedMessage.empty()) Notify(Text(TextId::NoteTitle), upload.unverifiedMessage, false);
        FetchAfterEntry(app, entry);
      },
      [&app, entry] {
        ShowNote(TextId::RecordingNotSent);
        FetchAfterEntry(app, entry);
      });
}

void EnterResult(App& app, const Entry& entry) {
  FrontEnd& ui = app.ui;
  THighscore& highscores = app.highscores;
  // The save enters the result into the rankings as the file holds them now,
  // with what other games running beside this one saved meanwhile; the table
  // shows those, the new entry lit at its place among them.
  const NewEntry added = highscores.add(entry.mode, entry.difficulty, entry.name, entry.points);
  const SaveOutcome saved = highscores.SaveHighscore(ui.playerName, ui.saveOnline);
  app.tableView.ownScore = added.entry;
  // The game of an entry of the first page is kept to be watched, and the
  // games of entries pushed off it go.
  if (saved) {
    KeepEntryRecording(added.list, *added.entry, EncodeRecording(app.game.recording));
    DropRecordingsLeftBehind(highscores);
  }
  ShowRankingPage(app, entry.mode, entry.difficulty, ListKind::Local,
                  highscores.list[added.list].find(added.entry.get()));
  if (!saved)
    ShowNote(TextId::ListNotSaved);
  if (ui.saveOnline == 1) return UploadGameRecording(app, entry);
  ui.screen = Highscores;
}

void CarryOutEntry(App& app) {
  const FrontEnd& ui = app.ui;
  if (ui.playerName.size() < kShortestName) {
    ShowNote(TextId::NameTooShort);
    return;
  }
  const Game& game = app.game;
  const Entry entry{ui.playerName, game.gameMode, game.difficulty, game.score};
  if (ui.saveOnline == 1) return Register(app, entry, 0);
  EnterResult(app, entry);
}

std::string ModeValue(const Game& game) {
  if (game.gameMode == Level) return IntToText(game.level);
  // Classic shows its difficulty too: it names the ranking the result goes to.
  return DifficultyName(game.difficulty);
}

}  // namespace

void DrawNewHighscore(App& app) {
  if (ConnectionUnderway(app)) return DrawConnecting(app);
  FrontEnd& ui = app.ui;
  const Game& game = app.game;
  auto centred = [&ui](const std::string& text, float x, float y) {
    DrawTextCentered(text, Truncate(x * ui.scale), Truncate(y * ui.scale), ui.scale);
  };
  Cls();
  DrawGameBackdrop(ui);
  TFont::set(1);
  centred(Text(TextId::NewHighscoreTitle), 200, 85);
  TFont::set(0);
  centred(IntToText(game.score), 78, 33);
  centred(ModeName(game.gameMode), 200, 33);
  centred(ModeValue(game), 319, 33);

  std::string cursor = NowMillis() % 500 < 250 ? "_" : "";
  DrawString(FormatText(TextId::NameLine, {ui.playerName + cursor}), 30 * ui.scale, 150 * ui.scale);

  const std::string checkbox = Text(TextId::SaveOnline);
  int width = StringWidth(checkbox);
  const WidgetResult box = TabButton(ui, checkbox, static_cast<float>(width / 2 + 65), 200, static_cast<float>(width), 16);
  if (box == WidgetResult::Clicked)
    ui.saveOnline = static_cast<uint8_t>(1 - ui.saveOnline);
  SetColor(255, 255, 255);
  DrawImageFrame(ui.img.imgStones, 40 * ui.scale, 207 * ui.scale, (4 - ui.saveOnline) * 26);

  TFont::set(1);
  const WidgetResult proceed = MenuButton(ui, Text(TextId::Continue), 200, 350);
  const WidgetResult cancel = MenuButton(ui, Text(TextId::Cancel), 200, 400);
  if (cancel == WidgetResult::Clicked || game.score == 0) ui.screen = MainMenu;
  SetColor(255, 255, 255);
  Flip(-1);

  // A game without points has already left; it is never entered.
  if (proceed == WidgetResult::Clicked && ui.screen == NewHighscore) CarryOutEntry(app);
}

}  // namespace quarzello
