#include "pricing/recalculation.h"

#include <functional>

#include "pricing/campo.h"
#include "pricing/righe_acquisto.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

namespace {

using kv::Variant;
using kv::ado::RecordsetPtr;

template <class T>
T& Req(const std::shared_ptr<T>& p, std::string_view what) {
    if (!p) throw PricingNotSet(what);
    return *p;
}

// The sales row's fields a run reads for every row.
struct CampiVendita {
    Campo lista{"LI10_NUMLIST"};
    Campo codicevar1{"BLT_CODICEVAR1"};
    Campo opzione1{"BLT_OPZIONE1"};
    Campo codicevar2{"BLT_CODICEVAR2"};
    Campo opzione2{"BLT_OPZIONE2"};
};
thread_local CampiVendita campi_ven;

bool Vuoto(const RecordsetPtr& rs) { return rs->IsBOF() && rs->IsEOF(); }

// What a run changed and must give back, also when the user leaves it after an error.
struct Ripristino {
    RecordsetPtr acq, ven;
    std::shared_ptr<kv::controls::DataGrid> grid_acq, grid_ven;
    RecordsetPtr sorgente_acq, sorgente_ven;  // what the grids show at the end
    bool sganciati = false;
    bool bloccati = false;
    bool filtri_salvati = false;
    std::string filtro_acq, filtro_ven;

    void Filtri() const {
        if (!filtri_salvati) return;
        acq->SetFilter(filtro_acq != "0" ? Variant(filtro_acq) : Variant(int16_t{0}));
        if (!Vuoto(acq)) acq->MoveFirst();
        ven->SetFilter(filtro_ven != "0" ? Variant(filtro_ven) : Variant(int16_t{0}));
        if (!Vuoto(ven)) ven->MoveFirst();
    }
    void Griglie() const {
        if (!sganciati) return;
        if (grid_acq) grid_acq->SetDataSource(sorgente_acq);
        if (grid_ven) grid_ven->SetDataSource(sorgente_ven);
    }
};

// Each restoring step on its own: one that fails does not keep the others from running.
void Ripristina(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception&) {
        // The run is being left after an error already reported; what cannot be given back stays.
    }
}

}  // namespace

void Recalculation::DoEvents() const {
    if (Ctx().do_events) Ctx().do_events();
}

std::string Recalculation::FiltroAcquisto(const RecordsetPtr& ven, int16_t lista_acquisto) const {
    // A level the sales row has no option of (a one-level grid leaves the other one Null on both
    // matrices) matches a purchase row that has none either: compared as '' alone it would match no
    // row, and grid type 1 would derive nothing.
    auto clausola = [&](const char* nome, const Campo& campo) {
        const std::string t = kv::CStr(NS(campo.Di(*ven)));
        if (t.empty()) return std::string(" AND (") + nome + " ='' OR " + nome + " = NULL)";
        return std::string(" AND ") + nome + " ='" + RaddoppiaApici(t) + "'";
    };
    return "LI10_NUMLIST = " + std::to_string(lista_acquisto) + clausola("BLT_CODICEVAR1", campi_ven.codicevar1) +
           clausola("BLT_OPZIONE1", campi_ven.opzione1) + clausola("BLT_CODICEVAR2", campi_ven.codicevar2) +
           clausola("BLT_OPZIONE2", campi_ven.opzione2);
}

int16_t Recalculation::Riferimento(const RecordsetPtr& ven) {
    return GetNumListAcqRif(campi_ven.lista.Di(*ven));
}

void Recalculation::InizioGiro() {
    in_giro_ = true;
    riferimenti_.clear();
    filtro_par_voluto_ = Variant();
    filtro_par_messo_ = Variant();
    ultimo_riferimento_.reset();
    ultima_lista_.reset();
    ultimo_filtro_ = Variant();
    prezzi_.BeginRun();
    // The breakdown shows how this run derived each row; what an earlier run did is gone.
    prezzi_.DimenticaDerivazioni();
    prezzi_.RegistraDerivazioni(true);
}

void Recalculation::FineGiro() {
    prezzi_.EndRun();
    prezzi_.RegistraDerivazioni(false);
    in_giro_ = false;
    riferimenti_.clear();
    ultimo_riferimento_.reset();
    ultima_lista_.reset();
    if (!filtro_par_voluto_.IsEmpty() && !(filtro_par_voluto_ == filtro_par_messo_)) {
        Ripristina([&] {
            if (auto par = Ctx().listini_ven ? Ctx().listini_ven->rstParMagLis : nullptr)
                par->SetFilter(filtro_par_voluto_);
        });
    }
}

void Recalculation::FiltraParametri(const RecordsetPtr& par, const Variant& lista) {
    // Consecutive rows mostly belong to the same list: its filter text is made once.
    if (!(ultima_lista_ && *ultima_lista_ == lista)) {
        ultimo_filtro_ = Variant("MG44_NUMLIST = " + kv::CStr(lista));
        ultima_lista_ = lista;
    }
    const Variant& filtro = ultimo_filtro_;
    filtro_par_voluto_ = filtro;
    if (filtro_par_messo_ == filtro) return;
    filtro_par_messo_ = Variant();
    par->SetFilter(filtro);
    filtro_par_messo_ = filtro;
}

int16_t Recalculation::GetNumListAcqRif(const Variant& numList) {
    // In a run, a row of the list asked for last has its answer without making the list's key again.
    if (in_giro_ && ultimo_riferimento_ && ultimo_riferimento_->first == numList) {
        filtro_par_voluto_ = Variant(int16_t{0});
        return ultimo_riferimento_->second;
    }
    const std::string chiave = numList.IsNull() || numList.IsEmpty() ? std::string() : kv::CStr(numList);
    if (in_giro_ && !chiave.empty()) {
        auto it = riferimenti_.find(chiave);
        if (it != riferimenti_.end()) {
            filtro_par_voluto_ = Variant(int16_t{0});
            ultimo_riferimento_.emplace(numList, it->second);
            return it->second;
        }
    }
    filtro_par_messo_ = Variant();  // the parameters' filter is changed below
    auto report = [this](std::string_view p, const kv::Error& e) {
        return Ctx().report ? Ctx().report(p, e) : 3;
    };
    int16_t result = 0;
    RecordsetPtr par;
    RunTrapped("GetNumListAcqRif", report, {
        [&] {
            par = Req(Ctx().listini_ven, "the sales list driver").rstParMagLis;
            if (!par) throw PricingNotSet("the sales list parameters");
        },
        [&] { par->SetFilter("MG44_NUMLIST = " + kv::CStr(numList)); },
        [&] {
            if (par->RecordCount() == 1) result = kv::CInt(NZ(par->Value("MG44_NUMLISTACQRIC")));
        },
        [&] {
            par->SetFilter(int16_t{0});
            filtro_par_voluto_ = Variant(int16_t{0});
            filtro_par_messo_ = Variant(int16_t{0});
        },
    });
    if (in_giro_ && !chiave.empty()) {
        riferimenti_[chiave] = result;
        ultimo_riferimento_.emplace(numList, result);
    }
    return result;
}

void Recalculation::RicalcolaListini() {
    const char* const kNome = "RicalcolaListini";
    auto& ctx = Ctx();
    const ErrorReporter report = [&](std::string_view p, const kv::Error& e) {
        Ripristina([&] { Req(ctx.varianti_acq, "the purchase matrix driver").SetStatusOperationError(); });
        return ctx.report ? ctx.report(p, e) : 3;
    };
    Ripristino r;
    RecordsetPtr par_ven;
    bool lasciata = false;
    RigheAcquisto tabella;
    bool con_tabella = false;

    InizioGiro();
    const Outcome esito = RunTrapped(kNome, report, {
        [&] {
            r.acq = Req(ctx.varianti_acq, "the purchase matrix driver").Recordset();
            r.ven = Req(ctx.varianti_ven, "the sales matrix driver").Recordset();
            par_ven = Req(ctx.listini_ven, "the sales list driver").rstParMagLis;
            if (!r.acq || !r.ven) throw PricingNotSet("the matrix recordset");
            if (!par_ven) throw PricingNotSet("the sales list parameters");
        },
        [&] {
            if (r.acq->IsBOF() || r.acq->IsEOF() || par_ven->IsBOF() || par_ven->IsEOF()) return Flow::Exit;
            return Flow::Next;
        },
        [&] { ctx.varianti_acq->SetStatusOperationInProgress(); },
        [&] {
            r.grid_acq = ctx.varianti_acq->grid();
            r.grid_ven = ctx.varianti_ven->grid();
            r.sorgente_acq = r.acq;
            r.sorgente_ven = r.ven;
            r.sganciati = true;
            if (r.grid_acq) r.grid_acq->SetDataSource(nullptr);
            if (r.grid_ven) r.grid_ven->SetDataSource(nullptr);
        },
        [&] {
            r.bloccati = true;
            ctx.varianti_acq->bEnableRowColChange = false;
            ctx.varianti_ven->bEnableRowColChange = false;
        },
        [&] {
            r.filtro_acq = kv::CStr(r.acq->Filter());
            r.filtro_ven = kv::CStr(r.ven->Filter());
            r.filtri_salvati = true;
        },
        [&] {
            r.ven->SetFilter(int16_t{0});
            r.acq->SetFilter(int16_t{0});
        },
        [&] {
            if (!Vuoto(r.ven)) r.ven->MoveFirst();
        },
        [&] {
            // The purchase rows of each sales row are found in a table made once for the run; a matrix
            // the table cannot answer for is filtered row by row.
            try {
                con_tabella = tabella.Costruisci(*r.acq, *r.ven);
            } catch (const std::exception&) {
                con_tabella = false;
            }
        },
        [&] {
            // The steps of a purchase row and of a sales row are the same for every row: they are made
            // once for the walk, not for each of its thousands of rows.
            const std::vector<int64_t>* trovate = nullptr;
            std::size_t k = 0;
            const auto finite = [&] { return con_tabella ? k >= trovate->size() : r.acq->IsEOF(); };
            const auto vai = [&] {
                if (k < trovate->size()) r.acq->SetBookmarkNumber((*trovate)[k]);
            };
            const Step passi_acquisto[] = {
                [&] { FiltraParametri(par_ven, campi_ven.lista.Di(*r.ven)); },
                [&] { prezzi_.AggiornaPrezzo(); },
                [&] { DoEvents(); },
                [&] {
                    if (!con_tabella) return r.acq->MoveNext();
                    ++k;
                    vai();
                },
            };
            const Step passi_riga[] = {
                [&] {
                    if (!con_tabella) return r.acq->SetFilter(FiltroAcquisto(r.ven, Riferimento(r.ven)));
                    trovate = nullptr;
                    const int16_t lista = Riferimento(r.ven);
                    trovate = &tabella.Trova(*r.ven, lista);
                },
                // Every matching purchase row rewrites the sales row in turn; the last one stands.
                [&] {
                    if (con_tabella) {
                        if (!trovate || trovate->empty()) return Flow::Next;
                        k = 0;
                        vai();
                    } else {
                        if (r.acq->RecordCount() <= 0) return Flow::Next;
                        r.acq->MoveFirst();
                    }
                    while (!finite()) {
                        if (RunTrapped(kNome, report, passi_acquisto) == Outcome::Left) {
                            lasciata = true;
                            return Flow::Exit;
                        }
                    }
                    return Flow::Next;
                },
                // The next row's filter replaces this one; the matrix is unfiltered after the walk.
                [&] { r.ven->MoveNext(); },
            };
            while (!r.ven->IsEOF()) {
                const Outcome riga = RunTrapped(kNome, report, passi_riga);
                if (riga == Outcome::Left || lasciata) {
                    lasciata = true;
                    return Flow::Exit;
                }
            }
            return Flow::Next;
        },
        [&] {
            if (lasciata) return Flow::Exit;
            r.acq->SetFilter(int16_t{0});
            return Flow::Next;
        },
        [&] {
            if (lasciata) return Flow::Exit;
            r.bloccati = false;
            ctx.varianti_acq->bEnableRowColChange = true;
            ctx.varianti_ven->bEnableRowColChange = true;
            return Flow::Next;
        },
        [&] {
            r.Filtri();
            r.filtri_salvati = false;
        },
        [&] {
            r.Griglie();
            r.sganciati = false;
        },
        [&] {
            if (ctx.enable_button) ctx.enable_button(kRicalcola, true);
        },
        [&] { ctx.varianti_acq->SetStatusOperationCompleted(); },
    });
    FineGiro();

    // A run left after an error gives back what it took, so the window stays usable.
    if (esito == Outcome::Left || lasciata) {
        if (r.bloccati) {
            Ripristina([&] { ctx.varianti_acq->bEnableRowColChange = true; });
            Ripristina([&] { ctx.varianti_ven->bEnableRowColChange = true; });
        }
        Ripristina([&] { r.Filtri(); });
        Ripristina([&] { r.Griglie(); });
    }
}

void Recalculation::RicalcolaListini4() {
    const char* const kNome = "RicalcolaListini4";
    auto& ctx = Ctx();
    auto report = [&](std::string_view p, const kv::Error& e) {
        Ripristina([&] { Req(ctx.varianti_acq, "the purchase matrix driver").SetStatusOperationError(); });
        return ctx.report ? ctx.report(p, e) : 3;
    };
    RecordsetPtr acq, ven, par_ven;
    bool lasciata = false;
    bool iniziata = false;

    InizioGiro();
    const Outcome esito = RunTrapped(kNome, report, {
        [&] {
            ven = Req(ctx.varianti_ven, "the sales matrix driver").Recordset();
            acq = Req(ctx.varianti_acq, "the purchase matrix driver").Recordset();
            if (ven && !Vuoto(ven)) ven->MoveFirst();
        },
        [&] {
            iniziata = true;
            ctx.varianti_acq->SetStatusOperationInProgress();
        },
        [&] {
            par_ven = Req(ctx.listini_ven, "the sales list driver").rstParMagLis;
            if (!ven || !acq) throw PricingNotSet("the matrix recordset");
            if (!par_ven) throw PricingNotSet("the sales list parameters");
        },
        [&] {
            if (ven->RecordCount() <= 0) return Flow::Next;
            ven->MoveFirst();
            while (!ven->IsEOF()) {
                kv::Decimal ricarico;
                bool salta = false;
                const Outcome riga = RunTrapped(kNome, report, {
                    [&] { acq->SetFilter(FiltroAcquisto(ven, Riferimento(ven))); },
                    // A sales row without a purchase row to derive it from, or whose list has no parameter
                    // row, is left as it is (the other grid types do the same).
                    [&] { salta = acq->RecordCount() <= 0; },
                    [&] {
                        if (salta) return;
                        FiltraParametri(par_ven, campi_ven.lista.Di(*ven));
                        if (par_ven->RecordCount() > 0) {
                            ricarico = kv::CDec(NZ(par_ven->Value("MG44_RICDEFAULT")));
                        } else {
                            salta = true;
                        }
                    },
                    [&] {
                        if (!salta) prezzi_.AggiornaPrezzoConRicarico(ricarico);
                    },
                    [&] {
                        if (!salta) ven->UpdateBatch(kv::ado::adAffectAll);
                    },
                    [&] { ven->MoveNext(); },
                });
                if (riga == Outcome::Left) {
                    lasciata = true;
                    return Flow::Exit;
                }
            }
            return Flow::Next;
        },
        [&] { DoEvents(); },
        [&] { acq->SetFilter(int16_t{0}); },
        [&] { ctx.varianti_ven->bEsciTrasf = true; },
        // The sales pivot is rebuilt from the recalculated matrix, showing the gross prices the run
        // computed: built with the element shown before (a discount, say) while Elem says
        // "Prezzo lordo", it would show one field under the other's name, and the next element change
        // would write the discounts back into the gross prices.
        [&] {
            ctx.varianti_ven->SetElem(kPrezzoLordo);
            ctx.varianti_ven->SetElemPrev(kPrezzoLordo);
        },
        [&] { ctx.varianti_ven->ReFilterVarianti4(); },
        [&] { DoEvents(); },
        [&] {
            ctx.varianti_ven->SetElem(kPrezzoLordo);
            ctx.varianti_ven->SetElemPrev(kPrezzoLordo);
        },
        [&] {
            if (ctx.side_lists_to_first_row) ctx.side_lists_to_first_row();
        },
        [&] {
            ctx.varianti_acq->bEnableRowColChange = true;
            ctx.varianti_ven->bEnableRowColChange = true;
            ctx.varianti_ven->bEsciTrasf = false;
        },
        [&] {
            if (ctx.enable_button) ctx.enable_button(kRicalcola, true);
        },
        [&] { ctx.varianti_acq->SetStatusOperationCompleted(); },
    });
    FineGiro();

    // A run left after an error gives back what it took, so the window stays usable: the purchase
    // matrix unfiltered, both grids showing their pivot, the grid events enabled again.
    if ((esito == Outcome::Left || lasciata) && iniziata) {
        Ripristina([&] { acq->SetFilter(int16_t{0}); });
        Ripristina([&] { ctx.varianti_acq->bEnableRowColChange = true; });
        Ripristina([&] { ctx.varianti_ven->bEnableRowColChange = true; });
        Ripristina([&] { ctx.varianti_ven->bEsciTrasf = false; });
        for (const auto& driver : {ctx.varianti_acq, ctx.varianti_ven}) {
            Ripristina([&] {
                auto grid = driver->grid();
                auto pivot = driver->SalPur() == VarPurchase ? driver->rsPivotAcq : driver->rsPivotVen;
                if (grid && !grid->DataSource()) grid->SetDataSource(pivot ? pivot : driver->Recordset());
            });
        }
    }
}

}  // namespace qmx
