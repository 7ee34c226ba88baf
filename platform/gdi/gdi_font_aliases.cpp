// The layer's alias table: the faces Windows programs name, and the installed faces that
// stand in for them (the IPA fonts for the Japanese faces). Fontconfig reads it as one
// more configuration file of the layer's own configuration; nothing on the system
// changes. Names are UTF-8 (u8 literals: narrow literals are compiled to Shift-JIS).
#include "platform/gdi/gdi_font_match.h"

namespace {

struct FaceAlias {
    const char8_t* face;
    const char8_t* standIns; // comma-separated, best first
};

constexpr const char8_t* kGothic = u8"IPAGothic";
constexpr const char8_t* kPGothic = u8"IPAPGothic";
constexpr const char8_t* kMincho = u8"IPAMincho";
constexpr const char8_t* kPMincho = u8"IPAPMincho";
constexpr const char8_t* kHangulMono = u8"NanumGothicCoding,UnDotum,Baekmuk Gulim";
constexpr const char8_t* kHangulGothic = u8"NanumGothic,UnDotum,Baekmuk Dotum,Baekmuk Gulim";
constexpr const char8_t* kHangulMyeongjo = u8"NanumMyeongjo,UnBatang,Baekmuk Batang";

constexpr FaceAlias kAliases[] = {
    {u8"ＭＳ ゴシック", kGothic},
    {u8"MS Gothic", kGothic},
    {u8"ＭＳ Ｐゴシック", kPGothic},
    {u8"MS PGothic", kPGothic},
    {u8"MS UI Gothic", kPGothic},
    {u8"メイリオ", kPGothic},
    {u8"Meiryo", kPGothic},
    {u8"Meiryo UI", kPGothic},
    {u8"游ゴシック", kPGothic},
    {u8"Yu Gothic", kPGothic},
    {u8"ＭＳ 明朝", kMincho},
    {u8"MS Mincho", kMincho},
    {u8"ＭＳ Ｐ明朝", kPMincho},
    {u8"MS PMincho", kPMincho},
    {u8"游明朝", kPMincho},
    {u8"Yu Mincho", kPMincho},
    {u8"굴림체", kHangulMono},
    {u8"GulimChe", kHangulMono},
    {u8"돋움체", kHangulMono},
    {u8"DotumChe", kHangulMono},
    {u8"굴림", kHangulGothic},
    {u8"Gulim", kHangulGothic},
    {u8"돋움", kHangulGothic},
    {u8"Dotum", kHangulGothic},
    {u8"맑은 고딕", kHangulGothic},
    {u8"Malgun Gothic", kHangulGothic},
    {u8"바탕", kHangulMyeongjo},
    {u8"Batang", kHangulMyeongjo},
    {u8"바탕체", kHangulMyeongjo},
    {u8"BatangChe", kHangulMyeongjo},
    {u8"Courier New", u8"DejaVu Sans Mono"},
    {u8"Courier", u8"DejaVu Sans Mono"},
    {u8"Fixedsys", u8"DejaVu Sans Mono"},
    {u8"Terminal", u8"DejaVu Sans Mono"},
    {u8"Arial", u8"DejaVu Sans"},
    {u8"MS Sans Serif", u8"DejaVu Sans"},
    {u8"Tahoma", u8"DejaVu Sans"},
    {u8"Verdana", u8"DejaVu Sans"},
    {u8"System", u8"DejaVu Sans"},
    {u8"Times New Roman", u8"DejaVu Serif"},
};

std::string Text(const char8_t* s) { return reinterpret_cast<const char*>(s); }

} // namespace

std::string GdiFontAliasConfig() {
    std::string xml = "<?xml version=\"1.0\"?>\n<fontconfig>\n";
    for (const FaceAlias& alias : kAliases) {
        // binding "same": the stand-ins weigh as much as the face the request named.
        xml += "<alias binding=\"same\"><family>" + Text(alias.face) + "</family><accept>";
        std::string standIns = Text(alias.standIns);
        for (size_t start = 0; start <= standIns.size();) {
            size_t end = standIns.find(',', start);
            if (end == std::string::npos) end = standIns.size();
            xml += "<family>" + standIns.substr(start, end - start) + "</family>";
            start = end + 1;
        }
        xml += "</accept></alias>\n";
    }
    return xml + "</fontconfig>\n";
}
