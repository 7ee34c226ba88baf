// soft_target.cpp - the common start of the software draw routines.
#include "library/softrender/soft_target.h"

#include "library/display/screen_state.h"
#include "library/graph/draw_state.h"
#include "library/graph/mask_screen.h"

int CanDrawSoft(void) {
    if (g_Screen.drawTargetUnusable) return 0;
    return g_Screen.noDirectDraw || GetDirectDrawObject() != nullptr ? 1 : 0;
}

int IsSoftwareScreen(void) { return IsSoftwareRenderMode() && GetScreenColorBitDepth() != 8 ? 1 : 0; }

MEMIMG* CurrentSoftTarget(void) {
    return g_DrawState.maskActive ? GetMaskScreenMemImg() : g_Screen.drawTargetMemImg;
}
