// Test seams of the GDI fonts: the fake provider of fixed glyph pictures, pinned font
// files, the call record and failure injection. See gdi_font_seams.h.
#include "platform/gdi/testing/gdi_font_seams.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "platform/gdi/gdi_font_internal.h"

namespace {

struct FakeFaceData {
    std::string face;
    int charset;
    TEXTMETRICA metrics;
    std::map<UINT, GdiGlyphRaster> glyphs; // levels 0..16
    GdiGlyphRaster missing;
};
using FakeFaceRef = std::shared_ptr<const FakeFaceData>;

std::vector<FakeFaceRef> g_fakeFaces;
std::vector<LOGFONTA> g_requests;

int PictureLevel(char c) {
    if (c == '.') return 0;
    if (c == '#') return 16;
    if (c >= '1' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'g') return c - 'a' + 10;
    return -1;
}

GdiGlyphRaster ParseGlyph(const FakeGlyph& glyph) {
    GdiGlyphRaster raster;
    raster.originX = glyph.originX;
    raster.originY = glyph.originY;
    raster.advance = glyph.cellIncX;
    std::string picture = glyph.picture ? glyph.picture : "";
    for (size_t start = 0; !picture.empty() && start <= picture.size();) {
        size_t end = picture.find('/', start);
        if (end == std::string::npos) end = picture.size();
        std::string row = picture.substr(start, end - start);
        if (raster.height == 0) raster.width = static_cast<int>(row.size());
        if (static_cast<int>(row.size()) != raster.width) {
            std::fprintf(stderr, "fake glyph 0x%X: rows of different widths in \"%s\"\n", glyph.character,
                         glyph.picture);
            std::abort();
        }
        for (char c : row) {
            int level = PictureLevel(c);
            if (level < 0) {
                std::fprintf(stderr, "fake glyph 0x%X: '%c' is no level\n", glyph.character, c);
                std::abort();
            }
            raster.levels.push_back(static_cast<uint8_t>(level));
        }
        ++raster.height;
        start = end + 1;
    }
    if (raster.width == 0) raster.height = 0;
    return raster;
}

void* FakeOpen(const LOGFONTA& request, TEXTMETRICA* metrics) {
    for (const FakeFaceRef& face : g_fakeFaces) {
        bool named = request.lfFaceName[0] == '\0' || face->face == request.lfFaceName;
        if (!named || (face->charset >= 0 && face->charset != request.lfCharSet)) continue;
        *metrics = face->metrics;
        return new FakeFaceRef(face);
    }
    return nullptr;
}

void FakeRender(void* handle, UINT character, int maxLevel, GdiGlyphRaster* out) {
    const FakeFaceData& face = **static_cast<FakeFaceRef*>(handle);
    auto found = face.glyphs.find(character);
    *out = found != face.glyphs.end() ? found->second : face.missing;
    for (uint8_t& level : out->levels)
        level = static_cast<uint8_t>(maxLevel == 1 ? (level ? 1 : 0) : (level * maxLevel + 8) / 16);
}

void FakeClose(void* handle) { delete static_cast<FakeFaceRef*>(handle); }

std::string FakeSource(void* handle) { return (*static_cast<FakeFaceRef*>(handle))->face; }

const GdiFontProvider kFakeProvider = {FakeOpen, FakeRender, FakeClose, FakeSource};

void RecordRequest(const LOGFONTA& request) { g_requests.push_back(request); }

} // namespace

void UseFakeFontsForTest(const std::vector<FakeFontFace>& faces) {
    std::vector<FakeFaceRef> made;
    for (const FakeFontFace& face : faces) {
        auto data = std::make_shared<FakeFaceData>();
        data->face = face.face ? face.face : "";
        data->charset = face.charset;
        data->metrics = face.metrics;
        for (const FakeGlyph& glyph : face.glyphs) data->glyphs[glyph.character] = ParseGlyph(glyph);
        data->missing = ParseGlyph(face.missing);
        made.push_back(std::move(data));
    }
    {
        std::lock_guard<std::mutex> hold(GdiFontMutex());
        g_fakeFaces = std::move(made);
    }
    GdiSetFontProvider(&kFakeProvider);
}

void UseRealFontsForTest(const std::vector<std::string>& files) {
    GdiSetFontFiles(&files);
    GdiSetFontProvider(&GdiFreeTypeProvider);
}

void UseMachineFontsForTest() {
    GdiSetFontFiles(nullptr);
    GdiSetFontProvider(&GdiFreeTypeProvider);
}

std::vector<std::string> PinnedTestFontFiles() {
    return {
        "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
        "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf",
        "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf",
        "/usr/share/fonts/opentype/ipafont-mincho/ipamp.ttf",
        "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
        "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
    };
}

std::string FontSourceForTest(HFONT handle) {
    std::lock_guard<std::mutex> hold(GdiFontMutex());
    GdiFont* font = GdiFontFromHandle(handle);
    return font ? font->provider->source(font->face) : std::string();
}

const std::vector<LOGFONTA>& RecordedFontRequests() { return g_requests; }

long GlyphOutlineCallCount() { return GdiGlyphOutlineCalls.load(); }

void ClearFontCallRecord() {
    std::lock_guard<std::mutex> hold(GdiFontMutex());
    g_requests.clear();
    GdiGlyphOutlineCalls = 0;
    GdiFontCreateObserver = RecordRequest;
}

void FailNextFontCreations(int count) { GdiFontCreateFailures = count; }
void FailNextCompatibleDcs(int count) { GdiCompatibleDcFailures = count; }
void FailNextFontSelections(int count) { GdiFontSelectFailures = count; }
