#pragma once

#include <string>

namespace highscored {

// 32 hexadecimal digits (128 bits) from the operating system's random source.
std::string MakeRandomKey();

}  // namespace highscored
