// The price-list driver's grid: the columns it defines from the lists' parameters and the grid type,
// the messages of a failed setup, the matrix recordset's seed rows and the date proposal, on both
// engines.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/variant/strings.h"
#include "pricelist/clsmg_setuplistini.h"
#include "schema/demo/demo.h"
#include "support/db_engines.h"
#include "support/demo_drivers.h"
#include "support/driver_host.h"

namespace qmx {
namespace {

using kv::Variant;
using testing::DriverHost;
namespace ctl = kv::controls;

constexpr int kCompany = 9;  // the tests' own configurations, beside the demo companies

struct ListCfg {
    int number;
    int purchase = 1;
    int ask_price = 1;
    int discounts = 0;
    int discount_amount = 0;
    int markups = 0;
    int markup_amount = 0;
    const char* commission = "NULL";
    int start_mode = 1;
    int end_mode = 1;
};

struct VariantCfg {
    const char* code;
    const char* description;
    int grid;
};

class ListDriverGrid : public testing::DemoEngineTest {
  protected:

    // Company kCompany with exactly these variants and lists.
    void Configure(const std::vector<VariantCfg>& variants, const std::vector<ListCfg>& lists) {
        db().Execute("DELETE FROM MG5F_DIMECONF WHERE MG5F_DITTA_CG18 = 9");
        db().Execute("DELETE FROM MG44_PARMAGLIST WHERE MG44_DITTA_CG18 = 9");
        for (const auto& v : variants)
            db().Execute(
                std::string("INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR, MG5F_DESCR_VAR, "
                            "MG5F_SIZE, MG5F_INDGRIGLIA, MG5F_INDMOSTRACOD) VALUES (9, '") +
                v.code + "', '" + v.description + "', 3, " + std::to_string(v.grid) + ", 0)");
        for (const auto& l : lists)
            db().Execute(
                "INSERT INTO MG44_PARMAGLIST (MG44_DITTA_CG18, MG44_NUMLIST, MG44_FLGVENACQ, "
                "MG44_FLGCREAZVELOCE, MG44_DESCLIST, MG44_VALUTA_CG08, MG44_FLGRICHPREZZO, MG44_NUMSCPERC, "
                "MG44_FLGRICHSCIMP, MG44_NUMMAGPERC, MG44_FLGRICHMAGIMP, MG44_PERCPROV, "
                "MG44_INDPROPDATAINI, MG44_INDPROPDATAFINE) VALUES (9, " +
                std::to_string(l.number) + ", " + std::to_string(l.purchase) + ", 1, 'Listino " +
                std::to_string(l.number) + "', 'EURO', " + std::to_string(l.ask_price) + ", " +
                std::to_string(l.discounts) + ", " + std::to_string(l.discount_amount) + ", " +
                std::to_string(l.markups) + ", " + std::to_string(l.markup_amount) + ", " + l.commission +
                ", " + std::to_string(l.start_mode) + ", " + std::to_string(l.end_mode) + ")");
    }

    std::shared_ptr<CLSMG_SETUPLISTINI> Driver(int company, KvEnumLisSalPur kind,
                                               const std::string& article = {}) {
        host_ = std::make_unique<DriverHost>(database().connection(), company);
        auto d = std::make_shared<CLSMG_SETUPLISTINI>();
        d->SetActiveInterface(host_->host);
        d->SetADOConnection(database().connection());
        d->Qgrid = grid_;
        d->SetSalPur(kind);
        d->SetCodArticolo(article);
        return d;
    }

    std::vector<std::string> Captions() const {
        std::vector<std::string> v;
        for (long i = 0; i < grid_->Columns().Count(); ++i)
            v.push_back(grid_->Columns()[i].DataField() + ":" + grid_->Columns()[i].Caption());
        return v;
    }

    std::shared_ptr<ctl::DataGrid> grid_ = std::make_shared<ctl::DataGrid>("GRD_LISACQ");
    std::unique_ptr<DriverHost> host_;
};

// Two grid levels shown as rows (grid type 3): the grid is bound as soon as the matrix is seeded.
const std::vector<VariantCfg> kTwoLevels = {{"A0", "TAGLIA", 1}, {"A1", "COLORE VARIANTE", 3}};

TEST_P(ListDriverGrid, ColumnsFollowTheListsOfTheKind) {
    struct Case {
        const char* what;
        std::vector<VariantCfg> variants;
        std::vector<ListCfg> lists;
        KvEnumLisSalPur kind;
        bool inverti;
        std::vector<std::string> columns;
    };
    const std::vector<std::string> head = {"LI10_NUMLIST:N.", "BLT_VALUTA:Valuta", "BLT_OPZIONE1:Taglia",
                                           "BLT_DESCR1:Descrizione"};
    auto with = [&](std::vector<std::string> tail) {
        std::vector<std::string> v = head;
        v.insert(v.end(), tail.begin(), tail.end());
        return v;
    };
    const Case cases[] = {
        {"2 and 3 discounts, one list asks the gross price",
         kTwoLevels,
         {{.number = 1, .discounts = 2}, {.number = 2, .ask_price = 0, .discounts = 3}},
         LisPurchase,
         false,
         with({"LI10_PREZZO:Prezzo lordo", "LI10_SC1PER:Sc.%1", "LI10_SC2PER:Sc.%2", "LI10_SC3PER:Sc.%3",
               "BLT_PREZZONETTO:Prezzo netto"})},
        {"the same in the sales grid adds the recharge and the margin",
         kTwoLevels,
         {{.number = 1, .purchase = 0, .discounts = 2},
          {.number = 2, .purchase = 0, .ask_price = 0, .discounts = 3}},
         LisSale,
         false,
         with({"LI10_PREZZO:Prezzo lordo", "LI10_SC1PER:Sc.%1", "LI10_SC2PER:Sc.%2", "LI10_SC3PER:Sc.%3",
               "LI10_PERRICDELTA:%Ricar.", "BLT_PREZZONETTO:Prezzo netto", "BLT_MARGINE:Margine %"})},
        {"every input asked by some list",
         kTwoLevels,
         {{.number = 1, .ask_price = 0, .discounts = 6},
          {.number = 2, .discount_amount = 1, .markups = 1},
          {.number = 3, .ask_price = 0, .markups = 2, .markup_amount = 1}},
         LisPurchase,
         false,
         with({"LI10_PREZZO:Prezzo lordo", "LI10_SC1PER:Sc.%1", "LI10_SC2PER:Sc.%2", "LI10_SC3PER:Sc.%3",
               "LI10_SC4PER:Sc.%4", "LI10_SC5PER:Sc.%5", "LI10_SC6PER:Sc.%6", "LI10_SCIMP:Sc. importo",
               "LI10_MAG1PER:Mg.%1", "LI10_MAG2PER:Mg.%2", "LI10_MAGIMP:Mg. importo",
               "BLT_PREZZONETTO:Prezzo netto"})},
        {"nothing asked: the net price alone",
         kTwoLevels,
         {{.number = 1, .ask_price = 0}},
         LisPurchase,
         false,
         with({"BLT_PREZZONETTO:Prezzo netto"})},
        {"the first list's commission adds its column",
         kTwoLevels,
         {{.number = 1, .commission = "5"}, {.number = 2}},
         LisPurchase,
         false,
         with({"LI10_PREZZO:Prezzo lordo", "BLT_PREZZONETTO:Prezzo netto", "LI10_PROVPER:% prov."})},
        {"a commission of a later list only does not",
         kTwoLevels,
         {{.number = 1}, {.number = 2, .commission = "5"}},
         LisPurchase,
         false,
         with({"LI10_PREZZO:Prezzo lordo", "BLT_PREZZONETTO:Prezzo netto"})},
        {"Inverti: the second level's fields and caption",
         kTwoLevels,
         {{.number = 1}},
         LisPurchase,
         true,
         {"LI10_NUMLIST:N.", "BLT_VALUTA:Valuta", "BLT_OPZIONE2:Colore variante", "BLT_DESCR2:Descrizione",
          "LI10_PREZZO:Prezzo lordo", "BLT_PREZZONETTO:Prezzo netto"}},
        {"two first-level variants: Codice",
         {{"A0", "TAGLIA", 1}, {"A1", "COLORE", 1}},
         {{.number = 1, .ask_price = 0}},
         LisPurchase,
         false,
         {"LI10_NUMLIST:N.", "BLT_VALUTA:Valuta", "BLT_OPZIONE1:Codice", "BLT_DESCR1:Descrizione",
          "BLT_PREZZONETTO:Prezzo netto"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Configure(c.variants, c.lists);
        auto d = Driver(kCompany, c.kind);
        d->SetInverti(c.inverti);
        d->SetupGrid(false);
        EXPECT_EQ(d->State(), 0) << d->Message();
        EXPECT_EQ(Captions(), c.columns);
        EXPECT_TRUE(host_->Messages().empty());
    }
}

TEST_P(ListDriverGrid, ColumnWidthsFormatsAndEditing) {
    Configure(kTwoLevels, {{.number = 1, .purchase = 0, .discounts = 1, .markups = 1, .commission = "2.5"},
                           {.number = 2, .purchase = 0, .discount_amount = 1, .markup_amount = 1}});
    auto d = Driver(kCompany, LisSale);
    d->SetupGrid(true);
    ASSERT_EQ(d->State(), 0) << d->Message();
    struct Col {
        const char* field;
        const char* format;
        bool locked;
        int cls;  // 0: no class format
        int kind;
    };
    const Col expected[] = {
        {"LI10_NUMLIST", "", true, 0, 0},
        {"BLT_VALUTA", "", true, 0, 0},
        {"BLT_OPZIONE1", "", true, 0, 0},
        {"BLT_DESCR1", "", true, 0, 0},
        // Amounts take the display format of EURO's prices (2 decimals in the demo's currency table).
        {"LI10_PREZZO", "#,##0.00", false, 5, 2},
        {"LI10_SC1PER", "#,##0.000", false, 9, 6},
        {"LI10_SCIMP", "#,##0.00", false, 5, 1},
        {"LI10_MAG1PER", "#,##0.000", false, 5, 6},
        {"LI10_MAGIMP", "#,##0.00", false, 5, 1},
        {"LI10_PERRICDELTA", "#,##0.000", false, 5, 6},
        {"BLT_PREZZONETTO", "#,##0.00", true, 5, 2},
        {"BLT_MARGINE", "#,##0.00", true, 0, 0},
        {"LI10_PROVPER", "#,##0.000", false, 5, 6},
    };
    // The margin is there for the user to show: hidden until then.
    EXPECT_FALSE(grid_->Columns().Item("BLT_MARGINE").Visible());
    d->SetMostraMargine(true);
    EXPECT_TRUE(grid_->Columns().Item("BLT_MARGINE").Visible());
    ASSERT_EQ(grid_->Columns().Count(), static_cast<long>(std::size(expected)));
    EXPECT_TRUE(grid_->EnableEditing());
    for (long i = 0; i < grid_->Columns().Count(); ++i) {
        const auto& col = grid_->Columns()[i];
        const Col& e = expected[i];
        SCOPED_TRACE(e.field);
        EXPECT_EQ(col.DataField(), e.field);
        EXPECT_EQ(col.Format(), e.format);
        EXPECT_EQ(col.Locked(), e.locked);
        if (e.cls == 0) {
            EXPECT_FALSE(col.GetClassFormat().has_value());
        } else {
            ASSERT_TRUE(col.GetClassFormat().has_value());
            EXPECT_EQ(*col.GetClassFormat(), (ctl::ClassFormat{e.cls, e.kind, "EURO"}));
        }
    }
}

TEST_P(ListDriverGrid, GridTypeFourHasOneColumnPerSecondLevelOption) {
    struct Case {
        const char* article;
        std::vector<std::string> options;  // in column order
        std::vector<std::string> captions;
    };
    const Case cases[] = {
        // The article's grouping gives the options in its own sequence.
        {demo::kArticoloTipo4Raggruppato,
         {"XS", "S", "M", "L", "XL", "XXL"},
         {"XS - Extra small", "S - Small", "M - Medium", "L - Large", "XL - Extra large",
          "XXL - Doppia extra large"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.article);
        auto d = Driver(demo::kDittaAbbigliamento, LisPurchase, c.article);
        d->OpzioniColonna()["BLT_99"] = "stale";
        d->SetupGrid(true);
        ASSERT_EQ(d->State(), 0) << d->Message();
        std::vector<std::string> expected = {"LI10_NUMLIST:N.", "BLT_VALUTA:Valuta", "BLT_OPZIONE1:Colore"};
        std::map<std::string, std::string> columns;
        for (std::size_t p = 0; p < c.options.size(); ++p) {
            const std::string name = "BLT_" + std::to_string(p + 1);
            expected.push_back(name + ":" + c.captions[p]);
            columns[name] = c.options[p];
        }
        EXPECT_EQ(Captions(), expected);
        EXPECT_EQ(d->OpzioniColonna(), columns);
        EXPECT_TRUE(grid_->Columns().Item("BLT_OPZIONE1").Locked());
        for (std::size_t p = 0; p < c.options.size(); ++p)
            EXPECT_FALSE(grid_->Columns()[static_cast<long>(p) + 3].Locked());
    }
}

TEST_P(ListDriverGrid, ASetupThatCannotRunSaysWhyOnlyWhenAsked) {
    struct Case {
        const char* what;
        int company;
        KvEnumLisSalPur kind;
        bool show;
        int16_t state;
        std::string title;  // "" when nothing is shown
        std::string text;
    };
    const Case cases[] = {
        {"kind not set", demo::kDittaAbbigliamento, LisVoid, true, 3, "Informazione tecnica",
         "Propriet\u00e0 SalPur non impostata!"},
        {"kind not set, quietly", demo::kDittaAbbigliamento, LisVoid, false, 3, "", ""},
        {"no sales lists in fast creation", demo::kDittaFerramenta, LisSale, true, 0, "Attenzione",
         "Per poter gestire la Creazione Veloce Listini di Vendita occorre definirne la gestione nei \r\n"
         "\"Parametri di Magazzino\", scheda Listini."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        grid_->ClearInit();
        grid_->INIT_ADDColumn("KEEP", "Colonna di prima", 1, 100);
        auto d = Driver(c.company, c.kind);
        d->SetupGrid(c.show);
        EXPECT_EQ(d->State(), c.state);
        if (c.title.empty()) {
            EXPECT_TRUE(host_->Messages().empty());
        } else {
            ASSERT_EQ(host_->Messages().size(), 1u);
            EXPECT_EQ(host_->Messages()[0].title, c.title);
            EXPECT_EQ(host_->Messages()[0].text, c.text);
            EXPECT_EQ(host_->Messages()[0].style, kv::services::style::kExclamation);
        }
        // The grid is left as it was.
        EXPECT_EQ(Captions(), (std::vector<std::string>{"KEEP:Colonna di prima"}));
    }
}

TEST_P(ListDriverGrid, LoadListSeedsTheMatrixOnceAndBindsTheGrid) {
    Configure(kTwoLevels, {{.number = 1}, {.number = 5}, {.number = 7}, {.number = 8, .purchase = 0}});
    db().Execute(
        "UPDATE MG44_PARMAGLIST SET MG44_VALUTA_CG08 = 'USD' WHERE MG44_DITTA_CG18 = 9 AND MG44_NUMLIST = 5");
    auto d = Driver(kCompany, LisPurchase);
    d->SetupGrid(false);
    d->LoadList();
    ASSERT_EQ(d->State(), 0);
    auto m = d->Recordset();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(grid_->DataSource(), m);
    ASSERT_EQ(m->RecordCount(), 3);
    EXPECT_EQ(m->AbsolutePosition(), 1);
    const std::pair<int, const char*> rows[] = {{1, "EURO"}, {5, "USD "}, {7, "EURO"}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(kv::CLng(m->Value("ID")), i + 1);
        EXPECT_EQ(kv::CLng(m->Value("LI10_NUMLIST")), rows[i].first);
        EXPECT_EQ(kv::RTrim(kv::CStr(m->Value("BLT_VALUTA"))), kv::RTrim(std::string(rows[i].second)));
        EXPECT_EQ(kv::CDbl(m->Value("BLT_PREZZONETTO")), 0.0);
        for (const char* f :
             {"BLT_CODICEVAR1", "BLT_OPZIONE1", "BLT_DESCR1", "BLT_CODICEVAR2", "BLT_OPZIONE2", "BLT_DESCR2"})
            EXPECT_EQ(kv::RTrim(kv::CStr(m->Value(f))), "") << f;
        EXPECT_TRUE(m->Value("LI10_PREZZO").IsNull());
        m->MoveNext();
    }
    // A second call finds rows and leaves the matrix as it is.
    m->MoveFirst();
    m->SetValue("LI10_PREZZO", 12.5);
    m->Update();
    d->LoadList();
    EXPECT_EQ(d->Recordset(), m);
    EXPECT_EQ(m->RecordCount(), 3);
    EXPECT_EQ(kv::CDbl(m->Value("LI10_PREZZO")), 12.5);
}

// Grid type 2 shows one option at a time: the seeded matrix waits, unbound, for the option chosen.
TEST_P(ListDriverGrid, LoadListLeavesTheGridUnboundInGridType2) {
    Configure({{"A0", "COLORE", 1}, {"A1", "TAGLIA", 2}}, {{.number = 1}, {.number = 5}});
    auto d = Driver(kCompany, LisPurchase);
    ASSERT_EQ(d->GetIndTipoGriglia(), 2);
    d->SetupGrid(false);
    grid_->SetDataSource(nullptr);
    d->LoadList();
    ASSERT_EQ(d->State(), 0);
    ASSERT_NE(d->Recordset(), nullptr);
    EXPECT_EQ(d->Recordset()->RecordCount(), 2);
    EXPECT_EQ(grid_->DataSource(), nullptr);
}

TEST_P(ListDriverGrid, DatesAreAskedAsSoonAsOneListAsksThem) {
    struct Case {
        std::vector<std::pair<int, int>> modes;  // per list: start, end
        KvEnumDtLisStartProp start;
        KvEnumDtLisEndProp end;
    };
    using S = KvEnumDtLisStartProp;
    using E = KvEnumDtLisEndProp;
    const Case cases[] = {
        {{{1, 1}, {2, 3}, {4, 4}}, S::LisDtAutomatica, E::LisDtAutomatica},
        {{{1, 1}, {0, 3}, {4, 4}}, S::LisDtRichiesta, E::LisDtAutomatica},
        {{{3, 0}, {2, 2}}, S::LisDtAutomatica, E::LisDtRichiesta},
        {{{0, 0}}, S::LisDtRichiesta, E::LisDtRichiesta},
        {{{2, 4}, {0, 0}, {1, 3}}, S::LisDtRichiesta, E::LisDtRichiesta},
    };
    for (const Case& c : cases) {
        std::vector<ListCfg> lists;
        for (std::size_t i = 0; i < c.modes.size(); ++i)
            lists.push_back({.number = static_cast<int>(i) + 1,
                             .start_mode = c.modes[i].first,
                             .end_mode = c.modes[i].second});
        Configure(kTwoLevels, lists);
        auto d = Driver(kCompany, LisPurchase);
        EXPECT_EQ(d->PropStartDate(), S::LisDtVoid);
        EXPECT_EQ(d->PropEndDate(), E::LisDtVoid);
        d->SetupGrid(false);
        d->SetupDate();
        EXPECT_EQ(d->PropStartDate(), c.start);
        EXPECT_EQ(d->PropEndDate(), c.end);
        // The parameter rows show every list again.
        EXPECT_EQ(kv::CStr(d->rstParMagLis->Filter()), "0");
        EXPECT_EQ(d->rstParMagLis->RecordCount(), static_cast<long>(c.modes.size()));
    }
}

QMX_INSTANTIATE_ENGINES(ListDriverGrid);

}  // namespace
}  // namespace qmx
