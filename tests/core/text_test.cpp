// String, memory and arithmetic helpers and the linked list.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "library/core/arith.h"
#include "library/core/link_list.h"
#include "library/core/memory_bytes.h"
#include "library/core/system_state.h"
#include "library/core/text.h"

// "表" is 0x95 0x5C: its second byte is the backslash.
static const char* const Hyo = "表";

TEST(ShiftJisText, FindCharStepsOverTwoByteCharacters) {
    std::string path = std::string("a") + Hyo + "b\\c";
    const char* found = FindCharInText(path.c_str(), '\\');
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found - path.c_str(), 4);
    EXPECT_EQ(FindLastCharInText(path.c_str(), '\\') - path.c_str(), 4);
    EXPECT_EQ(FindCharInText(Hyo, '\\'), nullptr);
    EXPECT_EQ(FindLastCharInText("x/y/z", '/') - "x/y/z", 3 - 0);
}

TEST(ShiftJisText, KoreanRuleTakesEveryHighBitByteAsALead) {
    const char text[] = "\xB0\x5C\\";
    SystemStateRecord.mode.doubleByteRule = DoubleByteShiftJis;
    EXPECT_EQ(FindCharInText(text, '\\'), text + 1);  // 0xB0 is a single-byte kana
    SystemStateRecord.mode.doubleByteRule = DoubleByteKorean;
    EXPECT_EQ(FindCharInText(text, '\\'), text + 2);
    SystemStateRecord.mode.doubleByteRule = 0;
}

TEST(ShiftJisText, UpperCaseLeavesTwoByteCharactersAlone) {
    char text[] = "ab\x82\x61z";  // 0x82 0x61 is a two-byte character whose second byte is 'a'
    UpperCaseText(text);
    EXPECT_STREQ(text, "AB\x82\x61Z");
}

TEST(ShiftJisText, BoundedCopiesNeverSplitACharacter) {
    char out[4];
    std::string text = std::string("ab") + Hyo;
    CopyTextBounded(out, sizeof(out), text.c_str());
    EXPECT_STREQ(out, "ab");
    CopyTextBounded(out, sizeof(out), "abcdef");
    EXPECT_STREQ(out, "abc");
    char joined[6] = "x";
    AppendTextBounded(joined, sizeof(joined), text.c_str());
    EXPECT_STREQ(joined, "xab表");
    AppendTextBounded(joined, sizeof(joined), "more");
    EXPECT_STREQ(joined, "xab表");
    // A lead byte at the very end of the text is a character of its own.
    EXPECT_EQ(TextPrefixLength("a\x95", 10), 2u);
}

TEST(ShiftJisText, CopyAppendCompareFind) {
    char buffer[32];
    CopyText(buffer, "ab");
    AppendText(buffer, "cd");
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(CompareText("ab", "abc"), 1);
    EXPECT_EQ(CompareText("abc", "abc"), 0);
    EXPECT_EQ(CompareTextN("a\0b", "a\0c", 3), 1);
    EXPECT_EQ(CompareTextN("a\0b", "a\0b", 3), 0);
    const char* hay = "xxabcx";
    EXPECT_EQ(FindTextInText(hay, "abc"), hay + 2);
    EXPECT_EQ(FindTextInText(hay, ""), hay);
    EXPECT_EQ(FindTextInText(hay, "abd"), nullptr);
}

TEST(NumberText, TextToInt) {
    struct {
        const char* text;
        int value;
    } cases[] = {{"--5", 0},   {"abc", -1}, {"a=12", 12}, {"-", 0},          {"-42x", -42},
                 {"", -1},     {"007", 7},  {"2147483647", 2147483647},     {"4294967297", 1},
                 {"123456789012345678901234567890123456789", int(0xAE398115u)}};
    for (const auto& c : cases) EXPECT_EQ(TextToInt(c.text), c.value) << c.text;
}

TEST(NumberText, IntToText) {
    char out[40];
    EXPECT_STREQ(IntToText(255, out, 16), "ff");
    EXPECT_STREQ(IntToText(0, out, 10), "0");
    EXPECT_STREQ(IntToText(-37, out, 10), "-37");
    EXPECT_STREQ(IntToText(INT_MIN, out, 10), "-2147483648");
    EXPECT_STREQ(IntToText(-1, out, 2), "-1");
    EXPECT_STREQ(IntToText(35, out, 36), "z");
    EXPECT_STREQ(IntToText(12, out, 0), "12");
}

TEST(MemoryBytes, MoveHandlesOverlapBothWays) {
    char up[] = "abcdef";
    MoveMemoryBytes(up + 1, up, 4);
    EXPECT_STREQ(up, "aabcdf");
    char down[] = "abcdef";
    MoveMemoryBytes(down, down + 1, 4);
    EXPECT_STREQ(down, "bcdeef");
    char fill[4] = {};
    FillMemoryBytes(fill, 'z', 3);
    EXPECT_STREQ(fill, "zzz");
    EXPECT_EQ(CompareMemoryBytes("ab", "ac", 0), 0);
    EXPECT_EQ(CompareMemoryBytes("ab", "ac", 2), 1);
}

TEST(Arithmetic, MultiplyAndDivideMatch128BitArithmetic) {
    std::mt19937_64 random(1234);
    for (int i = 0; i < 2000; i++) {
        uint64_t a = random(), b = random() >> (i % 64), d = (random() >> (i % 63)) | 1u;
        uint32_t product[4];
        MulU64ToU128(a, b, product);
        unsigned __int128 expected = (unsigned __int128)a * b;
        for (int w = 0; w < 4; w++) ASSERT_EQ(product[w], uint32_t(expected >> (32 * w)));
        uint64_t quotient;
        DivU128ByU64(product, d, &quotient);
        ASSERT_EQ(quotient, uint64_t(expected / d));
    }
}

TEST(Arithmetic, TruncationAndAbsolute) {
    EXPECT_EQ(FloatToIntTrunc(2.9f), 2);
    EXPECT_EQ(FloatToIntTrunc(-2.9f), -2);
    EXPECT_EQ(DoubleToIntTrunc(-0.5), 0);
    EXPECT_EQ(DoubleToIntTrunc(1e12), INT_MIN);
    EXPECT_EQ(AbsInt(-5), 5);
    EXPECT_EQ(AbsInt(INT_MIN), INT_MIN);
    EXPECT_EQ(AbsFloat(-1.5f), 1.5f);
    float s, c;
    SinCosFloat(0.0f, &s, &c);
    EXPECT_EQ(s, 0.0f);
    EXPECT_EQ(c, 1.0f);
    EXPECT_EQ(SqrtFloat(9.0f), 3.0f);
}

TEST(LinkList, InsertAndUnlinkKeepTheChainWhole) {
    LinkNode head, tail, a, b;
    InitLinkList(&head, &tail);
    EXPECT_EQ(head.id, -1);
    EXPECT_EQ(head.next, &tail);
    InsertLinkNode(&head, &a, 1, nullptr);
    InsertLinkNode(&a, &b, 2, &a);
    EXPECT_EQ(head.next, &a);
    EXPECT_EQ(a.next, &b);
    EXPECT_EQ(b.next, &tail);
    EXPECT_EQ(tail.previous, &b);
    EXPECT_EQ(b.data, &a);
    UnlinkLinkNode(&a);
    EXPECT_EQ(head.next, &b);
    EXPECT_EQ(b.previous, &head);
    EXPECT_EQ(a.next, &b);  // the node's own links stay
}
