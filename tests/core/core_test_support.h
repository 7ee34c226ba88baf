// Helpers for the core tests: a temporary start directory with a fresh Log.txt, read
// back as bytes.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "library/core/log.h"
#include "library/core/system_state.h"
#include "library/core/text.h"
#include "platform/testing.h"
#include "support/scratch_directory.h"

// The start directory of a log test: a scratch directory read back as bytes.
class LogDirectory : public ScratchDirectory {
public:
    LogDirectory() : ScratchDirectory("zqcore") {}
    std::string Read(const std::string& name = "Log.txt") const { return read(name); }
    bool Exists(const std::string& name) const { return exists(name); }
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
