#include "widgets/frontend.h"

namespace quarzello {

FrontEnd ui;
Game game;
Random generator;

}  // namespace quarzello
