// ddraw_types.h - the records, flags and result codes of the display layer.
//
// The library was written against a DirectDraw 7 interface; these are the records it
// fills and reads, with the values it passes and stores. Only what the library uses
// is declared. The calls themselves are in ddraw.h.
#pragma once

#include "platform/wintypes.h"

// Describes one pixel of a display surface: 32 bytes, as the display reports it.
struct DDPIXELFORMAT {
    DWORD dwSize;  // 32
    DWORD dwFlags; // DDPF_* bits
    DWORD dwFourCC;
    union {
        DWORD dwRGBBitCount;     // bits per pixel
        DWORD dwZBufferBitDepth; // the depth of a DDPF_ZBUFFER format
    };
    union {
        DWORD dwRBitMask;
        DWORD dwStencilBitDepth;
    };
    union {
        DWORD dwGBitMask;
        DWORD dwZBitMask; // the depth bits of a DDPF_ZBUFFER format
    };
    DWORD dwBBitMask;
    union {
        DWORD dwRGBAlphaBitMask;
        DWORD dwRGBZBitMask;
    };
};
static_assert(sizeof(DDPIXELFORMAT) == 32, "DDPIXELFORMAT is 32 bytes");

#define DDPF_ALPHAPIXELS 0x00000001u
#define DDPF_ALPHA 0x00000002u
#define DDPF_FOURCC 0x00000004u
#define DDPF_PALETTEINDEXED8 0x00000020u
#define DDPF_RGB 0x00000040u
#define DDPF_ZBUFFER 0x00000400u
#define DDPF_LUMINANCE 0x00020000u
#define DDPF_BUMPDUDV 0x00080000u

#define MAKEFOURCC(a, b, c, d)                                                                  \
    (static_cast<DWORD>(static_cast<BYTE>(a)) | (static_cast<DWORD>(static_cast<BYTE>(b)) << 8) | \
     (static_cast<DWORD>(static_cast<BYTE>(c)) << 16) | (static_cast<DWORD>(static_cast<BYTE>(d)) << 24))

// Capabilities of a surface.
struct DDSCAPS2 {
    DWORD dwCaps;  // DDSCAPS_*
    DWORD dwCaps2; // DDSCAPS2_*
    DWORD dwCaps3;
    DWORD dwCaps4;
};

#define DDSCAPS_BACKBUFFER 0x00000004u
#define DDSCAPS_COMPLEX 0x00000008u
#define DDSCAPS_FLIP 0x00000010u
#define DDSCAPS_FRONTBUFFER 0x00000020u
#define DDSCAPS_OFFSCREENPLAIN 0x00000040u
#define DDSCAPS_OVERLAY 0x00000080u
#define DDSCAPS_PRIMARYSURFACE 0x00000200u
#define DDSCAPS_SYSTEMMEMORY 0x00000800u
#define DDSCAPS_TEXTURE 0x00001000u
#define DDSCAPS_3DDEVICE 0x00002000u
#define DDSCAPS_VIDEOMEMORY 0x00004000u
#define DDSCAPS_VISIBLE 0x00008000u
#define DDSCAPS_ZBUFFER 0x00020000u
#define DDSCAPS_LOCALVIDMEM 0x10000000u
#define DDSCAPS2_TEXTUREMANAGE 0x00000010u

// A colour-key range; a pixel is keyed when its colour bits lie within it.
struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

#define DDCKEY_DESTBLT 0x00000002u
#define DDCKEY_SRCBLT 0x00000008u

// The description of a surface or display mode.
struct DDSURFACEDESC2 {
    DWORD dwSize; // sizeof(DDSURFACEDESC2); the 32-bit value 124 is accepted too
    DWORD dwFlags; // DDSD_* bits naming the fields that are valid
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch;
    DWORD dwBackBufferCount;
    DWORD dwRefreshRate;
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    void* lpSurface;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
};

#define DDSD_CAPS 0x00000001u
#define DDSD_HEIGHT 0x00000002u
#define DDSD_WIDTH 0x00000004u
#define DDSD_PITCH 0x00000008u
#define DDSD_BACKBUFFERCOUNT 0x00000020u
#define DDSD_LPSURFACE 0x00000800u
#define DDSD_PIXELFORMAT 0x00001000u
#define DDSD_CKSRCBLT 0x00010000u
#define DDSD_REFRESHRATE 0x00040000u
#define DDSD_TEXTURESTAGE 0x00100000u

// Blit effects: the fill colour or depth of a fill blit.
struct DDBLTFX {
    DWORD dwSize; // sizeof(DDBLTFX)
    union {
        DWORD dwFillColor; // DDBLT_COLORFILL: a pixel value in the destination's format
        DWORD dwFillDepth; // DDBLT_DEPTHFILL: a depth value of the Z buffer
    };
};

#define DDBLT_COLORFILL 0x00000400u
#define DDBLT_WAIT 0x01000000u
#define DDBLT_DEPTHFILL 0x02000000u

#define DDBLTFAST_NOCOLORKEY 0x00000000u
#define DDBLTFAST_SRCCOLORKEY 0x00000001u
#define DDBLTFAST_WAIT 0x00000010u

#define DDFLIP_WAIT 0x00000001u
#define DDFLIP_NOVSYNC 0x00000008u

#define DDLOCK_WAIT 0x00000001u
#define DDLOCK_READONLY 0x00000010u
#define DDLOCK_WRITEONLY 0x00000020u

#define DDSCL_FULLSCREEN 0x00000001u
#define DDSCL_ALLOWREBOOT 0x00000002u
#define DDSCL_NORMAL 0x00000008u
#define DDSCL_EXCLUSIVE 0x00000010u
#define DDSCL_FPUSETUP 0x00000200u
#define DDSCL_MULTITHREADED 0x00000400u

#define DDWAITVB_BLOCKBEGIN 0x00000001u

#define DDPCAPS_8BIT 0x00000004u
#define DDPCAPS_ALLOW256 0x00000040u

#define DDENUMRET_CANCEL 0
#define DDENUMRET_OK 1

// One palette entry.
struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

// Driver capabilities: the 380-byte block of the 32-bit platform. Only the fields the
// library reads are named; the rest keep their places.
struct DDCAPS {
    DWORD dwSize; // sizeof(DDCAPS)
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCKeyCaps;
    DWORD dwFXCaps;
    DWORD dwReserved1[10];
    DWORD dwVidMemTotal;
    DWORD dwVidMemFree;
    DWORD dwReserved2[17];
    DWORD dwMinOverlayStretch; // 1000 = 1.0
    DWORD dwMaxOverlayStretch;
    DWORD dwReserved3[55];
    DDSCAPS2 ddsCaps; // the surface kinds the driver can make
};
static_assert(sizeof(DDCAPS) == 380, "DDCAPS is 380 bytes");

#define DDCAPS_3D 0x00000001u
#define DDCAPS_BLT 0x00000040u
#define DDCAPS_BLTSTRETCH 0x00000200u
#define DDCAPS_COLORKEY 0x00400000u
#define DDCAPS_BLTCOLORFILL 0x04000000u
#define DDCAPS_BLTDEPTHFILL 0x10000000u
#define DDCKEYCAPS_SRCBLT 0x00000200u

// The driver's identity.
struct DDDEVICEIDENTIFIER2 {
    char szDriver[512];
    char szDescription[512];
    LARGE_INTEGER liDriverVersion; // four 16-bit parts, most significant first
    DWORD dwVendorId;
    DWORD dwDeviceId;
    DWORD dwSubSysId;
    DWORD dwRevision;
    GUID guidDeviceIdentifier;
    DWORD dwWHQLLevel;
};

// Results. Codes the library names keep their platform values.
#define DD_OK S_OK
#define DD_FALSE S_FALSE
#define MAKE_DDHRESULT(code) static_cast<HRESULT>(0x88760000u | (code))
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_ALREADYINITIALIZED MAKE_DDHRESULT(5)
#define DDERR_INVALIDCAPS MAKE_DDHRESULT(100)
#define DDERR_CANNOTATTACHSURFACE MAKE_DDHRESULT(110)
#define DDERR_INVALIDMODE MAKE_DDHRESULT(120)
#define DDERR_INVALIDOBJECT MAKE_DDHRESULT(130)
#define DDERR_INVALIDPIXELFORMAT MAKE_DDHRESULT(145)
#define DDERR_INVALIDRECT MAKE_DDHRESULT(150)
#define DDERR_NOOVERLAYHW MAKE_DDHRESULT(180)
#define DDERR_NOCOLORKEY MAKE_DDHRESULT(215)
#define DDERR_NOEXCLUSIVEMODE MAKE_DDHRESULT(225)
#define DDERR_SURFACEALREADYATTACHED MAKE_DDHRESULT(232)
#define DDERR_NOTFOUND MAKE_DDHRESULT(255)
#define DDERR_OUTOFVIDEOMEMORY MAKE_DDHRESULT(380)
#define DDERR_SURFACEBUSY MAKE_DDHRESULT(430)
#define DDERR_SURFACELOST MAKE_DDHRESULT(450)
#define DDERR_SURFACENOTATTACHED MAKE_DDHRESULT(460)
#define DDERR_TOOBIGHEIGHT MAKE_DDHRESULT(470)
#define DDERR_TOOBIGSIZE MAKE_DDHRESULT(480)
#define DDERR_TOOBIGWIDTH MAKE_DDHRESULT(490)
#define DDERR_PRIMARYSURFACEALREADYEXISTS MAKE_DDHRESULT(564)
#define DDERR_VERTICALBLANKINPROGRESS MAKE_DDHRESULT(537)
#define DDERR_HWNDSUBCLASSED MAKE_DDHRESULT(570)
#define DDERR_HWNDALREADYSET MAKE_DDHRESULT(571)
#define DDERR_BLTFASTCANTCLIP MAKE_DDHRESULT(574)
#define DDERR_EXCLUSIVEMODEALREADYSET MAKE_DDHRESULT(581)
#define DDERR_NOTFLIPPABLE MAKE_DDHRESULT(582)
#define DDERR_NOTLOCKED MAKE_DDHRESULT(584)
#define DDERR_NOTPALETTIZED MAKE_DDHRESULT(589)
#define DDERR_UNSUPPORTEDMODE MAKE_DDHRESULT(590)
#define DDERR_DCALREADYCREATED MAKE_DDHRESULT(620)
#define DDERR_NOTINITIALIZED static_cast<HRESULT>(0x800401F0u)
#define DDERR_NOCOOPERATIVELEVELSET MAKE_DDHRESULT(212)
