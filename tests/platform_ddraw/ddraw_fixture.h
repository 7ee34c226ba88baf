// A fresh virtual desktop and one DirectDraw object per test, with helpers that make
// surfaces and read or write their pixels through Lock.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/testing.h"

inline HWND FakeWindow(uintptr_t id) { return reinterpret_cast<HWND>(id); }

class DDrawTest : public ::testing::Test {
protected:
    IDirectDraw7* dd = nullptr;
    HWND window = FakeWindow(0x1000);
    std::vector<IDirectDrawSurface7*> owned;

    void SetUp() override { ResetDisplayForTest(); }

    void TearDown() override {
        for (auto it = owned.rbegin(); it != owned.rend(); ++it) IDirectDrawSurface7_Release(*it);
        if (dd) IDirectDraw7_Release(dd);
        EXPECT_EQ(0, LiveDirectDrawObjects()) << "a DirectDraw object was not released";
    }

    void MakeObject(DWORD level = DDSCL_NORMAL) {
        void* made = nullptr;
        ASSERT_EQ(DD_OK, DirectDrawCreateInstance(IID_IDirectDraw7, &made));
        dd = static_cast<IDirectDraw7*>(made);
        ASSERT_EQ(DD_OK, IDirectDraw7_Initialize(dd, nullptr));
        ASSERT_EQ(DD_OK, IDirectDraw7_SetCooperativeLevel(dd, window, level));
    }

    static DDSURFACEDESC2 Desc(DWORD flags, DWORD caps) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof(desc);
        desc.dwFlags = flags;
        desc.ddsCaps.dwCaps = caps;
        return desc;
    }

    HRESULT Create(DDSURFACEDESC2 desc, IDirectDrawSurface7** out) {
        HRESULT hr = IDirectDraw7_CreateSurface(dd, &desc, out, nullptr);
        if (hr == DD_OK) owned.push_back(*out);
        return hr;
    }

    IDirectDrawSurface7* Offscreen(int w, int h, DWORD caps = DDSCAPS_OFFSCREENPLAIN, const DDPIXELFORMAT* format = nullptr) {
        DDSURFACEDESC2 desc = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, caps);
        desc.dwWidth = static_cast<DWORD>(w);
        desc.dwHeight = static_cast<DWORD>(h);
        if (format) {
            desc.dwFlags |= DDSD_PIXELFORMAT;
            desc.ddpfPixelFormat = *format;
        }
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(DD_OK, Create(desc, &s));
        return s;
    }

    IDirectDrawSurface7* ZBuffer(int w, int h) {
        DDPIXELFORMAT z{};
        z.dwSize = sizeof(z);
        z.dwFlags = DDPF_ZBUFFER;
        z.dwZBufferBitDepth = 16;
        z.dwZBitMask = 0xFFFF;
        return Offscreen(w, h, DDSCAPS_ZBUFFER, &z);
    }

    IDirectDrawSurface7* Primary() {
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(DD_OK, Create(Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE), &s));
        return s;
    }

    // Writes every pixel through a lock: value(x, y) is the raw pixel.
    static void Paint(IDirectDrawSurface7* s, const std::function<uint32_t(int, int)>& value) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof(desc);
        ASSERT_EQ(DD_OK, IDirectDrawSurface7_Lock(s, nullptr, &desc, DDLOCK_WAIT, nullptr));
        int bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
        for (DWORD y = 0; y < desc.dwHeight; ++y)
            for (DWORD x = 0; x < desc.dwWidth; ++x) {
                uint32_t v = value(static_cast<int>(x), static_cast<int>(y));
                std::memcpy(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * bytes, &v, bytes);
            }
        ASSERT_EQ(DD_OK, IDirectDrawSurface7_Unlock(s, nullptr));
    }

    static uint32_t Pixel(IDirectDrawSurface7* s, int x, int y) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof(desc);
        RECT one{x, y, x + 1, y + 1};
        if (IDirectDrawSurface7_Lock(s, &one, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return 0xDEADBEEF;
        uint32_t v = 0;
        std::memcpy(&v, desc.lpSurface, desc.ddpfPixelFormat.dwRGBBitCount / 8);
        IDirectDrawSurface7_Unlock(s, nullptr);
        return v;
    }
};
