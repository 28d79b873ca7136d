#include "shell/modmg_quendormixal.h"

#include <gtest/gtest.h>

#include "platform/ado/recordset.h"

namespace qmx {
namespace {

using kv::Decimal;
using kv::Variant;

Variant Dec(const char* s) { return Variant(*Decimal::Parse(s)); }

TEST(ValueHelpers, BlankValues) {
    for (const Variant& blank : {Variant::Null(), Variant(), Variant("")}) {
        EXPECT_EQ(NZ(blank), Variant(int16_t{0})) << kv::DebugString(blank);
        EXPECT_EQ(NS(blank), Variant("")) << kv::DebugString(blank);
        EXPECT_EQ(SqlValore(blank), Variant("NULL")) << kv::DebugString(blank);
        EXPECT_EQ(SqlNumero(blank), Variant(int16_t{0})) << kv::DebugString(blank);
    }
    // Blanks only: a text of spaces is not blank.
    EXPECT_EQ(NS(Variant("   ")), Variant(""));
    EXPECT_EQ(SqlValore(Variant("   ")), Variant(""));
}

TEST(ValueHelpers, NumbersUseTheRegionalCommaAndSqlThePoint) {
    EXPECT_EQ(NZ(Variant("12,5")), Dec("12.5"));
    EXPECT_EQ(NZ(Variant(3.75)), Dec("3.75"));
    EXPECT_EQ(SqlValore(Variant(3.75)), Variant("3.75"));
    EXPECT_EQ(SqlValore(Variant("12,5")), Variant("12.5"));
    EXPECT_EQ(SqlNumero(Variant(1234.5)), Variant("1234.5"));  // never a thousands separator
    EXPECT_EQ(SqlNumero(Variant("1.234,5")), Variant("1234.5"));
    EXPECT_EQ(SqlNumero(Variant(int32_t{7})), Variant("7"));
    // English settings: the point is already the decimal separator.
    const auto& en = kv::RegionalSettings::English();
    EXPECT_EQ(NZ(Variant("12.5"), en), Dec("12.5"));
    EXPECT_EQ(SqlNumero(Variant(0.1), en), Variant("0.1"));
}

TEST(ValueHelpers, TextIsTrimmedOnTheRightAndNotQuoted) {
    EXPECT_EQ(NS(Variant("ROSSO   ")), Variant("ROSSO"));
    EXPECT_EQ(NS(Variant("  ROSSO  ")), Variant("  ROSSO"));
    EXPECT_EQ(SqlValore(Variant("L'ABITO  ")), Variant("L'ABITO"));
    EXPECT_EQ(NS(Variant(int32_t{42})), Variant("42"));
    EXPECT_EQ(NS(Variant(2.5)), Variant("2,5"));
}

TEST(ValueHelpers, FailedConversionsGiveEmpty) {
    EXPECT_EQ(NZ(Variant("abc")), Variant());
    EXPECT_EQ(SqlNumero(Variant("12 pezzi")), Variant());
    EXPECT_EQ(NS(Variant(std::make_shared<kv::ado::Recordset>())), Variant());
}

TEST(ValueHelpers, FixedWidthFieldsReadBackUnpadded) {
    auto rs = kv::ado::Recordset::Create();
    rs->GetFields().Append("C", kv::ado::adChar, 20);
    rs->Open();
    rs->AddNew();
    rs->SetValue("C", "TG42");
    EXPECT_EQ(NS(rs->Value("C")), Variant("TG42"));
    EXPECT_EQ(SqlValore(rs->Value("C")), Variant("TG42"));
}

TEST(ValueHelpers, RaddoppiaApiciDoublesEveryApostropheAndNothingElse) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"MAG001", "MAG001"},
        {"D'O", "D''O"},
        {"''", "''''"},
        {"x' OR '1'='1", "x'' OR ''1''=''1"},
        {"  l'\"abito\"  ", "  l''\"abito\"  "},  // blanks and double quotes stay as they are
        {"pi\u00f9 l'\u00e8", "pi\u00f9 l''\u00e8"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(RaddoppiaApici(text), expected) << text;
}

}  // namespace
}  // namespace qmx
