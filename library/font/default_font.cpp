// The library's default font and the font system's reset, shutdown and re-creation.
// See font.h.
#include "library/core/log.h"
#include "library/core/text.h"
#include "library/display/screen_state.h"
#include "library/font/font_internal.h"

namespace {
// Face empty (the fallback face), size 16, thickness 6, plain, Shift-JIS, edge 1. The
// record holds them from the start too, so the default font is right even before
// graph management first starts.
constexpr DefaultFontSettingsRecord DefaultFontStartValues = {0, "", 16, 6, 0, FontCharsetShiftJIS, 1, 0, 0};

// What re-creating a font needs to know of it.
struct FontSettingsCopy {
    char face[FontFaceCapacity];
    int size, thickness, typeFlags, charsetKind, edgeSize, italic, letterSpacing;
};

FontSettingsCopy CopySettings(const FontRecord* font) {
    FontSettingsCopy copy{};
    CopyTextBounded(copy.face, sizeof copy.face, font->face);
    copy.size = font->size;
    copy.thickness = font->thickness;
    copy.typeFlags = font->typeFlags;
    copy.charsetKind = font->charsetKind;
    copy.edgeSize = font->edgeSize;
    copy.italic = font->italic;
    copy.letterSpacing = font->letterSpacing;
    return copy;
}

FontHandle CreateFromCopy(const FontSettingsCopy& copy, int slot, int check) {
    return CreateFontToHandle(copy.face, copy.size, copy.thickness, copy.typeFlags, copy.charsetKind, copy.edgeSize,
                              copy.italic, slot, check);
}
}  // namespace

DefaultFontSettingsRecord DefaultFontSettings = DefaultFontStartValues;

int InitDefaultFontSettings(void) {
    DefaultFontSettings = DefaultFontStartValues;
    // The handle numbering starts again with graph management (no font is alive then).
    if (FontHandleTable.liveCount == 0) ResetHandleTable(&FontHandleTable);
    return 0;
}

int ApplyDefaultFontSettings(void) {
    DefaultFontSettingsRecord& s = DefaultFontSettings;
    const FontRecord* font = GetFontRecord(s.handle);
    if (font != nullptr && CompareText(font->face, s.face) == 0 && font->typeFlags == s.typeFlags &&
        font->size == s.size && font->thickness == s.thickness && font->charsetKind == s.charsetKind &&
        font->edgeSize == s.edgeSize && font->italic == s.italic) {
        return 0;
    }
    DestroyFontHandle(s.handle);
    s.handle = CreateFontToHandle(s.face, s.size, s.thickness, s.typeFlags, s.charsetKind,
                                  (s.typeFlags & FontTypeOutlined) ? s.edgeSize : -1, s.italic, -1, -1);
    SetFontLetterSpacing(s.letterSpacing, s.handle);
    return 0;
}

int SetDefaultFontSizeCore(int size) {
    DefaultFontSettings.size = size == -1 ? 16 : size;
    return ApplyDefaultFontSettings();
}

int SetDefaultFontFaceCore(const char* face, int charsetKind) {
    CopyTextBounded(DefaultFontSettings.face, sizeof DefaultFontSettings.face, face != nullptr ? face : "");
    DefaultFontSettings.charsetKind = ValidFontCharsetKind(charsetKind);
    return ApplyDefaultFontSettings();
}

int SetDefaultFontTypeCore(int typeFlags) {
    DefaultFontSettings.typeFlags = ValidFontType(typeFlags);
    return ApplyDefaultFontSettings();
}

int SetDefaultFontSizeThickness(const char* face, int size, int thickness) {
    if (FontDisplayMissing()) return -1;
    CopyTextBounded(DefaultFontSettings.face, sizeof DefaultFontSettings.face, face != nullptr ? face : "");
    DefaultFontSettings.size = size == -1 ? 16 : size;
    DefaultFontSettings.thickness = thickness == -1 ? 6 : thickness;
    return ApplyDefaultFontSettings();
}

int ResetFontSystem(void) {
    if (FontDisplayMissing()) return -1;
    WriteLogText("フォントの初期化を行います\n");
    IncLogIndent();
    FontSettingsCopy kept{};
    const FontRecord* current = GetFontRecord(DefaultFontSettings.handle);
    const bool hadDefault = current != nullptr;
    if (hadDefault) kept = CopySettings(current);
    for (int slot = 0; slot < FontHandleCapacity; slot++) DestroyFontHandle(HandleOfSlot(&FontHandleTable, slot));
    DefaultFontSettings.handle =
        hadDefault ? CreateFromCopy(kept, -1, -1) : CreateFontToHandle("", 16, 6, -1, -1, -1, 0, -1, -1);
    DecLogIndent();
    WriteLogText("フォントの初期化は正常に終了しました\n");
    return 0;
}

int ShutdownFontSystem(void) {
    ResetFontSystem();
    DestroyFontHandle(DefaultFontSettings.handle);
    return 0;
}

// Each font is deleted and made again in its own slot with its own check number, so
// its handle stays valid for whoever holds it; its deleted flag goes to the new font.
int RecreateAllFonts(void) {
    for (int slot = 0; slot < FontHandleCapacity; slot++) {
        const FontHandle handle = HandleOfSlot(&FontHandleTable, slot);
        const FontRecord* font = GetFontRecord(handle);
        if (font == nullptr) continue;
        const FontSettingsCopy copy = CopySettings(font);
        int* deletedFlag = font->head.lostFlag;
        DestroyFontHandle(handle);
        const FontHandle again = CreateFromCopy(copy, slot, HandleCheck(handle));
        if (again < 0) continue;
        SetFontLetterSpacing(copy.letterSpacing, again);
        if (deletedFlag != nullptr) SetFontDeletedFlagPointer(again, deletedFlag);
    }
    return 0;
}

int MeasureTextWidthCore(const char* text, int length, int vertical) {
    ApplyDefaultFontSettings();
    return MeasureTextWidthWithFont(text, length, DefaultFontSettings.handle, vertical);
}

int MeasureTextWidthWithFont(const char* text, int length, FontHandle font, int vertical) {
    return DrawOrMeasureTextWithFont(0, 0, 0, 0, 1.0, 1.0, text, 0, nullptr, nullptr, 1, font, 0, length, vertical,
                                     nullptr);
}
