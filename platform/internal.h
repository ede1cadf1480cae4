// Helpers shared by the platform's own sources; not for the game's code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// All bytes behind a url ("incbin::NAME" or a file path), or nothing if it
// cannot be opened or read.
std::optional<std::vector<uint8_t>> ReadWholeUrl(const std::string& url);
