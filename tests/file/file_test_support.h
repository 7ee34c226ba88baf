// Helpers for the file-layer tests: a scratch directory that is also the current
// and the start directory (so Log.txt lands there), a fresh archive layer, and
// archives built with the archive writer.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "library/core/log.h"
#include "library/core/system_state.h"
#include "library/core/text.h"
#include "library/file/archive.h"
#include "library/file/file_backend.h"
#include "platform/kernel/clock.h"
#include "support/scratch_directory.h"
#include "tools/archive/archive_writer.h"

using Bytes = std::vector<uint8_t>;

inline Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Bytes that do not repeat in short runs, so packed and stored data differ.
inline Bytes Pattern(size_t size, unsigned seed) {
    Bytes bytes(size);
    unsigned value = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; i++) {
        value = value * 1103515245u + 12345u;
        bytes[i] = static_cast<uint8_t>(i % 64 < 32 ? value >> 24 : i / 3);  // half noise, half runs
    }
    return bytes;
}

class FileLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, chdir(root.path().c_str()));
        CopyTextBounded(SystemStateRecord.startDirectory, sizeof SystemStateRecord.startDirectory, root.path().c_str());
        StartLogFile();
        SystemStateRecord.settings.noArchive = 0;
        InitArchiveSystem();
        SetFileBackendTable(nullptr);
    }
    void TearDown() override { TermArchiveSystem(); }

    std::string Log() const { return root.read("Log.txt"); }

    // Writes an archive file built from the items; returns its host path.
    std::string WriteArchive(const std::string& relative, const std::vector<ArchiveWriterItem>& items,
                             const ArchiveWriterOptions& options = {}) {
        Bytes image;
        std::string error;
        EXPECT_TRUE(BuildArchiveImage(items, options, &image, &error)) << error;
        return root.write(relative, image);
    }

    // Reads a whole file through the current table, in chunks of `chunk` bytes
    // (waiting for each chunk of a non-blocking file).
    static Bytes ReadAll(StreamHandle file, size_t chunk = 4096) {
        Bytes all, part(chunk);
        for (;;) {
            size_t got = FileBackendRead(part.data(), 1, chunk, file);
            while (FileBackendCheckReady(file) == 0) Sleep(0);
            all.insert(all.end(), part.begin(), part.begin() + static_cast<long>(got));
            if (got < chunk) return all;
        }
    }

    // Opens, reads whole and closes; "<fail>" as bytes when it does not open.
    static Bytes ReadFile(const std::string& path, int nonBlocking = 0) {
        StreamHandle file = FileBackendOpen(path.c_str(), 0, 1, nonBlocking);
        if (file == 0) return BytesOf("<fail>");
        Bytes all = ReadAll(file);
        FileBackendClose(file);
        return all;
    }

    ScratchDirectory root;
};
