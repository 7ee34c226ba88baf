// Test seams of the compressed-audio conversion (see acm_seams.h).
#include "platform/sound/testing/acm_seams.h"

#include "platform/sound/acm_hooks.h"

uint64_t AcmSeamConvertedSourceBytes(void) { return AcmConvertedSourceBytes(); }
