#include "platform/controls/cell_format.h"

#include <gtest/gtest.h>

namespace kv::controls {
namespace {

Decimal Dec(const char* text) { return *Decimal::Parse(text); }

TEST(CellFormat, Patterns) {
    struct Case {
        const char* pattern;
        const char* value;
        const char* italian;
    };
    for (const Case& c : {Case{"#,##0.000", "1234.5", "1.234,500"}, Case{"#,##0.000", "0.0004", "0,000"},
                          Case{"#,##0.000", "-1234567.8915", "-1.234.567,892"},  // half away from zero
                          Case{"#,##0.00", "-0.001", "0,00"},                    // no "-0,00"
                          Case{"0.00", "1234.5", "1234,50"}, Case{"#,##0", "999.5", "1.000"},
                          Case{"#,##0.00###", "2.5", "2,50"}, Case{"#,##0.00###", "2.123456", "2,12346"},
                          Case{"0%", "0.125", "13%"}, Case{"\"EUR \"#,##0.00", "5", "EUR 5,00"},
                          Case{"#,##0.00 €", "5", "5,00 €"}, Case{"Standard", "1234", "1.234,00"},
                          Case{"Percent", "0.5", "50,00%"}, Case{"General Number", "1234.50", "1234,5"}}) {
        auto f = ParseNumberPattern(c.pattern);
        ASSERT_TRUE(f.has_value()) << c.pattern;
        EXPECT_EQ(FormatNumber(Dec(c.value), *f, RegionalSettings::Italian()), c.italian)
            << c.pattern << " " << c.value;
    }
    EXPECT_FALSE(ParseNumberPattern("dd/mm/yyyy").has_value());
    EXPECT_FALSE(ParseNumberPattern("").has_value());
}

TEST(CellFormat, EnglishSeparators) {
    auto f = ParseNumberPattern("#,##0.00");
    EXPECT_EQ(FormatNumber(Dec("1234567.5"), *f, RegionalSettings::English()), "1,234,567.50");
}

TEST(CellFormat, ClassAndKindCodes) {
    CurrencyDecimalsProvider lire = [](const std::string& code) -> std::optional<CurrencyDecimals> {
        if (code == "LIRE") return CurrencyDecimals{0, 3};
        return std::nullopt;
    };
    struct Case {
        int cls, kind;
        const char* unit;
        const char* value;
        const char* italian;
    };
    for (const Case& c :
         {Case{5, 2, "EURO", "1234.5", "1.234,50"},    // unit price, 2 decimals by default
          Case{5, 1, "EURO", "1234.567", "1.234,57"},  // amount
          Case{5, 6, "EURO", "12.5", "12,5"},          // up to 6 decimals
          Case{5, 6, "EURO", "1000.1234567", "1.000,123457"},
          Case{9, 6, "EURO", "1000.5", "1000,5"},  // percentage: no grouping
          Case{9, 6, "EURO", "10", "10"},
          Case{5, 1, "LIRE", "1234.5", "1.235"},  // the currency's own decimals
          Case{5, 2, "LIRE", "1.23456", "1,235"}, Case{5, 2, "DOLLARO", "1", "1,00"},  // unknown currency: 2
          Case{7, 2, "EURO", "1234.5", "1.234,5"}}) {  // unknown class: as stored
        NumberFormat f = ClassNumberFormat(c.cls, c.kind, c.unit, lire);
        EXPECT_EQ(FormatNumber(Dec(c.value), f, RegionalSettings::Italian()), c.italian)
            << c.cls << "/" << c.kind << " " << c.unit << " " << c.value;
    }
}

}  // namespace
}  // namespace kv::controls
