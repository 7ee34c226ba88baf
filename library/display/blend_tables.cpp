// blend_tables.cpp - building the three blend lookup tables.
#include "library/display/blend_tables.h"

int32_t BlendMulTable[256][256];
int32_t BlendSignedMulTable[256][512];
uint8_t BlendLerp6Table[64][64][64];

int BuildBlendTables(void) {
    for (int i = 0; i < 256; i++) {
        for (int j = -255; j <= 255; j++) BlendSignedMulTable[i][j + 255] = i * j / 255;
    }
    for (int i = 0; i < 256; i++) {
        int product = 0;  // i * j, accumulated along the row
        for (int j = 0; j < 256; j++, product += i) BlendMulTable[i][j] = product / 255;
    }
    for (int w = 0; w < 64; w++) {
        for (int a = 0; a < 64; a++) {
            for (int b = 0; b < 64; b++)
                BlendLerp6Table[w][a][b] = static_cast<uint8_t>((w * a + (63 - w) * b) / 63);
        }
    }
    return 0;
}
