// front_image.h - drawing onto the front screen with GDI output: the window's pixels
// are read back into the front image when it is stale (after a present), and each
// rectangle drawn on it is shown at once.
#pragma once

#include "platform/wintypes.h"

int CaptureScreenToFrontImage(void);                   // 0
int PresentFrontImageRect(const RECT* screenRect);     // 0; the rectangle is clipped to the screen
