#include "front/frontend.h"

FrontEnd ui;
Images img;
