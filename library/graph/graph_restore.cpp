// graph_restore.cpp - restoring lost surfaces, rebuilding the display after a device
// loss, and reloading every graph's pixels from its source file (see graph_restore.h).
#include "library/graph/graph_restore.h"

#include <cstring>

#include "library/core/log.h"
#include "library/d3d/d3d.h"
#include "library/display/display_device.h"
#include "library/display/present.h"
#include "library/display/screen_mode.h"
#include "library/display/screen_state.h"
#include "library/display/screen_surfaces.h"
#include "library/display/surface2d.h"
#include "library/file/file_backend.h"
#include "library/font/font.h"
#include "library/graph/draw_front.h"
#include "library/graph/draw_side.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_handles.h"
#include "library/graph/graph_loader.h"
#include "library/graph/graph_manager.h"
#include "library/graph/mask_screen.h"
#include "library/graph/movie.h"
#include "library/input/input.h"

namespace {
GraphRestoreHandler restoreHandler;

GraphRecord* RecordInSlot(int slot) { return static_cast<GraphRecord*>(GraphTable.slots[slot]); }

bool SameSource(const GraphRecord* a, const GraphRecord* b) {
    return std::strcmp(a->fileName, b->fileName) == 0 && std::strcmp(a->directory, b->directory) == 0 &&
           a->mirrorFlag == b->mirrorFlag;
}

// A 3D graph as the draw target gets its texture back only when Direct3D is obtained
// again: until then the software side names no surface and the device falls back on
// the screen. Selecting the target anew puts both into the new texture.
void ReselectGraphDrawTarget() {
    const int target = GetDrawTargetHandle();
    const GraphRecord* graph = GetGraphRecord(target);
    if (graph == nullptr || !graph->hardwareFlag) return;
    if (IsDirect3DAvailable()) G_D3D_SelectDrawTarget(target, target);
    SelectDrawTargetSoft(target, target);
}
}  // namespace

int SetGraphRestoreHandler(GraphRestoreHandler handler) {
    restoreHandler = handler != nullptr ? handler : ReloadGraphsFromFiles;
    return 0;
}

int HasGraphRestoreHandler(void) { return restoreHandler != nullptr ? 1 : 0; }

int MarkGraphsForRestore(void) {
    for (int slot = 0, seen = 0; slot < GraphTable.highWater && seen < GraphTable.liveCount; slot++) {
        if (GraphRecord* graph = RecordInSlot(slot)) {
            graph->restoreFlag = 1;
            seen++;
        }
    }
    if (restoreHandler != nullptr) restoreHandler();
    RecreateAllFonts();
    return 0;
}

// Graphs cut from one file lie in consecutive slots: the file is decoded once for the
// run and each graph copies its own rectangle. The fields hold whole names only (they
// are cut when remembered), so every graph with a file name is reloaded.
int ReloadGraphsFromFiles(void) {
    WriteLogText("グラフィックを復帰します\n");
    char savedDirectory[GraphDirectoryCapacity + 4];
    FileBackendGetDir(savedDirectory, sizeof savedDirectory);

    GraphImage image{}, alpha{};
    bool held = false, heldAlpha = false;
    const GraphRecord* previous = nullptr;
    for (int slot = 0; slot < GraphTable.highWater; slot++) {
        GraphRecord* graph = RecordInSlot(slot);
        if (graph == nullptr || graph->restoreFlag != 1 || graph->fileName[0] == '\0') continue;
        if (!(previous != nullptr && held && SameSource(previous, graph))) {
            FreeGraphImage(&image);
            FreeGraphImage(&alpha);
            held = heldAlpha = false;
            FileBackendSetDir(graph->directory);
            const int decoded = DecodeImageWithAlphaFile(graph->fileName, nullptr, 0, 0, nullptr, 0, 0, &image,
                                                         &alpha, graph->mirrorFlag);
            if (decoded < 0) {
                graph->restoreFlag = 0;
                previous = graph;
                continue;
            }
            held = true;
            heldAlpha = decoded == 0;
        }
        TransferImageToGraph(nullptr, 0, 0, graph->fileName, 0, &image, heldAlpha ? &alpha : nullptr, graph->sourceX,
                             graph->sourceY, graph->handle, graph->mirrorFlag);
        graph->restoreFlag = 0;
        previous = graph;
    }
    FreeGraphImage(&image);
    FreeGraphImage(&alpha);
    return FileBackendSetDir(savedDirectory);
}

// Every step runs whatever the earlier ones gave.
int RestoreGraphicsAfterDeviceLoss(void) {
    G_D3D_ReleaseDirect3DObject();
    ReleaseMaskScreenObjects();
    ReleaseScreenSurfaces();
    ShutdownDirectInput();
    ReleaseAllSurface2DStorage();
    FreeScreenClipper();
    if (GetScreenGdiCompatible()) {
        ReapplyDisplayMode();
        RecreateAllSurface2DStorage();
        RecreateScreenClipper();
    } else {
        FreeDirectDrawObject();
        RecreateDirectDrawObjects();
    }
    CreateScreenSurfaces();
    RecreateScreenPalette();
    SelectDrawTargetSoft(GetDrawTargetHandle(), GetDrawTargetHandle());
    G_D3D_ObtainDirect3DObject();
    ReselectGraphDrawTarget();
    ClearCurrentScreenCore();
    PresentBackBuffer();
    MarkGraphsForRestore();
    ReopenAllMovies();
    RecreateMaskScreenObjects();
    return 0;
}

int RestoreGraphAndMovieSurfaces(int graph) {
    GraphRecord* record = GetGraphRecord(graph);
    if (record == nullptr) return -1;
    if (record->hardwareFlag) {
        G_D3D_RestoreGraphSurface3D(record);
    } else {
        RestoreGraphSurfaces(record);
    }
    if (record->movieHandle != -1 && GetMovieRecord(record->movieHandle) != nullptr) {
        RestoreMovieSurfaces(record->movieHandle);
    }
    return 0;
}

int RestoreAllGraphSurfaces(void) {
    if (!IsGraphManagerStarted()) return 0;
    RestoreScreenSurfaces();
    for (int slot = 0; slot < GraphTable.highWater; slot++) {
        const int graph = HandleOfSlot(&GraphTable, slot);
        if (graph != -1) RestoreGraphAndMovieSurfaces(graph);
    }
    return 0;
}
