// zqa_pack - packs a directory into a "ZQA" archive that the library reads in
// place of that directory.
//
//   zqa_pack [-u] [-v version] [-k key] [-f] <directory> [archive]
//
//   -u          store every file as it is (no LZ packing)
//   -v version  archive version 0..3 (default 3; 0 and 1 never pack)
//   -k key      scramble with a key string instead of the built-in key
//   -f          scramble with the library's second built-in key
// The archive defaults to "<directory>.ZQA" beside the directory, which is where
// the library looks for it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/archive/archive_writer.h"

static int Usage() {
    std::fprintf(stderr, "usage: zqa_pack [-u] [-v version] [-k key] [-f] <directory> [archive]\n");
    return 2;
}

int main(int argc, char** argv) {
    ArchiveWriterOptions options;
    int at = 1;
    for (; at < argc && argv[at][0] == '-'; at++) {
        std::string flag = argv[at];
        if (flag == "-u") {
            options.packing = ArchivePacking::Never;
        } else if (flag == "-f") {
            options.fallbackKey = true;
        } else if ((flag == "-v" || flag == "-k") && at + 1 < argc) {
            const char* value = argv[++at];
            if (flag == "-k") {
                options.keyString = value;
            } else {
                char* end = nullptr;
                long version = std::strtol(value, &end, 10);
                if (*end != 0 || version < 0 || version > 3) return Usage();
                options.version = static_cast<uint16_t>(version);
            }
        } else {
            return Usage();
        }
    }
    if (at >= argc || argc - at > 2) return Usage();
    std::string directory = argv[at];
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    std::string archive = at + 1 < argc ? argv[at + 1] : directory + ".ZQA";

    std::vector<ArchiveWriterItem> items;
    uint64_t size = 0;
    std::string error;
    if (!CollectArchiveItems(directory, &items, &error) || !WriteArchiveFile(items, options, archive, &size, &error)) {
        std::fprintf(stderr, "zqa_pack: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %zu entries, %llu bytes\n", archive.c_str(), items.size(), static_cast<unsigned long long>(size));
    return 0;
}
