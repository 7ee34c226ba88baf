// blend_tables.h - lookup tables that let the software renderers scale and mix 8-bit
// channels without a multiplication or division per pixel.
//
//   BlendMulTable[i][j]              = i * j / 255                  (i, j = 0..255)
//   BlendSignedMulTable[i][j + 255]  = i * j / 255, toward zero     (j = -255..255)
//   BlendLerp6Table[w][a][b]         = (w * a + (63 - w) * b) / 63  (w, a, b = 0..63)
//
// Readers keep &BlendSignedMulTable[i][255] and index it with a signed difference;
// column 511 is never written. The shapes (rows of 256 and 512 words, blocks of
// 4096 bytes with rows of 64) are what the renderers' index arithmetic assumes.
// The display start-up builds the tables as its last step.
#pragma once

#include <cstdint>

extern int32_t BlendMulTable[256][256];
extern int32_t BlendSignedMulTable[256][512];
extern uint8_t BlendLerp6Table[64][64][64];

int BuildBlendTables(void);
