// The grid type, Inverti, the article's segment records, the segment positions and the options queries
// on the demo companies, on both engines and through both drivers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/variant/strings.h"
#include "support/demo_drivers.h"
#include "variants/variant_configuration.h"

namespace qmx {
namespace {

using qmx::testing::DemoDriverTest;

const char* const kInjection = "x' OR '1'='1";

std::vector<std::string> Options(const kv::ado::RecordsetPtr& rs, const char* field = "MG5E_OPZIONE") {
    std::vector<std::string> out;
    if (!rs || rs->RecordCount() == 0) return out;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) out.push_back(kv::RTrim(kv::CStr(rs->Value(field))));
    return out;
}

using Names = std::vector<std::string>;

class VariantStructure : public DemoDriverTest {};

struct GridTypeCase {
    int company;
    std::string article;
    int16_t type;
    // Inverti afterwards when it was False / True before.
    bool after_false;
    bool after_true;
};

TEST_P(VariantStructure, GridTypeAndInvertiForEveryDemoCase) {
    using namespace demo;
    const GridTypeCase cases[] = {
        {kDittaSenzaVarianti, "", 0, false, true},         // no grid variant: MAX is Null
        {kDittaAbbigliamento, "", 4, false, true},         // the company's type
        {kDittaAbbigliamento, "MAG001", 4, false, true},   // both managed, both read
        {kDittaAbbigliamento, "PAN001", 4, false, true},   // no per-article rows: manages everything
        {kDittaAbbigliamento, "SCI001", 1, false, false},  // only the first level
        {kDittaAbbigliamento, "CAL001", 1, true, true},    // only the second level
        {kDittaAbbigliamento, "CIN001", 0, false, true},   // neither
        {kDittaCalzature, "SCA100", 2, false, true},       // no reading configuration
        {kDittaCalzature, "STI300", 1, false, false},
        {kDittaTessuti, "TES010", 3, false, true},
        {kDittaFerramenta, "VIT001", 0, false, true},
        {kDittaSegmenti, "TOP001", 1, true, true},  // both managed, only the second level read
        {kDittaSegmenti, kArticoloApostrofo, 1, true, true},
        // The one managed variant is not read; counting the read variants found the second level alone.
        {kDittaSegmenti, "FEL001", 0, true, true},
        {kDittaSegmenti, "GIL001", 1, true, true},
        {kDittaSegmenti, kInjection, 1, true, true},            // an unknown code: no per-article rows
        {kDittaSegmenti, "   ", 1, true, true},                 // blanks are a code, not no article
        {kDittaAbbigliamento, "   ", 4, false, true},
        {kDittaLetturaSenzaGriglia, "CAL700", 1, false, true},  // reading rows without grid variants
        {kDittaLetturaSenzaGriglia, "CAL701", 0, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.company << " " << c.article);
        UseCompany(c.company);
        for (bool before : {false, true}) {
            auto list = ListDriver(LisPurchase, c.article);
            auto variants = VariantDriver(VarSale, c.article);
            list->SetInverti(before);
            variants->SetInverti(before);
            EXPECT_EQ(list->GetIndTipoGriglia(), c.type);
            EXPECT_EQ(variants->GetIndTipoGriglia(), c.type);
            EXPECT_EQ(list->Inverti(), before ? c.after_true : c.after_false);
            EXPECT_EQ(variants->Inverti(), before ? c.after_true : c.after_false);
            EXPECT_EQ(list->State(), 0);
            EXPECT_EQ(variants->State(), 0);
        }
    }
}

TEST_P(VariantStructure, TheVariantDriverReopensItsOptionsByLevel) {
    struct Case {
        int company;
        const char* article;
        Names opzioni1;
        Names opzioni2;
    };
    const Case cases[] = {
        {demo::kDittaSegmenti, demo::kArticoloApostrofo, {"XL", "L", "M"}, {"XL", "L", "M"}},  // Inverti
        {demo::kDittaSegmenti, "TOP001", {"L", "M", "S", "XL"}, {"L", "M", "S", "XL"}},
        {demo::kDittaAbbigliamento,
         "SCI001",
         {"BEI", "BIA", "BLU", "CAM", "GRI", "NER", "ROS", "VER"},
         {"L", "M", "S", "XL", "XS", "XXL"}},
        {demo::kDittaAbbigliamento,
         "GIA001",
         {"NER", "GRI", "CAM", "BLU"},
         {"XS", "S", "M", "L", "XL", "XXL"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.article);
        UseCompany(c.company);
        auto d = VariantDriver(VarPurchase, c.article);
        d->GetIndTipoGriglia();
        EXPECT_EQ(d->State(), 0);
        EXPECT_EQ(Options(d->rsOpzioni1), c.opzioni1);
        EXPECT_EQ(Options(d->rsOpzioni2), c.opzioni2);
    }
}

TEST_P(VariantStructure, ErrorsInTheGridTypeKeepTheResultSoFar) {
    auto d = ListDriver(LisPurchase, "MAG001");
    connection()->Execute("DROP TABLE MG6B_GESVARART");
    EXPECT_EQ(d->GetIndTipoGriglia(), 4);  // the company's type was read before the failing query
    EXPECT_EQ(d->State(), 99);

    // Without an article no per-article table is read.
    auto company = ListDriver(LisPurchase);
    EXPECT_EQ(company->GetIndTipoGriglia(), 4);
    EXPECT_EQ(company->State(), 0);

    // The segment operations trap the same way and give what they had: nothing.
    auto v = VariantDriver(VarPurchase, "MAG001");
    EXPECT_EQ(v->GetSqlLkpSegmenti(1), "");
    EXPECT_EQ(v->State(), 99);
    v->SetState(0);
    connection()->Execute("DROP TABLE MG5F_DIMECONF");
    EXPECT_EQ(v->GetStart1Liv(), 0);
    EXPECT_EQ(v->State(), 99);
}

struct Segment {
    int16_t inizio, fine, dimensione;
    bool griglia;
    int16_t livello;
    bool operator==(const Segment&) const = default;
};

void PrintTo(const Segment& s, std::ostream* os) {
    *os << s.inizio << "-" << s.fine << "(" << s.dimensione << ") " << s.griglia << " L" << s.livello;
}

TEST_P(VariantStructure, SegmentRecordsOfAnArticle) {
    struct Case {
        int company;
        const char* article;
        std::vector<Segment> expected;
    };
    const Case cases[] = {
        {demo::kDittaSegmenti,
         "TOP001",
         {{1, 3, 3, false, 0}, {4, 6, 3, true, 1}, {7, 10, 4, true, 2}, {11, 12, 2, false, 0}}},
        // Only the second level enabled: it becomes the article's level 1.
        {demo::kDittaSegmenti,
         "GIL001",
         {{1, 3, 3, false, 0}, {4, 6, 3, false, 1}, {7, 10, 4, true, 1}, {11, 12, 2, false, 0}}},
        {demo::kDittaSegmenti,
         demo::kArticoloApostrofo,
         {{1, 3, 3, false, 0}, {4, 6, 3, true, 1}, {7, 10, 4, true, 2}, {11, 12, 2, false, 0}}},
        // No per-article rows: every level enabled.
        {demo::kDittaAbbigliamento, "PAN001", {{1, 4, 4, false, 0}, {5, 7, 3, true, 1}, {8, 10, 3, true, 4}}},
        {demo::kDittaAbbigliamento,
         "SCI001",
         {{1, 4, 4, false, 0}, {5, 7, 3, true, 1}, {8, 10, 3, false, 4}}},
    };
    schema::DriverCore core;
    core.ActiveInterface = entry();
    core.ADOConnection = connection();
    variants::VariantConfiguration config(core);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.article);
        UseCompany(c.company);
        config.CodArticolo = c.article;
        config.CaricaConfigurazioneVariantiPerArticolo();
        std::vector<Segment> got;
        for (const auto& l : config.Livelli)
            got.push_back({l->Inizio, l->Fine, l->Dimensione, l->IsLivelloGriglia, l->LivelloGrigla});
        EXPECT_EQ(got, c.expected);
    }
    // An empty article leaves the records as they were.
    config.CodArticolo = "";
    config.CaricaConfigurazioneVariantiPerArticolo();
    EXPECT_EQ(config.Livelli.size(), 3u);
}

TEST_P(VariantStructure, SegmentErrorsAreRaisedAgainWithTheProcedureNames) {
    schema::DriverCore core;
    core.ActiveInterface = entry();
    core.ADOConnection = connection();
    variants::VariantConfiguration config(core);
    config.CodArticolo = "MAG001";
    connection()->Execute("DROP TABLE MG6B_GESVARART");
    try {
        config.CaricaConfigurazioneVariantiPerArticolo();
        FAIL() << "no error";
    } catch (const kv::Error& e) {
        EXPECT_EQ(e.Description().rfind(
                      "CaricaConfigurazioneVariantiPerArticolo:\r\nLivelloAbilitatoPerArticolo:\r\n", 0),
                  0u)
            << e.Description();
        EXPECT_EQ(e.Number(), kv::err::kProvider);
    }
}

TEST_P(VariantStructure, SegmentPositionsPerCompany) {
    struct Case {
        int company;
        int16_t start1, len1, start2, len2, len_all;
        int16_t level;  // a level given by its MG5F_INDGRIGLIA
        int16_t start_level, len_level;
        const char* seg1;
        const char* seg_level;
    };
    const Case cases[] = {
        {demo::kDittaSegmenti, 4, 3, 7, 4, 12, 2, 7, 4, "A2", "A3"},
        {demo::kDittaAbbigliamento, 5, 3, 8, 3, 10, 4, 8, 3, "A1", "A2"},
        {demo::kDittaCalzature, 1, 3, 4, 2, 5, 2, 4, 2, "A0", "A1"},
        {demo::kDittaAbbigliamento, 5, 3, 8, 3, 10, 2, 1, 0, "A1", nullptr},  // no variant with level 2
        {demo::kDittaSenzaVarianti, 1, 0, 1, 0, 0, 1, 1, 0, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.company << " level " << c.level);
        UseCompany(c.company);
        auto d = VariantDriver(VarPurchase);
        EXPECT_EQ(d->GetStart1Liv(), c.start1);
        EXPECT_EQ(d->GetLen1Liv(), c.len1);
        EXPECT_EQ(d->GetStart2Liv(), c.start2);
        EXPECT_EQ(d->GetLen2Liv(), c.len2);
        EXPECT_EQ(d->GetLen(0), c.len_all);
        EXPECT_EQ(d->GetStart(c.level), c.start_level);
        EXPECT_EQ(d->GetLen(c.level), c.len_level);
        const kv::Variant s1 = d->GetSegmento(1), sl = d->GetSegmento(c.level);
        EXPECT_EQ(s1.IsEmpty() ? std::string("(vuoto)") : kv::RTrim(kv::CStr(s1)),
                  c.seg1 ? c.seg1 : "(vuoto)");
        EXPECT_EQ(sl.IsEmpty() ? std::string("(vuoto)") : kv::RTrim(kv::CStr(sl)),
                  c.seg_level ? c.seg_level : "(vuoto)");
        EXPECT_EQ(d->State(), 0);
    }
}

TEST_P(VariantStructure, ComposeOpzioneWritesTheFirstLevelOverThePreset) {
    UseCompany(demo::kDittaSegmenti);
    auto d = VariantDriver(VarPurchase, "TOP001");
    d->SetOpzionePreimpostata("P25ROSM   LI");
    EXPECT_EQ(d->ComposeOpzione("D'O"), "P25D'OM   LI        ");
    EXPECT_EQ(d->ComposeOpzione("B"), "P25BOSM   LI        ");
    EXPECT_EQ(d->State(), 0);
}

TEST_P(VariantStructure, LookupAndDecodeListTheLevelsOptions) {
    struct Case {
        int company;
        std::string article;
        int16_t level;
        Names options;
    };
    const Case cases[] = {
        {demo::kDittaSegmenti, "TOP001", 1, {"BLU", "D'O", "ROS", "VER"}},
        {demo::kDittaSegmenti, "TOP001", 2, {"L", "M", "S", "XL"}},
        {demo::kDittaSegmenti, demo::kArticoloApostrofo, 1, {"D'O", "ROS"}},  // grouping, in its sequence
        {demo::kDittaSegmenti, demo::kArticoloApostrofo, 2, {"XL", "L", "M"}},
        {demo::kDittaSegmenti, kInjection, 1, {"BLU", "D'O", "ROS", "VER"}},
        {demo::kDittaAbbigliamento, "GIA001", 1, {"NER", "GRI", "CAM", "BLU"}},
        {demo::kDittaAbbigliamento, "MAG001", 4, {"L", "M", "S", "XL", "XS", "XXL"}},
        {demo::kDittaCalzature, "MOC200", 2, {"39", "40", "41", "42", "43", "44", "45", "46"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.article << " level " << c.level);
        UseCompany(c.company);
        auto d = VariantDriver(VarPurchase, c.article);
        EXPECT_EQ(Options(connection()->Execute(d->GetSqlLkpSegmenti(c.level))), c.options);
        EXPECT_EQ(d->State(), 0);
    }
}

TEST_P(VariantStructure, DecodeFindsOneOptionAndNeverMore) {
    struct Case {
        std::string article;
        int16_t level;
        std::string option;
        Names descriptions;
    };
    const Case cases[] = {
        {demo::kArticoloApostrofo, 1, "D'O", {"Giallo d'oro"}},
        {"TOP001", 1, "D'O", {"Giallo d'oro"}},
        {"TOP001", 2, "XL", {"Extra large"}},
        {demo::kArticoloApostrofo, 2, "S", {}},  // not in the article's grouping
        {demo::kArticoloApostrofo, 1, kInjection, {}},
        {"TOP001", 1, kInjection, {}},
        {kInjection, 1, "BLU", {"Blu"}},
    };
    UseCompany(demo::kDittaSegmenti);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.article + " " + c.option);
        auto d = VariantDriver(VarPurchase, c.article);
        EXPECT_EQ(Options(connection()->Execute(d->GetSqlDecSegmenti(c.option, c.level)), "MG5E_DESCR"),
                  c.descriptions);
    }
}

QMX_INSTANTIATE_ENGINES(VariantStructure);

}  // namespace
}  // namespace qmx
