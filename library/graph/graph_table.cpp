// graph_table.cpp - the graph table: making, looking up, deleting and deriving graphs
// (see graph_handles.h).
#include <cstring>

#include "library/core/log.h"
#include "library/core/zqlib.h"
#include "library/d3d/d3d.h"
#include "library/display/screen_state.h"
#include "library/display/surface2d.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_create.h"
#include "library/graph/graph_handles.h"
#include "library/graph/graph_manager.h"
#include "library/graph/movie.h"

namespace {
void* GraphSlots[GraphCapacity];

int ScreenColorBits() {
    int bits = 0;
    GetScreenSizeAndDepth(nullptr, nullptr, &bits);
    return bits;
}
}  // namespace

HandleTable GraphTable =
    MakeHandleTable(GraphSlots, HandleKindGraph, GraphCapacity, HandleSlotHighWater, HandleTableWritesLostFlag);

GraphRecord* GetGraphRecord(int handle) { return static_cast<GraphRecord*>(LookupHandleRecord(&GraphTable, handle)); }

int GetGraphRecordHandle(const GraphRecord* record) { return record->handle; }

int AddGraphHandle(int width, int height, int hardwareRequest, GraphRecord** out, int alphaFlag, int paletteFlag) {
    if (GraphTable.liveCount >= GraphCapacity) FatalErrorExit("グラフィックの数が許容量を越えました終了します");
    void* block = nullptr;
    const int handle = AddHandleRecord(&GraphTable, sizeof(GraphRecord), &block);
    if (handle < 0) FatalErrorExit("メモリの確保に失敗しました");
    GraphRecord* g = static_cast<GraphRecord*>(block);
    const DrawState& d = g_DrawState;
    g->handle = handle;
    g->width = width;
    g->height = height;
    g->movieHandle = -1;
    g->creationOption = d.newGraphOption;

    g->hardwareFlag = hardwareRequest != 0 && d.useHardware3D && IsDirect3DAvailable() && !IsSoftwareRenderMode();
    if (d.newGraphDrawValid == 1) {
        g->drawValidFlag = 1;
    } else {
        g->alphaChannelFlag = uint8_t(alphaFlag);
        g->alphaTestFlag = uint8_t(d.newGraphAlphaTest);
    }
    if (g->hardwareFlag) {
        g->colorBitDepth = uint8_t(d.newGraphColorBits != 0 ? d.newGraphColorBits
                                   : alphaFlag == 1     ? 32
                                                        : ScreenColorBits());
    } else {
        g->colorBitDepth = uint8_t(d.newGraphColorBits == 0 || !IsDirectDrawUsed() ? ScreenColorBits()
                                                                                    : d.newGraphColorBits);
        g->memImgFlag = uint8_t(d.newGraphInMemImg);
        g->paletteFlag = uint8_t(paletteFlag);
    }
    if (out != nullptr) *out = g;
    return handle;
}

int CreateGraphOfSize(int width, int height, int hardwareRequest, int alphaFlag, int paletteFlag) {
    GraphRecord* g = nullptr;
    const int handle = AddGraphHandle(width, height, hardwareRequest, &g, alphaFlag, paletteFlag);
    const int made = g->hardwareFlag ? G_D3D_CreateGraphSurface3D(g) : CreateGraphSurface2D(g);
    if (made < 0) {
        DeleteHandleRecord(&GraphTable, handle);
        return WriteLogText("グラフィックの作成に失敗しました\n");
    }
    return handle;
}

int CreateBlankGraph(int width, int height, int not3D) {
    return CreateGraphOfSize(width, height, not3D ? 0 : 1, g_DrawState.newGraphAlphaChannel, 0);
}

int DeleteGraphHandle(int graph, int logFlag) {
    GraphRecord* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    // No renderer may keep drawing into pixels that are about to go.
    if (g_DrawState.drawTarget == graph) SelectDrawTargetCore(BackBufferTarget);
    if (g->movieOwner) CloseMovieHandle(graph);
    if (g->hardwareFlag) {
        G_D3D_DeleteGraphSurface3D(g);
    } else {
        DeleteGraphSurface2D(g);
    }
    if (logFlag) WriteLogFormat("グラフィック %s の削除", g->fileName);
    return DeleteHandleRecord(&GraphTable, graph);
}

int DeleteAllGraphHandles(int logFlag) {
    if (!IsGraphManagerStarted()) return 0;
    for (int slot = 0; slot < GraphTable.highWater; slot++) {
        const int graph = HandleOfSlot(&GraphTable, slot);
        if (graph != -1) DeleteGraphHandle(graph, logFlag);
    }
    return 0;
}

int SetGraphLostFlagPointer(int graph, int* lostFlag) { return SetHandleLostFlagPointer(&GraphTable, graph, lostFlag); }

int TransferImageToGraph(const void* bitmap, int, int, const char* fileName, int, const GraphImage* image,
                         const GraphImage* alphaImage, int sourceX, int sourceY, int graph, int mirrorFlag) {
    GraphRecord* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    RememberGraphSourceFile(graph, fileName);
    g->sourceX = sourceX;
    g->sourceY = sourceY;
    g->mirrorFlag = mirrorFlag;
    if (g->hardwareFlag) return G_D3D_BltImageToGraph(bitmap, 0, 0, sourceX, sourceY, g, 0, image, alphaImage);
    return TransferImageToGraphSurfaces(sourceX, sourceY, g, image, alphaImage);
}

int TransferImageToGraphRect(const void*, int, int, const char* fileName, int, const GraphImage* image,
                             const GraphImage* alphaImage, const RECT* sourceRect, int destX, int destY, int graph,
                             int mirrorFlag) {
    GraphRecord* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    RememberGraphSourceFile(graph, fileName);
    g->mirrorFlag = mirrorFlag;
    if (g->hardwareFlag) return G_D3D_BltImageRectToGraph(sourceRect, destX, destY, g, image, alphaImage);
    return TransferImageRectToGraphSurfaces(sourceRect, destX, destY, g, image, alphaImage);
}

// Only rectangles that start inside the parent are accepted, so a derived graph never
// reaches outside the storage it shares.
int DeriveSubGraphCore(int sourceX, int sourceY, int width, int height, int parent) {
    GraphRecord* p = GetGraphRecord(parent);
    if (p == nullptr) return -1;
    if (sourceX < 0 || sourceY < 0 || sourceX >= p->width || sourceY >= p->height || width <= 0 || height <= 0) {
        return -1;
    }
    if (width > p->width - sourceX) width = p->width - sourceX;
    if (height > p->height - sourceY) height = p->height - sourceY;

    GraphRecord* g = nullptr;
    const int handle = AddGraphHandle(width, height, p->hardwareFlag, &g, p->alphaChannelFlag, p->paletteFlag);
    g->movieHandle = p->movieHandle;  // the frames show through; the parent keeps the movie
    std::memcpy(g->fileName, p->fileName, sizeof g->fileName);
    std::memcpy(g->directory, p->directory, sizeof g->directory);
    g->sourceX = sourceX + p->sourceX;
    g->sourceY = sourceY + p->sourceY;
    g->hardwareFlag = p->hardwareFlag;
    g->alphaChannelFlag = p->alphaChannelFlag;
    g->drawValidFlag = p->drawValidFlag;
    g->memImgFlag = p->memImgFlag;
    g->alphaTestFlag = p->alphaTestFlag;
    g->colorBitDepth = p->colorBitDepth;
    g->paletteFlag = p->paletteFlag;
    g->mirrorFlag = p->mirrorFlag;
    const int made = g->hardwareFlag ? G_D3D_CreateSubGraphSurface3D(g, sourceX, sourceY, width, height, p)
                                     : CreateGraphSurface2DShared(g, sourceX, sourceY, width, height, p);
    if (made < 0) {
        DeleteHandleRecord(&GraphTable, handle);
        return WriteLogText("グラフィックの派生に失敗しました終了します");
    }
    return handle;
}
