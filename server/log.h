#pragma once

#include <string>
#include <string_view>

namespace highscored {

// Text from clients or the database as it may go into a log line: line
// breaks and other control characters (C0, DEL and C1, so no terminal escape
// gets through) and backslashes become \xHH.
std::string EscapedForLog(std::string_view text);

// Several lines (a database message with its detail and hint) as one: the
// line breaks become " / ", trailing ones are dropped.
std::string FoldedLines(std::string_view text);

// Writes text and a line break to standard error in one write, so that lines
// of different threads never interleave. The text must already be escaped.
void WriteLogLine(std::string text);

// "quarzello-highscored: " and the folded, escaped message, for everything
// that is not a request.
void LogNote(std::string_view message);

}  // namespace highscored
