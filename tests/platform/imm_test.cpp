// The IME over SDL's text-editing events: messages, composition, cursor and result
// strings in Shift-JIS, the open status as SDL's text input, and the calls that have no
// data.
#include <cstring>
#include <string>
#include <thread>

#include "dinput_test_support.h"
#include "platform/input/imm.h"

namespace {

// Texts as SDL gives them: UTF-8 (narrow literals of the tests are Shift-JIS).
const char* Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }


std::string Composition(HIMC context, DWORD index) {
    LONG size = ImmGetCompositionStringA(context, index, nullptr, 0);
    std::string text(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        EXPECT_EQ(size, ImmGetCompositionStringA(context, index, text.data(), static_cast<DWORD>(size)));
    }
    return text;
}

}  // namespace

class ImmTest : public DinputTest {
protected:
    std::vector<UINT> ImeMessages() {
        std::vector<UINT> out;
        for (const SeenMessage& m : SeenMessages()) {
            if (m.message == WM_IME_STARTCOMPOSITION || m.message == WM_IME_COMPOSITION ||
                m.message == WM_IME_ENDCOMPOSITION || m.message == WM_IME_NOTIFY || m.message == WM_CHAR) {
                out.push_back(m.message);
            }
        }
        return out;
    }
};

TEST_F(ImmTest, EditingGivesTheCompositionAndItsCursorInShiftJis) {
    HIMC context = ImmGetContext(window_);
    ASSERT_NE(nullptr, context);
    SeenMessages().clear();
    DinputSeamInjectEditing(Utf8(u8"かな"), 1, window_);
    Drain();
    EXPECT_EQ((std::vector<UINT>{WM_IME_STARTCOMPOSITION, WM_IME_COMPOSITION}), ImeMessages());
    EXPECT_EQ(GCS_COMPSTR | GCS_CURSORPOS, Seen(WM_IME_COMPOSITION)[0].lParam);
    EXPECT_EQ("\x82\xA9\x82\xC8", Composition(context, GCS_COMPSTR));
    EXPECT_EQ(2, ImmGetCompositionStringA(context, GCS_CURSORPOS, nullptr, 0)) << "one two-byte character";
    EXPECT_EQ(0, ImmGetCompositionStringA(context, GCS_COMPCLAUSE, nullptr, 0));

    // Typing on updates the composition without a second start.
    SeenMessages().clear();
    DinputSeamInjectEditing(Utf8(u8"かなa"), 3, window_);
    Drain();
    EXPECT_EQ((std::vector<UINT>{WM_IME_COMPOSITION}), ImeMessages());
    EXPECT_EQ(5, ImmGetCompositionStringA(context, GCS_CURSORPOS, nullptr, 0));
    char cut[3] = {};
    EXPECT_EQ(3, ImmGetCompositionStringA(context, GCS_COMPSTR, cut, 3)) << "a short buffer takes what fits";

    // Cancelled: the empty editing text ends the composition.
    SeenMessages().clear();
    DinputSeamInjectEditing("", 0, window_);
    Drain();
    EXPECT_EQ((std::vector<UINT>{WM_IME_ENDCOMPOSITION}), ImeMessages());
    EXPECT_EQ("", Composition(context, GCS_COMPSTR));
    ImmReleaseContext(window_, context);
}

TEST_F(ImmTest, TextCommittedDuringACompositionIsItsResultAndNoCharacter) {
    HIMC context = ImmGetContext(window_);
    DinputSeamInjectEditing(Utf8(u8"かんじ"), 3, window_);
    WindowSeamInjectText(Utf8(u8"漢字"), window_);
    WindowSeamInjectText("a", window_);  // after the composition: an ordinary character
    SeenMessages().clear();
    Drain();
    EXPECT_EQ((std::vector<UINT>{WM_IME_STARTCOMPOSITION, WM_IME_COMPOSITION, WM_IME_COMPOSITION,
                                 WM_IME_ENDCOMPOSITION, WM_CHAR}),
              ImeMessages());
    EXPECT_EQ(GCS_RESULTSTR, Seen(WM_IME_COMPOSITION)[1].lParam);
    EXPECT_EQ(static_cast<WPARAM>('a'), Seen(WM_CHAR)[0].wParam);
    EXPECT_EQ(4, ImmGetCompositionStringA(context, GCS_RESULTSTR, nullptr, 0)) << "a size query takes nothing";
    EXPECT_EQ("\x8A\xBF\x8E\x9A", Composition(context, GCS_RESULTSTR));
    EXPECT_EQ(0, ImmGetCompositionStringA(context, GCS_RESULTSTR, nullptr, 0)) << "each result is read once";
}

TEST_F(ImmTest, ResultsKeepTheirOrderWhenSeveralWait) {
    HIMC context = ImmGetContext(window_);
    DinputSeamInjectEditing(Utf8(u8"あ"), 1, window_);
    WindowSeamInjectText(Utf8(u8"亜"), window_);
    DinputSeamInjectEditing(Utf8(u8"い"), 1, window_);
    WindowSeamInjectText(Utf8(u8"伊"), window_);
    Drain();
    EXPECT_EQ("\x88\x9F", Composition(context, GCS_RESULTSTR));
    EXPECT_EQ("\x88\xC9", Composition(context, GCS_RESULTSTR));
}

TEST_F(ImmTest, WithoutTheInputMethodEditingIsIgnoredAndTextIsCharacters) {
    WINNLSEnableIME(window_, FALSE);
    SeenMessages().clear();
    DinputSeamInjectEditing(Utf8(u8"か"), 1, window_);
    WindowSeamInjectText(Utf8(u8"か"), window_);
    Drain();
    EXPECT_EQ((std::vector<UINT>{WM_CHAR, WM_CHAR}), ImeMessages());
    WINNLSEnableIME(window_, TRUE);
}

TEST_F(ImmTest, CancelEndsTheCompositionAndTheRestHasNoData) {
    HIMC context = ImmGetContext(window_);
    DinputSeamInjectEditing(Utf8(u8"か"), 1, window_);
    Drain();
    SeenMessages().clear();
    EXPECT_TRUE(ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0));
    Drain();
    EXPECT_EQ((std::vector<UINT>{WM_IME_ENDCOMPOSITION}), ImeMessages());
    EXPECT_EQ("", Composition(context, GCS_COMPSTR));
    EXPECT_FALSE(ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_COMPLETE, 0));

    EXPECT_EQ(0u, ImmGetCandidateListA(context, 0, nullptr, 0));
    EXPECT_FALSE(ImmSetCompositionStringA(context, SCS_SETSTR, "x", 1, nullptr, 0));
    EXPECT_EQ(nullptr, ImmGetContext(nullptr));
    EXPECT_EQ(IMM_ERROR_GENERAL, ImmGetCompositionStringA(nullptr, GCS_COMPSTR, nullptr, 0));
    EXPECT_FALSE(ImmGetOpenStatus(nullptr));
    EXPECT_FALSE(ImmSetOpenStatus(nullptr, FALSE));
    EXPECT_TRUE(ImmGetOpenStatus(context)) << "a bad context changes nothing";
}

TEST_F(ImmTest, TheOpenStatusIsSdlsTextInput) {
    HIMC context = ImmGetContext(window_);
    EXPECT_TRUE(ImmGetOpenStatus(context)) << "SDL starts its text input with the video";
    EXPECT_TRUE(SDL_IsTextInputActive());
    DinputSeamInjectEditing(Utf8(u8"か"), 1, window_);
    Drain();
    SeenMessages().clear();

    // Closing stops the text input and the composition, and tells the window.
    EXPECT_TRUE(ImmSetOpenStatus(context, FALSE));
    EXPECT_FALSE(ImmGetOpenStatus(context));
    EXPECT_FALSE(SDL_IsTextInputActive());
    Drain();
    EXPECT_EQ((std::vector<UINT>{WM_IME_ENDCOMPOSITION, WM_IME_NOTIFY}), ImeMessages());
    EXPECT_EQ(static_cast<WPARAM>(IMN_SETOPENSTATUS), Seen(WM_IME_NOTIFY)[0].wParam);
    EXPECT_EQ("", Composition(context, GCS_COMPSTR));
    SeenMessages().clear();
    EXPECT_TRUE(ImmSetOpenStatus(context, FALSE));
    Drain();
    EXPECT_EQ(std::vector<UINT>{}, ImeMessages()) << "no change, no notice";

    // Opening starts the text input again.
    EXPECT_TRUE(ImmSetOpenStatus(context, TRUE));
    EXPECT_TRUE(SDL_IsTextInputActive());
    Drain();
    EXPECT_EQ(std::vector<UINT>{WM_IME_NOTIFY}, ImeMessages());

    // Set on another thread: the status holds at once, SDL follows at the next pump.
    std::thread([context] { ImmSetOpenStatus(context, FALSE); }).join();
    EXPECT_FALSE(ImmGetOpenStatus(context));
    Drain();
    EXPECT_FALSE(SDL_IsTextInputActive());
}

TEST_F(ImmTest, AClosedStatusOutlivesARestartOfSdlsVideo) {
    ImmSetOpenStatus(ImmGetContext(window_), FALSE);
    // The last window gone, SDL's video goes down; the next window brings it up again,
    // and SDL starts its text input with it.
    DestroyWindow(window_);
    created_.clear();
    window_ = Create();
    ShowWindow(window_, SW_SHOW);
    Drain();
    EXPECT_FALSE(ImmGetOpenStatus(ImmGetContext(window_)));
    EXPECT_FALSE(SDL_IsTextInputActive());
}

TEST_F(ImmTest, LongCompositionsArriveWhole) {
    HIMC context = ImmGetContext(window_);
    SDL_Event e = {};
    e.type = SDL_TEXTEDITING_EXT;
    e.editExt.text = SDL_strdup(Utf8(u8"とてもながいへんかんちゅうのもじれつ"));  // 54 bytes of UTF-8
    e.editExt.start = 18;
    WindowSeamInjectEvent(e, window_);
    Drain();
    EXPECT_EQ(36u, Composition(context, GCS_COMPSTR).size());
    EXPECT_EQ(36, ImmGetCompositionStringA(context, GCS_CURSORPOS, nullptr, 0));
}
