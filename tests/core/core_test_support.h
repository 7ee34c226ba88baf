// Helpers for the core tests: a temporary start directory with a fresh Log.txt, read
// back as bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "library/core/log.h"
#include "library/core/system_state.h"
#include "library/core/text.h"
#include "platform/testing.h"

// A scratch directory under the build tree's temp, removed at the end of the test.
class LogDirectory {
public:
    LogDirectory() {
        char pattern[] = "/tmp/zqcore_XXXXXX";
        const char* made = mkdtemp(pattern);
        path_ = made ? made : "";
    }
    ~LogDirectory() {
        if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
    }
    const std::string& path() const { return path_; }
    std::string Read(const std::string& name = "Log.txt") const {
        std::ifstream in(path_ + "/" + name, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    bool Exists(const std::string& name) const { return std::ifstream(path_ + "/" + name).good(); }

private:
    std::string path_;
};

// Virtual clock frozen at `now`, the log started in a fresh directory.
class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Tests of one program may share a process: start from default settings.
        AllocState& alloc = SystemStateRecord.alloc;
        alloc.nextSerial = 0;
        alloc.traceAll = alloc.logTotals = alloc.checkAlways = alloc.traceSize = 0;
        SystemStateRecord.settings = SystemSettings{};
        InstallVirtualClock(5000, 0);
        CopyTextBounded(SystemStateRecord.startDirectory, sizeof(SystemStateRecord.startDirectory),
                        dir.path().c_str());
        StartLogFile();
    }
    void TearDown() override { RemoveVirtualClock(); }
    std::string Log() const { return dir.Read(); }

    LogDirectory dir;
};
