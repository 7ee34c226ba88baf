// The tracked allocator. See alloc.h.
//
// Blocks form one doubly linked list from the sentinel (oldest end) to `newest`.
// Each header keeps a copy of its first bytes; linking or unlinking a block changes
// its neighbours' links, so their copies are refreshed too.
#include "library/core/alloc.h"

#include <cstring>

#include "library/core/format.h"
#include "library/core/log.h"
#include "library/core/memory_bytes.h"
#include "library/core/system_state.h"

// Largest size the allocator tracks: sizes are logged and summed as 32-bit ints.
static constexpr size_t MaxTrackedSize = 0x7FFFFFFFu - sizeof(AllocHeader);

static AllocState& State() { return SystemStateRecord.alloc; }

static void RefreshCheck(AllocHeader* header) {
    if (header != nullptr) std::memcpy(header->check, header, AllocHeaderCheckedBytes);
}

static void SetTag(AllocHeader* header, const char* tag) {
    std::memset(header->tag, 0, sizeof(header->tag));
    if (tag == nullptr) return;
    size_t length = std::strlen(tag);
    const char* from = length < 15 ? tag : tag + (length - 15);
    std::memcpy(header->tag, from, std::strlen(from));
}

static bool ShouldTrace(const AllocState& s, uint32_t size) {
    return s.traceSize < 0 || uint32_t(s.traceSize) == size || s.traceAll == 1;
}

static void AfterChange(AllocState& s, const AllocHeader* header, const char* what) {
    if (ShouldTrace(s, header->size)) {
        WriteLogText(what);
        LogAllocBlock(header);
    }
    if (s.logTotals == 1) LogAllocTotals();
}

void* AllocTrackedMemory(size_t size, const char* tag, int line) {
    AllocState& s = State();
    void* raw = size <= MaxTrackedSize ? HeapAllocBytes(size + sizeof(AllocHeader)) : nullptr;
    if (raw == nullptr) {
        DumpTrackedMemory();
        return nullptr;
    }
    auto* header = static_cast<AllocHeader*>(raw);
    SetTag(header, tag);
    header->line = uint16_t(line);
    header->size = uint32_t(size);
    header->serial = s.nextSerial++;

    if (s.newest == nullptr) s.newest = &s.sentinel;
    s.newest->newer = header;
    header->older = s.newest;
    header->newer = nullptr;
    s.newest = header;
    RefreshCheck(header);
    RefreshCheck(header->older);

    s.totalSize += int64_t(size);
    s.blockCount++;
    AfterChange(s, header, "mem alloc  ");
    if (s.checkAlways == 1) CheckAllAllocHeaders();
    return header + 1;
}

void* AllocTrackedMemoryZero(size_t size, const char* tag, int line) {
    void* data = AllocTrackedMemory(size, tag, line);
    if (data != nullptr) std::memset(data, 0, size);
    return data;
}

int FreeTrackedMemory(void* data) {
    if (data == nullptr) return 0;
    AllocState& s = State();
    AllocHeader* header = static_cast<AllocHeader*>(data) - 1;
    s.totalSize -= int64_t(header->size);
    s.blockCount--;
    if (s.checkAlways == 1) CheckAllAllocHeaders();

    if (header->older != nullptr) header->older->newer = header->newer;
    if (header->newer != nullptr) header->newer->older = header->older;
    if (s.newest == header) s.newest = header->older;
    RefreshCheck(header->newer);
    RefreshCheck(header->older);

    AfterChange(s, header, "mem free  ");
    return HeapFreeBytes(header);
}

int LogAllocTotals(void) {
    const AllocState& s = State();
    return WriteLogFormat("\tTotal size:%lld(%.3fkb)  Alloc num:%d", static_cast<long long>(s.totalSize),
                          double(s.totalSize) / 1024.0, s.blockCount);
}

int LogAllocBlock(const AllocHeader* header) {
    // "\tsize:..  data:<" + 16 characters + "> [" + 16 * "xx " + "]\n"
    char line[256 + 16 + 4 + 48 + 4];
    const unsigned char* data = reinterpret_cast<const unsigned char*>(header + 1);
    uint32_t shown = header->size < 16 ? header->size : 16;
    char tag[16];
    std::memcpy(tag, header->tag, sizeof(tag));
    tag[15] = '\0';
    FormatText(line, 256, "\tsize:%u(%.3fkb)  file:%s  line:%d  ID:%d  data:<", header->size,
               double(header->size) / 1024.0, tag, int(header->line), int(header->serial));
    size_t length = std::strlen(line);
    for (uint32_t i = 0; i < shown; i++) line[length++] = (data[i] < 0x20 || data[i] >= 0x80) ? '.' : char(data[i]);
    std::memcpy(line + length, "> [", 3);
    length += 3;
    static const char Hex[] = "0123456789abcdef";
    for (uint32_t i = 0; i < shown; i++) {
        line[length++] = Hex[data[i] >> 4];
        line[length++] = Hex[data[i] & 15];
        line[length++] = ' ';
    }
    // The last blank becomes "]\n"; without data the list is dropped: "data:<>]\n".
    std::memcpy(line + length - (shown == 0 ? 2 : 1), "]\n", 3);
    return WriteLogText(line);
}

int DumpTrackedMemory(void) {
    AllocState& s = State();
    WriteLogText("\n");
    WriteLogText("Alloc memory dump");
    for (AllocHeader* h = s.newest; h != nullptr && h != &s.sentinel; h = h->older) LogAllocBlock(h);
    LogAllocTotals();
    return WriteLogText("\n");
}

int CheckAllAllocHeaders(void) {
    AllocState& s = State();
    for (AllocHeader* h = s.newest; h != nullptr && h != &s.sentinel; h = h->older) {
        if (std::memcmp(h, h->check, AllocHeaderCheckedBytes) != 0) {
            WriteLogText("以下のメモリ確保情報が破損しました");
            LogAllocBlock(h);
            return -1;
        }
    }
    return 0;
}

int GetTrackedBlockCount(void) { return State().blockCount; }
int64_t GetTrackedTotalSize(void) { return State().totalSize; }
