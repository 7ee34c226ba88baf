// surface_data_table.cpp - the surface-data handle table: adding records with their
// storage, reference counts, deleting (see surface_data.h).
#include <cstring>

#include "library/core/log.h"
#include "library/d3d/d3d.h"
#include "library/display/screen_state.h"
#include "library/display/surface_data.h"

namespace {
void* SurfaceDataSlots[SurfaceDataCapacity];

int ColorBitsInForce() { return g_Screen.colorBits != 0 ? g_Screen.colorBits : ScreenDefaultColorBits; }

// A texture lives where Direct3D manages it and tests transparency by its alpha only
// when it has neither an alpha channel nor a draw target; anything else is a plain
// image that can be drawn on, kept in system memory when it has alpha or is 8-bit.
void NormaliseSettings(SurfaceDataSettings* s) {
    if (s->texture) {
        s->systemMemory = 0;
        if (s->drawTarget == 1 || s->alphaChannel == 1) s->alphaTest = 0;
    } else {
        if (s->alphaChannel == 1 || s->memImg8 == 1) s->systemMemory = 1;
        s->alphaTest = 0;
        s->drawTarget = 1;
    }
}
}  // namespace

HandleTable SurfaceDataTable = MakeHandleTable(SurfaceDataSlots, HandleKindSurfaceData, SurfaceDataCapacity,
                                               HandleSlotHighWater, HandleTableWritesLostFlag);

int IsDisplayStarted(void) { return GetDirectDrawObject() != nullptr || g_Screen.noDirectDraw ? 1 : 0; }

SurfaceDataRecord* GetSurfaceDataRecord(int handle) {
    return static_cast<SurfaceDataRecord*>(LookupHandleRecord(&SurfaceDataTable, handle));
}

int AddSurfaceData(int referenceCount, int width, int height, uint32_t colorKey, const SurfaceDataSettings* settings) {
    // The record keeps its size in 16 bits, as the pieces that point into it do.
    if (width < 1 || height < 1 || width > 0xFFFF || height > 0xFFFF) {
        return WriteLogFormat("サーフェスの大きさが不正です ( 幅 %d 高さ %d ) in AddSurfaceData", width, height);
    }
    SurfaceDataRecord* record = nullptr;
    const int handle = AddHandleRecord(&SurfaceDataTable, sizeof(SurfaceDataRecord), reinterpret_cast<void**>(&record));
    if (handle == HandleTableFull) return WriteLogText("サーフェスのデータ数が許容量を越えました。\n");
    if (handle < 0) return WriteLogText("サーフェス用データを保存するメモリ領域の確保に失敗しました\n");

    record->settings = *settings;
    record->width = uint16_t(width);
    record->height = uint16_t(height);
    record->referenceCount = referenceCount;
    record->colorKey = colorKey;
    NormaliseSettings(&record->settings);
    record->memImgFlag =
        record->settings.systemMemory == 1 || (IsSoftwareRenderMode() && ColorBitsInForce() != 8) ? 1 : 0;

    if (CreateSurfaceDataStorage(handle) < 0) {
        DeleteSurfaceData(handle);
        return -1;
    }
    SetSurfaceDataColorKey(handle);
    return handle;
}

int DeleteSurfaceData(int handle) {
    if (GetSurfaceDataRecord(handle) == nullptr) return -1;
    ReleaseSurfaceDataStorage(handle);
    return DeleteHandleRecord(&SurfaceDataTable, handle);
}

int IncSurfaceDataRef(int handle) {
    SurfaceDataRecord* record = GetSurfaceDataRecord(handle);
    return record != nullptr ? ++record->referenceCount : -1;
}

int DecSurfaceDataRef(int handle) {
    SurfaceDataRecord* record = GetSurfaceDataRecord(handle);
    return record != nullptr ? --record->referenceCount : -1;
}

const ColorFormat* SurfaceDataColorFormat(const SurfaceDataRecord* record) {
    if (record->settings.texture) return G_D3D_GetTextureColorFormatByIndex(record->formatIndex);
    if (record->memImgFlag) return record->image.colorFormat;
    return GetScreenColorFormat();
}
