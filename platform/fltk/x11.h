// The few things FLTK leaves to plain Xlib. Kept apart because the X headers
// name a type Font, as the game's platform header does.
#pragma once

class Fl_Window;

// Connects to the X server (ends the program through Fl::fatal without one).
void OpenDisplay();
// Held keys then give one key-up per real release, not one per auto-repeat.
void UseDetectableAutoRepeat();
// Whether the window manager shows the window maximized in both directions.
bool IsMaximizedByWindowManager(Fl_Window& window);
