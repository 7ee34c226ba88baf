// surface2d_table.cpp - the 2D-surface handle table: adding and deleting pieces, the
// loops over every piece around a device loss (see surface2d.h).
#include "library/core/log.h"
#include "library/core/size_refusal.h"
#include "library/display/screen_surfaces.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"
#include "library/graph/draw_state.h"

namespace {
void* Surface2DSlots[Surface2DCapacity];

// Calls visit(record) for every live piece, lowest slot first.
template <typename Visit>
void ForEachSurface2D(Visit visit) {
    for (int slot = 0; slot < Surface2DTable.highWater; slot++) {
        if (Surface2DTable.slots[slot] != nullptr) visit(static_cast<Surface2DRecord*>(Surface2DTable.slots[slot]));
    }
}

bool FitsU16(int value) { return value >= 0 && value <= 0xFFFF; }
}  // namespace

// Deleting a piece writes its lost flag, so the font that registered one on its draw
// screen knows to make it again.
HandleTable Surface2DTable =
    MakeHandleTable(Surface2DSlots, HandleKindSurface2D, Surface2DCapacity, HandleSlotHighWater, HandleTableWritesLostFlag);

int AddSurface2D(int width, int height, int xInGraph, int yInGraph, int owner, const Surface2DRecord* shareFrom,
                 int sourceX, int sourceY, const SurfaceDataSettings* settings) {
    if (!IsDisplayStarted()) return WriteLogText("ＺＱライブラリが初期化されていません\n");
    if (width < 1 || height < 1 || !FitsU16(width) || !FitsU16(height) || !FitsU16(xInGraph) ||
        !FitsU16(yInGraph) || !FitsU16(sourceX) || !FitsU16(sourceY)) {
        return WriteLogFormat("２Ｄサーフェスの大きさか位置が不正です ( %d, %d, %d, %d ) in AddSurface2D", sourceX,
                              sourceY, width, height);
    }
    // A shared piece must lie inside the storage it shares.
    if (shareFrom != nullptr) {
        const SurfaceDataRecord* data = GetSurfaceDataRecord(shareFrom->surfaceData);
        if (data == nullptr || sourceX + width > data->width || sourceY + height > data->height) {
            return WriteLogFormat("２Ｄサーフェスが共有するデータの外にあります ( %d, %d, %d, %d ) in AddSurface2D",
                                  sourceX, sourceY, width, height);
        }
    }

    Surface2DRecord* record = nullptr;
    const int slot = ReserveHandleSlot(&Surface2DTable, sizeof(Surface2DRecord), reinterpret_cast<void**>(&record));
    if (slot == HandleTableFull) return WriteLogText("２Ｄグラフィックの量が許容量を越えました\n");
    if (slot < 0) return WriteLogText("メモリの確保に失敗しました in AddSurface2D \n");

    ClearSizeRefusal();
    const int data = shareFrom != nullptr ? (IncSurfaceDataRef(shareFrom->surfaceData) < 0 ? -1 : shareFrom->surfaceData)
                                          : AddSurfaceData(1, width, height, g_DrawState.transparentColor, settings);
    if (data < 0) {
        CancelHandleSlot(&Surface2DTable, slot);
        // A storage refused for its size has said so; it is no lack of memory.
        if (GetSizeRefusal(nullptr, nullptr)) return -1;
        return WriteLogText("メモリの確保に失敗しました in AddSurface2D \n");
    }
    record->xInGraph = uint16_t(xInGraph);
    record->yInGraph = uint16_t(yInGraph);
    record->sourceX = uint16_t(sourceX);
    record->sourceY = uint16_t(sourceY);
    record->width = uint16_t(width);
    record->height = uint16_t(height);
    record->owner = owner;
    record->surfaceData = data;
    return CommitHandleSlot(&Surface2DTable, slot);
}

int DeleteSurface2D(int handle) {
    const Surface2DRecord* record = GetSurface2DRecord(handle);
    if (record == nullptr) return 0;
    if (DecSurfaceDataRef(record->surfaceData) == 0) DeleteSurfaceData(record->surfaceData);
    DeleteHandleRecord(&Surface2DTable, handle);
    return 0;
}

Surface2DRecord* GetSurface2DRecord(int handle) {
    return static_cast<Surface2DRecord*>(LookupHandleRecord(&Surface2DTable, handle));
}

Surface2DRecord* LookupSurface2D(int handle) { return GetSurface2DRecord(handle); }

int EndSurface2DAccess(void) { return 0; }

int SetSurface2DLostFlagPtr(int handle, int* lostFlag) {
    SetHandleLostFlagPointer(&Surface2DTable, handle, lostFlag);
    return 0;
}

int DeleteAllSurface2D(void) {
    if (!IsDisplayStarted()) return -1;
    for (int slot = 0; slot < Surface2DTable.highWater; slot++) {
        const int handle = HandleOfSlot(&Surface2DTable, slot);
        if (handle != -1) DeleteSurface2D(handle);
    }
    return 0;
}

int DeleteAllSurface2DChecked(void) { return DeleteAllSurface2D(); }

int RestoreAllSurface2D(void) {
    if (!IsDisplayStarted()) return -1;
    RestoreScreenSurfaces();
    int result = 0;
    ForEachSurface2D([&](Surface2DRecord* piece) { result |= RestoreLostSurfaceData(piece->surfaceData); });
    return result;
}

// A surface data shared by several pieces is visited once per piece; releasing twice
// and creating existing storage both do nothing.
int ReleaseAllSurface2DStorage(void) {
    ForEachSurface2D([](Surface2DRecord* piece) { ReleaseSurfaceDataStorage(piece->surfaceData); });
    return 0;
}

int RecreateAllSurface2DStorage(void) {
    ForEachSurface2D([](Surface2DRecord* piece) {
        CreateSurfaceDataStorage(piece->surfaceData);
        SetSurfaceDataColorKey(piece->surfaceData);
    });
    return 0;
}
