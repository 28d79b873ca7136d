// The matrix driver's data path on both engines: loading (every grid type), filtering, the pivot,
// copying prices, saving and deleting, and what a refused row leaves behind.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"
#include "matrix/matrix_recordset.h"
#include "matrix/stored_price_rows.h"
#include "platform/controls/data_grid.h"
#include "platform/services/global_services.h"
#include "platform/variant/strings.h"
#include "schema/demo/demo.h"
#include "shell/clsmg_quendormixal.h"
#include "shell/modmg_quendormixal.h"
#include "support/db_engines.h"
#include "support/demo_drivers.h"

namespace qmx {
namespace {

using kv::Variant;
using kv::testing::Dec;
using qmx::testing::EngineTest;

const kv::Date kOggi = kv::Date::FromYmd(2024, 2, 10);

struct Caso {
    const char* name;
    int ditta;
    const char* articolo;
    const char* preset;
    int tipo;
    const char* var1;  // first-level variant and its segment start
    int start1;
    const char* var2;  // second-level variant ("" for grid type 1)
    int start2;
};

const Caso kCasi[] = {
    {"tipo1", demo::kDittaAbbigliamento, demo::kArticoloTipo1, "", 1, "A1", 5, "", 0},
    {"tipo2", demo::kDittaCalzature, demo::kArticoloTipo2, "", 2, "A0", 1, "A1", 4},
    {"tipo3", demo::kDittaTessuti, demo::kArticoloTipo3, "", 3, "A0", 1, "A1", 4},
    {"tipo4", demo::kDittaAbbigliamento, demo::kArticoloTipo4, demo::kPresetOption, 4, "A1", 5, "A2", 8},
};

class MatrixDataTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        demo::CreateSchema(db());
        demo::DemoOptions options;
        options.apostrophe_option = true;
        demo::BuildDemo(db(), options);
        // The header's dates are proposed for every list, so stored rows of 2025 meet the matrix.
        db().Execute("UPDATE MG44_PARMAGLIST SET MG44_INDPROPDATAINI = 0, MG44_INDPROPDATAFINE = 0");
    }

    std::shared_ptr<CLSMG_SETUPVARIANTI> Driver(int ditta, const std::string& articolo, const std::string& preset,
                                                KvEnumVarSalPur kind = VarPurchase) {
        ifaces_.push_back(testing::HostInterface(ditta, database().connection_string(), database().connection()));
        return testing::LoadedMatrixDriver(ifaces_.back(), database().connection(), articolo, preset, "01/01/2025",
                                           "31/12/2025", kind, kOggi);
    }
    std::shared_ptr<CLSMG_SETUPVARIANTI> Driver(const Caso& c, KvEnumVarSalPur kind = VarPurchase) {
        return Driver(c.ditta, c.articolo, c.preset, kind);
    }

    std::vector<std::string> Opzioni(int ditta, const std::string& var) {
        std::vector<std::string> out;
        auto rs = db().Execute("SELECT MG5E_OPZIONE FROM MG5E_OPZIONI WHERE MG5E_DITTA_CG18 = " + std::to_string(ditta) +
                               " AND MG5E_CODICEVAR_MG5F = '" + var + "' ORDER BY MG5E_OPZIONE");
        for (; !rs->IsEOF(); rs->MoveNext()) out.push_back(kv::RTrim(kv::CStr(rs->Value(0))));
        return out;
    }
    std::vector<long> Listini(int ditta, int kind) {
        std::vector<long> out;
        auto rs = db().Execute("SELECT MG44_NUMLIST FROM MG44_PARMAGLIST WHERE MG44_DITTA_CG18 = " +
                               std::to_string(ditta) + " AND MG44_FLGVENACQ = " + std::to_string(kind) +
                               " AND MG44_FLGCREAZVELOCE = 1 ORDER BY MG44_NUMLIST");
        for (; !rs->IsEOF(); rs->MoveNext()) out.push_back(kv::CLng(rs->Value(0)));
        return out;
    }
    // The stored gross price of one key, as a per-row query finds it; Null when there is none.
    Variant PrezzoMemorizzato(int ditta, const std::string& articolo, const std::string& opzione, long list) {
        auto rs = db().Execute("SELECT LI10_PREZZO FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = " + std::to_string(ditta) +
                               " AND LI10_FLGVENDACQ = 1 AND LI10_CODART_MG66 = '" + RaddoppiaApici(articolo) +
                               "' AND LI10_OPZIONE_MG5E = '" + RaddoppiaApici(opzione) + "' AND LI10_NUMLIST = " +
                               std::to_string(list) +
                               " AND LI10_DATAINIZIOVAL = '20250101' AND LI10_DATAFINEVAL = '20251231'");
        return rs->IsEOF() ? Variant::Null() : rs->Value(0);
    }
    // Every stored row of the table, in key order: the "byte for byte" of the fault cases.
    std::vector<std::string> Tabella() { return testing::DumpPrices(db()); }
    long Conta(const std::string& where) {
        return kv::CLng(db().Execute("SELECT COUNT(*) FROM LI10_LISTARTIC WHERE " + where)->Value(0));
    }
    // Refuses, by a trigger, every write of a row whose gross price is 666 and every delete of list 2.
    void Rifiuta() {
        if (sqlite()) {
            for (const char* when : {"INSERT", "UPDATE"})
                db().Execute(std::string("CREATE TRIGGER rifiuta_") + when + " BEFORE " + when +
                             " ON LI10_LISTARTIC WHEN NEW.LI10_PREZZO = 666 BEGIN SELECT RAISE(ABORT, 'rifiutata'); END");
            db().Execute("CREATE TRIGGER rifiuta_delete BEFORE DELETE ON LI10_LISTARTIC WHEN OLD.LI10_NUMLIST = 2 "
                         "BEGIN SELECT RAISE(ABORT, 'rifiutata'); END");
        } else {
            db().Execute("CREATE FUNCTION rifiuta() RETURNS trigger AS $$ BEGIN "
                         "IF TG_OP = 'DELETE' THEN IF OLD.LI10_NUMLIST = 2 THEN RAISE EXCEPTION 'rifiutata'; END IF; "
                         "RETURN OLD; END IF; "
                         "IF NEW.LI10_PREZZO = 666 THEN RAISE EXCEPTION 'rifiutata'; END IF; RETURN NEW; END $$ "
                         "LANGUAGE plpgsql");
            db().Execute("CREATE TRIGGER rifiuta BEFORE INSERT OR UPDATE OR DELETE ON LI10_LISTARTIC "
                         "FOR EACH ROW EXECUTE FUNCTION rifiuta()");
        }
    }
    void Accetta() {
        if (sqlite()) {
            for (const char* t : {"rifiuta_INSERT", "rifiuta_UPDATE", "rifiuta_delete"}) db().Execute(std::string("DROP TRIGGER ") + t);
        } else {
            db().Execute("DROP TRIGGER rifiuta ON LI10_LISTARTIC");
        }
    }
    // All values of the matrix, row by row, without moving it.
    static std::string Valori(kv::ado::Recordset& rs) {
        auto c = rs.Clone();
        std::string out;
        for (; !c->IsEOF(); c->MoveNext()) {
            for (int i = 0; i < c->GetFields().Count(); ++i) out += kv::DebugString(c->Value(i)) + "|";
            out += "\n";
        }
        return out;
    }

    std::vector<std::shared_ptr<CLSMG_QUENDORMIXAL>> ifaces_;
};

// The whole matrix of each grid type against rows worked out from the tables directly.
TEST_P(MatrixDataTest, LoadGivesOneRowPerListAndOptionWithTheStoredRowsMerged) {
    for (const auto& c : kCasi) {
        SCOPED_TRACE(c.name);
        auto d = Driver(c);
        ASSERT_EQ(d->State(), 0);
        auto rs = d->Recordset()->Clone();
        const auto liste = Listini(c.ditta, 1);
        const auto o1 = Opzioni(c.ditta, c.var1);
        const auto o2 = c.tipo == 1 ? std::vector<std::string>{""} : Opzioni(c.ditta, c.var2);
        ASSERT_EQ(rs->RecordCount(), static_cast<long>(liste.size() * o1.size() * o2.size()));
        long n = 0, trovati = 0;
        for (long list : liste) {
            for (const auto& b : o2) {
                for (const auto& a : o1) {
                    SCOPED_TRACE(std::to_string(list) + " " + a + " " + b);
                    ++n;
                    const std::string codice =
                        c.tipo == 1 ? demo::ComposeOption(c.preset, {{c.start1, a}})
                                    : demo::ComposeOption(c.preset, {{c.start1, a}, {c.start2, b}});
                    EXPECT_EQ(kv::CLng(rs->Value("LI10_NUMLIST")), list);
                    EXPECT_EQ(kv::RTrim(kv::CStr(rs->Value("BLT_OPZIONE1"))), a);
                    EXPECT_EQ(kv::RTrim(kv::CStr(rs->Value("LI10_OPZIONE_MG5E"))), kv::RTrim(codice));
                    EXPECT_EQ(kv::RTrim(kv::CStr(rs->Value("LI10_CODART_MG66"))), c.articolo);
                    EXPECT_EQ(rs->Value("LI10_DATAINIZIOVAL"), Variant(kv::Date::FromYmd(2025, 1, 1)));
                    EXPECT_EQ(rs->Value("LI10_DATAFINEVAL"), Variant(kv::Date::FromYmd(2025, 12, 31)));
                    if (c.tipo > 1) {
                        EXPECT_EQ(kv::RTrim(kv::CStr(rs->Value("BLT_OPZIONE2"))), b);
                        EXPECT_EQ(kv::CLng(rs->Value("ID")), n);
                    }
                    const Variant stored = PrezzoMemorizzato(c.ditta, c.articolo, codice, list);
                    if (stored.IsNull()) {
                        EXPECT_TRUE(rs->Value("LI10_PREZZO").IsNull());
                        EXPECT_TRUE(rs->Value("LI10_FLGLIST").IsNull());
                    } else {
                        ++trovati;
                        EXPECT_EQ(kv::CDec(rs->Value("LI10_PREZZO")), kv::CDec(stored));
                    }
                    rs->MoveNext();
                }
            }
        }
        EXPECT_GT(trovati, 0) << "the demo stores rows for every one of these articles";
    }
}

TEST_P(MatrixDataTest, ProposedDatesFollowTheListsIndicator) {
    struct Dates {
        int ini, fine;
        kv::Date attesa_ini, attesa_fine;
    };
    const Dates casi[] = {
        {1, 1, kv::Date::FromYmd(2024, 2, 1), kv::Date::FromYmd(2024, 2, 29)},
        {2, 2, kv::Date::FromYmd(2024, 1, 1), kv::Date::FromYmd(2024, 12, 31)},
        {3, 3, kOggi, kv::Date::FromYmd(2099, 12, 31)},
        {4, 4, kv::Date::FromYmd(2024, 3, 1), kv::Date::FromYmd(2024, 9, 30)},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.ini);
        db().Execute("UPDATE MG44_PARMAGLIST SET MG44_INDPROPDATAINI = " + std::to_string(c.ini) +
                     ", MG44_INDPROPDATAFINE = " + std::to_string(c.fine) +
                     ", MG44_PROPDATAINI = '20240301', MG44_PROPDATAFINE = '20240930'");
        auto d = Driver(kCasi[0]);
        ASSERT_EQ(d->State(), 0);
        auto& rs = *d->Recordset();
        rs.MoveFirst();
        EXPECT_EQ(rs.Value("LI10_DATAINIZIOVAL"), Variant(c.attesa_ini));
        EXPECT_EQ(rs.Value("LI10_DATAFINEVAL"), Variant(c.attesa_fine));
    }
    db().Execute("UPDATE MG44_PARMAGLIST SET MG44_INDPROPDATAINI = 0, MG44_INDPROPDATAFINE = 0");
    auto d = Driver(kCasi[0]);
    d->SetDataIni("");
    d->ReLoadVarianti();
    d->Recordset()->MoveFirst();
    EXPECT_EQ(d->Recordset()->Value("LI10_DATAINIZIOVAL"), Variant(kOggi));
}

TEST_P(MatrixDataTest, AStoredRowFoundTwiceGivesTheDefaultsAndKeepsNullPrices) {
    // Without its key the table can hold the same row twice.
    if (sqlite()) {
        std::string ddl = kv::CStr(
            db().Execute("SELECT sql FROM sqlite_master WHERE name = 'LI10_LISTARTIC'")->Value(0));
        ddl = ddl.substr(0, ddl.find(",\n    PRIMARY KEY")) + ")";
        db().Execute("ALTER TABLE LI10_LISTARTIC RENAME TO LI10_OLD");
        db().Execute(ddl);
        db().Execute("INSERT INTO LI10_LISTARTIC SELECT * FROM LI10_OLD");
    } else {
        db().Execute("ALTER TABLE LI10_LISTARTIC DROP CONSTRAINT li10_listartic_pkey");
    }
    const auto& c = kCasi[1];
    const std::string codice = demo::ComposeOption("", {{1, Opzioni(c.ditta, c.var1)[0]}, {4, Opzioni(c.ditta, c.var2)[0]}});
    db().Execute("INSERT INTO LI10_LISTARTIC SELECT * FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCA100' "
                 "AND LI10_OPZIONE_MG5E = '" + codice + "' AND LI10_NUMLIST = 1");
    auto d = Driver(c);
    ASSERT_EQ(d->State(), 0);
    auto& rs = *d->Recordset();
    rs.MoveFirst();
    ASSERT_EQ(kv::RTrim(kv::CStr(rs.Value("LI10_OPZIONE_MG5E"))), kv::RTrim(codice));
    EXPECT_TRUE(rs.Value("LI10_PREZZO").IsNull());
    EXPECT_EQ(kv::CLng(rs.Value("LI10_FLGLIST")), 1);
    EXPECT_EQ(kv::CLng(rs.Value("LI10_FLGVARIATO")), 1);
    EXPECT_EQ(kv::RTrim(kv::CStr(rs.Value("LI10_PROVVSC_PA10"))), "0");
    EXPECT_EQ(kv::RTrim(kv::CStr(rs.Value("LI10_NOTE"))), "0");
    EXPECT_EQ(rs.Value("LI10_DATACREAZ"), Variant(kOggi));
    rs.MoveNext();
    EXPECT_FALSE(rs.Value("LI10_PREZZO").IsNull()) << "the next row has its one stored row";
}

// A stored row's commission decides its commission flag, whatever the flag stored says; creation and
// update dates stored blank load as today.
TEST_P(MatrixDataTest, AStoredCommissionSetsItsFlagAndBlankDatesLoadAsToday) {
    const std::string sci = "LI10_CODART_MG66 = 'SCI001' AND LI10_NUMLIST = 1 AND LI10_OPZIONE_MG5E LIKE ";
    db().Execute("UPDATE LI10_LISTARTIC SET LI10_PROVPER = 5, LI10_FLGPROVV = 0, LI10_DATACREAZ = NULL, "
                 "LI10_DATAULTAGG = NULL WHERE " + sci + "'%BEI%'");
    db().Execute("UPDATE LI10_LISTARTIC SET LI10_PROVPER = 0, LI10_FLGPROVV = 1 WHERE " + sci + "'%BIA%'");
    auto d = Driver(kCasi[0]);
    ASSERT_EQ(d->State(), 0);
    auto rs = d->Recordset()->Clone();
    auto riga = [&](const char* colore) {
        rs->SetFilter(Variant(std::string("LI10_NUMLIST = 1 AND BLT_OPZIONE1 = '") + colore + "'"));
        EXPECT_EQ(rs->RecordCount(), 1) << colore;
    };
    riga("BEI");
    EXPECT_EQ(kv::CLng(rs->Value("LI10_FLGPROVV")), 1);
    EXPECT_EQ(kv::CDbl(rs->Value("LI10_PROVPER")), 5.0);
    EXPECT_EQ(rs->Value("LI10_DATACREAZ"), Variant(kOggi));
    EXPECT_EQ(rs->Value("LI10_DATAULTAGG"), Variant(kOggi));
    riga("BIA");
    EXPECT_EQ(kv::CLng(rs->Value("LI10_FLGPROVV")), 0);
    riga("BLU");  // as stored
    EXPECT_EQ(rs->Value("LI10_DATACREAZ"), Variant(kv::Date::FromYmd(2024, 12, 15)));
    EXPECT_EQ(rs->Value("LI10_DATAULTAGG"), Variant(kv::Date::FromYmd(2025, 1, 10)));
}

// Clearing the matrix for the next key: every field after the options blanked (texts to a blank,
// numbers and dates to zero, Null left Null), the list and currency kept; only grid type 1 shows it again.
// Cleared again, it stays as it is.
TEST_P(MatrixDataTest, ClearBlanksTheRowsAndRebindsOnlyGridType1) {
    for (const Caso* c : {&kCasi[0], &kCasi[3]}) {
        SCOPED_TRACE(c->name);
        auto d = Driver(*c);
        ASSERT_EQ(d->State(), 0);
        auto& rs = *d->Recordset();
        const long righe = rs.Clone()->RecordCount();
        std::vector<Variant> liste, valute;
        for (auto cl = rs.Clone(); !cl->IsEOF(); cl->MoveNext()) {
            liste.push_back(cl->Value("LI10_NUMLIST"));
            valute.push_back(cl->Value("BLT_VALUTA"));
        }
        d->ClearVarianti();
        ASSERT_EQ(d->State(), 0);
        EXPECT_EQ(d->grid()->DataSource(), c->tipo == 1 ? d->Recordset() : nullptr);
        auto cl = rs.Clone();
        ASSERT_EQ(cl->RecordCount(), righe);
        const auto& campi = cl->FieldInfos();
        bool data_vista = false;
        for (std::size_t n = 0; !cl->IsEOF(); cl->MoveNext(), ++n) {
            EXPECT_EQ(cl->Value("LI10_NUMLIST"), liste[n]);
            EXPECT_EQ(cl->Value("BLT_VALUTA"), valute[n]);
            EXPECT_FALSE(kv::Trim(kv::CStr(cl->Value("BLT_OPZIONE1"))).empty()) << "the key's fields stay";
            for (std::size_t i = 6; i < campi.size(); ++i) {
                const Variant v = cl->Value(static_cast<int>(i));
                if (v.IsNull() || campi[i].name == "LI10_NUMLIST" || campi[i].name == "BLT_VALUTA") continue;
                if (v.IsString()) {
                    EXPECT_EQ(kv::Trim(kv::CStr(v)), "") << campi[i].name;
                } else {
                    EXPECT_EQ(kv::CDbl(v), 0.0) << campi[i].name;
                }
            }
            const Variant creazione = cl->Value("LI10_DATACREAZ");
            if (!creazione.IsNull()) {
                data_vista = true;
                EXPECT_EQ(creazione, Variant(kv::Date::FromYmd(1899, 12, 30)));
            }
        }
        EXPECT_TRUE(data_vista) << "a stored row's creation date is the zero date";
        // A matrix that is blank already is read and not written: no value is stored again.
        const auto orologio = rs.ChangeClock();
        d->ClearVarianti();
        ASSERT_EQ(d->State(), 0);
        EXPECT_EQ(rs.ChangeClock(), orologio);
    }
}

// A loaded row's net price is the one its inputs give until a value of the row is stored, and again once
// it is worked out; a recalculation works out only the rows not known so.
TEST_P(MatrixDataTest, ARowsNetPriceIsKnownRightUntilTheRowIsStoredInto) {
    for (const auto& c : {kCasi[1], kCasi[2]}) {
        SCOPED_TRACE(c.name);
        auto d = Driver(c);
        auto& rs = *d->Recordset();
        rs.SetFilter(Variant(int32_t{kv::ado::adFilterNone}));
        ASSERT_GE(rs.RecordCount(), 2);
        rs.MoveFirst();
        EXPECT_TRUE(d->NettoGiusto()) << "the load worked it out";
        rs.MoveNext();
        EXPECT_TRUE(d->NettoGiusto());
        rs.SetValue("LI10_PREZZO", 12.5);
        EXPECT_FALSE(d->NettoGiusto()) << "an input stored";
        d->AggiornaPrezzoNetto();
        EXPECT_TRUE(d->NettoGiusto());
        EXPECT_EQ(kv::CDbl(rs.Value("BLT_PREZZONETTO")), 12.5);
        rs.SetValue("BLT_PREZZONETTO", 99.0);
        EXPECT_FALSE(d->NettoGiusto()) << "the figure itself written over";
        d->AggiornaPrezzoNetto();
        EXPECT_TRUE(d->NettoGiusto());
        EXPECT_EQ(kv::CDbl(rs.Value("BLT_PREZZONETTO")), 12.5);
        rs.MoveFirst();
        EXPECT_TRUE(d->NettoGiusto()) << "the other rows are not touched";

        // Other rows than the loaded ones are not known until a load works them out.
        auto altre = CreateMatrixRecordset();
        altre->Open();
        altre->AddNew();
        altre->SetValue("LI10_PREZZO", 3.0);
        altre->Update();
        d->SetRecordset(altre);
        EXPECT_FALSE(d->NettoGiusto());
    }
}

TEST_P(MatrixDataTest, ReFilterShowsTheRowsOfTheChosenOption) {
    const auto& c = kCasi[1];
    auto d = Driver(c);
    const auto o1 = Opzioni(c.ditta, c.var1);
    const auto o2 = Opzioni(c.ditta, c.var2);
    d->SetCodVariante2(c.var2);
    d->SetValVariante2(o2[2]);
    d->ReFilterVarianti();
    EXPECT_EQ(d->State(), 0);
    EXPECT_EQ(d->Recordset()->RecordCount(), static_cast<long>(o1.size()));
    EXPECT_EQ(kv::RTrim(kv::CStr(d->Recordset()->Value("BLT_OPZIONE2"))), o2[2]);
    EXPECT_EQ(d->grid()->DataSource(), d->Recordset());
    EXPECT_EQ(d->RecordCount(), static_cast<long>(o1.size() * o2.size()));

    d->SetInverti(true);
    d->SetCodVariante1(c.var1);
    d->SetValVariante1(o1[1]);
    d->ReFilterVarianti();
    EXPECT_EQ(d->Recordset()->RecordCount(), static_cast<long>(o2.size()));
    EXPECT_EQ(kv::RTrim(kv::CStr(d->Recordset()->Value("BLT_OPZIONE1"))), o1[1]);
}

TEST_P(MatrixDataTest, CopyFillsTheVisibleRowsBelow) {
    const auto& c = kCasi[1];
    auto d = Driver(c);
    const auto o2 = Opzioni(c.ditta, c.var2);
    d->SetCodVariante2(c.var2);
    d->SetValVariante2(o2[0]);
    d->ReFilterVarianti();
    auto& rs = *d->Recordset();
    const long n = rs.RecordCount();
    rs.MoveFirst();
    rs.SetValue("LI10_PREZZO", Variant(12.34));
    rs.Update();
    d->CopiaPrezzoSuRiga();  // on the first row: nothing
    EXPECT_EQ(rs.AbsolutePosition(), 1);
    rs.MoveNext();
    rs.SetValue("LI10_PREZZO", Variant::Null());
    rs.Update();
    d->CopiaPrezzoSuRiga();
    EXPECT_EQ(rs.AbsolutePosition(), 2);
    EXPECT_EQ(rs.Value("LI10_PREZZO"), Variant(12.34));
    EXPECT_FALSE(rs.Value("BLT_PREZZONETTO").IsNull());
    rs.SetAbsolutePosition(3);
    d->CopiaPrezzoSuTutteLeRighe();
    EXPECT_TRUE(rs.IsEOF());
    auto all = rs.Clone();
    long copiati = 0;
    for (; !all->IsEOF(); all->MoveNext()) copiati += all->Value("LI10_PREZZO") == Variant(12.34) ? 1 : 0;
    EXPECT_EQ(copiati, n) << "only the rows of the option shown, and all of them";
    EXPECT_EQ(d->State(), 0);
}

// A price above that is empty or 0 is no price to copy: the rows below stay as they were.
TEST_P(MatrixDataTest, ACopyFromAnEmptyOrZeroPriceChangesNothing) {
    auto d = Driver(kCasi[0]);  // SCI001: row 9 above, rows 10 to 12 below it
    auto& rs = *d->Recordset();
    for (const Variant& sopra : {Variant::Null(), Variant(0.0)}) {
        SCOPED_TRACE(kv::DebugString(sopra));
        rs.SetAbsolutePosition(9);
        rs.SetValue("LI10_PREZZO", sopra);
        rs.Update();
        for (long r = 10; r <= 12; ++r) {
            rs.SetAbsolutePosition(r);
            rs.SetValue("LI10_PREZZO", Variant(7.0 + static_cast<double>(r)));
            rs.Update();
        }
        const std::string prima = Valori(rs);
        rs.SetAbsolutePosition(10);
        d->CopiaPrezzoSuRiga();
        rs.SetAbsolutePosition(10);
        d->CopiaPrezzoSuTutteLeRighe();
        EXPECT_EQ(Valori(rs), prima);
        EXPECT_EQ(d->State(), 0);
    }
}

// Every column a save writes that the user or the window can change is compared: another desktop's
// change to any one of them, on a row edited here, stops the save and asks, whatever the column.
TEST_P(MatrixDataTest, AChangeElsewhereToAnyColumnTheSaveWritesIsAConflict) {
    const auto& c = kCasi[1];  // SCA100: purchase list 1 stores 2025 prices
    const std::string chiave = " WHERE LI10_DITTA_CG18 = 2 AND LI10_FLGVENDACQ = 1 AND LI10_CODART_MG66 = 'SCA100'"
                               " AND LI10_DATAINIZIOVAL = '20250101' AND LI10_OPZIONE_MG5E = ";
    long usate = 0;  // each column on a stored row of its own
    for (const char* colonna : kNomiConfrontati) {
        SCOPED_TRACE(colonna);
        auto d = Driver(c);
        auto& rs = *d->Recordset();
        rs.MoveFirst();
        for (long salta = usate++; !rs.IsEOF(); rs.MoveNext())
            if (!rs.Value("LI10_PREZZO").IsNull() && salta-- == 0) break;
        ASSERT_FALSE(rs.IsEOF());
        const std::string riga = "'" + RaddoppiaApici(kv::RTrim(kv::CStr(rs.Value("LI10_OPZIONE_MG5E")))) +
                                 "' AND LI10_NUMLIST = " + kv::CStr(rs.Value("LI10_NUMLIST"));
        rs.SetValue("LI10_PREZZO", Variant(999.0));
        rs.Update();
        const std::string nome = colonna;
        const std::string valore = nome == "LI10_NOTE" || nome == "LI10_PROVVSC_PA10" ? "'altrove'"
                                   : nome == "LI10_DATASTLIS"                          ? "'20240101'"
                                                                                       : "7";
        db().Execute("UPDATE LI10_LISTARTIC SET " + nome + " = " + valore + chiave + riga);
        d->UpdateBatch();
        EXPECT_EQ(d->State(), 99);
        EXPECT_EQ(d->RigheInConflitto(), 1);
        EXPECT_EQ(Conta("LI10_PREZZO = 999"), 0) << "nothing written";
    }
}

// A stored row another desktop changes while the save is under way - here by a trigger on the save's
// own first statement - makes that row's UPDATE find nothing: the whole save, both rows, is undone.
// SQLite lets no other connection commit until the save's transaction ends (ConnectionReads).
TEST_P(MatrixDataTest, ARowChangedDuringTheSaveUndoesItWhole) {
    if (db().ReadsStableInTransaction()) GTEST_SKIP() << "no other connection can change a row during the save";
    const auto& c = kCasi[1];
    db().Execute("DELETE FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCA100' AND substring(LI10_OPZIONE_MG5E, 4, 2) = '36'");
    auto d = Driver(c);
    auto& rs = *d->Recordset();
    rs.MoveFirst();
    long nuova = 0, memorizzata = 0;
    for (; !rs.IsEOF() && (!nuova || !memorizzata); rs.MoveNext()) {
        auto& dove = rs.Value("LI10_PREZZO").IsNull() ? nuova : memorizzata;
        if (!dove) dove = rs.AbsolutePosition();
    }
    ASSERT_TRUE(nuova && memorizzata);
    rs.SetAbsolutePosition(memorizzata);
    const std::string altra = "UPDATE LI10_LISTARTIC SET LI10_PREZZO = 4321 WHERE LI10_CODART_MG66 = 'SCA100' AND "
                              "LI10_FLGVENDACQ = 1 AND LI10_NUMLIST = 1 AND LI10_DATAINIZIOVAL = '20250101' AND "
                              "LI10_OPZIONE_MG5E = '" + kv::RTrim(kv::CStr(rs.Value("LI10_OPZIONE_MG5E"))) + "'";
    for (long r : {nuova, memorizzata}) {
        rs.SetAbsolutePosition(r);
        rs.SetValue("LI10_PREZZO", Variant(55.0 + static_cast<double>(r)));
        rs.Update();
    }
    if (sqlite()) {
        db().Execute("CREATE TRIGGER altrove AFTER INSERT ON LI10_LISTARTIC BEGIN " + altra + "; END");
    } else {
        db().Execute("CREATE FUNCTION altrove() RETURNS trigger AS $$ BEGIN " + altra +
                     "; RETURN NEW; END $$ LANGUAGE plpgsql");
        db().Execute("CREATE TRIGGER altrove AFTER INSERT ON LI10_LISTARTIC FOR EACH ROW EXECUTE FUNCTION altrove()");
    }
    const auto tabella = Tabella();
    d->UpdateBatch();
    db().Execute(sqlite() ? "DROP TRIGGER altrove" : "DROP TRIGGER altrove ON LI10_LISTARTIC");
    EXPECT_EQ(d->State(), 99);
    EXPECT_TRUE(d->ConflittoSospetto());
    EXPECT_EQ(Tabella(), tabella) << "the insert and the trigger's change are undone with the rest";
    EXPECT_EQ(Conta("LI10_PREZZO = 4321"), 0);
}

// A row stored holding nothing (as earlier saves stored untouched rows), then deleted by another desktop,
// then priced here: nothing that mattered changed, so it is stored again without a question.
TEST_P(MatrixDataTest, AnEmptyStoredRowDeletedElsewhereIsStoredAgain) {
    const auto& c = kCasi[0];  // SCI001: list 2 has nothing stored
    db().Execute("INSERT INTO LI10_LISTARTIC (LI10_DITTA_CG18, LI10_FLGUSODECOR, LI10_FLGVENDACQ, LI10_INDTIPOLIS, "
                 "LI10_CODART_MG66, LI10_OPZIONE_MG5E, LI10_DEPOS_MG58, LI10_NUMLIST, LI10_DATAINIZIOVAL, "
                 "LI10_DATAFINEVAL, LI10_FLGLIST, LI10_PREZZO) VALUES (1, 0, 1, 0, 'SCI001', '    BEI', '', 2, "
                 "'20250101', '20251231', 1, 0)");
    auto d = Driver(c);
    db().Execute("DELETE FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCI001' AND LI10_NUMLIST = 2");
    auto& rs = *d->Recordset();
    for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext())
        if (kv::CLng(rs.Value("LI10_NUMLIST")) == 2 && kv::RTrim(kv::CStr(rs.Value("BLT_OPZIONE1"))) == "BEI") break;
    ASSERT_FALSE(rs.IsEOF());
    ASSERT_FALSE(rs.Value("LI10_PREZZO").IsNull()) << "the empty row was loaded";
    rs.SetValue("LI10_PREZZO", Variant(21.0));
    rs.Update();
    d->UpdateBatch();
    EXPECT_EQ(d->State(), 0);
    EXPECT_EQ(d->RigheInConflitto(), 0);
    EXPECT_EQ(Conta("LI10_CODART_MG66 = 'SCI001' AND LI10_NUMLIST = 2 AND LI10_PREZZO = 21"), 1);
}

// A save writes what the user changed and nothing else: an edited row with nothing stored is inserted
// (created and changed today, flagged as changed), an edited stored row is updated (changed today), an
// untouched row is never written, an empty cell is not a price of 0, and the host hears of exactly the
// rows written.
TEST_P(MatrixDataTest, SaveWritesOnlyTheRowsEditedWithTheirDatesAndTellsTheHost) {
    const auto& c = kCasi[1];
    db().Execute("DELETE FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCA100'");
    auto d = Driver(c);
    auto& rs = *d->Recordset();
    const auto global = std::static_pointer_cast<kv::services::HostGlobalServices>(ifaces_.back()->ClsGlobal());
    const auto& log = global->PostSaves()->Entries();
    const std::string art = "LI10_CODART_MG66 = 'SCA100' AND LI10_FLGVENDACQ = 1";
    auto imposta = [&](long riga, const char* campo, const Variant& v) {
        rs.MoveFirst();
        rs.Move(riga);
        rs.SetValue(campo, v);
        rs.Update();
    };

    d->UpdateBatch();  // nothing typed: nothing written, nobody told
    ASSERT_EQ(d->State(), 0);
    EXPECT_EQ(Conta(art), 0);
    EXPECT_TRUE(log.empty());

    imposta(0, "LI10_PREZZO", Variant(10.5));
    imposta(0, "LI10_PROVPER", Variant(3.0));
    imposta(1, "LI10_PREZZO", Variant(0.0));  // a price of 0 typed is a price
    imposta(2, "LI10_PREZZO", Variant(8.0));  // typed, then cleared: nothing to store
    imposta(2, "LI10_PREZZO", Variant::Null());
    d->UpdateBatch();
    ASSERT_EQ(d->State(), 0);
    EXPECT_TRUE(d->Insert());
    EXPECT_EQ(Conta(art), 2);
    const std::string oggi = "'" + kOggi.ToYmd() + "'";
    EXPECT_EQ(Conta(art + " AND LI10_FLGLIST = 1 AND LI10_INDUM = 1 AND LI10_FLGVARIATO = 1 AND LI10_SC1PER = 0"
                          " AND LI10_DATACREAZ = " + oggi + " AND LI10_DATAULTAGG = " + oggi),
              2);
    EXPECT_EQ(Conta(art + " AND LI10_PREZZO = 10.5 AND LI10_PROVPER = 3"), 1);
    EXPECT_EQ(Conta(art + " AND LI10_PREZZO = 0"), 1);
    ASSERT_EQ(log.size(), 2u);
    auto c2 = rs.Clone();
    EXPECT_EQ(log.front().option_code, kv::RTrim(kv::CStr(c2->Value("LI10_OPZIONE_MG5E"))));
    c2->MoveNext();
    EXPECT_EQ(log.back().option_code, kv::RTrim(kv::CStr(c2->Value("LI10_OPZIONE_MG5E"))));

    // Later: one row changed again is updated, changed today, created when it was; the row typed as it
    // is stored is not written; the others stay as they were.
    const kv::Date poi = kv::Date::FromYmd(2024, 3, 1);
    d->SetOggi([poi] { return poi; });
    imposta(0, "LI10_PREZZO", Variant(11.25));
    imposta(1, "LI10_PREZZO", Variant(0.0));
    d->UpdateBatch();
    ASSERT_EQ(d->State(), 0);
    EXPECT_FALSE(d->Insert());
    EXPECT_EQ(Conta(art), 2);
    EXPECT_EQ(Conta(art + " AND LI10_PREZZO = 11.25 AND LI10_FLGPROVV = 1 AND LI10_FLGVARIATO = 1"
                          " AND LI10_DATACREAZ = " + oggi + " AND LI10_DATAULTAGG = '" + poi.ToYmd() + "'"),
              1);
    EXPECT_EQ(Conta(art + " AND LI10_PREZZO = 0 AND LI10_DATAULTAGG = " + oggi), 1);
    EXPECT_EQ(log.size(), 3u);

    // A price cleared on a stored row is a change, written as 0.
    imposta(0, "LI10_PREZZO", Variant::Null());
    d->UpdateBatch();
    ASSERT_EQ(d->State(), 0);
    EXPECT_EQ(Conta(art + " AND LI10_PREZZO = 0"), 2);
    const auto tabella = Tabella();
    d->UpdateBatch();
    EXPECT_EQ(Tabella(), tabella) << "saved again with nothing changed";
}

// A row the database refuses in the middle of a save or a delete leaves the table as it was and the
// matrix holding every edit, so the user can correct it and save again.
TEST_P(MatrixDataTest, ARefusedRowLeavesTableAndMatrixAsTheyWere) {
    const auto& c = kCasi[1];
    // Some rows exist (updates) and some do not (inserts): both kinds are in the save. (Deleted before
    // the load: a row deleted after it by someone else is a conflict, not an insert.)
    db().Execute("DELETE FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCA100' "
                 "AND substring(LI10_OPZIONE_MG5E, 4, 2) IN ('36', '37', '38')");
    auto d = Driver(c);
    auto& rs = *d->Recordset();
    const long n = d->RecordCount();
    Rifiuta();
    rs.MoveFirst();
    rs.SetValue("LI10_PREZZO", Variant(1.5));
    rs.Update();
    rs.SetAbsolutePosition(n / 2);
    rs.SetValue("LI10_PREZZO", Variant(666.0));
    rs.Update();
    rs.SetAbsolutePosition(3);
    const auto tabella = Tabella();
    const std::string matrice = Valori(rs);
    d->UpdateBatch();
    EXPECT_EQ(d->State(), 99);
    EXPECT_EQ(Tabella(), tabella);
    EXPECT_EQ(Valori(rs), matrice);
    EXPECT_EQ(rs.AbsolutePosition(), 3);

    // Corrected, the same matrix saves.
    d->SetState(0);
    rs.SetAbsolutePosition(n / 2);
    rs.SetValue("LI10_PREZZO", Variant(66.0));
    rs.Update();
    d->UpdateBatch();
    EXPECT_EQ(d->State(), 0);
    EXPECT_EQ(Conta("LI10_CODART_MG66 = 'SCA100' AND LI10_PREZZO = 66"), 1);

    // The deletes: the demo's company 1 stores rows of purchase list 2, which the trigger keeps.
    auto m = Driver(kCasi[3]);
    ASSERT_EQ(m->State(), 0);
    ASSERT_GT(Conta("LI10_CODART_MG66 = 'MAG001' AND LI10_NUMLIST = 2 AND LI10_DATAINIZIOVAL = '20250101'"), 0);
    const auto prima = Tabella();
    const long righe = m->RecordCount();
    m->DeleteRecords();
    EXPECT_EQ(m->State(), 99);
    EXPECT_EQ(Tabella(), prima);
    EXPECT_EQ(m->RecordCount(), righe);
    m->SetState(0);
    m->DeleteRecordsTipo2("A2", "'S', 'M'");
    EXPECT_EQ(m->State(), 99);
    EXPECT_EQ(Tabella(), prima);
    EXPECT_EQ(m->RecordCount(), righe);
    Accetta();
}

// The window saves both kinds in a transaction of its own: the driver's save is part of it, neither
// committed by the driver nor able to undo the window's other work when a row is refused.
TEST_P(MatrixDataTest, ASaveInsideTheCallersTransactionJoinsIt) {
    const auto tabella = Tabella();
    auto d = Driver(kCasi[1]);
    auto& rs = *d->Recordset();
    rs.MoveFirst();
    rs.SetValue("LI10_PREZZO", Variant(5.5));
    rs.Update();
    db().BeginTrans();
    d->UpdateBatch();
    EXPECT_EQ(d->State(), 0);
    EXPECT_TRUE(db().InTransaction());
    db().RollbackTrans();
    EXPECT_EQ(Tabella(), tabella);

    Rifiuta();
    db().BeginTrans();
    db().Execute("DELETE FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'MAG001' AND LI10_NUMLIST = 1");
    rs.SetAbsolutePosition(2);
    rs.SetValue("LI10_PREZZO", Variant(666.0));
    rs.Update();
    d->UpdateBatch();
    EXPECT_EQ(d->State(), 99);
    ASSERT_TRUE(db().InTransaction());
    db().CommitTrans();
    EXPECT_EQ(Conta("LI10_CODART_MG66 = 'MAG001' AND LI10_NUMLIST = 1"), 0) << "the caller's own work stays";
    EXPECT_EQ(Conta("LI10_CODART_MG66 = 'SCA100' AND LI10_PREZZO = 5.5"), 0);
    Accetta();
}

TEST_P(MatrixDataTest, DeletesRemoveExactlyTheMatrixRowsOrTheListedOptions) {
    const auto& c = kCasi[3];
    const std::string art = "LI10_CODART_MG66 = 'MAG001' AND LI10_FLGVENDACQ = 1";
    const long altri = Conta("NOT (" + art + ")");
    const long memorizzati = Conta(art);
    auto d = Driver(c);
    // Only the options S and M of the sizes (segment 8, 3 wide), and the apostrophe in a colour code.
    d->DeleteRecordsTipo2("A2", "'S', 'M'");
    EXPECT_EQ(d->State(), 0);
    EXPECT_EQ(d->RecordCount(), 0);
    EXPECT_EQ(Conta(art + " AND substring(LI10_OPZIONE_MG5E, 8, 3) IN ('S', 'M') AND LI10_DATAINIZIOVAL = '20250101'"), 0);
    EXPECT_GT(Conta(art), 0);
    EXPECT_LT(Conta(art), memorizzati);
    EXPECT_EQ(Conta("NOT (" + art + ")"), altri);

    d = Driver(c);
    d->DeleteRecords();
    EXPECT_EQ(d->State(), 0);
    EXPECT_EQ(d->RecordCount(), 0);
    EXPECT_EQ(Conta(art + " AND LI10_DATAINIZIOVAL = '20250101' AND LI10_DATAFINEVAL = '20251231'"), 0);
    EXPECT_EQ(Conta("NOT (" + art + ")"), altri);
    EXPECT_FALSE(d->rsListini);
}

TEST_P(MatrixDataTest, AnArticleCodeWithAnApostropheLoadsSavesAndDeletes) {
    const std::string articolo = "SC'A";
    // An article that manages the same variants as SCA100, with nothing stored yet.
    db().Execute("INSERT INTO MG6B_GESVARART (MG6B_DITTA_CG18, MG6B_CODART_MG66, MG6B_CODICEVAR_MG5F, MG6B_FLGGESTVAR, "
                 "MG6B_CODRAGGVAR_MG5G) SELECT MG6B_DITTA_CG18, 'SC''A', MG6B_CODICEVAR_MG5F, MG6B_FLGGESTVAR, "
                 "MG6B_CODRAGGVAR_MG5G FROM MG6B_GESVARART WHERE MG6B_CODART_MG66 = 'SCA100'");
    auto d = Driver(demo::kDittaCalzature, articolo, "");
    ASSERT_EQ(d->State(), 0);
    ASSERT_GT(d->RecordCount(), 0);
    auto& rs = *d->Recordset();
    rs.MoveFirst();
    rs.SetValue("LI10_PREZZO", Variant(7.25));
    rs.Update();
    d->UpdateBatch();
    ASSERT_EQ(d->State(), 0);
    EXPECT_EQ(Conta("LI10_CODART_MG66 = 'SC''A'"), 1);
    auto again = Driver(demo::kDittaCalzature, articolo, "");
    again->Recordset()->MoveFirst();
    EXPECT_EQ(again->Recordset()->Value("LI10_PREZZO"), Variant(7.25));
    again->DeleteRecords();
    EXPECT_EQ(again->State(), 0);
    EXPECT_EQ(Conta("LI10_CODART_MG66 = 'SC''A'"), 0);

    // The colour D'O of the demo: its stored row is found, saved and deleted by its code.
    auto m = Driver(kCasi[3]);
    auto cl = m->Recordset()->Clone();
    cl->SetFilter(Variant("BLT_OPZIONE1 = 'D''O'"));
    ASSERT_GT(cl->RecordCount(), 0);
    EXPECT_FALSE(cl->Value("LI10_PREZZO").IsNull());
    cl->SetValue("LI10_PREZZO", Variant(77.0));
    cl->Update();
    m->UpdateBatch();
    EXPECT_EQ(m->State(), 0);
    EXPECT_EQ(Conta("LI10_CODART_MG66 = 'MAG001' AND LI10_FLGVENDACQ = 1 AND LI10_OPZIONE_MG5E LIKE '%D''O%' "
                    "AND LI10_DATAINIZIOVAL = '20250101' AND LI10_PREZZO = 77"),
              1);
    m->DeleteRecordsTipo2("A1", "'D''O'");
    EXPECT_EQ(m->State(), 0);
    EXPECT_EQ(Conta("LI10_CODART_MG66 = 'MAG001' AND LI10_FLGVENDACQ = 1 AND LI10_OPZIONE_MG5E LIKE '%D''O%' "
                    "AND LI10_DATAINIZIOVAL = '20250101'"), 0);
}

// Grid type 4: a pivot cell whose stored row another desktop changed is a conflict; reloading it shows
// the stored price in the pivot and keeps the edit of another cell.
TEST_P(MatrixDataTest, APivotEditOverARowChangedElsewhereIsAConflictAndReloads) {
    const auto& c = kCasi[3];
    auto d = Driver(c);
    const auto liste = Listini(c.ditta, 1);
    const auto o1 = Opzioni(c.ditta, c.var1);
    const auto o2 = Opzioni(c.ditta, c.var2);
    const std::string primo = demo::ComposeOption(c.preset, {{5, o1[0]}, {8, o2[0]}});
    const std::string secondo = demo::ComposeOption(c.preset, {{5, o1[0]}, {8, o2[1]}});
    d->SetElem("Prezzo lordo");
    d->ReFilterVarianti4();
    ASSERT_EQ(d->State(), 0);
    db().Execute("UPDATE LI10_LISTARTIC SET LI10_PREZZO = 77 WHERE LI10_CODART_MG66 = 'MAG001' AND LI10_FLGVENDACQ = 1"
                 " AND LI10_NUMLIST = " + std::to_string(liste[0]) + " AND LI10_OPZIONE_MG5E = '" + primo + "'");
    d->rsPivotAcq->MoveFirst();
    d->rsPivotAcq->SetValue("BLT_1", Variant(50.0));
    d->rsPivotAcq->SetValue("BLT_2", Variant(51.0));
    d->rsPivotAcq->Update();
    d->UpdateBatch();
    EXPECT_EQ(d->State(), 99);
    EXPECT_EQ(d->RigheInConflitto(), 1);
    EXPECT_EQ(kv::CDec(PrezzoMemorizzato(c.ditta, c.articolo, primo, liste[0])), Dec("77"));
    d->SetState(0);
    d->RicaricaConflitti();
    ASSERT_EQ(d->State(), 0);
    d->rsPivotAcq->MoveFirst();
    EXPECT_EQ(d->rsPivotAcq->Value("BLT_1"), Variant(77.0));
    EXPECT_EQ(d->rsPivotAcq->Value("BLT_2"), Variant(51.0));
    d->UpdateBatch();
    ASSERT_EQ(d->State(), 0);
    EXPECT_EQ(d->RigheInConflitto(), 0);
    EXPECT_EQ(kv::CDec(PrezzoMemorizzato(c.ditta, c.articolo, secondo, liste[0])), Dec("51"));
    EXPECT_EQ(kv::CDec(PrezzoMemorizzato(c.ditta, c.articolo, primo, liste[0])), Dec("77"));
}

TEST_P(MatrixDataTest, PivotShowsAnElementAndItsEditsAreSaved) {
    const auto& c = kCasi[3];
    auto d = Driver(c);
    ASSERT_EQ(d->State(), 0);
    const auto liste = Listini(c.ditta, 1);
    const auto o1 = Opzioni(c.ditta, c.var1);
    const auto o2 = Opzioni(c.ditta, c.var2);
    d->SetElem("Prezzo lordo");
    d->ReFilterVarianti4();
    ASSERT_EQ(d->State(), 0);
    auto p = d->rsPivotAcq;
    ASSERT_TRUE(p);
    EXPECT_EQ(d->grid()->DataSource(), p);
    EXPECT_EQ(p->RecordCount(), static_cast<long>(liste.size() * o1.size()));
    EXPECT_EQ(p->GetFields().Count(), 11 + static_cast<int>(o2.size()));
    p->MoveFirst();
    EXPECT_EQ(kv::CLng(p->Value("ID")), 1);
    const Variant stored = PrezzoMemorizzato(c.ditta, c.articolo, demo::ComposeOption(c.preset, {{5, o1[0]}, {8, o2[0]}}),
                                             liste[0]);
    EXPECT_EQ(kv::CDec(NZ(p->Value("BLT_1"))), kv::CDec(NZ(stored)));
    // An edit in the pivot, then another element: the edit goes back into the matrix.
    p->SetValue("BLT_1", Variant(99.5));
    p->Update();
    d->SetElemPrev("Prezzo lordo");
    d->SetElem("Sc.%1");
    d->bRicalcola = true;
    d->ReFilterVarianti4();
    auto cl = d->Recordset()->Clone();
    EXPECT_EQ(cl->Value("LI10_PREZZO"), Variant(99.5));
    // Back to the gross price, an edit, and the save takes it from the pivot.
    d->SetElemPrev("Sc.%1");
    d->SetElem("Prezzo lordo");
    d->ReFilterVarianti4();
    d->rsPivotAcq->MoveFirst();
    d->rsPivotAcq->SetValue("BLT_2", Variant(42.0));
    d->rsPivotAcq->Update();
    d->UpdateBatch();
    ASSERT_EQ(d->State(), 0);
    EXPECT_EQ(kv::CDec(PrezzoMemorizzato(c.ditta, c.articolo, demo::ComposeOption(c.preset, {{5, o1[0]}, {8, o2[1]}}),
                                         liste[0])),
              Dec("42"));
    EXPECT_EQ(kv::CDec(PrezzoMemorizzato(c.ditta, c.articolo, demo::ComposeOption(c.preset, {{5, o1[0]}, {8, o2[0]}}),
                                         liste[0])),
              Dec("99.5"));
    d->Annulla();
    EXPECT_EQ(d->rsPivotAcq->RecordCount(), 0);
}

TEST_P(MatrixDataTest, AnEmptyMatrixSavesAndDeletesNothing) {
    const auto tabella = Tabella();
    auto d = Driver(kCasi[1]);
    auto& rs = *d->Recordset();
    while (rs.RecordCount() > 0) {
        rs.MoveFirst();
        rs.Delete();
    }
    d->UpdateBatch();
    EXPECT_EQ(d->State(), 0);
    EXPECT_EQ(d->grid()->DataSource(), d->Recordset());
    d->DeleteRecords();
    EXPECT_EQ(d->State(), 0);
    EXPECT_EQ(Tabella(), tabella);
    EXPECT_FALSE(d->rsListini);
}

// 1,000 random edits of prices and discounts, saved and loaded again: exactly what was typed.
TEST_P(MatrixDataTest, RandomEditsComeBackExactly) {
    const auto& c = kCasi[1];
    auto d = Driver(c);
    auto& rs = *d->Recordset();
    const long n = d->RecordCount();
    const char* const campi[] = {"LI10_PREZZO", "LI10_SC1PER", "LI10_SC2PER", "LI10_SCIMP", "LI10_MAG1PER",
                                 "LI10_MAGIMP", "LI10_PERRICDELTA", "LI10_PROVPER"};
    std::mt19937 rng(20261206);
    std::map<std::pair<long, std::string>, kv::Decimal> attesi;
    for (int i = 0; i < 1000; ++i) {
        const long riga = 1 + static_cast<long>(rng() % static_cast<unsigned>(n));
        const std::string campo = campi[rng() % std::size(campi)];
        // Typed as the user types: up to 7 integer digits and 4 decimals, Italian decimal comma.
        const long long intero = static_cast<long long>(rng() % 10000000);
        const int decimali = static_cast<int>(rng() % 10000);
        std::string testo = std::to_string(intero) + "," + std::to_string(10000 + decimali).substr(1);
        rs.SetAbsolutePosition(riga);
        rs.SetValue(campo, Variant(testo));
        rs.Update();
        attesi[{riga, campo}] = Dec(std::to_string(intero) + "." + std::to_string(10000 + decimali).substr(1));
    }
    d->UpdateBatch();
    ASSERT_EQ(d->State(), 0);
    auto e = Driver(c);
    auto& back = *e->Recordset();
    for (const auto& [chiave, valore] : attesi) {
        back.SetAbsolutePosition(chiave.first);
        EXPECT_EQ(kv::CDec(back.Value(chiave.second)), valore) << chiave.first << " " << chiave.second;
    }
}

QMX_INSTANTIATE_ENGINES(MatrixDataTest);

}  // namespace
}  // namespace qmx
