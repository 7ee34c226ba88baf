// Test seams of the platform layer; each interface group adds its own file here.
#include "platform/testing.h"
