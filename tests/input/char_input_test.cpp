// The character ring, the IME messages fed from SDL's text-editing events, and the
// text-entry fields' editing.
#include <string>
#include <vector>

#include "input_test_support.h"

namespace {

// Every character left in the ring, as strings of its bytes.
std::vector<std::string> PopAll() {
    std::vector<std::string> out;
    unsigned char bytes[2];
    while (int size = PopCharCode(bytes, 1)) out.emplace_back(reinterpret_cast<char*>(bytes), size);
    return out;
}

void PushAll(const std::string& bytes) {
    for (char byte : bytes) PushCharCode(static_cast<unsigned char>(byte));
}


}  // namespace

class CharInputTest : public InputTest {};

TEST_F(CharInputTest, RingHoldsTenTwentyFourBytes) {
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(0, PushCharCode('a' + i % 26)) << i;
    EXPECT_EQ(0, CheckCharCodeRoom());
    EXPECT_EQ(-1, PushCharCode('x'));
    unsigned char bytes[2];
    EXPECT_EQ(1, PopCharCode(bytes, 1));
    EXPECT_EQ('a', bytes[0]);
    EXPECT_EQ(1, CheckCharCodeRoom());
    EXPECT_EQ(0, PushCharCode('y'));
    EXPECT_EQ(-1, PushCharCode('z'));
    std::vector<std::string> rest = PopAll();
    ASSERT_EQ(1024u, rest.size());
    EXPECT_EQ("y", rest.back());
}

TEST_F(CharInputTest, CharactersComeBackWholeAndPeekingKeepsThem) {
    unsigned char bytes[2] = {1, 1};
    EXPECT_EQ(0, PopCharCode(bytes, 1));
    EXPECT_EQ(0, bytes[0]);
    PushCharCode(0x82);  // the lead byte of "あ" alone
    EXPECT_EQ(0, PopCharCode(bytes, 1)) << "half a character stays";
    PushCharCode(0xA0);
    PushCharCode(0x10);  // Delete is one code
    PushCharCode('b');
    EXPECT_EQ(2, PopCharCode(bytes, 0));
    EXPECT_EQ(2, PopCharCode(bytes, 0)) << "peeking takes nothing";
    EXPECT_EQ((std::vector<std::string>{"\x82\xA0", "\x10", "b"}), PopAll());

    // Under the Korean rule every byte with bit 7 starts a pair.
    SystemStateRecord.mode.doubleByteRule = DoubleByteKorean;
    PushAll("\xA1\xA1\x7F");
    EXPECT_EQ((std::vector<std::string>{"\xA1\xA1", "\x7F"}), PopAll());
    SystemStateRecord.mode.doubleByteRule = DoubleByteShiftJis;
}

TEST_F(CharInputTest, ATwoByteCharacterIsNeverSplitByAFullRing) {
    for (int i = 0; i < 1023; ++i) PushCharCode('a');
    // One slot left: the pair is refused whole, its trail byte with it.
    EXPECT_EQ(-1, PushCharCode(0x82));
    EXPECT_EQ(-1, PushCharCode(0xA0));
    EXPECT_EQ(0, PushCharCode('z'));
    std::vector<std::string> all = PopAll();
    ASSERT_EQ(1024u, all.size());
    EXPECT_EQ("z", all.back());
    // A lead byte whose trail never comes is taken back by the next code.
    PushCharCode(0x82);
    PushCharCode(0x1D);
    EXPECT_EQ((std::vector<std::string>{"\x1D"}), PopAll());
}

TEST_F(CharInputTest, EditKeysHaveTheirCodes) {
    EXPECT_EQ(0x10, EditKeyCharCode(VK_DELETE));
    EXPECT_EQ(0x1D, EditKeyCharCode(VK_LEFT));
    EXPECT_EQ(0x1C, EditKeyCharCode(VK_RIGHT));
    EXPECT_EQ(0x1E, EditKeyCharCode(VK_UP));
    EXPECT_EQ(0x1F, EditKeyCharCode(VK_DOWN));
    EXPECT_EQ(0, EditKeyCharCode('A'));
    EXPECT_EQ(1, IsEditControlCode(0x1F));
    EXPECT_EQ(0, IsEditControlCode(0x1B));
}

TEST_F(CharInputTest, CountEqualLeadingCharsComparesWholeCharacters) {
    EXPECT_EQ(2, CountEqualLeadingChars("ab", "abc"));
    EXPECT_EQ(1, CountEqualLeadingChars("\x82\xA0\x82\xA2", "\x82\xA0\x82\xA4"));
    EXPECT_EQ(0, CountEqualLeadingChars("\x82\xA0", "\x82\xA2"));
    EXPECT_EQ(0, CountEqualLeadingChars("", "a"));
}

TEST_F(CharInputTest, CompositionAndResultFromSdlEditingEvents) {
    CharInputState& c = CharInputStateRecord;
    DinputSeamInjectEditing(Utf8(u8"かな"), 1, window_);
    Drain();
    EXPECT_EQ(1, c.composing);
    EXPECT_STREQ("\x82\xA9\x82\xC8", c.composition);
    EXPECT_EQ(1, c.compositionCursor);

    // Three two-byte characters, cursor after the second: 4 bytes, 2 characters.
    DinputSeamInjectEditing(Utf8(u8"かなを"), 2, window_);
    Drain();
    EXPECT_EQ(2, c.compositionCursor);

    // The committed result goes into the ring as one two-byte character per kanji.
    WindowSeamInjectText(Utf8(u8"仮名"), window_);
    Drain();
    EXPECT_EQ(0, c.composing);
    EXPECT_STREQ("", c.composition);
    EXPECT_EQ((std::vector<std::string>{"\x89\xBC", "\x96\xBC"}), PopAll());
}

TEST_F(CharInputTest, ResultsKeepPairsWholeWhenTheRingFills) {
    for (int i = 0; i < 1021; ++i) PushCharCode('a');
    DinputSeamInjectEditing(Utf8(u8"あい"), 2, window_);
    WindowSeamInjectText(Utf8(u8"あい"), window_);  // 4 bytes for 3 free slots
    Drain();
    std::vector<std::string> all = PopAll();
    ASSERT_EQ(1022u, all.size());
    EXPECT_EQ("\x82\xA0", all.back());
}

TEST_F(CharInputTest, CandidateNotificationsWithoutAListAreLogged) {
    size_t mark = Log().size();
    EXPECT_EQ(0, HandleImeMessage(window_, WM_IME_NOTIFY, IMN_OPENCANDIDATE, 0));
    EXPECT_EQ(nullptr, CharInputStateRecord.candidates);
    EXPECT_NE(std::string::npos, LogSince(mark).find("漢字変換候補のデータサイズが０でした  DefHWND:"));
    EXPECT_EQ(0, HandleImeMessage(window_, WM_IME_NOTIFY, IMN_CLOSECANDIDATE, 0));
    EXPECT_EQ(1, CharInputStateRecord.imeMessageSeen);
}

// ---- Text-entry fields ----------------------------------------------------------------------

struct EditCase {
    const char* name;
    const char* text;
    int cursor;
    int maxLength;
    const char* typed;  // bytes pushed into the ring
    const char* expectText;
    int expectCursor;
    int digitsOnly;
    int singleByteOnly;
};

void PrintTo(const EditCase& c, std::ostream* out) { *out << c.name; }

class TextEntryEditing : public CharInputTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(TextEntryEditing, GivesTheTextAndCursor) {
    const EditCase& c = GetParam();
    int handle = MakeTextEntry(3, c.text, c.cursor, c.maxLength);
    TextEntryRecord* entry = GetTextEntryRecord(handle);
    ASSERT_NE(nullptr, entry);
    entry->digitsOnly = c.digitsOnly;
    entry->singleByteOnly = c.singleByteOnly;
    PushAll(c.typed);
    EXPECT_EQ(0, ProcessTextEntry());
    EXPECT_STREQ(c.expectText, entry->text);
    EXPECT_EQ(static_cast<int>(std::strlen(c.expectText)), entry->length);
    EXPECT_EQ(c.expectCursor, entry->cursor);
    EXPECT_EQ(0, entry->done);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, TextEntryEditing,
    ::testing::Values(
        EditCase{"BackspaceSingle", "ab", 2, 10, "\x08", "a", 1, 0, 0},
        EditCase{"BackspaceAtStart", "ab", 0, 10, "\x08", "ab", 0, 0, 0},
        EditCase{"BackspacePair", "\x82\xA0\x82\xA2", 4, 10, "\x08", "\x82\xA0", 2, 0, 0},
        // "＝" is 81 81: its trail byte looks like a lead byte.
        EditCase{"BackspaceAfterTrailThatLooksLikeLead", "\x81\x81" "A", 3, 10, "\x08", "\x81\x81", 2, 0, 0},
        EditCase{"LeftOverSingleAfterPair", "\x81\x81" "A", 3, 10, "\x1D", "\x81\x81" "A", 2, 0, 0},
        EditCase{"LeftOverPair", "A\x81\x81", 3, 10, "\x1D", "A\x81\x81", 1, 0, 0},
        EditCase{"DeletePair", "\x82\xA0\x82\xA2", 0, 10, "\x10", "\x82\xA2", 0, 0, 0},
        EditCase{"DeleteAtEnd", "ab", 2, 10, "\x10", "ab", 2, 0, 0},
        EditCase{"RightOverPair", "\x82\xA0" "b", 0, 10, "\x1C", "\x82\xA0" "b", 2, 0, 0},
        EditCase{"RightAtEnd", "ab", 2, 10, "\x1C", "ab", 2, 0, 0},
        EditCase{"TabUpDownIgnored", "ab", 1, 10, "\x09\x1E\x1F", "ab", 1, 0, 0},
        EditCase{"InsertInTheMiddle", "ab", 1, 10, "x", "axb", 2, 0, 0},
        EditCase{"InsertPair", "ab", 1, 10, "\x82\xA0", "a\x82\xA0" "b", 3, 0, 0},
        EditCase{"DigitsOnly", "12", 2, 10, "a5-", "125", 3, 1, 0},
        EditCase{"DigitsOnlyMinusFirst", "12", 0, 10, "-", "-12", 1, 1, 0},
        EditCase{"SingleByteOnly", "ab", 2, 10, "\x82\xA0" "c", "abc", 3, 0, 1},
        EditCase{"MaxDropsTheLastAndMovesTheCursorAtTheEnd", "abc", 3, 3, "d", "abd", 3, 0, 0},
        EditCase{"MaxDropsTheLastKeepsAnInnerCursor", "abc", 1, 3, "d", "adb", 2, 0, 0},
        EditCase{"MaxDropsAPairForAPair", "a\x82\xA0", 3, 3, "\x82\xA2", "a\x82\xA2", 3, 0, 0},
        EditCase{"MaxOneRefusesAPair", "", 0, 1, "\x82\xA0" "b", "b", 1, 0, 0},
        EditCase{"MaxZeroRefusesEverything", "", 0, 0, "ab", "", 0, 0, 0}),
    [](const ::testing::TestParamInfo<EditCase>& info) { return info.param.name; });

TEST_F(CharInputTest, EnterAndEscapeFinishTheField) {
    int handle = MakeTextEntry(0, "ab", 2, 10);
    TextEntryRecord* entry = GetTextEntryRecord(handle);
    PushAll("c\rd");
    ProcessTextEntry();
    EXPECT_STREQ("abc", entry->text);
    EXPECT_EQ(1, entry->done);
    EXPECT_EQ(0, entry->cancelled);
    EXPECT_EQ((std::vector<std::string>{"d"}), PopAll()) << "what follows Enter stays in the ring";

    handle = MakeTextEntry(1, "", 0, 10);
    entry = GetTextEntryRecord(handle);
    PushAll("\x1B" "e");
    ProcessTextEntry();
    EXPECT_EQ(0, entry->done) << "Escape is not allowed in this field";
    EXPECT_STREQ("e", entry->text);
    entry->escapeAllowed = 1;
    PushAll("\x1B");
    ProcessTextEntry();
    EXPECT_EQ(1, entry->done);
    EXPECT_EQ(1, entry->cancelled);
}

TEST_F(CharInputTest, DeletingFieldsClearsTheActiveHandleAndTheIme) {
    CharInputState& c = CharInputStateRecord;
    c.activeHandle = MakeResourceHandle(HandleKindTextEntry, 5, 4);
    EXPECT_EQ(-1, ProcessTextEntry()) << "a stale active handle";
    int first = MakeTextEntry(0, "a", 1, 4);
    int second = MakeTextEntry(1, "b", 1, 4);
    EnableImeInput(1);
    EXPECT_TRUE(WindowSeamImeEnabled(window_));
    EXPECT_EQ(-1, DeleteTextEntryHandle(first + (1 << 16))) << "another check number";
    EXPECT_EQ(0, DeleteTextEntryHandle(second));
    EXPECT_EQ(-1, c.activeHandle);
    EXPECT_EQ(nullptr, GetTextEntryRecord(second));
    EXPECT_TRUE(WindowSeamImeEnabled(window_)) << "a field is left";
    c.activeHandle = first;
    EXPECT_EQ(0, DeleteAllTextEntryHandles());
    EXPECT_EQ(-1, c.activeHandle);
    EXPECT_EQ(0, c.imeEnabled);
    EXPECT_FALSE(WindowSeamImeEnabled(window_));
    WINNLSEnableIME(window_, TRUE);
}

TEST_F(CharInputTest, RestoreAfterActivationRunsOnceAndTheInitialStateIsSet) {
    CharInputState& c = CharInputStateRecord;
    EXPECT_EQ(-1, c.activeHandle);
    EXPECT_EQ(500, c.blinkPeriod);
    EXPECT_EQ(1, c.cursorVisible);
    EXPECT_NE(std::string::npos, Log().find("0:文字コードバッファの初期化を行います... 完了しました\r\n"));
    StartImeRestoreIfWasInUse();
    EXPECT_EQ(0, c.imeRestoreState) << "the IME was not in use";
    c.imeEnabled = 1;
    c.imeOpen = 1;
    StartImeRestoreIfWasInUse();
    EXPECT_EQ(1, c.imeRestoreState);
    EXPECT_EQ(0, ProcessTextEntry());
    EXPECT_EQ(0, c.imeRestoreState);
}
