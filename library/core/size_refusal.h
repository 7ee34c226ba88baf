// size_refusal.h - a size refused deep down, kept for the caller who knows the file.
//
// An image decoder refuses the size a file declares, and the platform refuses a
// surface of a size, far below the loader that knows the file's name. They note the
// refused size here; the code that starts such work clears the note first and reads
// it when the work failed, so the log can name the file and say that it is too large
// rather than that memory ran out.
//
//     ClearSizeRefusal();
//     if (Work() < 0 && GetSizeRefusal(&width, &height)) WriteLogFormat(...);
#pragma once

#include <cstdint>

void ClearSizeRefusal(void);
void NoteSizeRefusal(int64_t width, int64_t height);
// 1 with the size noted last since the last clear (into the outputs that are not
// null), else 0.
int GetSizeRefusal(int64_t* width, int64_t* height);
