#include "library/core/version.h"

const char* const LibraryVersionText = "1.00";
