// score_files.cpp - the hi-score file "data.csp" and the font-name file "font.txt", both
// in the current directory, through C stdio.
//
// "data.csp" is the hiScores table: five signed 32-bit little-endian integers, best
// first, 20 bytes, no header. A missing file keeps the built-in table; a short one
// replaces only the entries it holds. "font.txt" holds the font face name as its first
// word; an empty file means the library's default face.
//
// Either file is created (empty) only when it does not exist: a file that exists but
// cannot be read is left as it is, so its scores are never lost. A new table is written
// beside "data.csp" and renamed over it, so a full disk or a kill during the write
// leaves the old table whole.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "game.h"
#include "zqlib.h"

namespace {

constexpr int EntryBytes = 4;

// Creates an empty file; an existing file (or anything else at the path) is not touched.
void createIfAbsent(const char* path) {
    if (std::FILE* file = std::fopen(path, "wbx")) std::fclose(file);
}

int decodeEntry(const unsigned char* bytes) {
    unsigned value = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<unsigned>(bytes[3]) << 24;
    return static_cast<int>(value);
}

void encodeEntry(int entry, unsigned char* bytes) {
    unsigned value = static_cast<unsigned>(entry);
    for (int i = 0; i < EntryBytes; i++) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

// A Shift-JIS lead byte: the first byte of a two-byte character.
bool isLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// Cuts text to at most maxBytes without splitting a two-byte character.
void cutAtCharacterBoundary(char* text, size_t maxBytes) {
    size_t end = 0;
    for (size_t i = 0; text[i] != '\0';) {
        size_t length = isLeadByte(static_cast<unsigned char>(text[i])) && text[i + 1] != '\0' ? 2 : 1;
        if (i + length > maxBytes) break;
        i += length;
        end = i;
    }
    text[end] = '\0';
}

// Replaces the file at path with the given bytes: they go to a temporary file in the same
// folder (so the rename stays on one file system), which is renamed over path once it is
// written and flushed to disk. On any failure the temporary file is removed, path keeps
// its old contents, and false comes back.
bool replaceFileContents(const char* path, const unsigned char* bytes, size_t size) {
    char temporaryPath[4096];
    int length = std::snprintf(temporaryPath, sizeof temporaryPath, "%s.tmp", path);
    if (length < 0 || static_cast<size_t>(length) >= sizeof temporaryPath) return false;
    std::FILE* file = std::fopen(temporaryPath, "wb");
    if (!file) return false;
    bool written = std::fwrite(bytes, 1, size, file) == size && std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    if (std::fclose(file) != 0) written = false;
    if (written && std::rename(temporaryPath, path) == 0) return true;
    std::remove(temporaryPath);
    return false;
}

}  // namespace

int loadHiScores(const char* path) {
    if (std::FILE* file = std::fopen(path, "rb")) {
        unsigned char bytes[HiScoreCount * EntryBytes];
        size_t entries = std::fread(bytes, 1, sizeof bytes, file) / EntryBytes;  // a partial entry is ignored
        for (size_t i = 0; i < entries; i++) hiScores[i] = decodeEntry(bytes + EntryBytes * i);
        std::fclose(file);
    } else {
        createIfAbsent(path);
    }
    std::fputs("ロード完了", stdout);
    return 0;
}

int recordHiScore(const char* path, int newScore) {
    if (newScore < hiScores[HiScoreCount - 1]) return 0;
    int rank = 0;
    while (newScore < hiScores[rank]) rank++;  // an equal older score goes below the new one
    for (int i = HiScoreCount - 1; i > rank; i--) hiScores[i] = hiScores[i - 1];
    hiScores[rank] = newScore;

    unsigned char bytes[HiScoreCount * EntryBytes];
    for (int i = 0; i < HiScoreCount; i++) encodeEntry(hiScores[i], bytes + EntryBytes * i);
    if (!replaceFileContents(path, bytes, sizeof bytes)) {
        // The game cannot keep its scores (the old file stays as it was): it ends, but only
        // after the library has stopped its threads.
        std::fputs("ファイルを開くことができません", stdout);
        std::fflush(stdout);
        ShutdownLibrary();
        std::exit(1);
    }
    return rank + 1;
}

void loadFontName() {
    std::FILE* file = std::fopen("font.txt", "r");
    if (!file) {
        createIfAbsent("font.txt");
        return;
    }
    // The first word, read whole and then cut to what fontFaceName holds.
    char word[256];
    if (std::fscanf(file, "%255s", word) == 1) {
        cutAtCharacterBoundary(word, sizeof fontFaceName - 1);
        std::memcpy(fontFaceName, word, std::strlen(word) + 1);
    }
    std::fclose(file);
}
