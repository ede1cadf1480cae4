#include "server/web_files.h"

#include <cstdint>

namespace highscored {

namespace {

struct EmbeddedEntry {
  const char* name;
  const char* data;
  uintptr_t size;
};

}  // namespace

// Written by the build: one entry per file of server/web/, then zeros.
extern "C" const EmbeddedEntry quarzello_web_files[];

std::optional<std::string_view> WebPicture(std::string_view name) {
  for (const EmbeddedEntry* entry = quarzello_web_files; entry->name != nullptr; ++entry) {
    if (name == entry->name) return std::string_view(entry->data, entry->size);
  }
  return std::nullopt;
}

}  // namespace highscored
