// Test seams of DirectMusic (see dmusic_seams.h).
#include "platform/sound/testing/dmusic_seams.h"

#include "platform/sound/dmusic_internal.h"
#include "platform/sound/dsound_internal.h"

void DmusicSeamFailClass(const GUID* clsid) {
    std::lock_guard<std::mutex> lock(DsoundMutex());
    DmusicTests().failClass = clsid != nullptr;
    DmusicTests().failedClass = clsid != nullptr ? *clsid : GUID{};
}

int DmusicSeamLiveObjectCount(void) { return DmusicLiveCount(); }

void DmusicSeamReset(void) { DmusicSeamFailClass(nullptr); }
