// Helpers shared by the platform's own sources; not for the game's code.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// All bytes behind a url: an embedded file's are used where they lie, a
// file's are read into `owned`.
struct UrlBytes {
  std::vector<uint8_t> owned;
  std::span<const uint8_t> bytes;
};
// Nothing if the url ("incbin::NAME" or a file path) cannot be opened or read.
std::optional<UrlBytes> ReadWholeUrl(const std::string& url);
