// Composite option codes: a segment written into the code and a matrix row's code from the preset
// option and the row's options.

#include "variants/option_code.h"

#include <gtest/gtest.h>

#include "support/errors.h"

namespace qmx::variants {
namespace {

using kv::testing::ErrorNumber;
using kv::testing::ErrorText;

std::shared_ptr<CInfoLivello> Livello(int16_t inizio, int16_t size, bool griglia, int16_t livello) {
    auto l = std::make_shared<CInfoLivello>();
    l->Inizio = inizio;
    l->Fine = static_cast<int16_t>(inizio + size - 1);
    l->Dimensione = size;
    l->IsLivelloGriglia = griglia;
    l->LivelloGrigla = livello;
    return l;
}

std::string Pad(const std::string& s) { return s + std::string(20 - s.size(), ' '); }

TEST(OptionCode, SostituisciLivelloReplacesExactlyTheSegmentsLength) {
    struct Case {
        const char* s;
        const char* seg;
        int start;
        const char* expected;
    };
    const Case cases[] = {
        {"ABCDEFGHIJ", "xy", 1, "xyCDEFGHIJ"},  // first segment
        {"ABCDEFGHIJ", "xy", 5, "ABCDxyGHIJ"},  // middle
        {"ABCDEFGHIJ", "xy", 9, "ABCDEFGHxy"},  // last, ending on the last character
        {"ABCDEFGHIJ", "", 4, "ABCDEFGHIJ"},   {"ABCDEFGHIJ", "x", 4, "ABCxEFGHIJ"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SostituisciLivello(c.s, c.seg, c.start), c.expected) << c.seg << c.start;
}

TEST(OptionCode, ASegmentEndingBeyondTheCodeIsRaisedWithTheProcedurePrefix) {
    const std::string code = Pad("");
    EXPECT_EQ(SostituisciLivello(code, "XYZ", 18), Pad("                 XYZ"));
    EXPECT_EQ(ErrorNumber([&] { SostituisciLivello(code, "XYZ", 19); }), 5);
    EXPECT_EQ(ErrorText([&] { SostituisciLivello(code, "XYZ", 19); }).rfind("SostituisciLivello:\r\n", 0),
              0u);
    EXPECT_EQ(ErrorNumber([&] { SostituisciLivello(code, "X", 0); }), 5);

    // Reached through the composition, both procedures prefix the description.
    const std::vector<std::shared_ptr<CInfoLivello>> beyond = {Livello(19, 4, true, 1)};
    EXPECT_EQ(ErrorNumber([&] { OpzioneCalcolata("", beyond, "ABCD", ""); }), 5);
    EXPECT_EQ(ErrorText([&] {
                  OpzioneCalcolata("", beyond, "ABCD", "");
              }).rfind("OpzioneCalcolata:\r\nSostituisciLivello:\r\n", 0),
              0u);
}

TEST(OptionCode, OpzioneCalcolataComposesTheRowsCodeOverThePreset) {
    // A0 (3, not in the grid), A1 (2, first level), A2 (4, second level).
    const std::vector<std::shared_ptr<CInfoLivello>> tre = {Livello(1, 3, false, 0), Livello(4, 2, true, 1),
                                                            Livello(6, 4, true, 2)};
    // Only the second-level variant enabled: it is the article's only grid level, marked as level 1.
    const std::vector<std::shared_ptr<CInfoLivello>> solo_secondo = {
        Livello(1, 3, false, 0), Livello(4, 2, false, 1), Livello(6, 4, true, 1)};
    // Second level configured as 4 (columns) and a middle second-level segment.
    const std::vector<std::shared_ptr<CInfoLivello>> medio = {
        Livello(1, 3, false, 0), Livello(4, 3, true, 1), Livello(7, 4, true, 4), Livello(11, 2, false, 0)};
    struct Case {
        const std::vector<std::shared_ptr<CInfoLivello>>* livelli;
        const char* preset;
        const char* opz1;
        const char* opz2;
        std::string expected;
    };
    const Case cases[] = {
        {&tre, "XXXYYZZZZ", "R", "BLU", Pad("XXXRYBLUZ")},
        {&tre, "", "RO", "BLUE", Pad("   ROBLUE")},
        {&tre, "XXXYYZZZZ", "ROSSO", "BLUETTE", Pad("XXXROBLUE")},            // options cut to their segment
        {&tre, "XXXYYZZZZ", "R    ", "BL  ", Pad("XXXRYBLZZ")},               // trailing blanks are padding
        {&tre, "XXXYYZZZZWWWWWWWWWWWVVV", "R", "B", "XXXRYBZZZWWWWWWWWWWW"},  // preset cut to 20
        {&solo_secondo, "XXXYYZZZZ", "BLU", "", Pad("XXXYYBLUZ")},
        {&medio, "P25ROSS   LI", "D'O", "XL", Pad("P25D'OXL  LI")},
        {&medio, "P25ROSS   LI", "", "", Pad("P25ROSS   LI")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OpzioneCalcolata(c.preset, *c.livelli, c.opz1, c.opz2), c.expected)
            << c.preset << "/" << c.opz1;
}

}  // namespace
}  // namespace qmx::variants
