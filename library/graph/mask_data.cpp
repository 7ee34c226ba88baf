// mask_data.cpp - the mask-data table: 512 inline records addressed by handles of kind
// HandleKindMaskData; only deletion exists in this program (see mask_screen.h).
#include "library/core/alloc.h"
#include "library/core/handles.h"
#include "library/graph/mask_screen.h"

MaskDataRecord MaskDataTable[MaskDataCapacity];

int DeleteMaskData(int handle) {
    if (handle < 0 || HandleKindOf(handle) != HandleKindMaskData) return -1;
    const int slot = HandleSlot(handle);
    if (slot >= MaskDataCapacity) return -1;
    MaskDataRecord& record = MaskDataTable[slot];
    if (!record.inUse || record.check != HandleCheck(handle)) return -1;
    if (record.data != nullptr) ZqFree(record.data);
    record = MaskDataRecord{};
    return 0;
}

int DeleteAllMaskData(void) {
    for (int slot = 0; slot < MaskDataCapacity; slot++) {
        if (MaskDataTable[slot].inUse) {
            DeleteMaskData(MakeResourceHandle(HandleKindMaskData, MaskDataTable[slot].check, slot));
        }
    }
    return 0;
}
