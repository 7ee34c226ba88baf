// file_backend.cpp - the current file-operation table, its dispatchers, and the
// conversion of platform find records.
#include "library/file/file_backend.h"

#include <cstring>

#include "library/core/system_state.h"
#include "library/core/text.h"
#include "library/file/archive.h"
#include "library/file/plain_file.h"
#include "platform/kernel/kernel_files.h"

static FileBackendTable CurrentFileBackendTable;

// The table in use; a library used before start-up chose one gets the default.
static const FileBackendTable& Table() {
    if (CurrentFileBackendTable.open == nullptr) SetFileBackendTable(nullptr);
    return CurrentFileBackendTable;
}

int SetFileBackendTable(const FileBackendTable* table) {
    if (table == nullptr) {
        table = SystemStateRecord.settings.noArchive == 1 ? &PlainFileBackendTable : &ArchiveAwareFileBackendTable;
    }
    CurrentFileBackendTable = *table;
    return 0;
}

const FileBackendTable* GetFileBackendTable(void) { return &Table(); }

StreamHandle FileBackendOpen(const char* path, int useCache, int archiveFlag, int nonBlocking) {
    return Table().open(path, useCache, archiveFlag, nonBlocking);
}
int FileBackendClose(StreamHandle file) { return Table().close(file); }
int64_t FileBackendTell(StreamHandle file) { return Table().tell(file); }
int FileBackendSeek(StreamHandle file, int64_t offset, int origin) { return Table().seek(file, offset, origin); }
size_t FileBackendRead(void* buffer, size_t elementSize, size_t count, StreamHandle file) {
    return Table().read(buffer, elementSize, count, file);
}
int FileBackendCheckEnd(StreamHandle file) { return Table().checkEnd(file); }
int FileBackendCheckReady(StreamHandle file) { return Table().checkReady(file); }
int FileBackendSetDir(const char* path) { return Table().setDir(path); }
int FileBackendGetDir(char* buffer, size_t size) { return Table().getDir(buffer, size); }

const StreamOps FileBackendStreamOpsTable = {
    FileBackendTell, FileBackendSeek, FileBackendRead, FileBackendCheckEnd, FileBackendCheckReady, FileBackendClose,
};

int FileTimeToDateFields(const FILETIME* time, int32_t fields[6]) {
    FILETIME local;
    SYSTEMTIME calendar;
    if (!FileTimeToLocalFileTime(time, &local) || !FileTimeToSystemTime(&local, &calendar)) {
        std::memset(fields, 0, 6 * sizeof(int32_t));
        return -1;
    }
    fields[0] = calendar.wYear;
    fields[1] = calendar.wMonth;
    fields[2] = calendar.wDay;
    fields[3] = calendar.wHour;
    fields[4] = calendar.wMinute;
    fields[5] = calendar.wSecond;
    return 0;
}

int ConvertFindData(const WIN32_FIND_DATAA* source, FindData* out) {
    CopyTextBounded(out->name, sizeof out->name, source->cFileName);
    out->directory = (source->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 1 : 0;
    out->sizeHigh = source->nFileSizeHigh;
    out->sizeLow = source->nFileSizeLow;
    FileTimeToDateFields(&source->ftCreationTime, out->created);
    FileTimeToDateFields(&source->ftLastWriteTime, out->written);
    return 0;
}
