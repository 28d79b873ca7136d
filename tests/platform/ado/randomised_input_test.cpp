// Randomised input, with a fixed seed so a failure repeats: recordset filters, the number and date
// conversions the grid's cells use, and the statement rewriter of both engines. Nothing may crash,
// hang or raise anything but the documented errors; valid values must round-trip exactly. Every input
// is short (a few hundred characters at most), so no single one can run long.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/ado/recordset.h"
#include "platform/ado/sql_rewrite.h"
#include "platform/controls/cell_format.h"
#include "platform/variant/date.h"
#include "platform/variant/decimal.h"
#include "platform/variant/error.h"
#include "platform/variant/strings.h"
#include "platform/variant/variant.h"

namespace kv::ado {
namespace {

using Rng = std::mt19937_64;

std::size_t Pick(Rng& rng, std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); }
template <class T>
const T& PickOf(Rng& rng, const std::vector<T>& v) { return v[Pick(rng, v.size())]; }

// The text with a few random edits: characters deleted, doubled, replaced by one of `alphabet` or by
// any byte, and pieces of the text swapped.
std::string Mutate(Rng& rng, std::string s, const std::string& alphabet) {
    const int edits = 1 + static_cast<int>(Pick(rng, 4));
    for (int e = 0; e < edits; ++e) {
        const std::size_t at = s.empty() ? 0 : Pick(rng, s.size() + 1);
        switch (Pick(rng, 5)) {
            case 0: if (at < s.size()) s.erase(at, 1 + Pick(rng, 3)); break;
            case 1: s.insert(at, 1, alphabet[Pick(rng, alphabet.size())]); break;
            case 2: s.insert(at, 1, static_cast<char>(Pick(rng, 256))); break;
            case 3: if (at < s.size()) s[at] = alphabet[Pick(rng, alphabet.size())]; break;
            default: if (!s.empty()) s += s.substr(Pick(rng, s.size()), 1 + Pick(rng, 8)); break;
        }
    }
    return s.size() > 300 ? s.substr(0, 300) : s;
}

// ---- Recordset filters

RecordsetPtr Rows(Rng& rng) {
    auto rs = Recordset::Create();
    rs->SetCursorLocation(adUseClient);
    rs->SetLockType(adLockBatchOptimistic);
    auto f = rs->GetFields();
    f.Append("CODE", adChar, 5);
    f.Append("NAME", adVarWChar, 20, adFldIsNullable);
    f.Append("QTY", adDouble, 0, adFldIsNullable);
    f.Append("DAY", adDate, 0, adFldIsNullable);
    f.Append("PRICE", adCurrency, 0, adFldIsNullable);
    rs->Open();
    const std::vector<std::string> names = {"Rosso", "blu", "D'O", "it''s", "*%", "", "Ωμέγα"};
    for (int i = 0; i < 20; ++i) {
        rs->AddNew();
        rs->SetValue("CODE", std::string(1, static_cast<char>('A' + i)));
        if (i % 5) rs->SetValue("NAME", PickOf(rng, names));
        if (i % 7) rs->SetValue("QTY", static_cast<double>(Pick(rng, 2000)) / 8.0 - 100);
        if (i % 3) rs->SetValue("DAY", Date(45000.0 + static_cast<double>(Pick(rng, 800))));
        rs->SetValue("PRICE", Decimal::FromParts(static_cast<int64_t>(Pick(rng, 1000000)), 4));
        rs->Update();
    }
    return rs;
}

std::string FilterValue(Rng& rng, const std::string& field) {
    if (Pick(rng, 12) == 0) return "NULL";
    if (field == "CODE" || field == "NAME" || field == "[NAME]") {
        const std::vector<std::string> texts = {"'Rosso'", "'D''O'", "'it''''s'", "'*'", "'%o%'", "'B*'", "''",
                                                "'Ωμέγα'", "'x'' OR ''1''=''1'"};
        return PickOf(rng, texts);
    }
    if (field == "DAY") return "#" + Date(45000.0 + static_cast<double>(Pick(rng, 800))).ToString() + "#";
    return std::to_string(static_cast<int>(Pick(rng, 400)) - 100) + (Pick(rng, 2) ? ".5" : "");
}

std::string FilterClause(Rng& rng, int depth) {
    if (depth < 3 && Pick(rng, 4) == 0) {
        const char* joint = Pick(rng, 2) ? " AND " : " OR ";
        return "(" + FilterClause(rng, depth + 1) + joint + FilterClause(rng, depth + 1) + ")";
    }
    const std::vector<std::string> fields = {"CODE", "NAME", "[NAME]", "QTY", "DAY", "PRICE", "code"};
    const std::string field = PickOf(rng, fields);
    const bool text = field == "CODE" || field == "NAME" || field == "[NAME]" || field == "code";
    std::vector<std::string> ops = {" = ", " <> ", " < ", " > ", " <= ", " >= "};
    if (text) ops.push_back(" LIKE ");
    const std::string op = PickOf(rng, ops);
    std::string value = FilterValue(rng, field == "code" ? "CODE" : field);
    if (value == "NULL" && op != " = " && op != " <> ") value = text ? "'x'" : "1";
    return field + op + value;
}

TEST(RandomisedInput, RecordsetFilters) {
    Rng rng(20261206);
    auto rs = Rows(rng);
    const long all = rs->RecordCount();
    int tried = 0;
    for (int i = 0; i < 15000; ++i) {
        // A filter the grammar allows is applied; the same one mutated is applied or refused as malformed.
        std::string good = FilterClause(rng, 0);
        for (int k = static_cast<int>(Pick(rng, 3)); k > 0; --k)
            good += (Pick(rng, 2) ? " AND " : " or ") + FilterClause(rng, 1);
        try {
            rs->SetFilter(good);
            EXPECT_LE(rs->RecordCount(), all) << good;
        } catch (const Error& e) {
            ADD_FAILURE() << good << ": " << e.Number() << " " << e.Description();
        }
        ++tried;
        const std::string bad = Mutate(rng, good, "'#()[]=<>*% ANDORLIKENUL0123456789.,-eE\\\"");
        try {
            rs->SetFilter(bad);
            EXPECT_LE(rs->RecordCount(), all) << bad;
        } catch (const Error& e) {
            EXPECT_TRUE(e.Number() == err::kInvalidArgument || e.Number() == err::kItemNotFound)
                << bad << ": " << e.Number() << " " << e.Description();
        }
        ++tried;
    }
    rs->SetFilter("");
    EXPECT_EQ(rs->RecordCount(), all);
    RecordProperty("inputs", tried);
    std::printf("filter inputs: %d\n", tried);
}

// ---- Numbers as the grid reads and shows them

Decimal RandomDecimal(Rng& rng) {
    // Up to 18 digits and 0 to 6 decimals: the range of prices, quantities and percentages.
    const int digits = 1 + static_cast<int>(Pick(rng, 18));
    int64_t coefficient = 0;
    for (int d = 0; d < digits; ++d) coefficient = coefficient * 10 + static_cast<int64_t>(Pick(rng, 10));
    if (Pick(rng, 2)) coefficient = -coefficient;
    return Decimal::FromParts(coefficient, static_cast<int>(Pick(rng, 7)));
}

TEST(RandomisedInput, NumberConversions) {
    Rng rng(4711);
    const auto& it = RegionalSettings::Italian();
    const controls::NumberFormat grouped{0, -1, true, false, "", ""};
    const controls::NumberFormat plain{0, -1, false, false, "", ""};
    auto currency = Recordset::Create();
    currency->GetFields().Append("PRICE", adCurrency, 0, adFldIsNullable);
    currency->GetFields().Append("QTY", adDouble, 0, adFldIsNullable);
    currency->Open();
    currency->AddNew();
    int tried = 0;
    for (int i = 0; i < 10000; ++i) {
        const Decimal v = RandomDecimal(rng);
        // Shown with and without grouping, read back as typed into a cell: the same value, and the
        // shown text is the canonical form of that value.
        for (const auto* format : {&grouped, &plain}) {
            const std::string shown = controls::FormatNumber(v, *format, it);
            const auto entered = controls::ParseEnteredNumber(shown, it);
            ASSERT_TRUE(entered.value.has_value()) << shown << ": " << entered.message;
            EXPECT_EQ(*entered.value, v) << shown;
            EXPECT_EQ(controls::FormatNumber(*entered.value, *format, it), shown);
        }
        // The platform's own conversions, text and back.
        EXPECT_EQ(CDec(Variant(CStr(Variant(v)))), v) << v.ToString();
        // A Currency keeps four decimals.
        const Decimal money = v.Round(4);
        if (money < Decimal(int64_t{900000000000000}) && money > Decimal(int64_t{-900000000000000})) {
            currency->SetValue("PRICE", Variant(money));
            EXPECT_EQ(CDec(currency->Value("PRICE")), money) << money.ToString();
            EXPECT_EQ(CDec(Variant(CStr(currency->Value("PRICE")))), money) << money.ToString();
        }
        // A double with 15 significant digits or fewer comes back from its text unchanged.
        const double d = Decimal::FromParts(v.coefficient() % 1000000000000000LL, v.scale()).ToDouble();
        currency->SetValue("QTY", d);
        EXPECT_EQ(CDbl(Variant(CStr(currency->Value("QTY")))), d) << CStr(Variant(d));
        tried += 5;
    }
    // Texts a user might type, garbled: each is read as a number or refused with a message, never thrown.
    const std::vector<std::string> seeds = {"1.234,50", "-0,5", "12,5", "1.234.567", "1e5", "0,0001", "€ 3",
                                            "99999999999999999999999999999", "79228162514264337593543950335"};
    for (int i = 0; i < 25000; ++i) {
        const std::string text = Mutate(rng, PickOf(rng, seeds), "0123456789.,-+eE %€'");
        try {
            const auto entered = controls::ParseEnteredNumber(text, it);
            if (entered.value) {
                EXPECT_EQ(controls::ParseEnteredNumber(controls::FormatNumber(*entered.value, grouped, it), it).value,
                          entered.value) << text;
            } else {
                EXPECT_FALSE(entered.message.empty()) << text;
            }
        } catch (const Error& e) {
            ADD_FAILURE() << "ParseEnteredNumber(\"" << text << "\") raised " << e.Number() << " " << e.Description();
        }
        (void)TryCDec(Variant(text));
        (void)TryCDbl(Variant(text));
        (void)IsNumeric(Variant(text));
        ++tried;
    }
    RecordProperty("inputs", tried);
    std::printf("number inputs: %d\n", tried);
}

// ---- Dates

TEST(RandomisedInput, DateConversions) {
    Rng rng(1899);
    const auto& it = RegionalSettings::Italian();
    int tried = 0;
    for (int i = 0; i < 15000; ++i) {
        // Any day of the valid range: shown, then read back.
        const auto days = static_cast<double>(
            std::uniform_int_distribution<long>(static_cast<long>(Date::kMinSerial), static_cast<long>(Date::kMaxSerial))(rng));
        const Date day(days);
        const std::string shown = day.ToString(it);
        const auto back = Date::ParseLocal(shown, it);
        ASSERT_TRUE(back.has_value()) << shown;
        EXPECT_EQ(*back, day) << shown;
        EXPECT_EQ(CDate(Variant(shown)), day) << shown;
        EXPECT_EQ(Date::ParseIso(day.ToYmd()), day) << day.ToYmd();
        // The canonical text of a valid day is what the date field shows after reading it.
        char text[16];
        std::snprintf(text, sizeof text, "%02d/%02d/%04d", day.Day(), day.Month(), day.Year());
        EXPECT_EQ(shown, text);
        tried += 3;
    }
    const std::vector<std::string> seeds = {"31/12/2025", "29/02/2024", "1/1/30", "01-06-2025 10:30", "31.12.9999",
                                            "01/01/0100", "00/00/0000", "32/13/2025"};
    for (int i = 0; i < 15000; ++i) {
        const std::string text = Mutate(rng, PickOf(rng, seeds), "0123456789/-.: ");
        const auto d = Date::ParseLocal(text, it);
        if (d) {
            EXPECT_GE(d->Serial(), Date::kMinSerial) << text;
            EXPECT_LE(d->Serial(), Date::kMaxSerial) << text;
            EXPECT_EQ(Date::ParseLocal(d->ToString(it), it), d) << text;
        }
        try {
            (void)CDate(Variant(text));
        } catch (const Error& e) {
            EXPECT_EQ(e.Number(), err::kTypeMismatch) << text << ": " << e.Description();
        }
        (void)Date::ParseIso(text);
        ++tried;
    }
    RecordProperty("inputs", tried);
    std::printf("date inputs: %d\n", tried);
}

// ---- The statement rewriter and scanner

TEST(RandomisedInput, StatementRewriter) {
    Rng rng(1521);
    const std::vector<SqlFunctionRule> wrapping = {{"ISNULL", "IFNULL", "", ""},
                                                   {"SUBSTRING", "substr", "(", " COLLATE RTRIM)"}};
    // Renaming each function to itself: the text may only change the letters' case.
    const std::vector<SqlFunctionRule> identity = {{"ISNULL", "ISNULL", "", ""}, {"SUBSTRING", "SUBSTRING", "", ""}};
    const std::vector<std::string> code = {" SELECT ", " A", " x.ISNULL(", " MYISNULL(", "(", ")", ",", " 1 ", " = ",
                                           " FROM T", " WHERE ", ";", " 1e5", " 'a'", "\n", " $1", " AND "};
    const std::vector<std::string> sqlite_quoted = {"'it''s ISNULL('", "\"ISNULL(\"", "[ISNULL(]", "-- ISNULL(\n",
                                                    "/* ISNULL( */", "'D''O'"};
    const std::vector<std::string> pg_quoted = {"'it''s ISNULL('", "\"ISNULL(\"", "-- ISNULL(\n", "/* ISNULL( */",
                                                " E'\\' ISNULL('", " $$ ISNULL( $$", " $t$ ISNULL( $$ $t$",
                                                "/* a /* ISNULL( */ b */", "'\\'"};
    const std::vector<std::string> calls = {" ISNULL(A, ')')", " SUBSTRING(C, 1, 2)", " isnull (B,1)",
                                            " SUBSTRING(ISNULL(C,'x'),1,(2))", " LIKE 'a%'", " LIKE 'a|b' ESCAPE '!'"};
    const std::string alphabet = "'\"[]()-/*$E\\;\n ISNULLsubstringLIKE,.0123456789";
    int tried = 0;
    for (const auto dialect : {SqlDialect::kSqlite, SqlDialect::kPostgres}) {
        const auto& quoted = dialect == SqlDialect::kSqlite ? sqlite_quoted : pg_quoted;
        for (int i = 0; i < 8000; ++i) {
            // Code and quoted text only: no call outside quotes, so nothing may change. (A blank between
            // pieces keeps two literals from reading as one with a doubled quote.)
            std::string still;
            for (int k = 2 + static_cast<int>(Pick(rng, 12)); k > 0; --k)
                still += (Pick(rng, 3) ? PickOf(rng, code) : PickOf(rng, quoted)) + " ";
            EXPECT_EQ(RewriteSql(still, wrapping, dialect), still) << still;
            (void)StatementFirstWords(still, dialect);
            // Calls among them, then garbled: no crash, and with self-renaming rules only the case moves.
            std::string text = still;
            for (int k = 1 + static_cast<int>(Pick(rng, 3)); k > 0; --k)
                text.insert(Pick(rng, text.size() + 1), PickOf(rng, calls));
            for (const auto& input : {text, Mutate(rng, text, alphabet)}) {
                (void)RewriteSql(input, wrapping, dialect);
                const bool like = UCase(input).find("LIKE") != std::string::npos;
                if (dialect == SqlDialect::kSqlite || !like) {
                    EXPECT_EQ(UCase(RewriteSql(input, identity, dialect)), UCase(input)) << input;
                }
                for (const auto& word : StatementFirstWords(input, dialect)) (void)IsTransactionControlWord(word);
            }
            tried += 3;
        }
    }
    // Nesting deep enough to exhaust a recursive scanner.
    const std::string deep = std::string(20000, '(') + "ISNULL(" + std::string(20000, ')');
    for (const auto dialect : {SqlDialect::kSqlite, SqlDialect::kPostgres})
        EXPECT_EQ(RewriteSql(deep, wrapping, dialect).size(), deep.size());
    RecordProperty("inputs", tried);
    std::printf("statement inputs: %d\n", tried);
}

}  // namespace
}  // namespace kv::ado
