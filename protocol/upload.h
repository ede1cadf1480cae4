// How a game's recording travels to the service: as URL-safe base64 in a
// form field, with a check value tied to the key of the registration the
// score was submitted with. The game encodes and the service decodes these
// very bytes, so both build this one definition.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarzello {

// RFC 4648 base64 with the URL-safe alphabet (- and _), written without padding.
std::string EncodeBase64Url(std::string_view bytes);
// Padding optional; nothing for any other character, a cut-off group, or
// spare bits an encoder never sets.
std::optional<std::string> DecodeBase64Url(std::string_view text);

// CRC-32 (zlib's) over the key, the recording's bytes and the key again, as
// a signed 32-bit number.
int32_t RecordingHash(std::string_view key, std::string_view recording);

}  // namespace quarzello
