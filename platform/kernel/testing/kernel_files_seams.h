// kernel_files_seams.h - test seams of the kernel group's file calls.
#pragma once

// Makes GetCurrentDirectoryA report the given library-form path (for example
// "D:\\GAME") instead of the real one; null restores the real directory. Only the
// report changes: files are still found relative to the real directory.
void SetFakeCurrentDirectory(const char* libraryPath);

// While held, every ReadFile waits before it reads (on whichever thread calls it),
// so a test can look at a reader thread's request while it is still running.
void HoldFileReads(bool hold);

// The number of CreateFileA calls made so far in this process (successful or not).
unsigned long CountFileOpenCalls(void);

// The number of ReadFile calls made so far in this process (on any thread).
unsigned long CountFileReadCalls(void);
