// Arbitrary bytes as highscore.tvs: loading must end quietly whatever the
// file holds, and what was loaded must survive being saved and loaded again.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "highscore/store.h"

using namespace quarzello;

namespace {

std::filesystem::path workDirectory;

void RemoveWorkDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(workDirectory, ignored);
}

void WriteHighscoreFile(const uint8_t* data, size_t size) {
  FILE* file = std::fopen(kHighscoreFile, "wb");
  if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
}

std::string LoadFresh() {
  THighscore highscores;
  std::string playerName;
  uint8_t saveOnline = 0;
  highscores.LoadHighscore(playerName, saveOnline);
  if (playerName.size() > 15 || saveOnline > 1) std::abort();
  return EncodeHighscoreFile(highscores, playerName, saveOnline);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // In memory where the system offers it: the runs then wait for no disk.
  std::filesystem::path base = std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                                         : std::filesystem::temp_directory_path();
  std::string pattern = (base / "highscore-fuzz-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  workDirectory = pattern;
  std::filesystem::current_path(workDirectory);
  std::atexit(RemoveWorkDirectory);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteHighscoreFile(data, size);
  std::string loaded = LoadFresh();
  // Written as SaveHighscore writes it (without its syncing, which only costs time here).
  WriteHighscoreFile(reinterpret_cast<const uint8_t*>(loaded.data()), loaded.size());
  if (LoadFresh() != loaded) std::abort();
  return 0;
}
