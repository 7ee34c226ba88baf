// surface3d.cpp - 3D surfaces: the tiles of graphs on the hardware path. Each names a
// rectangle of a power-of-two texture (a reference-counted surface data, so derived
// graphs share their parent's textures), where it lies in the graph and in the source
// image, and four prebuilt transformed corners that draw it.
#include "library/core/log.h"
#include "library/d3d/d3d_internal.h"
#include "library/display/surface_data.h"
#include "library/graph/draw_state.h"

namespace {
void* Surface3DSlots[Surface3DCapacity];
}  // namespace

HandleTable Surface3DTable = MakeHandleTable(Surface3DSlots, HandleKindSurface3D, Surface3DCapacity,
                                             HandleSlotHighWater, HandleTableWritesLostFlag);

namespace {

// Corners in graph pixels with texture coordinates over the whole power-of-two texture.
void BuildVertices(Surface3DRecord* r, const SurfaceDataRecord* texture) {
    const float tw = float(texture->width), th = float(texture->height);
    const float left = float(r->textureX) / tw, right = float(r->textureX + r->width) / tw;
    const float top = float(r->textureY) / th, bottom = float(r->textureY + r->height) / th;
    const int xs[2] = {r->graphX, r->graphX + r->width}, ys[2] = {r->graphY, r->graphY + r->height};
    for (int i = 0; i < 4; i++) {
        ScreenVertex& v = r->vertices[i];
        v.x = float(xs[i & 1]);
        v.y = float(ys[i >> 1]);
        v.z = 0.0f;
        v.rhw = 1.0f;
        v.colour = 0xFFFFFFFFu;
        v.u = (i & 1) ? right : left;
        v.v = (i >> 1) ? bottom : top;
    }
}
}  // namespace

int Surface3DHighWater(void) { return Surface3DTable.highWater; }
int Surface3DHandleOfSlot(int slot) { return HandleOfSlot(&Surface3DTable, slot); }

Surface3DRecord* LookupSurface3DData(int handle) {
    return static_cast<Surface3DRecord*>(LookupHandleRecord(&Surface3DTable, handle));
}
Surface3DRecord* GetSurface3DData(int handle) { return LookupSurface3DData(handle); }
Surface3DRecord* LookupSurface3DRecord(int handle) { return LookupSurface3DData(handle); }
int EndUseSurface3DData(int) { return 0; }

void SetSurface3DDiagonalSides(Surface3DRecord* piece, int graphWidth, int graphHeight) {
    const double slope = double(graphHeight) / double(graphWidth);
    for (int i = 0; i < 4; i++) {
        const ScreenVertex& v = piece->vertices[i];
        piece->diagonalSide[i] = double(graphHeight) - slope * double(v.x) >= double(v.y) ? 1 : 0;
    }
}

int AddSurface3DData(int textureWidth, int textureHeight, int x, int y, int width, int height, int sourceX,
                     int sourceY, int ownerGraph, const Surface3DRecord* parent, int textureX, int textureY,
                     const SurfaceDataSettings* settings) {
    if (g_D3D.direct3D == nullptr) return WriteLogText("３Ｄグラフィックエンジンが初期化されていません\n");
    void* block = nullptr;
    const int slot = ReserveHandleSlot(&Surface3DTable, sizeof(Surface3DRecord), &block);
    if (slot == HandleTableFull) return WriteLogText("３Ｄグラフィックの数が許容量を越えました。\n");
    if (slot < 0) return WriteLogText("メモリの確保に失敗しました in AddSurface3DData \n");
    Surface3DRecord* r = static_cast<Surface3DRecord*>(block);

    if (parent == nullptr) {
        r->texture = AddSurfaceData(1, textureWidth, textureHeight, g_DrawState.transparentColor, settings);
        if (r->texture == -1) {
            CancelHandleSlot(&Surface3DTable, slot);
            return -1;
        }
    } else {
        IncSurfaceDataRef(parent->texture);
        r->texture = parent->texture;
    }
    r->graphX = uint16_t(x);
    r->graphY = uint16_t(y);
    r->width = uint16_t(width);
    r->height = uint16_t(height);
    r->ownerGraph = ownerGraph;
    r->textureX = uint16_t(textureX);
    r->textureY = uint16_t(textureY);
    r->sourceX = uint16_t(sourceX);
    r->sourceY = uint16_t(sourceY);
    // A shared tile gives its texture and source positions relative to its parent tile.
    if (parent != nullptr) {
        r->textureX = uint16_t(r->textureX + parent->textureX);
        r->textureY = uint16_t(r->textureY + parent->textureY);
        r->sourceX = uint16_t(r->sourceX + parent->sourceX);
        r->sourceY = uint16_t(r->sourceY + parent->sourceY);
    }
    const SurfaceDataRecord* texture = GetSurfaceDataRecord(r->texture);
    if (texture == nullptr || texture->width == 0 || texture->height == 0) {
        if (parent != nullptr) DecSurfaceDataRef(r->texture);
        else DeleteSurfaceData(r->texture);
        CancelHandleSlot(&Surface3DTable, slot);
        return -1;
    }
    BuildVertices(r, texture);
    return CommitHandleSlot(&Surface3DTable, slot);
}

int DeleteSurface3DData(int handle) {
    Surface3DRecord* r = LookupSurface3DData(handle);
    if (r == nullptr) return -1;
    if (DecSurfaceDataRef(r->texture) == 0) DeleteSurfaceData(r->texture);
    return DeleteHandleRecord(&Surface3DTable, handle);
}

int ClearSurface3DTable(void) {
    if (g_D3D.direct3D == nullptr) return -1;
    const int highWater = Surface3DTable.highWater;
    for (int slot = 0; slot < highWater; slot++) {
        const int handle = HandleOfSlot(&Surface3DTable, slot);
        if (handle != -1) DeleteSurface3DData(handle);
    }
    return 0;
}

int DeleteAllSurface3DData(void) { return g_D3D.direct3D == nullptr ? -1 : ClearSurface3DTable(); }

int LockSurface3DData(int handle, int* pitch, void** pixels, int writeOnly, const RECT* rect, ColorFormat* format) {
    const Surface3DRecord* r = LookupSurface3DData(handle);
    if (r == nullptr) return -1;
    return LockSurfaceData(r->texture, pitch, pixels, writeOnly, rect, format);
}

int UnlockSurface3DData(int handle, const RECT* rect) {
    const Surface3DRecord* r = LookupSurface3DData(handle);
    if (r == nullptr) return -1;
    return UnlockSurfaceData(r->texture, rect);
}

int G_D3D_RestoreAllSurface3D(void) {
    if (g_D3D.direct3D == nullptr) return -1;
    ForEachSurface3D([](int, Surface3DRecord* r) { RestoreLostSurfaceData(r->texture); });
    return 0;
}

IDirectDrawSurface7* Surface3DTexture(const Surface3DRecord* piece) {
    const SurfaceDataRecord* data = piece != nullptr ? GetSurfaceDataRecord(piece->texture) : nullptr;
    return data != nullptr ? data->surface : nullptr;
}
