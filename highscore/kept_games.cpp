#include "highscore/kept_games.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>
#include <utility>
#include <vector>

namespace quarzello {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> ReadFile(const fs::path& path) {
  std::string bytes;
  if (ReadWholeFile(path.c_str(), bytes) != FileState::kRead) return std::nullopt;
  return bytes;
}

// A kept entry's file is named by its ranking, its points and its name (in
// hexadecimal, as names may hold any code from 32 to 125), and a number that
// tells apart equal entries: "3-12500-4a6f-1.qzr".
std::string EntryStem(uint8_t ranking, const TScore& entry) {
  static const char kHex[] = "0123456789abcdef";
  std::string stem = std::to_string(ranking) + "-" + std::to_string(entry.punkte) + "-";
  for (const char c : entry.name) {
    stem += kHex[static_cast<unsigned char>(c) >> 4];
    stem += kHex[static_cast<unsigned char>(c) & 15];
  }
  return stem + "-";
}

fs::path EntryFile(const std::string& stem, int number) {
  return fs::path(kKeptRecordingsDir) / (stem + std::to_string(number) + ".qzr");
}

}  // namespace

bool SaveInterruptedGame(const std::string& recording) {
  return !recording.empty() && ReplaceFileAtomically(kInterruptedGameFile, recording);
}

std::optional<std::string> TakeInterruptedGame(const std::function<bool(const std::string& recording)>& usable) {
  std::error_code error;
  if (!fs::exists(kInterruptedGameFile, error)) return std::nullopt;
  std::optional<std::string> bytes = ReadFile(kInterruptedGameFile);
  if (bytes && usable(*bytes)) return bytes;
  for (int number = 1; number < 1000; ++number) {
    const std::string aside = kSetAsidePrefix + std::to_string(number);
    if (fs::exists(aside, error)) continue;
    fs::rename(kInterruptedGameFile, aside, error);
    break;
  }
  return std::nullopt;
}

void DiscardInterruptedGame() {
  std::error_code error;
  fs::remove(kInterruptedGameFile, error);
  fs::remove(kInterruptedTicketFile, error);
}

bool SaveInterruptedTicket(int32_t ticket, int32_t generatorState) {
  if (ticket == 0) {
    std::error_code error;
    fs::remove(kInterruptedTicketFile, error);
    return !fs::exists(kInterruptedTicketFile, error);
  }
  return ReplaceFileAtomically(kInterruptedTicketFile,
                               std::to_string(ticket) + " " + std::to_string(generatorState) + "\n");
}

int32_t InterruptedTicket(int32_t generatorState) {
  std::ifstream in(kInterruptedTicketFile);
  int64_t ticket = 0, state = 0;
  if (!(in >> ticket >> state) || state != generatorState || ticket <= 0 || ticket > INT32_MAX) return 0;
  return static_cast<int32_t>(ticket);
}

bool KeepEntryRecording(uint8_t ranking, const TScore& entry, const std::string& recording) {
  if (recording.empty()) return false;
  std::error_code error;
  fs::create_directories(kKeptRecordingsDir, error);
  const std::string stem = EntryStem(ranking, entry);
  int number = 1;
  while (fs::exists(EntryFile(stem, number), error)) ++number;
  return ReplaceFileAtomically(EntryFile(stem, number).string(), recording);
}

std::optional<std::string> KeptEntryRecording(uint8_t ranking, const TScore& entry) {
  return ReadFile(EntryFile(EntryStem(ranking, entry), 1));
}

bool HasKeptEntryRecording(uint8_t ranking, const TScore& entry) {
  std::error_code error;
  return fs::is_regular_file(EntryFile(EntryStem(ranking, entry), 1), error);
}

void DropRecordingsLeftBehind(const THighscore& store) {
  // How many files of each name the first pages still hold an entry for.
  std::map<std::string, int> wanted;
  for (int ranking = 0; ranking < kRankings; ++ranking) {
    const auto& entries = store.list[ranking].list;
    for (size_t place = 0; place < entries.size() && place < kKeptEntries; ++place) {
      ++wanted[EntryStem(static_cast<uint8_t>(ranking), *entries[place])];
    }
  }
  std::error_code error;
  fs::directory_iterator files(kKeptRecordingsDir, error);
  if (error) return;
  std::map<std::string, std::vector<std::pair<int, fs::path>>> found;
  for (const fs::directory_entry& file : files) {
    const std::string name = file.path().filename().string();
    const size_t dash = name.rfind('-');
    if (dash == std::string::npos || file.path().extension() != ".qzr") continue;
    found[name.substr(0, dash + 1)].push_back({std::atoi(name.c_str() + dash + 1), file.path()});
  }
  for (auto& [stem, paths] : found) {
    std::sort(paths.begin(), paths.end());
    const int keep = wanted.count(stem) ? wanted[stem] : 0;
    for (size_t i = static_cast<size_t>(keep); i < paths.size(); ++i) fs::remove(paths[i].second, error);
    // The kept ones are numbered from 1 again, so that each entry finds its own.
    for (int i = 0; i < keep && i < static_cast<int>(paths.size()); ++i) {
      const auto& [number, path] = paths[static_cast<size_t>(i)];
      if (number != i + 1) fs::rename(path, EntryFile(stem, i + 1), error);
    }
  }
}

}  // namespace quarzello
