#include "widgets/frontend.h"

namespace quarzello {

FrontEnd ui;
Game game;
Random generator;
Images img;

}  // namespace quarzello
