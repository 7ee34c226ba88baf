// testing.cpp - compiles the seams' umbrella header on its own, so that it stays
// self-contained; each family's seams live in its own FAMILY/testing/ folder.
#include "platform/testing.h"
