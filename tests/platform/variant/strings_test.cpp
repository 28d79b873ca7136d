#include "platform/variant/strings.h"

#include <gtest/gtest.h>

#include "support/errors.h"

namespace kv {
namespace {

using testing::ErrorNumber;

TEST(Strings, CountCharactersNotBytes) {
    EXPECT_EQ(Len("perché"), 6u);
    EXPECT_EQ(Left("perché", 5), "perch");
    EXPECT_EQ(Left("perché", 6), "perché");
    EXPECT_EQ(Left("abc", 0), "");
    EXPECT_EQ(Right("città", 2), "tà");
    EXPECT_EQ(Right("città", 9), "città");
    EXPECT_EQ(Mid("città di", 4, 2), "tà");
    EXPECT_EQ(Mid("città di", 5), "à di");
    EXPECT_EQ(Mid("abc", 4), "");
    EXPECT_EQ(PadRight("è", 3), "è  ");
    EXPECT_EQ(PadRight("àèì", 2), "àè");
}

TEST(Strings, InvalidArguments) {
    EXPECT_EQ(ErrorNumber([] { Left("abc", -1); }), 5);
    EXPECT_EQ(ErrorNumber([] { Right("abc", -1); }), 5);
    EXPECT_EQ(ErrorNumber([] { Mid("abc", 0); }), 5);
    EXPECT_EQ(ErrorNumber([] { Mid("abc", 1, -2); }), 5);
    EXPECT_EQ(ErrorNumber([] { InStr("abc", "a", 0); }), 5);
    EXPECT_EQ(ErrorNumber([] { Replace("abc", "a", "b", 0); }), 5);
    EXPECT_EQ(ErrorNumber([] { Space(-1); }), 5);
}

TEST(Strings, TrimRemovesBlanksOnly) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\ta\t "), "\ta\t");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(LTrim("  a "), "a ");
    EXPECT_EQ(RTrim("a\r\n"), "a\r\n");
}

TEST(Strings, CaseMapping) {
    EXPECT_EQ(UCase("àèéìòù abc ç"), "ÀÈÉÌÒÙ ABC Ç");
    EXPECT_EQ(LCase("ÀÈÉÌÒÙ ABC Ç"), "àèéìòù abc ç");
    EXPECT_EQ(UCase("ß × ÷ 1€"), "ß × ÷ 1€");
    EXPECT_TRUE(EqualsNoCase("LI10_CodArt", "li10_codart"));
    EXPECT_FALSE(EqualsNoCase("abc", "ab"));
}

TEST(Strings, InStr) {
    struct Case { const char* s1; const char* s2; long start; long expected; };
    const Case cases[] = {
        {"abcabc", "c", 1, 3}, {"abcabc", "c", 4, 6}, {"abcabc", "bc", 3, 5}, {"èa", "a", 1, 2},
        {"perché sì", "sì", 1, 8}, {"", "a", 1, 0}, {"abc", "", 2, 2}, {"abc", "x", 1, 0},
        {"abc", "a", 4, 0}, {"abc", "A", 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.s1) + " / " + c.s2);
        EXPECT_EQ(InStr(c.s1, c.s2, c.start), c.expected);
    }
}

TEST(Strings, Replace) {
    struct Case { const char* s; const char* find; const char* with; long start, count; const char* expected; };
    const Case cases[] = {
        {"abcabc", "a", "x", 1, -1, "xbcxbc"},
        {"abcabc", "a", "x", 3, -1, "cxbc"},       // the result starts at `start`
        {"abcabc", "a", "x", 1, 1, "xbcabc"},
        {"abcabc", "a", "", 1, -1, "bcbc"},
        {"abcabc", "", "x", 2, -1, "bcabc"},
        {"abcabc", "a", "x", 1, 0, "abcabc"},
        {"aaa", "aa", "b", 1, -1, "ba"},
        {"città città", "à", "a", 4, -1, "ta citta"},
        {"abc", "a", "x", 9, -1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(Replace(c.s, c.find, c.with, c.start, c.count), c.expected);
    }
}

TEST(Strings, VariantForms) {
    EXPECT_EQ(Trim(Variant::Null()), Variant::Null());
    EXPECT_EQ(UCase(Variant::Null()), Variant::Null());
    EXPECT_EQ(Trim(Variant(" a ")), Variant("a"));
    EXPECT_EQ(UCase(Variant(1.5)), Variant("1,5"));
    EXPECT_EQ(LCase(Variant("ÈA")), Variant("èa"));
}

TEST(Strings, SingleLineText) {
    for (const char* ok : {"", "D'O", "città", "Ωμέγα", "価格", "💶", "a b\\%"})
        EXPECT_TRUE(IsSingleLineText(ok)) << ok;
    for (const std::string& bad : {std::string("a\0b", 3), std::string("a\tb"), std::string("a\nb"), std::string("\x7f"),
                                  std::string("\xff"), std::string("\xc3"), std::string("\xc0\xaf"),  // cut, overlong
                                  std::string("\xed\xa0\x80"), std::string("\xf4\x90\x80\x80")})  // surrogate, past U+10FFFF
        EXPECT_FALSE(IsSingleLineText(bad)) << bad;
}

}  // namespace
}  // namespace kv
