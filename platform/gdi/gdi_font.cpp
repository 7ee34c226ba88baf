// GDI fonts: font objects, text metrics and glyph bitmaps in the platform's layouts. The
// faces and glyphs come from a provider (gdi_font_internal.h). See gdi_font.h.
#include "platform/gdi/gdi_font.h"

#include <cstring>

#include "platform/gdi/gdi_font_codepage.h"
#include "platform/gdi/gdi_font_internal.h"
#include "platform/kernel/kernel.h"

void (*GdiFontCreateObserver)(const LOGFONTA& request) = nullptr;
std::atomic<long> GdiGlyphOutlineCalls{0};
std::atomic<int> GdiFontCreateFailures{0};
std::atomic<int> GdiCompatibleDcFailures{0};
std::atomic<int> GdiFontSelectFailures{0};

namespace {

const GdiFontProvider* g_provider = &GdiFreeTypeProvider;

// Takes one pending injected failure.
bool TakeFailure(std::atomic<int>& count) {
    int left = count.load();
    while (left > 0)
        if (count.compare_exchange_weak(left, left - 1)) return true;
    return false;
}

void DestroyFont(PlatformGdiObject* object) {
    auto* font = static_cast<GdiFont*>(object);
    {
        std::lock_guard<std::mutex> hold(GdiFontMutex());
        font->provider->close(font->face);
    }
    delete font;
}

int DescribeFont(PlatformGdiObject* object, int size, void* out) {
    if (!out) return sizeof(LOGFONTA);
    if (size < static_cast<int>(sizeof(LOGFONTA))) return 0;
    std::memcpy(out, &static_cast<GdiFont*>(object)->request, sizeof(LOGFONTA));
    return sizeof(LOGFONTA);
}

// The face name as LOGFONT holds it: at most 31 bytes, cut before a split character.
void CopyFaceName(char (&to)[LF_FACESIZE], const char* face) {
    std::memset(to, 0, sizeof to);
    if (!face) return;
    UINT codePage = GetOEMCP() == 949 ? 949 : 932;
    size_t n = 0;
    while (face[n] != '\0') {
        size_t step = CodePageIsLeadByte(codePage, static_cast<uint8_t>(face[n])) && face[n + 1] != '\0' ? 2 : 1;
        if (n + step > LF_FACESIZE - 1) break;
        n += step;
    }
    std::memcpy(to, face, n);
}

GdiFont* NewFont(const LOGFONTA& request, const GdiFontProvider* provider) {
    TEXTMETRICA metrics{};
    void* face = provider->open(request, &metrics);
    if (!face) return nullptr;
    auto* font = new GdiFont{};
    static_cast<PlatformGdiObject&>(*font) = {kGdiObjectMagic, GdiObjectFont, 0, false, DestroyFont, DescribeFont};
    font->request = request;
    font->metrics = metrics;
    font->provider = provider;
    font->face = face;
    return font;
}

// A DC's stock font answers like a 16-pixel default face of the current provider.
GdiFont* StockStandIn() {
    static GdiFont* standIn = nullptr;
    if (standIn && standIn->provider == g_provider) return standIn;
    if (standIn) {
        standIn->provider->close(standIn->face);
        delete standIn;
        standIn = nullptr;
    }
    LOGFONTA request{};
    request.lfHeight = 16;
    request.lfWeight = FW_NORMAL;
    request.lfCharSet = DEFAULT_CHARSET;
    standIn = NewFont(request, g_provider);
    return standIn;
}

// The font selected into a DC; caller holds the font lock.
GdiFont* SelectedFont(HDC dc) {
    if (!GdiIsDc(dc) || !dc->font) return nullptr;
    if (dc->font == GdiStockFont()) return StockStandIn();
    return dc->font->kind == GdiObjectFont ? static_cast<GdiFont*>(dc->font) : nullptr;
}

bool IsIdentity(const MAT2& m) {
    return m.eM11.value == 1 && m.eM11.fract == 0 && m.eM22.value == 1 && m.eM22.fract == 0 && m.eM12.value == 0 &&
           m.eM12.fract == 0 && m.eM21.value == 0 && m.eM21.fract == 0;
}

int MaxLevelOf(UINT format) {
    switch (format) {
    case GGO_BITMAP: return 1;
    case GGO_GRAY2_BITMAP: return 4;
    case GGO_GRAY4_BITMAP: return 16;
    case GGO_GRAY8_BITMAP: return 64;
    default: return 0;
    }
}

// Rows padded to 4 bytes: 1 bit per pixel, most significant bit first; or a byte each.
void PackGlyph(const GdiGlyphRaster& g, bool oneBit, DWORD pitch, uint8_t* out) {
    std::memset(out, 0, static_cast<size_t>(pitch) * g.height);
    for (int y = 0; y < g.height; ++y) {
        const uint8_t* from = &g.levels[static_cast<size_t>(y) * g.width];
        uint8_t* row = out + static_cast<size_t>(y) * pitch;
        if (!oneBit) {
            std::memcpy(row, from, g.width);
            continue;
        }
        for (int x = 0; x < g.width; ++x)
            if (from[x]) row[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
    }
}

} // namespace

std::mutex& GdiFontMutex() {
    static std::mutex lock;
    return lock;
}

void GdiSetFontProvider(const GdiFontProvider* provider) {
    std::lock_guard<std::mutex> hold(GdiFontMutex());
    g_provider = provider ? provider : &GdiFreeTypeProvider;
}

GdiFont* GdiFontFromHandle(HFONT handle) {
    if (!GdiIsObject(handle) || handle->kind != GdiObjectFont || handle->stock) return nullptr;
    return static_cast<GdiFont*>(handle);
}

bool GdiFailCompatibleDcNow() { return TakeFailure(GdiCompatibleDcFailures); }
bool GdiFailFontSelectionNow() { return TakeFailure(GdiFontSelectFailures); }

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charset, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, const char* face) {
    LOGFONTA request{};
    request.lfHeight = height;
    request.lfWidth = width;
    request.lfEscapement = escapement;
    request.lfOrientation = orientation;
    request.lfWeight = weight;
    request.lfItalic = static_cast<BYTE>(italic);
    request.lfUnderline = static_cast<BYTE>(underline);
    request.lfStrikeOut = static_cast<BYTE>(strikeOut);
    request.lfCharSet = static_cast<BYTE>(charset);
    request.lfOutPrecision = static_cast<BYTE>(outPrecision);
    request.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    request.lfQuality = static_cast<BYTE>(quality);
    request.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    CopyFaceName(request.lfFaceName, face);

    std::lock_guard<std::mutex> hold(GdiFontMutex());
    if (GdiFontCreateObserver) GdiFontCreateObserver(request);
    if (TakeFailure(GdiFontCreateFailures)) return GdiFail<HFONT>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    // Rotated text is not drawn by this layer: refuse it rather than draw it upright.
    if (escapement != 0 || orientation != 0) return GdiFail<HFONT>(ERROR_INVALID_PARAMETER, nullptr);
    GdiFont* font = NewFont(request, g_provider);
    if (!font) return GdiFail<HFONT>(ERROR_INVALID_PARAMETER, nullptr);
    GdiRegisterObject(font);
    return font;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
    if (!metrics) return GdiFail(ERROR_INVALID_PARAMETER, FALSE);
    std::lock_guard<std::mutex> hold(GdiFontMutex());
    GdiFont* font = SelectedFont(dc);
    if (!font) return GdiFail(ERROR_INVALID_HANDLE, FALSE);
    *metrics = font->metrics;
    return TRUE;
}

DWORD GetGlyphOutlineA(HDC dc, UINT character, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize, void* buffer,
                       const MAT2* matrix) {
    ++GdiGlyphOutlineCalls;
    int maxLevel = MaxLevelOf(format);
    if (!metrics || !matrix || !IsIdentity(*matrix) || maxLevel == 0) return GdiFail(ERROR_INVALID_PARAMETER, GDI_ERROR);
    GdiGlyphRaster glyph;
    {
        std::lock_guard<std::mutex> hold(GdiFontMutex());
        GdiFont* font = SelectedFont(dc);
        if (!font) return GdiFail(ERROR_INVALID_HANDLE, GDI_ERROR);
        if (!font->lastValid || font->lastCharacter != character || font->lastMaxLevel != maxLevel) {
            font->provider->render(font->face, character, maxLevel, &font->last);
            font->lastValid = true;
            font->lastCharacter = character;
            font->lastMaxLevel = maxLevel;
        }
        glyph = font->last;
    }
    *metrics = GLYPHMETRICS{};
    metrics->gmCellIncX = static_cast<short>(glyph.advance);
    if (glyph.width <= 0 || glyph.height <= 0) {
        // No ink: a 1 x 1 box and no bitmap.
        metrics->gmBlackBoxX = 1;
        metrics->gmBlackBoxY = 1;
        return 0;
    }
    metrics->gmBlackBoxX = static_cast<UINT>(glyph.width);
    metrics->gmBlackBoxY = static_cast<UINT>(glyph.height);
    metrics->gmptGlyphOrigin = POINT{glyph.originX, glyph.originY};
    bool oneBit = maxLevel == 1;
    DWORD pitch = oneBit ? static_cast<DWORD>((glyph.width + 31) / 32 * 4) : static_cast<DWORD>((glyph.width + 3) & ~3);
    DWORD size = pitch * static_cast<DWORD>(glyph.height);
    if (!buffer || bufferSize == 0) return size;
    if (bufferSize < size) return GdiFail(ERROR_INSUFFICIENT_BUFFER, GDI_ERROR);
    PackGlyph(glyph, oneBit, pitch, static_cast<uint8_t*>(buffer));
    return size;
}
