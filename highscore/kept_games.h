// Recordings the game keeps beside highscore.tvs, whose own bytes stay as
// they are: the game the window was closed on, to go on with at the next
// start, and the game behind each local top-ten entry, to be watched.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "highscore/store.h"

namespace quarzello {

constexpr const char* kInterruptedGameFile = "interrupted.qzr";
// A file there that cannot be gone on with is renamed to this plus a number.
constexpr const char* kSetAsidePrefix = "interrupted.qzr.unusable-";
// The ticket of the interrupted game's board, when the service dealt it.
constexpr const char* kInterruptedTicketFile = "interrupted.ticket";
constexpr const char* kKeptRecordingsDir = "recordings";
// The entries of a ranking whose games are kept: its first page.
constexpr int kKeptEntries = kPageSize;

// The recording so far of a game that is not over, replacing any earlier one
// whole or not at all.
bool SaveInterruptedGame(const std::string& recording);
// The interrupted game to go on with: none when there is none, or when
// `usable` refuses it, which sets the file aside under another name (nothing
// is lost, and it is not offered again).
std::optional<std::string> TakeInterruptedGame(const std::function<bool(const std::string& recording)>& usable);
// The game was given up, ended or replaced by another: its ticket goes too.
void DiscardInterruptedGame();
// The ticket of a game dealt from generatorState, saved before the game
// itself (0: none, which drops an earlier one).
bool SaveInterruptedTicket(int32_t ticket, int32_t generatorState);
// The ticket saved for a game dealt from generatorState; 0 when there is
// none, or it is another game's (one saved before a save of its game failed).
int32_t InterruptedTicket(int32_t generatorState);

// Keeps the recording of an entry just added to a local ranking (a
// RankingIndex below kRankings).
bool KeepEntryRecording(uint8_t ranking, const TScore& entry, const std::string& recording);
// The recording kept for an entry of a local ranking, if there is one;
// equal entries (name and points) show the first of theirs.
std::optional<std::string> KeptEntryRecording(uint8_t ranking, const TScore& entry);
bool HasKeptEntryRecording(uint8_t ranking, const TScore& entry);
// Drops the recordings of entries that are no longer on the first page of
// their local ranking.
void DropRecordingsLeftBehind(const THighscore& store);

}  // namespace quarzello
