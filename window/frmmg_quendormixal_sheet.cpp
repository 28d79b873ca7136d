#include "window/frmmg_quendormixal_sheet.h"

#include <fstream>
#include <set>
#include <sstream>
#include <utility>

#include "platform/controls/toolbar.h"
#include "platform/services/dialogs.h"
#include "platform/variant/strings.h"
#include "shell/error_trap.h"
#include "shell/modmg_quendormixal.h"
#include "window/grid_adjust.h"
#include "window/grid_csv.h"
#include "window/grid_period.h"

namespace qmx {

namespace ctl = kv::controls;
namespace svc = kv::services;

namespace {

constexpr const char* kTitoloAvviso = "Attenzione";

void Avvisa(FRMMG_QUENDORMIXAL& w, const std::string& text, int style = svc::style::kExclamation,
            const char* title = kTitoloAvviso) {
    if (auto messages = w.MessageBoxService()) messages->Message(text, style, title);
}

ErrorReporter Reporter(FRMMG_QUENDORMIXAL& w) {
    return [&w](std::string_view procedure, const kv::Error& e) { return w.VisualizzaErrore(procedure, e); };
}

// The matrix driver behind a grid of the window.
std::shared_ptr<CLSMG_SETUPVARIANTI> DriverOf(FRMMG_QUENDORMIXAL& w, bool acquisto) {
    auto driver = acquisto ? w.VariantiAcquisto() : w.VariantiVendita();
    if (!driver)
        throw kv::Error(kv::err::kObjectNotSet, "Object variable not set: the window has no driver",
                        FRMMG_QUENDORMIXAL::kName);
    return driver;
}

// Nothing to work on before a key is loaded: the grids are empty.
bool ChiaveCaricata(FRMMG_QUENDORMIXAL& w) {
    if (!w.TXT_CODART->Text().empty() && w.State().grid_type != 0) return true;
    Avvisa(w, "Caricare prima un articolo.");
    return false;
}

// Grid type 4 edits a pivot of the matrix, written back into it only when another element is chosen.
// Before a file is written or read, the element on screen is written into the matrix (as choosing
// another element does), so the file has the prices typed in it and an import does not lose them.
void PivotNellaMatrice(FRMMG_QUENDORMIXAL& w, CLSMG_SETUPVARIANTI& driver) {
    if (w.State().grid_type != 4 || driver.Elem().empty()) return;
    driver.SetElemPrev(driver.Elem());
    FRMMG_QUENDORMIXAL::ReFilterKeepingEdits(driver);
}

// The pivot writes a typed price into the matrix without its net price, which grid type 4 works out
// only to show it: before the matrix is written to a file, the net price of each row whose figure no
// longer follows from its inputs is computed again (the others are left untouched, and unmodified).
void NettiAggiornati(FRMMG_QUENDORMIXAL& w, CLSMG_SETUPVARIANTI& driver) {
    if (w.State().grid_type != 4) return;
    auto matrice = driver.Recordset();
    if (!matrice || matrice->State() != kv::ado::adStateOpen || matrice->RecordCount() <= 0) return;
    for (matrice->MoveFirst(); !matrice->IsEOF(); matrice->MoveNext()) {
        const auto passi = driver.PassiPrezzoNetto(matrice.get());
        const kv::Variant netto = matrice->Value("BLT_PREZZONETTO");
        const bool giusto = passi ? !kv::IsBlank(netto) && kv::CDec(netto) == passi->net : kv::IsBlank(netto);
        if (!giusto) driver.AggiornaPrezzoNetto();
    }
    matrice->MoveFirst();
}

// After an import the pivot is drawn again from the matrix, without the values it showed before
// being written back over the imported ones, so the element on screen shows what was imported.
void PivotDallaMatrice(FRMMG_QUENDORMIXAL& w, CLSMG_SETUPVARIANTI& driver) {
    if (w.State().grid_type == 4) driver.RidisegnaPivot();
}

// What a typed edit leaves behind, for changes made straight in the matrix: the changes are pending
// and "Conferma", "Ricalcola" and "Annulla" are enabled.
void ModifichePendenti(FRMMG_QUENDORMIXAL& w) {
    w.MutableState().changes_pending = true;
    w.INTERNAV->EnableButton(ctl::kToolbarConfirm, true);
    w.INTERNAV->EnableButton("Ricalcola", true);
    w.INTERNAV->EnableButton(ctl::kToolbarCancel, true);
}

}  // namespace

bool IncollaBlocco(FRMMG_QUENDORMIXAL& w, ctl::DataGrid& grid, std::string_view text) {
    StoricoModifiche::Azione azione(w.Storico());
    bool incollato = false;
    RunTrapped("IncollaBlocco", Reporter(w), {
        [&] {
            const PasteOutcome esito = PasteBlock(grid, grid.CurrentRow(), grid.CurrentColumnIndex(), text);
            incollato = esito.applied;
            if (!esito.message.empty()) Avvisa(w, esito.message);
        },
    });
    return incollato;
}

std::string CopiaBlocco(const ctl::DataGrid& grid, const CellRange& range) { return CopyBlock(grid, range); }

bool EsportaCsv(FRMMG_QUENDORMIXAL& w, bool acquisto, const std::string& path) {
    bool scritto = false;
    RunTrapped("EsportaCsv", Reporter(w), {
        [&] { return ChiaveCaricata(w) ? Flow::Next : Flow::Exit; },
        [&] { PivotNellaMatrice(w, *DriverOf(w, acquisto)); },
        [&] { NettiAggiornati(w, *DriverOf(w, acquisto)); },
        [&] {
            auto matrice = DriverOf(w, acquisto)->Recordset();
            if (!matrice || matrice->State() != kv::ado::adStateOpen) return;
            std::ostringstream testo;
            WriteMatrixCsv(*matrice, testo);
            std::ofstream file(path, std::ios::binary | std::ios::trunc);
            file << testo.str();
            file.close();
            if (!file) {
                Avvisa(w, "Il file \"" + path + "\" non si può scrivere.");
                return;
            }
            scritto = true;
        },
    });
    return scritto;
}

bool ImportaCsv(FRMMG_QUENDORMIXAL& w, bool acquisto, const std::string& path) {
    StoricoModifiche::Azione azione(w.Storico());
    bool importato = false;
    CsvRead letto;
    RunTrapped("ImportaCsv", Reporter(w), {
        [&] { return ChiaveCaricata(w) ? Flow::Next : Flow::Exit; },
        [&] {
            std::ifstream file(path, std::ios::binary);
            std::ostringstream testo;
            if (file) testo << file.rdbuf();
            if (!file) {
                Avvisa(w, "Il file \"" + path + "\" non si può leggere.");
                return Flow::Exit;
            }
            letto = ReadMatrixCsv(testo.str());
            if (!letto.error.empty()) {
                Avvisa(w, "Il file non è stato importato. " + letto.error);
                return Flow::Exit;
            }
            return Flow::Next;
        },
        [&] {
            auto driver = DriverOf(w, acquisto);
            PivotNellaMatrice(w, *driver);
            auto matrice = driver->Recordset();
            if (!matrice) return;
            auto& grid = acquisto ? *w.GRD_LISACQ : *w.GRD_LISVEN;
            // The grid lets go of the matrix while its filter is lifted, and shows it again afterwards.
            auto bound = grid.DataSource();
            if (bound == matrice) grid.SetDataSource(nullptr);
            CsvApplied esito;
            try {
                esito = ApplyMatrixCsv(*matrice, letto, [&driver] { driver->AggiornaPrezzoNetto(); }, &w.Regola());
            } catch (...) {
                if (bound == matrice) grid.SetDataSource(matrice);
                throw;
            }
            if (bound == matrice) grid.SetDataSource(matrice);
            if (!esito.error.empty()) {
                Avvisa(w, "Il file non è stato importato. " + esito.error);
                return;
            }
            PivotDallaMatrice(w, *driver);
            grid.RefreshAfterEdit();
            if (esito.cells > 0) ModifichePendenti(w);
            importato = esito.cells > 0;
            // The report says what happened in its title too: a warning's title would tell a user whose
            // file went in whole that something went wrong.
            if (esito.unmatched.empty())
                Avvisa(w, CsvReport(esito), svc::style::kInformation, "Importazione completata");
            else
                Avvisa(w, CsvReport(esito), svc::style::kExclamation, "Importazione parziale");
        },
    });
    return importato;
}

bool RettificaPrezzi(FRMMG_QUENDORMIXAL& w, ctl::DataGrid& grid, const std::vector<long>& rows, long column,
                     std::string_view variazione, int16_t scaglione) {
    StoricoModifiche::Azione azione(w.Storico());
    bool fatto = false;
    RunTrapped("RettificaPrezzi", Reporter(w), {
        [&] {
            std::string errore;
            const auto adjustment = ReadAdjustment(variazione, errore);
            if (!adjustment) {
                Avvisa(w, errore);
                return;
            }
            AdjustRounding rounding;
            if (scaglione != 0) {
                auto service = w.PriceRoundingService();
                if (!service) throw kv::Error(kv::err::kObjectNotSet, "Object variable not set: no price rounding",
                                              FRMMG_QUENDORMIXAL::kName);
                const long valuta = grid.Columns().IndexOf("BLT_VALUTA");
                rounding = [&grid, service, valuta, scaglione](long row, const kv::Decimal& value) {
                    std::string currency = valuta >= 0 ? kv::Trim(grid.CellText(row, valuta)) : std::string();
                    if (currency.empty()) currency = "EURO";
                    return service->Round(value, scaglione, currency);
                };
            }
            const AdjustOutcome esito = AdjustCells(grid, rows, column, *adjustment, rounding);
            fatto = esito.applied;
            if (!esito.message.empty()) Avvisa(w, esito.message);
        },
    });
    return fatto;
}

std::vector<PeriodoMemorizzato> PeriodiDaCopiare(FRMMG_QUENDORMIXAL& w, bool acquisto) {
    std::vector<PeriodoMemorizzato> periodi;
    RunTrapped("PeriodiDaCopiare", Reporter(w), {
        [&] {
            auto driver = DriverOf(w, acquisto);
            auto matrice = driver->Recordset();
            if (!matrice || matrice->State() != kv::ado::adStateOpen) return;
            std::set<long> listini;
            auto righe = matrice->Clone();
            righe->SetFilter(kv::Variant(int16_t{0}));
            const int numlist = righe->GetFields().IndexOf("LI10_NUMLIST");
            if (!(righe->IsBOF() && righe->IsEOF()))
                for (righe->MoveFirst(); !righe->IsEOF(); righe->MoveNext())
                    listini.insert(static_cast<long>(kv::CDec(NZ(righe->Value(numlist))).ToInt64()));
            periodi = PeriodiMemorizzati(*driver->RigheMemorizzate(), listini);
        },
    });
    return periodi;
}

bool DaPeriodo(FRMMG_QUENDORMIXAL& w, const SceltaPeriodo& scelta) {
    StoricoModifiche::Azione azione(w.Storico());
    bool fatto = false;
    RunTrapped("DaPeriodo", Reporter(w), {
        [&] { return ChiaveCaricata(w) ? Flow::Next : Flow::Exit; },
        [&] {
            CopiaPeriodo copia;
            std::string descrizione;
            if (!kv::Trim(scelta.variazione).empty()) {
                std::string errore;
                copia.variazione = ReadAdjustment(scelta.variazione, errore);
                if (!copia.variazione) {
                    Avvisa(w, errore);
                    return;
                }
                descrizione += ", " + kv::Trim(scelta.variazione);
            }
            if (scelta.scaglione != 0) {
                auto service = w.PriceRoundingService();
                if (!service) throw kv::Error(kv::err::kObjectNotSet, "Object variable not set: no price rounding",
                                              FRMMG_QUENDORMIXAL::kName);
                const int16_t scaglione = scelta.scaglione;
                copia.arrotonda = [service, scaglione](const kv::Decimal& v, const std::string& valuta) {
                    return service->Round(v, scaglione, valuta);
                };
                descrizione += ", arrotondato con lo scaglione " + std::to_string(scaglione);
            }
            // Both kinds are worked out and checked before either is stored: a refusal leaves both as
            // they were.
            struct Lato {
                bool acquisto;
                const PeriodoMemorizzato* periodo;
                std::shared_ptr<CLSMG_SETUPVARIANTI> driver;
                PeriodoPreparato preparato;
            };
            std::vector<Lato> lati;
            for (bool acquisto : {true, false}) {
                const auto& periodo = acquisto ? scelta.acquisto : scelta.vendita;
                if (!periodo) continue;
                Lato lato{acquisto, &*periodo, DriverOf(w, acquisto), {}};
                PivotNellaMatrice(w, *lato.driver);
                auto matrice = lato.driver->Recordset();
                if (!matrice) continue;
                copia.inizio = periodo->inizio;
                copia.fine = periodo->fine;
                lato.preparato = PreparaPeriodo(
                    *matrice, *lato.driver->RigheMemorizzate(&periodo->inizio, &periodo->fine), copia, &w.Regola());
                if (!lato.preparato.esito.errore.empty()) {
                    Avvisa(w, "I prezzi non sono stati copiati. " + lato.preparato.esito.errore);
                    return;
                }
                lati.push_back(std::move(lato));
            }
            std::string rapporto;
            bool parziale = false;
            long celle = 0;
            for (auto& lato : lati) {
                auto matrice = lato.driver->Recordset();
                auto& grid = lato.acquisto ? *w.GRD_LISACQ : *w.GRD_LISVEN;
                // The grid lets go of the matrix while its filter is lifted, and shows it again afterwards.
                auto bound = grid.DataSource();
                if (bound == matrice) grid.SetDataSource(nullptr);
                try {
                    ScriviPeriodo(*matrice, lato.preparato, [&lato] { lato.driver->AggiornaPrezzoNetto(); });
                } catch (...) {
                    if (bound == matrice) grid.SetDataSource(matrice);
                    throw;
                }
                if (bound == matrice) grid.SetDataSource(matrice);
                PivotDallaMatrice(w, *lato.driver);
                grid.RefreshAfterEdit();
                const EsitoPeriodo& esito = lato.preparato.esito;
                celle += esito.celle;
                parziale = parziale || esito.senza_origine > 0 || esito.stesso_periodo > 0 || !esito.solo_origine.empty();
                const std::string origine = "Prezzo lordo da periodo " + lato.periodo->inizio.ToString() + " - " +
                                            lato.periodo->fine.ToString() + descrizione + ".";
                for (const auto& [bookmark, lordo] : esito.lordi)
                    w.OriginiPeriodo()[{!lato.acquisto, static_cast<long long>(kv::CDbl(bookmark))}] = {lordo, origine};
                rapporto += std::string(rapporto.empty() ? "" : "\n\n") + (lato.acquisto ? "Acquisto" : "Vendita") +
                            ", dal periodo " + lato.periodo->inizio.ToString() + " - " + lato.periodo->fine.ToString() +
                            ": " + RapportoPeriodo(esito);
            }
            if (celle > 0) ModifichePendenti(w);
            fatto = celle > 0;
            if (lati.empty()) return;
            if (parziale)
                Avvisa(w, rapporto, svc::style::kExclamation, "Copia parziale");
            else
                Avvisa(w, rapporto, svc::style::kInformation, "Copia completata");
        },
    });
    return fatto;
}

bool ApriDaPeriodo(FRMMG_QUENDORMIXAL& w) {
    // An answer given ahead is for this press of the key, whatever happens to it.
    auto risposta = std::exchange(w.risposta_periodo, {});
    if (!ChiaveCaricata(w)) return false;
    const auto acquisto = PeriodiDaCopiare(w, true);
    const auto vendita = PeriodiDaCopiare(w, false);
    if (acquisto.empty() && vendita.empty()) {
        Avvisa(w, "Non ci sono periodi memorizzati dei listini di questo articolo da cui copiare i prezzi.");
        return false;
    }
    auto chiedi = risposta ? risposta : w.scegli_periodo;
    if (!chiedi) return false;
    const auto scelta = chiedi(acquisto, vendita);
    if (!scelta || (!scelta->acquisto && !scelta->vendita)) return false;
    return DaPeriodo(w, *scelta);
}

std::optional<std::string> OrigineDaPeriodo(FRMMG_QUENDORMIXAL& w, bool vendita, kv::ado::Recordset& riga) {
    if (riga.IsBOF() || riga.IsEOF()) return std::nullopt;
    const auto& origini = w.OriginiPeriodo();
    auto it = origini.find({vendita, static_cast<long long>(kv::CDbl(riga.Bookmark()))});
    if (it == origini.end()) return std::nullopt;
    // Once the user typed another gross price, the period no longer explains it.
    const kv::Variant lordo = riga.Value("LI10_PREZZO");
    if (kv::IsBlank(lordo) || kv::CDec(lordo) != kv::CDec(it->second.lordo)) return std::nullopt;
    return it->second.testo;
}

std::vector<long> RigheListino(const ctl::DataGrid& grid, long listino) {
    std::vector<long> rows;
    const long numero = grid.Columns().IndexOf("LI10_NUMLIST");
    if (numero < 0) return rows;
    for (long r = 0; r < grid.RowCount(); ++r) {
        const kv::Variant v = grid.CellValue(r, numero);
        if (!v.IsNull() && !v.IsEmpty() && kv::CDec(v) == kv::Decimal(listino)) rows.push_back(r);
    }
    return rows;
}

}  // namespace qmx

namespace qmx {

kv::Variant FRMMG_QUENDORMIXAL::Command(std::string_view name, const std::vector<kv::Variant>& args) {
    auto arg = [&](std::size_t i) -> const kv::Variant& {
        if (i >= args.size())
            throw kv::Error(kv::err::kInvalidCall, "Invalid procedure call: " + std::string(name) +
                                                                " wants more arguments", kName);
        return args[i];
    };
    auto grid = [&]() -> ctl::DataGrid& {
        const std::string g = kv::UCase(kv::CStr(arg(0)));
        if (g == "GRD_LISACQ") return *GRD_LISACQ;
        if (g == "GRD_LISVEN") return *GRD_LISVEN;
        throw kv::Error(kv::err::kInvalidCall, "Invalid procedure call: no price grid " + g, kName);
    };
    auto purchase = [&] { return &grid() == GRD_LISACQ.get(); };
    const std::string command = kv::LCase(name);
    if (command == "incollablocco") return kv::Variant(IncollaBlocco(*this, grid(), kv::CStr(arg(1))));
    if (command == "copiablocco")
        return kv::Variant(CopiaBlocco(grid(), {kv::CLng(arg(1)), kv::CLng(arg(2)), kv::CLng(arg(3)), kv::CLng(arg(4))}));
    if (command == "esportacsv") return kv::Variant(EsportaCsv(*this, purchase(), kv::CStr(arg(1))));
    if (command == "importacsv") return kv::Variant(ImportaCsv(*this, purchase(), kv::CStr(arg(1))));
    if (command == "rettificaprezzi") {
        std::vector<long> rows;
        for (std::size_t i = 4; i < args.size(); ++i) rows.push_back(kv::CLng(args[i]));
        return kv::Variant(RettificaPrezzi(*this, grid(), rows, kv::CLng(arg(1)), kv::CStr(arg(2)),
                                           kv::CInt(arg(3))));
    }
    if (command == "annullamodifica") return kv::Variant(AnnullaUltimaModifica());
    if (command == "ripetimodifica") return kv::Variant(RipetiModifica());
    if (command == "periodidacopiare") {
        // What the "Da periodo" dialog lists, one period a line.
        std::string out;
        for (bool acquisto : {true, false}) {
            long n = 0;
            for (const auto& p : PeriodiDaCopiare(*this, acquisto))
                out += std::string(acquisto ? "acquisto " : "vendita ") + std::to_string(++n) + ": " + DescriviPeriodo(p) + "\n";
        }
        return kv::Variant(out);
    }
    if (command == "scegliperiodo") {
        // The answer the next "Da periodo" dialog is given: the period of each kind by its place in the
        // list (from 1; 0 none), the change and the rounding bracket.
        const long acq = kv::CLng(arg(0)), ven = kv::CLng(arg(1));
        const std::string variazione = kv::CStr(arg(2));
        const auto scaglione = static_cast<int16_t>(kv::CInt(arg(3)));
        risposta_periodo = [acq, ven, variazione, scaglione](const std::vector<PeriodoMemorizzato>& a,
                                                             const std::vector<PeriodoMemorizzato>& v) {
            SceltaPeriodo scelta;
            if (acq > 0 && acq <= static_cast<long>(a.size())) scelta.acquisto = a[static_cast<std::size_t>(acq - 1)];
            if (ven > 0 && ven <= static_cast<long>(v.size())) scelta.vendita = v[static_cast<std::size_t>(ven - 1)];
            scelta.variazione = variazione;
            scelta.scaglione = scaglione;
            return std::optional<SceltaPeriodo>(scelta);
        };
        return kv::Variant(true);
    }
    if (command == "righelistino") {
        std::string out;
        for (long r : RigheListino(grid(), kv::CLng(arg(1)))) {
            if (!out.empty()) out += ',';
            out += std::to_string(r);
        }
        return kv::Variant(out);
    }
    return PresentableWindow::Command(name, args);
}

}  // namespace qmx
