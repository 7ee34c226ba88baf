// texture_split.cpp - cutting a graph's width or height into power-of-two texture sizes.
//
// Small sizes take one texture between the device's minimum and 32; sizes that fit a
// texture no larger than the cap take one; anything else is laid greedily from the
// largest size down, the last piece doubled when it would leave more than a quarter of
// its size to a further piece, and two equal last pieces merged. The cap is the
// device's maximum, or for graphs that are no draw target the screen width rounded up
// to a power of two when that is smaller.
#include "library/d3d/d3d_internal.h"
#include "library/display/screen_state.h"

int SplitSizeIntoPowerOfTwo(int size, int* sizes, int drawTarget) {
    const int m = int(g_D3D.minTextureSize), M = int(g_D3D.maxTextureSize);
    if (size < 1) size = 1;
    const int S = m > 32 ? m : 32;
    if (size <= S) {
        int piece = S;
        while (piece > m && size <= piece / 2) piece /= 2;
        sizes[0] = piece;
        return 1;
    }
    int screenWidth = 0;
    GetScreenPixelSize(&screenWidth, nullptr);
    int K = M;
    if (drawTarget != 1 && M >= screenWidth) {
        K = 8;
        while (K < screenWidth) K *= 2;
    }
    int e = K;
    while (e > S && e > size) e /= 2;
    if (2 * e <= K && (drawTarget == 1 || size < screenWidth)) {
        sizes[0] = size <= e ? e : 2 * e;
        return 1;
    }
    int count = 0, remaining = size;
    for (;;) {
        // More pieces than a graph may have: the count alone is enough for the caller.
        if (count == SplitSizeMaxPieces) return count + 1;
        sizes[count++] = e;
        remaining -= e;
        if (remaining <= 0) break;
        if (remaining > 3 * e / 4 && e < K) {
            sizes[count - 1] = 2 * e;
            break;
        }
        while (e > remaining && e > S) e /= 2;
    }
    if (count >= 2 && sizes[count - 1] == sizes[count - 2] && 2 * sizes[count - 1] <= K) {
        sizes[count - 2] *= 2;
        count--;
    }
    return count;
}
