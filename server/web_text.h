#pragma once

// Text for browsers. The game's strings, and the names in the database, hold
// one ISO-8859-1 byte per character; pages and JSON go out as UTF-8.

#include <cstdint>
#include <string>
#include <string_view>

namespace highscored {

std::string Latin1ToUtf8(std::string_view latin1);

// Safe as element text and inside quoted attribute values. Control codes,
// which no one can type and HTML does not allow, become U+FFFD.
std::string HtmlEscape(std::string_view latin1);

// A JSON string literal, quotes included, still in ISO-8859-1. Besides the
// escapes JSON needs, < > & are escaped so that the text can also be put
// inside a script or an HTML page as it is.
std::string JsonQuote(std::string_view latin1);

// "2026-12-08T09:41:07Z"
std::string IsoUtcTime(int64_t millis);

// A strong entity tag for a reply body, quotes included.
std::string EntityTag(std::string_view body);

// True when an If-None-Match header names the tag (or is "*"); weak tags
// match too, as a GET allows.
bool MatchesEntityTag(std::string_view ifNoneMatch, std::string_view tag);

}  // namespace highscored
