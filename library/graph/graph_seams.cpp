// graph_seams.cpp - stand-ins for the draw state's setters, the graph table, the
// software draw side and the mask screen until they are built; that work replaces
// this file. They behave as the real routines do before the graph manager has
// started: no draw target, no draw area, no graphs, no mask screen.
#include "library/display/screen_state.h"
#include "library/graph/draw_side.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_handles.h"
#include "library/graph/graph_record.h"
#include "library/graph/mask_screen.h"
#include "platform/wintypes.h"

int SetHardware3DDrawFlag(int flag) {
    if (GetDirectDrawObject() == nullptr) SetSoftwareScreenRequest(flag == 0 ? 1 : 0);
    g_DrawState.useHardware3D = flag;
    return 0;
}

int SetGraphDirectDrawSurfaceFlag(int flag) {
    g_DrawState.newGraphInMemImg = IsDirectDrawUsed() ? 1 : (flag != 1);
    return 0;
}

int SelectDrawTargetCore(int) { return -1; }

int GetDrawTargetHandle(void) { return 0; }

int GetDrawClipRect(RECT* rect) {
    *rect = g_DrawState.clipRect;
    return 0;
}

int SetDrawClipRect(int, int, int, int) { return -1; }

int DeleteAllGraphHandles(int) { return 0; }

GraphRecord* GetGraphRecord(int) { return nullptr; }

int DrawGraphAtSoft(int, int, GraphRecord*, int, int) { return -1; }

int DrawLineListSoft(const LineSegmentRecord*, int) { return -1; }

MEMIMG* GetMaskScreenMemImg(void) { return nullptr; }
