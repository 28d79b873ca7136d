#include "schema/demo/demo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/variant/strings.h"
#include "support/db_engines.h"

namespace qmx::demo {
namespace {

using kv::CLng;
using kv::CStr;
using kv::Variant;
using kv::ado::Connection;
using kv::ado::RecordsetPtr;
using qmx::testing::EngineTest;
using qmx::testing::ErrorNumber;

// The options query of a grid level as the component writes it: CR LF after every line, derived tables,
// CASE, ISNULL. `level_test` is "= 1" or "> 1".
std::string OptionsQuery(int ditta, const std::string& article, const std::string& level_test) {
    const char* lines[] = {
        "SELECT",
        "    VARIANTE.MG6B_CODICEVAR_MG5F AS MG5E_CODICEVAR_MG5F",
        "    , CASE WHEN VARIANTE.MG6B_CODRAGGVAR_MG5G IS NULL THEN OPZIONI.MG5E_OPZIONE ELSE "
        "OPZIONIRAGGR.MG5E_OPZIONE END AS MG5E_OPZIONE",
        "    , CASE WHEN VARIANTE.MG6B_CODRAGGVAR_MG5G IS NULL THEN OPZIONI.MG5E_DESCR ELSE "
        "OPZIONIRAGGR.MG5E_DESCR END AS MG5E_DESCR",
        "FROM",
        "    (",
        "        SELECT",
        "            MG6B_DITTA_CG18",
        "            , MG6B_CODICEVAR_MG5F",
        "            , MG6B_CODRAGGVAR_MG5G",
        "        FROM",
        "            MG6B_GESVARART",
        "            LEFT OUTER JOIN",
        "            MG5G_RAGGVAR",
        "            ON",
        "            MG5G_DITTA_CG18 = MG6B_DITTA_CG18",
        "            AND MG5G_CODICEVAR_MG5F = MG6B_CODICEVAR_MG5F",
        "            AND MG5G_CODRAGGVAR = MG6B_CODRAGGVAR_MG5G",
        "        WHERE",
        "            MG6B_DITTA_CG18 = @PAR_CODICEDITTA",
        "            AND MG6B_CODART_MG66 = @PAR_CODICEARTICOLO",
        "            AND MG6B_CODICEVAR_MG5F = (",
        "                SELECT",
        "                    MG5F_CODICEVAR",
        "                FROM",
        "                    MG5F_DIMECONF",
        "                WHERE",
        "                    MG5F_DITTA_CG18 = @PAR_CODICEDITTA",
        "                    AND MG5F_INDGRIGLIA @LEVEL",
        "            )",
        "    ) AS VARIANTE",
        "    LEFT OUTER JOIN",
        "    (",
        "        SELECT",
        "            MG5E_DITTA_CG18",
        "            , MG5E_CODICEVAR_MG5F",
        "            , MG5E_OPZIONE",
        "            , MG5E_DESCR",
        "            , MG5H_RAGGR_MG5G",
        "            , MG5H_SEQOPZIONE",
        "        FROM",
        "            MG5E_OPZIONI",
        "            INNER JOIN",
        "            MG5H_COMPRAGVAR",
        "            ON",
        "            MG5E_DITTA_CG18 = MG5H_DITTA_CG18",
        "            AND MG5E_OPZIONE = MG5H_OPZIONE_MG5E    ",
        "            AND MG5E_CODICEVAR_MG5F = MG5H_CODICEVAR_MG5F",
        "        WHERE",
        "            MG5E_DITTA_CG18 = @PAR_CODICEDITTA",
        "    ) AS OPZIONIRAGGR",
        "    ON",
        "    VARIANTE.MG6B_DITTA_CG18 = OPZIONIRAGGR.MG5E_DITTA_CG18",
        "    AND VARIANTE.MG6B_CODICEVAR_MG5F = OPZIONIRAGGR.MG5E_CODICEVAR_MG5F",
        "    AND (",
        "            (VARIANTE.MG6B_CODRAGGVAR_MG5G IS NOT NULL)",
        "            AND (VARIANTE.MG6B_CODRAGGVAR_MG5G = OPZIONIRAGGR.MG5H_RAGGR_MG5G)",
        "    )",
        "    LEFT OUTER JOIN",
        "    MG5E_OPZIONI AS OPZIONI",
        "    ON",
        "    VARIANTE.MG6B_DITTA_CG18 = OPZIONI.MG5E_DITTA_CG18",
        "    AND VARIANTE.MG6B_CODICEVAR_MG5F = OPZIONI.MG5E_CODICEVAR_MG5F",
        "    AND VARIANTE.MG6B_CODRAGGVAR_MG5G IS NULL",
        "ORDER BY",
        "    ISNULL(OPZIONIRAGGR.MG5H_SEQOPZIONE, 1), OPZIONI.MG5E_OPZIONE",
    };
    std::string sql;
    for (const char* line : lines) sql += std::string(line) + "\r\n";
    sql = kv::Replace(sql, "@LEVEL", level_test);
    sql = kv::Replace(sql, "@PAR_CODICEDITTA", std::to_string(ditta));
    return kv::Replace(sql, "@PAR_CODICEARTICOLO", "'" + article + "'");
}

std::vector<std::string> Column(const RecordsetPtr& rs, const char* field) {
    std::vector<std::string> out;
    if (rs->RecordCount() == 0) return out;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) out.push_back(kv::RTrim(CStr(rs->Value(field))));
    return out;
}

long Count(Connection& c, const std::string& sql) { return CLng(c.Execute(sql)->Value(0)); }

bool HasRow(Connection& c, const std::string& sql) { return c.Execute(sql)->RecordCount() > 0; }

// The grid type of an article, worked out from the configuration tables the way the window decides it
// (the highest MG5F_INDGRIGLIA, the grid variants the article does not manage, the reading
// configuration), to check what the demo's header promises.
int GridType(Connection& c, int ditta, const std::string& article) {
    const std::string d = std::to_string(ditta);
    Variant max = c.Execute("SELECT MAX(MG5F_INDGRIGLIA) AS M FROM MG5F_DIMECONF WHERE MG5F_DITTA_CG18 = " + d)
                      ->Value(0);
    const int m = max.IsNull() ? 0 : CLng(max);
    auto unmanaged = c.Execute("SELECT MG5F_INDGRIGLIA FROM MG5F_DIMECONF INNER JOIN MG6B_GESVARART"
                               " ON MG6B_DITTA_CG18 = MG5F_DITTA_CG18 AND MG6B_CODICEVAR_MG5F = MG5F_CODICEVAR"
                               " WHERE MG5F_DITTA_CG18 = " + d + " AND MG5F_INDGRIGLIA > 0"
                               " AND MG6B_CODART_MG66 = '" + article + "' AND MG6B_FLGGESTVAR = 0");
    // How many grid variants the reading configuration reads (99: no configuration).
    int read = 99;
    std::string read_code;
    if (HasRow(c, "SELECT * FROM MG5L_LETVARIANTI WHERE MG5L_DITTA_CG18 = " + d + " AND MG5L_INDELEMENTO = 0")) {
        read = 0;
        auto variants = c.Execute("SELECT MG5F_CODICEVAR, MG5F_INDGRIGLIA FROM MG5F_DIMECONF WHERE MG5F_DITTA_CG18 = " +
                                  d + " ORDER BY MG5F_CODICEVAR");
        for (int pos = 1; !variants->IsEOF(); variants->MoveNext(), ++pos) {
            if (CLng(variants->Value(1)) <= 0) continue;
            const std::string flag = "MG5L_FLGPOSVAR" + std::to_string(pos);
            if (HasRow(c, "SELECT " + flag + " FROM MG5L_LETVARIANTI WHERE MG5L_DITTA_CG18 = " + d +
                              " AND MG5L_INDELEMENTO = 0 AND " + flag + " > 0")) {
                ++read;
                read_code = kv::RTrim(CStr(variants->Value(0)));
            }
        }
        if (read > 2) read = 0;
    }
    switch (unmanaged->RecordCount()) {
        case 0: return read == 0 ? 0 : read == 1 ? 1 : m;
        case 1: {
            if (read == 1) {
                auto managed = c.Execute("SELECT MG6B_CODICEVAR_MG5F FROM MG5F_DIMECONF INNER JOIN MG6B_GESVARART"
                                         " ON MG6B_DITTA_CG18 = MG5F_DITTA_CG18 AND MG6B_CODICEVAR_MG5F = MG5F_CODICEVAR"
                                         " WHERE MG5F_DITTA_CG18 = " + d + " AND MG5F_INDGRIGLIA > 0"
                                         " AND MG6B_CODART_MG66 = '" + article + "' AND MG6B_FLGGESTVAR = 1");
                if (managed->RecordCount() > 0 && kv::RTrim(CStr(managed->Value(0))) != read_code) return 0;
            }
            return 1;
        }
        case 2: return 0;
        default: return m;
    }
}

class DemoTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        CreateSchema(db());
        BuildDemo(db(), Options());
    }
    virtual DemoOptions Options() const { return {}; }
};

TEST_P(DemoTest, EveryGridTypeOccurs) {
    struct Case {
        int ditta;
        const char* article;
        int type;
    } cases[] = {
        {kDittaAbbigliamento, kArticoloTipo4, 4},          {kDittaAbbigliamento, kArticoloTipo4Raggruppato, 4},
        {kDittaAbbigliamento, kArticoloSenzaGestione, 4},  {kDittaAbbigliamento, kArticoloTipo1, 1},
        {kDittaAbbigliamento, kArticoloTipo1Inverti, 1},   {kDittaAbbigliamento, kArticoloTipo0, 0},
        {kDittaCalzature, kArticoloTipo2, 2},              {kDittaCalzature, kArticoloTipo2Raggruppato, 2},
        {kDittaCalzature, kArticoloTipo2Colore, 1},        {kDittaTessuti, kArticoloTipo3, 3},
        {kDittaFerramenta, kArticoloFerramenta, 0},        {kDittaSenzaVarianti, "LIB001", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(GridType(db(), c.ditta, c.article), c.type) << c.article;
    EXPECT_EQ(Count(db(), "SELECT KV_VERSION FROM KV_SCHEMA"), 1);
}

TEST_P(DemoTest, OptionQueriesListTheArticlesOptionsInDisplayOrder) {
    struct Case {
        int ditta;
        const char* article;
        const char* level;
        std::vector<std::string> options;
    } cases[] = {
        // No grouping: every option of the variant, by code.
        {1, "MAG001", "= 1", {"BEI", "BIA", "BLU", "CAM", "GRI", "NER", "ROS", "VER"}},
        {1, "MAG001", "> 1", {"L", "M", "S", "XL", "XS", "XXL"}},
        // A grouping: its options in its own order.
        {1, "GIA001", "= 1", {"NER", "GRI", "CAM", "BLU"}},
        {1, "GIA001", "> 1", {"XS", "S", "M", "L", "XL", "XXL"}},
        {2, "MOC200", "> 1", {"39", "40", "41", "42", "43", "44", "45", "46"}},
        {3, "TES010", "> 1", {"140", "150", "280"}},
        // The article does not manage the variant in MG6B at all: no rows.
        {1, "PAN001", "= 1", {}},
    };
    for (const auto& c : cases) {
        auto rs = db().Execute(OptionsQuery(c.ditta, c.article, c.level));
        EXPECT_EQ(Column(rs, "MG5E_OPZIONE"), c.options) << c.article << " " << c.level;
    }
    auto rs = db().Execute(OptionsQuery(1, "GIA001", "= 1"));
    EXPECT_EQ(kv::RTrim(CStr(rs->Value("MG5E_CODICEVAR_MG5F"))), "A1");
    EXPECT_EQ(CStr(rs->Value("MG5E_DESCR")), "Nero");
}

TEST_P(DemoTest, CompaniesWithTheSameListNumbersStayApart) {
    const std::string company2 = "SELECT COUNT(*) FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 2 AND LI10_NUMLIST = 1";
    const long before = Count(db(), company2);
    ASSERT_GT(before, 0);
    auto prices2 = db().Execute("SELECT SUM(LI10_PREZZO) FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 2")->Value(0);
    // The window's writes always name the company: update and delete company 1's list 1.
    db().Execute(" UPDATE LI10_LISTARTIC SET LI10_PREZZO = 1 WHERE LI10_DITTA_CG18 = 1 AND LI10_NUMLIST = 1");
    db().Execute(" DELETE FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 1 AND LI10_NUMLIST = 1"
                 " AND LI10_DATAINIZIOVAL = '20260101'");
    db().Execute(" DELETE FROM MG44_PARMAGLIST WHERE MG44_DITTA_CG18 = 1 AND MG44_NUMLIST = 10");
    EXPECT_EQ(Count(db(), company2), before);
    EXPECT_EQ(db().Execute("SELECT SUM(LI10_PREZZO) FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 2")->Value(0), prices2);
    EXPECT_EQ(Count(db(), "SELECT COUNT(*) FROM MG44_PARMAGLIST WHERE MG44_NUMLIST = 10"), 3);
    EXPECT_EQ(Count(db(), "SELECT COUNT(*) FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 1 AND LI10_NUMLIST = 1"), 56);
}

TEST_P(DemoTest, SegmentDeleteMatchesTrimmedOptionValues) {
    // Sizes XS and S of MAG001 in purchase list 1, 2025: the size segment starts at 8 and is 3 wide, and
    // holds "XS " and "S  "; the values are given trimmed.
    const std::string where = " WHERE LI10_DITTA_CG18 = 1 AND LI10_FLGUSODECOR = 0 AND LI10_FLGVENDACQ = 1"
                              " AND LI10_INDTIPOLIS = 0 AND LI10_CODART_MG66 ='MAG001'";
    long n = 0;
    db().Execute(" DELETE FROM LI10_LISTARTIC " + where +
                     "   AND substring(LI10_OPZIONE_MG5E,8,3) in ('XS','S')   AND LI10_DEPOS_MG58 = ''"
                     "   AND LI10_NUMLIST = 1   AND LI10_DATAINIZIOVAL = '20250101'   AND LI10_DATAFINEVAL = '20251231'",
                 &n);
    EXPECT_EQ(n, 16);  // 8 colours x 2 sizes
    EXPECT_EQ(Count(db(), "SELECT COUNT(*) FROM LI10_LISTARTIC " + where +
                              " AND substring(LI10_OPZIONE_MG5E, 8, 3) = 'XS' AND LI10_NUMLIST = 1"),
              8);  // the 2026 rows remain
}

TEST_P(DemoTest, StoredRowsCarryExactPricesAndDates) {
    auto rs = db().Execute(
        "SELECT * FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 1 AND LI10_CODART_MG66 = 'MAG001'"
        " AND LI10_OPZIONE_MG5E = 'GIROCAMXXL' AND LI10_NUMLIST = 1 ORDER BY LI10_DATAINIZIOVAL");
    ASSERT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->Value("LI10_PREZZO"), Variant(*kv::Decimal::Parse("23.00")));
    EXPECT_EQ(rs->Value("LI10_SC1PER"), Variant(kv::Decimal(5)));
    EXPECT_EQ(rs->Value("LI10_DATAFINEVAL"), Variant(kv::Date::FromYmd(2025, 12, 31)));
    EXPECT_EQ(rs->Value("LI10_NOTE"), Variant("Prezzo concordato con l'agente"));
    EXPECT_TRUE(rs->Value("LI10_DATASTLIS").IsNull());
    EXPECT_EQ(rs->Value("LI10_OPZIONE_MG5E"), Variant("GIROCAMXXL          "));
    rs->MoveNext();
    EXPECT_EQ(rs->Value("LI10_PREZZO"), Variant(*kv::Decimal::Parse("23.69")));
}

TEST_P(DemoTest, SchemaCanBeDroppedAndMadeAgain) {
    DropSchema(db());
    EXPECT_NE(ErrorNumber([&] { db().Execute("SELECT * FROM LI10_LISTARTIC"); }), 0);
    CreateSchema(db());
    EXPECT_EQ(Count(db(), "SELECT COUNT(*) FROM LI10_LISTARTIC"), 0);
    BuildDemo(db(), {.colours = 3, .sizes = 2, .stored_prices = false});
    EXPECT_EQ(Count(db(), "SELECT COUNT(*) FROM MG5E_OPZIONI WHERE MG5E_DITTA_CG18 = 1 AND MG5E_CODICEVAR_MG5F = 'A1'"),
              3);
}

QMX_INSTANTIATE_ENGINES(DemoTest);

class LargeDemoTest : public DemoTest {
protected:
    DemoOptions Options() const override {
        return {.colours = 40, .sizes = 12, .extra_list_pairs = 2, .apostrophe_option = true};
    }
};

TEST_P(LargeDemoTest, GeneratedOptionsListsAndApostrophes) {
    EXPECT_EQ(Count(db(), "SELECT COUNT(*) FROM MG5E_OPZIONI WHERE MG5E_DITTA_CG18 = 1 AND MG5E_CODICEVAR_MG5F = 'A1'"),
              41);
    EXPECT_EQ(Count(db(), "SELECT COUNT(*) FROM MG44_PARMAGLIST WHERE MG44_DITTA_CG18 = 1 AND MG44_NUMLISTACQRIC = 102"),
              1);
    // An option code with an apostrophe is stored with it and found by it.
    EXPECT_EQ(Count(db(), "SELECT COUNT(*) FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 1"
                          " AND LI10_OPZIONE_MG5E = 'GIROD''OXS' AND LI10_NUMLIST = 1"),
              2);
    EXPECT_EQ(Count(db(), "SELECT COUNT(*) FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 1 AND LI10_NUMLIST = 102"),
              41 * 12);
}

QMX_INSTANTIATE_ENGINES(LargeDemoTest);

TEST(ComposeOption, WritesEachSegmentOverThePreset) {
    EXPECT_EQ(ComposeOption("XXXYYZZZZ", {{4, "R"}, {6, "BLU"}}), "XXXRYBLUZ           ");
    EXPECT_EQ(ComposeOption("", {{5, "BLU"}}), "    BLU             ");
    EXPECT_EQ(ComposeOption("ABCDEFGHIJKLMNOPQRSTUVWXYZ", {}), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(ErrorNumber([] { ComposeOption("", {{19, "ABC"}}); }), kv::err::kInvalidArgument);
}

// ---- The same data and the same answers on both engines

struct Table {
    std::vector<kv::ado::FieldInfo> fields;
    std::vector<std::vector<Variant>> rows;
};

Table Fetch(Connection& c, const std::string& sql) {
    auto rs = c.Execute(sql);
    Table t;
    t.fields = rs->FieldInfos();
    if (rs->RecordCount() == 0) return t;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
        std::vector<Variant> row;
        for (int i = 0; i < rs->GetFields().Count(); ++i) row.push_back(rs->Value(i));
        t.rows.push_back(std::move(row));
    }
    return t;
}

TEST(DemoOnBothEngines, TablesAndOptionQueriesGiveIdenticalResults) {
    if (!qmx::testing::PgConnectionString()) {
        if (qmx::testing::PgRequired()) FAIL() << "QMX_PG_CONNECTION is not set";
        GTEST_SKIP();
    }
    qmx::testing::TestDatabase lite(qmx::testing::Engine::kSqlite), pg(qmx::testing::Engine::kPostgres);
    for (auto* t : {&lite, &pg}) {
        CreateSchema(t->db());
        BuildDemo(t->db(), {.apostrophe_option = true});
    }
    std::vector<std::string> queries = {
        "SELECT * FROM CG18_DITTE ORDER BY CG18_CODICE",
        "SELECT * FROM CG08_VALUTE ORDER BY CG08_CODICE",
        "SELECT * FROM CG28_TABCODIVA ORDER BY CG28_CODICE",
        "SELECT * FROM MG02_SCAGLARROT ORDER BY MG02_DITTA_CG18, MG02_CODSCAGL, MG02_PREZZOLIM",
        "SELECT * FROM MG66_ANAGRART ORDER BY MG66_DITTA_CG18, MG66_CODART",
        "SELECT * FROM MG87_DESCRART ORDER BY MG87_DITTA_CG18, MG87_CODART_MG66",
        "SELECT * FROM MG44_PARMAGLIST ORDER BY MG44_DITTA_CG18, MG44_NUMLIST",
        "SELECT * FROM MG5F_DIMECONF ORDER BY MG5F_DITTA_CG18, MG5F_CODICEVAR",
        "SELECT * FROM MG5E_OPZIONI ORDER BY MG5E_DITTA_CG18, MG5E_CODICEVAR_MG5F, MG5E_OPZIONE",
        "SELECT * FROM MG5G_RAGGVAR ORDER BY MG5G_DITTA_CG18, MG5G_CODICEVAR_MG5F, MG5G_CODRAGGVAR",
        "SELECT * FROM MG5H_COMPRAGVAR ORDER BY MG5H_DITTA_CG18, MG5H_CODICEVAR_MG5F, MG5H_RAGGR_MG5G, "
        "MG5H_SEQOPZIONE",
        "SELECT * FROM MG6B_GESVARART ORDER BY MG6B_DITTA_CG18, MG6B_CODART_MG66, MG6B_CODICEVAR_MG5F",
        "SELECT * FROM MG5L_LETVARIANTI ORDER BY MG5L_DITTA_CG18, MG5L_INDELEMENTO",
        "SELECT * FROM LI10_LISTARTIC ORDER BY LI10_DITTA_CG18, LI10_FLGVENDACQ, LI10_CODART_MG66, "
        "LI10_NUMLIST, LI10_OPZIONE_MG5E, LI10_DATAINIZIOVAL",
        "SELECT MAX(MG5F_INDGRIGLIA) AS MG5F_INDGRIGLIA  FROM MG5F_DIMECONF  WHERE MG5F_DITTA_CG18 = 1",
        "SELECT ISNULL(MG44_NUMLISTACQRIC, 0) AS RIF, MG44_DESCLIST FROM MG44_PARMAGLIST ORDER BY MG44_DITTA_CG18, "
        "MG44_NUMLIST",
    };
    for (const char* article : {"MAG001", "GIA001", "SCI001", "CAL001", "PAN001"}) {
        queries.push_back(OptionsQuery(1, article, "= 1"));
        queries.push_back(OptionsQuery(1, article, "> 1"));
    }
    queries.push_back(OptionsQuery(2, "MOC200", "> 1"));
    queries.push_back(OptionsQuery(3, "TES010", "= 1"));
    for (const auto& sql : queries) {
        Table a = Fetch(lite.db(), sql), b = Fetch(pg.db(), sql);
        ASSERT_EQ(a.fields.size(), b.fields.size()) << sql;
        for (std::size_t i = 0; i < a.fields.size(); ++i) {
            EXPECT_TRUE(kv::EqualsNoCase(a.fields[i].name, b.fields[i].name)) << a.fields[i].name << " " << sql;
            EXPECT_EQ(a.fields[i].type, b.fields[i].type) << a.fields[i].name << " " << sql;
            EXPECT_EQ(a.fields[i].defined_size, b.fields[i].defined_size) << a.fields[i].name << " " << sql;
        }
        ASSERT_EQ(a.rows.size(), b.rows.size()) << sql;
        for (std::size_t r = 0; r < a.rows.size(); ++r) EXPECT_EQ(a.rows[r], b.rows[r]) << "row " << r << " of " << sql;
    }
}

}  // namespace
}  // namespace qmx::demo
