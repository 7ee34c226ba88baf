// Mesa's llvmpipe through OSMesa, the peer the rasteriser benchmarks measure against.
// Benchmark-only: linked into bench/ when pkg-config finds osmesa (ZQ_HAVE_OSMESA).
//
// OsmesaPeerOpen makes a context current that renders into `pixels` (width x height,
// rows top-down), in OSMesa's BGRA (32-bit, matching XRGB8888 in memory) or RGB565
// layout, with llvmpipe on the calling thread only (LP_NUM_THREADS=0, set before Mesa
// starts). The GL fixed-function state is the caller's to set; glFinish() ends each
// measured batch so the work is really done.
#pragma once

#ifdef ZQ_HAVE_OSMESA
#include <GL/gl.h>
#include <GL/osmesa.h>

#include <cstdlib>

struct OsmesaPeer {
    OSMesaContext context = nullptr;
};

// bits: 32 (BGRA) or 16 (RGB565). Returns false when OSMesa cannot give the context.
inline bool OsmesaPeerOpen(OsmesaPeer* peer, int bits, void* pixels, int width, int height, bool depth16) {
    setenv("LP_NUM_THREADS", "0", 1);
    const GLenum format = bits == 16 ? OSMESA_RGB_565 : OSMESA_BGRA;
    peer->context = OSMesaCreateContextExt(format, depth16 ? 16 : 0, 0, 0, nullptr);
    if (!peer->context) return false;
    const GLenum type = bits == 16 ? GL_UNSIGNED_SHORT_5_6_5 : GL_UNSIGNED_BYTE;
    if (!OSMesaMakeCurrent(peer->context, pixels, type, width, height)) {
        OSMesaDestroyContext(peer->context);
        peer->context = nullptr;
        return false;
    }
    OSMesaPixelStore(OSMESA_Y_UP, 0);  // row 0 is the top row, as in the library's images
    glViewport(0, 0, width, height);
    return true;
}

inline void OsmesaPeerClose(OsmesaPeer* peer) {
    if (peer->context) OSMesaDestroyContext(peer->context);
    peer->context = nullptr;
}
#endif
