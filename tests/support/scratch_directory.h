// scratch_directory.h - a temporary directory tree for file tests, removed again
// when the test ends.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class ScratchDirectory {
public:
    ScratchDirectory() {
        char name[] = "/tmp/zqtest-XXXXXX";
        path_ = mkdtemp(name) != nullptr ? name : "";
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    // The host path of the directory, or of a path relative to it.
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

    // Writes a file (making its directories); returns its host path.
    std::string write(const std::string& relative, const std::string& bytes) const {
        return write(relative, std::vector<unsigned char>(bytes.begin(), bytes.end()));
    }
    std::string write(const std::string& relative, const std::vector<unsigned char>& bytes) const {
        std::string full = *this / relative;
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        std::ofstream out(full, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return full;
    }
    std::string makeDirectory(const std::string& relative) const {
        std::string full = *this / relative;
        std::filesystem::create_directories(full);
        return full;
    }
    std::string read(const std::string& relative) const {
        std::ifstream in(*this / relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The library form of a host path: "C:" and backslashes.
    static std::string libraryForm(const std::string& hostPath) {
        std::string text = "C:" + hostPath;
        for (char& c : text) {
            if (c == '/') c = '\\';
        }
        return text;
    }

private:
    std::string path_;
};
