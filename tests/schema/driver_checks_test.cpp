// The drivers' property and configuration checks, their State/Message report and ElemSet.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "schema/price_list_parameters.h"
#include "support/demo_drivers.h"

namespace qmx {
namespace {

using qmx::testing::DemoDriverTest;

const std::string kCrLf = "\r\n";

// Which properties a driver is given.
struct Given {
    bool interface;
    bool connection;
    bool kind;
    bool grid;
    bool recordset;
};

struct PropertyCase {
    Given given;
    int16_t list_state;  // the price-list driver has no recordset check
    int16_t variant_state;
    const char* list_message;
    const char* variant_message;
};

const char* const kI = "Propriet\u00e0 ActiveInterface non impostata!";
const char* const kC = "Propriet\u00e0 ADOConnection non impostata!";
const char* const kS = "Propriet\u00e0 SalPur non impostata!";
const char* const kG = "Propriet\u00e0 Grid non impostata!";
const char* const kR = "Propriet\u00e0 Recordset non impostata!";

// The connection is never opened: a check that ran a query would end in State 99, so each case also
// shows that a failed property check stops before the database.
TEST(DriverChecks, EveryMissingPropertyHasItsStateAndTheLastFailingCheckWins) {
    const PropertyCase cases[] = {
        {{false, true, true, true, true}, 1, 1, kI, kI},  {{true, false, true, true, true}, 2, 2, kC, kC},
        {{true, true, false, true, true}, 3, 3, kS, kS},  {{true, true, true, false, true}, 4, 4, kG, kG},
        {{true, true, true, true, false}, 99, 5, "", kR},  // only the variant driver needs a recordset
        {{false, false, true, true, true}, 2, 2, kC, kC}, {{false, false, false, false, false}, 4, 5, kG, kR},
        {{true, true, false, true, false}, 3, 5, kS, kR},
    };
    auto entry = CLSMG_QUENDORMIXAL::Create();
    entry->SetClsGlobal(
        std::make_shared<kv::services::HostGlobalServices>(1, "Provider=SQLite;Data Source=:memory:"));
    auto closed = kv::ado::Connection::Create();
    for (const auto& c : cases) {
        const Given& g = c.given;
        SCOPED_TRACE(::testing::Message() << g.interface << g.connection << g.kind << g.grid << g.recordset);
        CLSMG_SETUPLISTINI list;
        if (g.interface) list.SetActiveInterface(entry);
        if (g.connection) list.SetADOConnection(closed);
        if (g.kind) list.SetSalPur(LisPurchase);
        if (g.grid) list.Qgrid = std::make_shared<kv::controls::DataGrid>("G");
        EXPECT_FALSE(list.ConfigurationOk());
        EXPECT_EQ(list.State(), c.list_state);
        EXPECT_EQ(list.Message(), c.list_message);

        CLSMG_SETUPVARIANTI variants;
        if (g.interface) variants.SetActiveInterface(entry);
        if (g.connection) variants.SetADOConnection(closed);
        if (g.kind) variants.SetSalPur(VarPurchase);
        if (g.grid) variants.SetGrid(std::make_shared<kv::controls::DataGrid>("G"));
        if (g.recordset) variants.SetRecordset(kv::ado::Recordset::Create());
        EXPECT_FALSE(variants.ConfigurationOk());
        EXPECT_EQ(variants.State(), c.variant_state);
        EXPECT_EQ(variants.Message(), c.variant_message);
    }
}

TEST(DriverChecks, EachCheckStartsAgainFromStateZero) {
    auto entry = CLSMG_QUENDORMIXAL::Create();
    CLSMG_SETUPLISTINI list;
    EXPECT_FALSE(list.ConfigurationOk());
    EXPECT_EQ(list.State(), 4);
    list.SetActiveInterface(entry);
    list.SetADOConnection(kv::ado::Connection::Create());
    list.Qgrid = std::make_shared<kv::controls::DataGrid>("G");
    EXPECT_FALSE(list.ConfigurationOk());
    EXPECT_EQ(list.State(), 3);
    EXPECT_EQ(list.Message(), kS);
}

class DriverConfiguration : public DemoDriverTest {};

TEST_P(DriverConfiguration, ListsInFastCreationPerCompanyAndKind) {
    const std::string asked =
        "occorre definirne la gestione nei " + kCrLf + "\"Parametri di Magazzino\", scheda Listini.";
    struct Case {
        int company;
        KvEnumLisSalPur kind;
        bool ok;
        std::string message;
    };
    const Case cases[] = {
        {demo::kDittaAbbigliamento, LisPurchase, true, ""},
        {demo::kDittaAbbigliamento, LisSale, true, ""},
        {demo::kDittaFerramenta, LisPurchase, true, ""},
        {demo::kDittaFerramenta, LisSale, false,
         "Per poter gestire la Creazione Veloce Listini di Vendita " + asked},
        {demo::kDittaSenzaVarianti, LisPurchase, false,
         "Per poter gestire la Creazione Veloce Listini di Acquisto " + asked},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.company << "/" << c.kind);
        UseCompany(c.company);
        auto d = ListDriver(c.kind);
        EXPECT_EQ(d->ConfigurationOk(), c.ok);
        EXPECT_EQ(d->State(), 0);  // an unconfigured company is reported by Message alone
        EXPECT_EQ(d->Message(), c.message);
    }
}

TEST_P(DriverConfiguration, GridVariantsPerCompanyGiveTheVariantCodes) {
    struct Case {
        int company;
        bool ok;
        const char* cod1;
        const char* cod2;
    };
    const Case cases[] = {
        {demo::kDittaAbbigliamento, true, "A1", "A2"}, {demo::kDittaCalzature, true, "A0", "A1"},
        {demo::kDittaSegmenti, true, "A2", "A3"},      {demo::kDittaFerramenta, false, "", ""},
        {demo::kDittaSenzaVarianti, false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.company);
        UseCompany(c.company);
        auto d = VariantDriver(VarSale);
        EXPECT_EQ(d->ConfigurationOk(), c.ok);
        EXPECT_EQ(d->State(), 0);
        EXPECT_EQ(d->CodVariante1(), c.cod1);
        EXPECT_EQ(d->CodVariante2(), c.cod2);
        EXPECT_EQ(d->Message(),
                  c.ok ? std::string()
                       : "Per poter gestire le varianti in griglia occorre definirne la gestione nei " +
                             kCrLf + "\"Parametri di Magazzino\", Configuratore Varianti.");
    }
}

TEST_P(DriverConfiguration, AnErrorInsideAnOperationIsTrappedAsState99) {
    auto d = ListDriver(LisPurchase);
    d->SetMessage("prima");
    connection()->Execute("DROP TABLE MG44_PARMAGLIST");
    EXPECT_FALSE(d->ConfigurationOk());
    EXPECT_EQ(d->State(), 99);
    EXPECT_EQ(d->Message(), "prima");

    auto v = VariantDriver(VarPurchase);
    connection()->Execute("DROP TABLE MG5F_DIMECONF");
    EXPECT_FALSE(v->ConfigurationOk());
    EXPECT_EQ(v->State(), 99);
}

TEST_P(DriverConfiguration, TheGridShowsTheCurrentListsDescription) {
    UseCompany(demo::kDittaAbbigliamento);
    auto d = VariantDriver(VarPurchase);
    auto matrix = kv::ado::Recordset::Create();
    matrix->GetFields().Append("LI10_NUMLIST", kv::ado::adDouble);
    matrix->Open();
    d->SetRecordset(matrix);
    auto grid = d->grid();
    grid->RowColChange.Raise(0, 0, 0, 0);  // no current row: nothing to show
    EXPECT_EQ(grid->ToolTipText(), "");
    struct Case {
        double list;
        const char* text;
    };
    const Case cases[] = {
        {2, "Listino 2 - Fornitore Maglificio Trevigiano"},
        {99, "Listino 2 - Fornitore Maglificio Trevigiano"},  // no such list: the text stays
        {10, "Listino 2 - Fornitore Maglificio Trevigiano"},  // a sales list, not of this driver's kind
        {1, "Listino 1 - Fornitore Lanificio Biellese"},
    };
    for (const auto& c : cases) {
        matrix->AddNew();
        matrix->SetValue("LI10_NUMLIST", c.list);
        matrix->Update();
        grid->RowColChange.Raise(0, 0, 1, 1);
        EXPECT_EQ(grid->ToolTipText(), c.text) << c.list;
    }
    EXPECT_EQ(d->State(), 0);
}

QMX_INSTANTIATE_ENGINES(DriverConfiguration);

// Parameter rows as fabricated rows: NUMSCPERC, NUMMAGPERC, FLGRICHSCIMP, FLGRICHPREZZO.
kv::ado::RecordsetPtr ParameterRows(const std::vector<std::vector<kv::Variant>>& rows) {
    auto rs = kv::ado::Recordset::Create();
    for (const char* f : {"MG44_NUMSCPERC", "MG44_NUMMAGPERC", "MG44_FLGRICHSCIMP", "MG44_FLGRICHPREZZO"})
        rs->GetFields().Append(f, kv::ado::adInteger, 0, kv::ado::adFldIsNullable);
    rs->Open();
    for (const auto& row : rows) {
        rs->AddNew();
        for (int i = 0; i < static_cast<int>(row.size()); ++i)
            rs->SetValue(i, row[static_cast<std::size_t>(i)]);
        rs->Update();
    }
    if (!rows.empty()) rs->MoveFirst();
    return rs;
}

TEST(DriverChecks, ElemSetOverMixedLists) {
    const kv::Variant null = kv::Variant::Null();
    struct Case {
        std::vector<std::vector<kv::Variant>> rows;
        const char* field;
        int16_t expected;
    };
    const Case cases[] = {
        {{{2, 0, 0, 1}, {0, 1, 1, 0}, {4, 2, 0, 0}}, "MG44_NUMSCPERC", 4},
        {{{2, 0, 0, 1}, {0, 1, 1, 0}, {4, 2, 0, 0}}, "MG44_NUMMAGPERC", 2},
        {{{2, 0, 0, 1}, {0, 1, 1, 0}, {4, 2, 0, 0}}, "MG44_FLGRICHSCIMP", 1},
        {{{2, 0, 0, 1}, {0, 1, 1, 0}, {4, 2, 0, 0}}, "MG44_FLGRICHPREZZO", 1},
        {{{0, 0, 0, 0}, {0, 0, 0, 0}}, "MG44_NUMSCPERC", 0},
        {{{0, 0, 0, 0}, {0, 0, 0, 0}}, "MG44_FLGRICHSCIMP", 0},
        {{{null, null, null, null}, {3, null, null, 1}}, "MG44_NUMSCPERC", 3},
        {{{null, null, null, null}}, "MG44_FLGRICHPREZZO", 0},
        {{}, "MG44_NUMSCPERC", 0},
    };
    CLSMG_SETUPLISTINI list;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        auto rs = ParameterRows(c.rows);
        EXPECT_EQ(list.ElemSet(rs, c.field), c.expected);
        EXPECT_EQ(list.State(), 0);
        EXPECT_EQ(rs->Filter(), kv::Variant(int16_t{0}));
        EXPECT_EQ(rs->RecordCount(), static_cast<long>(c.rows.size()));
    }
}

TEST(DriverChecks, ElemSetOnAnUnknownFieldIsTrapped) {
    CLSMG_SETUPLISTINI list;
    auto rs = ParameterRows({{1, 1, 1, 1}});
    EXPECT_EQ(list.ElemSet(rs, "MG44_NONESISTE"), 0);
    EXPECT_EQ(list.State(), 99);
    EXPECT_EQ(rs->Filter(), kv::Variant(int16_t{0}));
    list.SetState(0);
    EXPECT_EQ(list.ElemSet(nullptr, "MG44_NUMSCPERC"), 0);
    EXPECT_EQ(list.State(), 99);
}

}  // namespace
}  // namespace qmx
