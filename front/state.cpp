#include "front/frontend.h"

namespace quarzello {

FrontEnd ui;
Images img;

}  // namespace quarzello
