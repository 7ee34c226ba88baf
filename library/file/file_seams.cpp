// Stand-ins for the file subsystem (see file_seams.h). The directory calls go straight
// to the platform's current directory, as the plain file set does; no archive and no
// stream exists, so every stream operation refuses its handle.
#include "library/file/file_seams.h"

#include <unistd.h>

#include <cstring>

int InitArchiveSystem(void) { return 0; }
int TermArchiveSystem(void) { return 0; }
int SetFileBackendTable(const FileBackendTable*) { return 0; }

int FileBackendGetDir(char* buffer) {
    if (getcwd(buffer, 260) == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    return static_cast<int>(std::strlen(buffer));
}

int FileBackendSetDir(const char* path) { return chdir(path) == 0 ? 1 : 0; }

int64_t FileBackendTell(StreamHandle) { return -1; }
int FileBackendSeek(StreamHandle, int64_t, int) { return -1; }
size_t FileBackendRead(void*, size_t, size_t, StreamHandle) { return 0; }
int FileBackendCheckEnd(StreamHandle) { return 1; }
int FileBackendCheckReady(StreamHandle) { return 1; }
int FileBackendClose(StreamHandle) { return -1; }
int64_t TellMemoryFile(StreamHandle) { return -1; }
int SeekMemoryFile(StreamHandle, int64_t, int) { return -1; }
size_t ReadMemoryFile(void*, size_t, size_t, StreamHandle) { return 0; }
int CheckMemoryFileEnd(StreamHandle) { return 1; }
int CheckMemoryFileReady(StreamHandle) { return 1; }
int CloseMemoryFile(StreamHandle) { return -1; }
