#include "schema/demo/demo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/variant/strings.h"
#include "support/db_engines.h"
#include "variants/variant_configuration.h"

namespace qmx::demo {
namespace {

using kv::CLng;
using kv::CStr;
using kv::Variant;
using kv::ado::Connection;
using qmx::testing::EngineTest;
using qmx::testing::ErrorNumber;

// The options query of a grid level as the component writes it (CR LF after every line, derived tables,
// CASE, ISNULL). `level_test` is "= 1" or "> 1".
std::string OptionsQuery(int ditta, const std::string& article, const std::string& level_test) {
    return variants::GetSql_ParConfVar(level_test == "= 1" ? 1 : 2, ditta, article);
}

long Count(Connection& c, const std::string& sql) { return CLng(c.Execute(sql)->Value(0)); }

class DemoTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        CreateSchema(db());
        BuildDemo(db());
    }
};

TEST_P(DemoTest, SchemaCanBeDroppedAndMadeAgain) {
    EXPECT_EQ(Count(db(), "SELECT KV_VERSION FROM KV_SCHEMA"), 1);
    DropSchema(db());
    EXPECT_NE(ErrorNumber([&] { db().Execute("SELECT * FROM LI10_LISTARTIC"); }), 0);
    CreateSchema(db());
    EXPECT_EQ(Count(db(), "SELECT COUNT(*) FROM LI10_LISTARTIC"), 0);
    BuildDemo(db(), {.colours = 3, .sizes = 2, .stored_prices = false});
    EXPECT_EQ(Count(db(), "SELECT COUNT(*) FROM MG5E_OPZIONI WHERE MG5E_DITTA_CG18 = 1 AND MG5E_CODICEVAR_MG5F = 'A1'"),
              3);
}

QMX_INSTANTIATE_ENGINES(DemoTest);

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
