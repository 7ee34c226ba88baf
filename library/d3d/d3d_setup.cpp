// d3d_setup.cpp - bringing Direct3D up on the display's DirectDraw object: the device
// and depth format, the first device slot, the nine texture formats; shutting it down;
// dropping and re-obtaining the object around a re-creation of DirectDraw.
//
// The texture formats (TextureFormatIndex) by what a graph asks of its texture:
//   0/1 plain 16/32-bit, 2/3 alpha channel, 4/5 alpha test (1-bit alpha),
//   6/7 draw target, 8 draw target with alpha.
// Enumeration fills 0-5; the ones the device does not offer are copies of others.
#include <cstring>

#include "library/core/log.h"
#include "library/d3d/d3d_internal.h"
#include "library/display/screen_state.h"
#include "library/display/surface_data.h"
#include "library/graph/draw_state.h"

D3DSystemState g_D3D;

namespace {

bool HasExactScreenFormat(const ColorFormat& format) {
    return IsSameColorFormat(&format, GetScreenColorFormat()) == 1;
}

HRESULT G_D3D_EnumDeviceCallback(char*, char*, D3DDEVICEDESC7* desc, void* context) {
    const bool tnl = IsEqualGUID(desc->deviceGUID, IID_IDirect3DTnLHalDevice);
    if (!tnl && !IsEqualGUID(desc->deviceGUID, IID_IDirect3DHALDevice)) return D3DENUMRET_OK;
    const int bits = QueryScreenColorBitDepth();
    const DWORD wanted = bits == 16 ? DDBD_16 : bits == 32 ? DDBD_32 : 0;
    if (!(desc->dwDeviceRenderBitDepth & wanted)) return D3DENUMRET_OK;
    *static_cast<int*>(context) = 1;
    g_D3D.deviceDesc = *desc;
    return tnl ? D3DENUMRET_CANCEL : D3DENUMRET_OK;  // a later TnL device still beats a HAL one
}

HRESULT G_D3D_EnumZBufferFormatCallback(DDPIXELFORMAT* format, void* context) {
    if (format->dwFlags & (DDPF_LUMINANCE | DDPF_BUMPDUDV | DDPF_FOURCC | DDPF_ALPHA)) return D3DENUMRET_OK;
    if (format->dwFlags != DDPF_ZBUFFER || format->dwZBufferBitDepth != 16) return D3DENUMRET_OK;
    g_D3D.zBufferFormat = *format;
    *static_cast<int*>(context) = 1;
    return D3DENUMRET_CANCEL;
}

void FileTextureFormat(int index, const DDPIXELFORMAT& pixelFormat, const ColorFormat& colorFormat) {
    g_D3D.textureFormats[index].pixelFormat = pixelFormat;
    g_D3D.textureFormats[index].colorFormat = colorFormat;
}

HRESULT G_D3D_EnumTextureFormatCallback(DDPIXELFORMAT* format, void* context) {
    if (format->dwFlags & (DDPF_LUMINANCE | DDPF_BUMPDUDV | DDPF_FOURCC | DDPF_ALPHA)) return D3DENUMRET_OK;
    ColorFormat colorFormat{};
    InitColorFormatFromDDPixelFormat(format, &colorFormat);
    if (colorFormat.alphaWidth != 0) {
        if (colorFormat.alphaMask == 0xF000) FileTextureFormat(2, *format, colorFormat);
        if (colorFormat.alphaMask == 0xFF000000u) {
            FileTextureFormat(3, *format, colorFormat);
            FileTextureFormat(5, *format, colorFormat);
        }
        if (colorFormat.alphaMask == 0x8000) FileTextureFormat(4, *format, colorFormat);
        return D3DENUMRET_OK;
    }
    // Plain formats: the first of each size, unless a later one is exactly the screen's.
    const int index = colorFormat.bitsPerPixel == 16 ? 0 : colorFormat.bitsPerPixel == 32 ? 1 : -1;
    if (index < 0) return D3DENUMRET_OK;
    if (index == 0) *static_cast<int*>(context) = 1;
    if (g_D3D.textureFormats[index].colorFormat.bitsPerPixel == 0 || HasExactScreenFormat(colorFormat)) {
        FileTextureFormat(index, *format, colorFormat);
    }
    return D3DENUMRET_OK;
}

void CopyEmptyFormat(int index, int from) {
    if (g_D3D.textureFormats[index].colorFormat.bitsPerPixel == 0) g_D3D.textureFormats[index] = g_D3D.textureFormats[from];
}

// The draw state's texture address mode, clamp when none is set.
int TextureAddressMode() {
    if (g_DrawState.textureAddressMode == 0) g_DrawState.textureAddressMode = D3DTADDRESS_CLAMP;
    return g_DrawState.textureAddressMode;
}

void ReleaseObject() {
    if (g_D3D.direct3D != nullptr) IDirect3D7_Release(g_D3D.direct3D);
    g_D3D.direct3D = nullptr;
}

void WriteCapabilityLog() {
    const D3DSystemState& d = g_D3D;
    IncLogIndent();
    WriteLogFormat("テクスチャ最大幅:%u 最小幅:%u ", d.maxTextureSize, d.minTextureSize);
    const DWORD caps = d.deviceDesc.dpcTriCaps.dwTextureCaps;
    WriteLogFormat("描画制限: Z_D3DPTEXTURECAPS_POW2 = %d  Z_D3DPTEXTURECAPS_SQUAREONLY = %d ",
                   (caps & D3DPTEXTURECAPS_POW2) ? 1 : 0, (caps & D3DPTEXTURECAPS_SQUAREONLY) ? 1 : 0);
    WriteLogText("テクスチャピクセルフォーマット\n");
    WriteLogText("\t通常グラフィック用\n");
    for (int i = 0; i < 2; i++) {
        const ColorFormat& f = d.textureFormats[i].colorFormat;
        WriteLogFormat("\t\t BIT:%u  RED:%u  GREEN:%u  BLUE:%u ", f.bitsPerPixel, f.redWidth, f.greenWidth,
                       f.blueWidth);
        WriteLogFormat("\t\t RED:%06x GREEN:%06x BLUE:%06x \n", f.redMask, f.greenMask, f.blueMask);
    }
    WriteLogText("\tアルファチャンネル付きグラフィック用\n");
    for (int i = 2; i < 4; i++) {
        const ColorFormat& f = d.textureFormats[i].colorFormat;
        WriteLogFormat("\t\t BIT:%u  ALPHA:%u  RED:%u  GREEN:%u  BLUE:%u ", f.bitsPerPixel, f.alphaWidth,
                       f.redWidth, f.greenWidth, f.blueWidth);
        WriteLogFormat("\t\t ALPHA:%08x RED:%08x GREEN:%08x BLUE:%08x \n", f.alphaMask, f.redMask, f.greenMask,
                       f.blueMask);
    }
    DecLogIndent();
}

}  // namespace

int G_D3D_SetupDirect3D(void) {
    if (g_D3D.direct3D != nullptr) return -1;
    WriteLogText("Direct3D 関連の初期化を行います\n");
    g_D3D = D3DSystemState{};
    WriteLogText("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得します\n");
    void* object = nullptr;
    if (IDirectDraw7_QueryInterface(GetDirectDrawObject(), IID_IDirect3D7, &object) != DD_OK) {
        return WriteLogText("Direct3Dオブジェクトの作成に失敗しました\n");
    }
    g_D3D.direct3D = static_cast<IDirect3D7*>(object);
    WriteLogText("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得しました\n");

    int found = 0;
    if (IDirect3D7_EnumDevices(g_D3D.direct3D, G_D3D_EnumDeviceCallback, &found) != D3D_OK || !found) {
        WriteLogText("現在の画面モードで使用できる描画デバイスが見つかりませんでした\n");
        ReleaseObject();
        return -1;
    }

    found = 0;
    if (IDirect3D7_EnumZBufferFormats(g_D3D.direct3D, IID_IDirect3DHALDevice, G_D3D_EnumZBufferFormatCallback,
                                      &found) != D3D_OK ||
        !found) {
        WriteLogText("使用可能なＺバッファが見つかりませんでした\n");
        G_D3D_DeleteAllDevices();
        ReleaseObject();
        return -1;
    }

    const int slot = G_D3D_CreateDevice(GetFrontBufferSurface());
    if (slot < 0) {
        ReleaseObject();
        return -1;
    }
    g_D3D.currentSlot = slot;
    G_D3D_SetSlotRenderTarget(GetFrontBufferSurface(), slot);

    const int address = TextureAddressMode();
    IDirect3DDevice7* device = D3DSlots[slot].device;
    HRESULT addressResult = D3D_OK;
    for (int stage = 3; stage >= 0; stage--) {
        addressResult = IDirect3DDevice7_SetTextureStageState(device, DWORD(stage), D3DTSS_ADDRESS, DWORD(address));
    }
    if (addressResult != D3D_OK) {
        G_D3D_DeleteAllDevices();
        ReleaseObject();
        return -1;
    }

    std::memset(g_D3D.textureFormats, 0, sizeof g_D3D.textureFormats);
    found = 0;
    if (IDirect3DDevice7_EnumTextureFormats(device, G_D3D_EnumTextureFormatCallback, &found) != D3D_OK || !found) {
        WriteLogText("使用可能なテクスチャフォーマットが見つかりませんでした\n");
        G_D3D_DeleteAllDevices();
        ReleaseObject();
        return -1;
    }
    // A later copy sees the result of an earlier one (5 and 8 can end as copies of 2).
    CopyEmptyFormat(1, 0);
    CopyEmptyFormat(3, 2);
    CopyEmptyFormat(4, 2);
    CopyEmptyFormat(5, 3);
    CopyEmptyFormat(6, 0);
    CopyEmptyFormat(7, 1);
    CopyEmptyFormat(8, 3);
    g_D3D.formatsReady = 1;

    const D3DDEVICEDESC7& desc = g_D3D.deviceDesc;
    g_D3D.minTextureSize = desc.dwMinTextureWidth < desc.dwMinTextureHeight ? desc.dwMinTextureWidth
                                                                            : desc.dwMinTextureHeight;
    g_D3D.maxTextureSize = desc.dwMaxTextureWidth < desc.dwMaxTextureHeight ? desc.dwMaxTextureWidth
                                                                            : desc.dwMaxTextureHeight;
    if (g_D3D.maxTextureSize == 0) g_D3D.maxTextureSize = 256;
    if (g_D3D.minTextureSize == 0) g_D3D.minTextureSize = 32;

    g_D3D.captureMethod[0] = g_D3D.captureMethod[1] = -1;
    g_D3D.softwareTarget = 0;
    g_D3D.drawFlag = 0;

    WriteCapabilityLog();
    WriteLogText("Direct3D 関連の初期化は正常に終了しました\n");
    g_D3D.endSceneAfterEachDraw = 1;
    return 0;
}

int G_D3D_ShutdownDirect3D(void) {
    if (g_D3D.direct3D == nullptr) return -1;
    WriteLogText("Direct3D 関連の終了処理を行います\n");
    G_D3D_EndScene();
    g_D3D.formatsReady = 0;
    G_D3D_SetSlotTexture(nullptr, g_D3D.currentSlot);
    ClearSurface3DTable();
    G_D3D_DeleteAllDevices();
    ReleaseObject();
    WriteLogText("Direct3D 関連の終了処理は正常に終了しました\n");
    g_D3D.endSceneAfterEachDraw = 0;
    return 0;
}

int G_D3D_ReleaseDirect3DObject(void) {
    if (g_D3D.endSceneAfterEachDraw == 0) return -1;
    G_D3D_DeleteSlotDevice(g_D3D.currentSlot);
    WriteLogText("Ｄｉｒｅｃｔ３Ｄオブジェクトを解放します\n");
    if (g_D3D.direct3D == nullptr) {
        WriteLogText("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に解放されています\n");
        return 0;
    }
    ReleaseObject();
    WriteLogText("Ｄｉｒｅｃｔ３Ｄオブジェクトを解放しました\n");
    return 0;
}

int G_D3D_ObtainDirect3DObject(void) {
    if (g_D3D.endSceneAfterEachDraw == 0) return 0;
    WriteLogText("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得します\n");
    if (g_D3D.direct3D != nullptr) {
        WriteLogText("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に取得されていますn");
        return 0;
    }
    void* object = nullptr;
    if (IDirectDraw7_QueryInterface(GetDirectDrawObject(), IID_IDirect3D7, &object) != DD_OK) {
        return WriteLogText("Direct3Dオブジェクトの作成に失敗しました\n");
    }
    g_D3D.direct3D = static_cast<IDirect3D7*>(object);
    WriteLogText("Ｄｉｒｅｃｔ３Ｄオブジェクトは正常に取得されました\n");
    D3DDeviceSlot& slot = D3DSlots[g_D3D.currentSlot & 0xFFFF];
    slot.creationSurface = GetFrontBufferSurface();
    slot.renderTarget = GetDrawTargetSurface();
    G_D3D_RecreateDevice(g_D3D.currentSlot);
    return 0;
}

// ---- Texture formats ----------------------------------------------------------------------

int G_D3D_GetTextureFormatIndex(const SurfaceDataSettings* settings) {
    const int wide = settings->colorBits != 16 ? 1 : 0;
    if (settings->drawTarget) return settings->alphaChannel || settings->alphaTest ? 8 : 6 + wide;
    if (settings->alphaChannel) return 2 + wide;
    if (settings->alphaTest) return 4 + wide;
    return wide;
}

// The records are read only once they are complete, and never outside the table.
static const TextureFormatRecord* TextureFormat(int index) {
    if (index < 0 || index >= TextureFormatCount || !g_D3D.formatsReady) return nullptr;
    const TextureFormatRecord* record = &g_D3D.textureFormats[index];
    return record->colorFormat.bitsPerPixel != 0 ? record : nullptr;
}

const DDPIXELFORMAT* G_D3D_GetTexturePixelFormat(int index) {
    const TextureFormatRecord* record = TextureFormat(index);
    return record != nullptr ? &record->pixelFormat : nullptr;
}

const ColorFormat* G_D3D_GetTextureColorFormatByIndex(int index) {
    const TextureFormatRecord* record = TextureFormat(index);
    return record != nullptr ? &record->colorFormat : nullptr;
}

const ColorFormat* G_D3D_GetTextureColorFormatForSettings(const SurfaceDataSettings* settings) {
    return G_D3D_GetTextureColorFormatByIndex(G_D3D_GetTextureFormatIndex(settings));
}

const ColorFormat* G_D3D_GetTextureColorFormat(int alphaChannel, int alphaTest, int is32Bit, int drawTarget) {
    SurfaceDataSettings settings{};
    settings.alphaChannel = uint8_t(alphaChannel);
    settings.alphaTest = uint8_t(alphaTest);
    settings.colorBits = is32Bit ? 32 : 16;
    settings.drawTarget = uint8_t(drawTarget);
    return G_D3D_GetTextureColorFormatForSettings(&settings);
}

const DDPIXELFORMAT* G_D3D_GetZBufferPixelFormat(int) {
    return g_D3D.direct3D != nullptr && g_D3D.zBufferFormat.dwFlags ? &g_D3D.zBufferFormat : nullptr;
}
