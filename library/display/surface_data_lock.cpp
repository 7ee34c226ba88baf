// surface_data_lock.cpp - nested locks of a surface data's pixels (see surface_data.h).
//
// Only the outermost lock locks the storage. A nested lock hands out the address of
// the rectangle it asks for, worked out from the outermost lock's corner, so nested
// users each write where they mean to; a rectangle outside the locked one is refused.
#include "library/core/log.h"
#include "library/display/color_format.h"
#include "library/display/surface_data.h"
#include "platform/ddraw/ddraw.h"

namespace {

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom && inner.left <= inner.right && inner.top <= inner.bottom;
}

int Refuse() { return WriteLogText("グラフィックのロックに失敗しました"); }

}  // namespace

int LockSurfaceData(int handle, int* pitch, void** pixels, int writeOnly, const RECT* rect, ColorFormat* format) {
    SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
    if (r == nullptr) return -1;
    const ColorFormat* recordFormat = SurfaceDataColorFormat(r);
    if (format != nullptr && recordFormat != nullptr) *format = *recordFormat;

    const RECT whole{0, 0, r->width, r->height};
    const RECT asked = rect != nullptr ? *rect : whole;
    if (!Inside(asked, whole) || recordFormat == nullptr) return Refuse();

    if (r->lockNesting != 0) {
        if (!Inside(asked, r->lockRect)) return Refuse();
        if (pitch != nullptr && pixels != nullptr) {
            *pitch = r->lockPitch;
            *pixels = r->lockPointer + intptr_t(asked.top - r->lockRect.top) * r->lockPitch +
                      intptr_t(asked.left - r->lockRect.left) * recordFormat->bytesPerPixel;
        }
        r->lockNesting++;
        return -2;
    }

    if (r->surface == nullptr) {
        if (!HasMemImgPixels(&r->image)) return Refuse();
        r->lockPitch = r->image.pitch;
        r->lockPointer = MemImgPixelAddress(&r->image, asked.left, asked.top);
    } else {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        RECT area = asked;
        const DWORD flags = DDLOCK_WAIT | (writeOnly == 1 ? DDLOCK_WRITEONLY : 0);
        if (IDirectDrawSurface7_Lock(r->surface, rect != nullptr ? &area : nullptr, &desc, flags, nullptr) != DD_OK) {
            return Refuse();
        }
        r->lockPitch = desc.lPitch;
        r->lockPointer = static_cast<uint8_t*>(desc.lpSurface);
    }
    r->lockRect = asked;
    r->lockNesting = 1;
    if (pitch != nullptr && pixels != nullptr) {
        *pitch = r->lockPitch;
        *pixels = r->lockPointer;
    }
    return 0;
}

int UnlockSurfaceData(int handle, const RECT* rect) {
    SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
    if (r == nullptr || r->lockNesting == 0) return -1;
    if (--r->lockNesting == 0) {
        if (r->surface != nullptr) {
            RECT area = rect != nullptr ? *rect : r->lockRect;
            IDirectDrawSurface7_Unlock(r->surface, rect != nullptr ? &area : nullptr);
        }
        r->lockPointer = nullptr;
    }
    return 0;
}
