// version.h - the library's version text, written into the log at start-up.
#pragma once

extern const char* const LibraryVersionText;
