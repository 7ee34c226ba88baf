// scratch_directory.h - a fresh directory for one test under $TMPDIR (else /tmp),
// removed with everything in it when the object goes: a fixture holds one as a member
// and a test body as a local, so a test that fails (an ASSERT ends it by an exception)
// leaves nothing behind either.
#pragma once

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class ScratchDirectory {
public:
    // Makes "<folder>/<prefix>-XXXXXX", in the temporary folder unless another is
    // given; path() is empty when it cannot.
    explicit ScratchDirectory(const std::string& prefix = "zqtest", const std::string& folder = TemporaryFolder()) {
        std::string pattern = folder + "/" + prefix + "-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~ScratchDirectory() {
        // Back to where enter() left from, so no later code runs in a removed folder.
        if (!left_.empty() && chdir(left_.c_str()) != 0) std::perror(left_.c_str());
        if (path_.empty() || kept_) return;
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    // The folder for temporary files: $TMPDIR when it is set, else /tmp.
    static std::string TemporaryFolder() {
        const char* folder = std::getenv("TMPDIR");
        return folder != nullptr && folder[0] != '\0' ? folder : "/tmp";
    }

    // The host path of the directory, or of a path relative to it.
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

    // Makes the directory the working directory while this lives; false when it cannot.
    bool enter() {
        char here[PATH_MAX];
        if (left_.empty() && getcwd(here, sizeof here) != nullptr) left_ = here;
        return !path_.empty() && chdir(path_.c_str()) == 0;
    }
    // Makes the directory the process's runtime directory (XDG_RUNTIME_DIR), where
    // windows take their single-instance locks: parallel test processes never meet.
    void useAsRuntimeDirectory() const {
        if (!path_.empty()) setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
    }
    // Leaves the directory on disk when this goes (a developer looking at a run).
    void keep() { kept_ = true; }

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
    bool exists(const std::string& relative) const { return std::ifstream(*this / relative).good(); }

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
    std::string left_;
    bool kept_ = false;
};
