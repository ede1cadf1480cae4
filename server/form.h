#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace highscored {

// Fields of a form-encoded request body, decoded.
using Form = std::map<std::string, std::string>;

// Replaces each %XX by its byte. A plus sign stays a plus sign: the game
// sends it unencoded as part of a name, never as a space. Nothing on a stray
// or incomplete escape.
std::optional<std::string> PercentDecode(const std::string& text);

// Splits "a=1&b=2" into its fields. Nothing when an escape is broken or a
// field appears twice (which of the two was meant cannot be told).
std::optional<Form> ParseForm(const std::string& body);

// A decimal number written as digits only, with a leading minus when
// allowNegative; nothing for anything else, including values outside int32.
std::optional<int32_t> ParseDecimal(const std::string& text, bool allowNegative);

}  // namespace highscored
