// screen_mode.h - putting a screen size, colour depth and refresh rate into force.
#pragma once

// Each of width, height, colorBits and refreshRate may be -1 to keep the current
// value; force redoes the change even when nothing differs. 0 on success, -2 when
// the 640 x 480 x 16 fallback was taken, -1 on failure.
int ChangeScreenMode(int width, int height, int colorBits, int force, int refreshRate);
