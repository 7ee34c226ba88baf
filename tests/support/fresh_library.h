// Every test starts on the library as a new process has it. The test programs' main
// (test_main.cpp) remembers the start values of the library's global records and of
// the platform layer's test seams, and puts them back before each test, so the tests
// of one program give the same results in one process, in any order, as they do each
// in a process of its own.
#pragma once

// Called once, before the first test: remembers the start values.
void RememberLibraryStartValues(void);

// Ends whatever a test left running (the main window and its pump thread, graphics,
// input, sound, network), then returns every global record and test seam to its
// start value.
void ReturnLibraryToStartValues(void);
