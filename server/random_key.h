#pragma once

#include <cstdint>
#include <string>

namespace highscored {

// 32 hexadecimal digits (128 bits) from the operating system's random source.
std::string MakeRandomKey();

// A key's id: any signed 32-bit number the game can send back but 0, which
// it holds before its first registration. Ids drawn at random cannot be
// guessed from one's own, as ids counted up could.
int32_t MakeRandomKeyId();

// A ticket's id: 1 to 2^31 - 1, drawn at random like a key's id.
int32_t MakeRandomTicketId();

// A state the game's generator can be in (Random::ValidState), each as
// likely as any other: the board of a dealt game, which no player picks.
int32_t MakeRandomGeneratorState();

}  // namespace highscored
