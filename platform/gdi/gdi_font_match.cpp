// Finding font files through the layer's own fontconfig configuration. See
// gdi_font_match.h.
#include "platform/gdi/gdi_font_match.h"

#include <fontconfig/fontconfig.h>

#include <cstring>
#include <iterator>

#include "platform/gdi/gdi_font_codepage.h"
#include "platform/gdi/gdi_font_internal.h"
#include "platform/kernel/kernel.h"

namespace {

constexpr size_t kMaxCandidates = 16;

// The configuration is freed at exit: fontconfig keeps some of its blocks through
// encoded offsets that a leak checker cannot follow.
struct ConfigHolder {
    FcConfig* config = nullptr;
    void Drop() {
        if (config) FcConfigDestroy(config);
        config = nullptr;
    }
    ~ConfigHolder() { Drop(); }
};
ConfigHolder g_holder;
bool g_pinned = false;
std::vector<std::string> g_pinnedFiles;

const FcChar8* Fc(const char* s) { return reinterpret_cast<const FcChar8*>(s); }
const FcChar8* Fc(const char8_t* s) { return reinterpret_cast<const FcChar8*>(s); }

FcConfig* BuildConfig() {
    std::string aliases = GdiFontAliasConfig();
    FcConfig* config = g_pinned ? FcConfigCreate() : FcInitLoadConfig();
    if (!config) return nullptr;
    FcConfigParseAndLoadFromMemory(config, Fc(aliases.c_str()), FcTrue);
    if (g_pinned) {
        for (const std::string& file : g_pinnedFiles) FcConfigAppFontAddFile(config, Fc(file.c_str()));
    } else {
        FcConfigBuildFonts(config);
    }
    return config;
}

FcConfig* Config() {
    if (!g_holder.config) g_holder.config = BuildConfig();
    return g_holder.config;
}

UINT OemCodePage() { return GetOEMCP() == 949 ? 949 : 932; }

// The face the platform gives a request that names none: by script, pitch and family.
const char8_t* DefaultFace(UINT codePage, BYTE pitchAndFamily) {
    bool fixed = (pitchAndFamily & 3) == FIXED_PITCH;
    bool roman = (pitchAndFamily & 0xF0) == FF_ROMAN;
    switch (codePage) {
    case 932:
        return roman ? (fixed ? u8"ＭＳ 明朝" : u8"ＭＳ Ｐ明朝") : (fixed ? u8"ＭＳ ゴシック" : u8"ＭＳ Ｐゴシック");
    case 949: return roman ? (fixed ? u8"BatangChe" : u8"Batang") : (fixed ? u8"GulimChe" : u8"Gulim");
    default: return roman ? (fixed ? u8"Courier New" : u8"Times New Roman") : (fixed ? u8"Courier New" : u8"Arial");
    }
}

// Characters a font must have to serve a script.
bool CoversScript(FcPattern* font, UINT codePage) {
    static constexpr FcChar32 kJapanese[] = {0x3042, 0x30A2, 0x4E00, 0xFF21};
    static constexpr FcChar32 kHangul[] = {0xAC00, 0xD55C};
    const FcChar32* probes = codePage == 932 ? kJapanese : kHangul;
    size_t count = codePage == 932 ? std::size(kJapanese) : std::size(kHangul);
    FcCharSet* charset = nullptr;
    if (FcPatternGetCharSet(font, FC_CHARSET, 0, &charset) != FcResultMatch) return false;
    for (size_t i = 0; i < count; ++i)
        if (!FcCharSetHasChar(charset, probes[i])) return false;
    return true;
}

bool FileOf(FcPattern* font, GdiFontFile* out) {
    FcChar8* path = nullptr;
    FcBool outline = FcTrue;
    if (FcPatternGetString(font, FC_FILE, 0, &path) != FcResultMatch) return false;
    FcPatternGetBool(font, FC_OUTLINE, 0, &outline);
    if (!outline) return false; // glyphs are rendered from outlines
    int index = 0;
    FcPatternGetInteger(font, FC_INDEX, 0, &index);
    FcChar8* family = nullptr;
    FcPatternGetString(font, FC_FAMILY, 0, &family);
    int spacing = FC_PROPORTIONAL;
    FcPatternGetInteger(font, FC_SPACING, 0, &spacing);
    *out = GdiFontFile{reinterpret_cast<const char*>(path), index, family ? reinterpret_cast<const char*>(family) : "",
                       spacing >= FC_DUAL};
    return true;
}

FcPattern* RequestPattern(const LOGFONTA& request, UINT codePage) {
    FcPattern* pattern = FcPatternCreate();
    const FcChar8* standIn = Fc(DefaultFace(codePage, request.lfPitchAndFamily));
    std::string face = GdiFaceNameUtf8(request.lfFaceName);
    if (face.empty()) {
        FcPatternAddString(pattern, FC_FAMILY, standIn);
    } else {
        // The named face first; the script's usual face as a weak second choice, so a
        // substitute for an unknown face looks like what the platform would pick.
        FcPatternAddString(pattern, FC_FAMILY, Fc(face.c_str()));
        FcValue value;
        value.type = FcTypeString;
        value.u.s = standIn;
        FcPatternAddWeak(pattern, FC_FAMILY, value, FcTrue);
    }
    if (codePage == 932) FcPatternAddString(pattern, FC_LANG, Fc("ja"));
    if (codePage == 949) FcPatternAddString(pattern, FC_LANG, Fc("ko"));
    int weight = request.lfWeight <= 0 ? FW_NORMAL : (request.lfWeight > 1000 ? 1000 : request.lfWeight);
    FcPatternAddDouble(pattern, FC_WEIGHT, FcWeightFromOpenTypeDouble(weight));
    FcPatternAddInteger(pattern, FC_SLANT, request.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    if ((request.lfPitchAndFamily & 3) == FIXED_PITCH) FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    if ((request.lfPitchAndFamily & 3) == VARIABLE_PITCH) FcPatternAddInteger(pattern, FC_SPACING, FC_PROPORTIONAL);
    return pattern;
}

} // namespace

UINT GdiCharsetCodePage(BYTE charset) {
    switch (charset) {
    case SHIFTJIS_CHARSET: return 932;
    case HANGEUL_CHARSET: return 949;
    case ANSI_CHARSET: return 1252;
    default: return OemCodePage();
    }
}

std::string GdiFaceNameUtf8(const char* face) {
    // The program's texts are Shift-JIS; a name that is not is read as Korean, and
    // failing that byte by byte as Latin-1, so fontconfig always gets valid UTF-8.
    size_t length = strnlen(face, LF_FACESIZE - 1);
    std::string utf8;
    if (CodePageTextToUtf8(932, face, length, &utf8) || CodePageTextToUtf8(949, face, length, &utf8)) return utf8;
    for (size_t i = 0; i < length; ++i) {
        auto byte = static_cast<unsigned char>(face[i]);
        if (byte < 0x80) {
            utf8 += static_cast<char>(byte);
        } else {
            utf8 += static_cast<char>(0xC0 | byte >> 6);
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

std::vector<GdiFontFile> GdiFindFontFiles(const LOGFONTA& request) {
    std::vector<GdiFontFile> found;
    FcConfig* config = Config();
    if (!config) return found;
    UINT codePage = GdiCharsetCodePage(request.lfCharSet);
    FcPattern* pattern = RequestPattern(request, codePage);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcFontSet* sorted = FcFontSort(config, pattern, FcFalse, nullptr, &result);
    FcPatternDestroy(pattern);
    if (!sorted) return found;
    // Fontconfig ranks the family above the language; the platform lets the character
    // set win. So the fonts that cover the script go first, in fontconfig's order.
    bool script = codePage == 932 || codePage == 949;
    for (int pass = script ? 0 : 1; pass < 2; ++pass) {
        for (int i = 0; i < sorted->nfont && found.size() < kMaxCandidates; ++i) {
            FcPattern* font = sorted->fonts[i];
            if (script && (pass == 0) != CoversScript(font, codePage)) continue;
            GdiFontFile file;
            if (FileOf(font, &file)) found.push_back(std::move(file));
        }
    }
    FcFontSetDestroy(sorted);
    return found;
}

void GdiSetFontFiles(const std::vector<std::string>* files) {
    std::lock_guard<std::mutex> hold(GdiFontMutex());
    g_holder.Drop();
    g_pinned = files != nullptr;
    g_pinnedFiles = files ? *files : std::vector<std::string>{};
}
