// One rule for what a price may be: typing, pasting, importing and adjusting accept and refuse the same
// values with the same words, and keep a value to the decimals the window shows. On the demo article
// SCI001 (grid type 1): row 10 of the purchase grid is list 2, Bianco, with nothing stored.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/variant/strings.h"
#include "support/window_fixture.h"
#include "window/frmmg_quendormixal_sheet.h"
#include "window/price_rule.h"

namespace qmx {
namespace {

namespace svc = kv::services;
using kv::Variant;

class PriceRule : public testing::WindowOnSqlite {
protected:
    ~PriceRule() override { std::remove(csv_.c_str()); }
    kv::controls::DataGrid& Acq() { return *window->GRD_LISACQ; }
    long Column(const std::string& caption) {
        for (long c = 0; c < Acq().Columns().Count(); ++c)
            if (Acq().Columns()[c].Caption() == caption) return c;
        return -1;
    }
    std::string Cell(const std::string& caption) { return kv::Trim(Acq().CellText(kRiga, Column(caption))); }
    std::string LastMessage() {
        return Messages().empty() ? std::string() : Messages().back().text;
    }
    // The row empty, then the given cells.
    void Base(const std::vector<std::pair<std::string, std::string>>& cells) {
        for (const char* caption : {"Sc.%1", "Sc.%2", "Sc.%3", "Sc. importo", "Mg.%1", "Mg. importo", "Prezzo lordo"})
            ASSERT_TRUE(Acq().UserEditCell(kRiga, Column(caption), "").accepted) << caption;
        for (const auto& [caption, text] : cells)
            ASSERT_TRUE(Acq().UserEditCell(kRiga, Column(caption), text).accepted) << caption;
    }

    static constexpr long kRiga = 9;
    std::string csv_ = ::testing::TempDir() + "regola_prezzi.csv";
};

TEST_F(PriceRule, TypingPasteImportAndAdjustmentAcceptAndRefuseAlike) {
    struct Entry {
        const char* name;
        std::vector<std::pair<std::string, std::string>> base;  // the row's cells before
        const char* column;
        const char* text;    // the value, typed, pasted and imported
        const char* change;  // the adjustment that brings the base to it
        const char* refusal; // part of the message; nullptr: accepted
        const char* shown;   // the cell afterwards, when accepted
    };
    const Entry entries[] = {
        {"negative gross", {{"Prezzo lordo", "10"}}, "Prezzo lordo", "-5", "-15", "Il prezzo lordo -5 \u00e8 negativo", nullptr},
        {"discount over 100", {{"Sc.%1", "10"}}, "Sc.%1", "150", "+140", "Uno sconto del 150% supera il 100%", nullptr},
        {"negative amount", {{"Prezzo lordo", "10"}, {"Sc. importo", "1"}}, "Sc. importo", "-1", "-2", "L'importo dello sconto -1 \u00e8 negativo", nullptr},
        {"amount over the price", {{"Prezzo lordo", "10"}, {"Sc. importo", "1"}}, "Sc. importo", "25", "+24",
         "Il prezzo netto diventerebbe negativo (-15", nullptr},
        {"a price", {{"Prezzo lordo", "10"}}, "Prezzo lordo", "12,5", "+2,5", nullptr, "12,50"},
        {"more decimals than shown", {{"Prezzo lordo", "1"}}, "Prezzo lordo", "1,005", "+0,005", nullptr, "1,01"},
        {"a discount with decimals", {{"Sc.%1", "1"}}, "Sc.%1", "12,3456", "+11,3456", nullptr, "12,346"},
    };
    for (const auto& e : entries) {
        SCOPED_TRACE(e.name);
        const long column = Column(e.column);
        ASSERT_GE(column, 0);
        for (const char* way : {"typing", "paste", "import", "adjustment"}) {
            SCOPED_TRACE(way);
            Base(e.base);
            const std::string before = Cell(e.column);
            bool accepted = false;
            std::string message;
            const std::string w = way;
            if (w == "typing") {
                const auto outcome = Acq().UserEditCell(kRiga, column, e.text);
                accepted = outcome.accepted;
                message = outcome.message;
            } else if (w == "paste") {
                Answers().QueueAnswer(svc::answer::kOk);
                ASSERT_TRUE(Acq().UserMoveTo(kRiga, column));
                accepted = IncollaBlocco(*window, Acq(), e.text);
                message = LastMessage();
            } else if (w == "import") {
                std::ofstream(csv_) << "Listino;Opzione 1;Opzione 2;" << e.column << "\n2;BIA;;" << e.text << "\n";
                Answers().QueueAnswer(svc::answer::kOk);
                accepted = ImportaCsv(*window, true, csv_);
                message = LastMessage();
            } else {
                Answers().QueueAnswer(svc::answer::kOk);
                accepted = RettificaPrezzi(*window, Acq(), {kRiga}, column, e.change, 0);
                message = LastMessage();
            }
            if (e.refusal) {
                EXPECT_FALSE(accepted);
                EXPECT_NE(message.find(e.refusal), std::string::npos) << message;
                EXPECT_EQ(Cell(e.column), before) << "nothing changes";
            } else {
                EXPECT_TRUE(accepted) << message;
                EXPECT_EQ(Cell(e.column), e.shown);
            }
        }
    }
}

TEST(PriceRuleAlone, KeepsAValueToTheDecimalsShownAndJudgesTheNetPrice) {
    // Without a price calculation the net price is not judged; two decimals for every currency.
    RegolaPrezzi regola(nullptr, [](const Variant&) { return std::optional<int>(2); });
    CifreRiga riga;
    Variant v(1.005);
    EXPECT_FALSE(regola.Applica("LI10_PREZZO", v, riga));
    EXPECT_EQ(kv::CDbl(v), 1.01);
    EXPECT_EQ(kv::CDbl(riga.valori[0]), 1.01);
    Variant blank = Variant::Null();
    EXPECT_FALSE(regola.Applica("LI10_PREZZO", blank, riga)) << "a blank is always taken";
    Variant discount(-20.0);
    EXPECT_FALSE(regola.Applica("LI10_SC2PER", discount, riga)) << "a negative discount is a markup";
    Variant commission(12.34567);
    EXPECT_FALSE(regola.Applica("LI10_PROVPER", commission, riga));
    EXPECT_EQ(kv::CDbl(commission), 12.346);
    EXPECT_EQ(IndiceCifra("LI10_PROVPER"), -1);
    EXPECT_EQ(IndiceCifra("li10_magimp"), 10);
}

}  // namespace
}  // namespace qmx
