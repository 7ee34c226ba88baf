// display_seams.cpp - stand-in for the screen-mode change until the display start-up
// is built; that work replaces this file. Without a display device no mode can be
// put into force, so it fails.
#include "library/display/screen_mode.h"

int ChangeScreenMode(int, int, int, int, int) { return -1; }
