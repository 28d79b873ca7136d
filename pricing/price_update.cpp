#include "pricing/price_update.h"

#include <cmath>
#include <map>

#include "pricing/campo.h"
#include "platform/variant/strings.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

namespace {

using kv::Variant;

// A list flag compared as the platform compares a field with a number: Null equals nothing.
bool FlagIs(const Variant& flag, int value) {
    if (flag.IsNull()) return false;
    auto d = kv::TryCDbl(flag);
    return d && *d == value;
}

kv::Decimal Num(const Variant& v) {
    // A matrix figure is mostly a Double or nothing: converted as NZ and CDec convert it, without the
    // Decimal Variant in between.
    if (v.IsNull() || v.IsEmpty()) return kv::Decimal();
    if (const double* d = v.TryGet<double>(); d && std::isfinite(*d)) return kv::Decimal::FromDouble(*d);
    return kv::CDec(NZ(v));
}

// Whether Num(v) is 0, without making the Decimal of a Double that plainly is not: every row of a run
// asks it of its price and recharge.
bool Zero(const Variant& v) {
    if (const double* d = v.TryGet<double>()) {
        if (*d == 0) return true;
        if (std::isfinite(*d) && std::fabs(*d) >= 1e-8) return false;
    }
    return Num(v).IsZero();
}

// Zero(campo.Di(rs)), reading the field without a Variant when it holds a number or nothing.
bool ZeroIn(const Campo& campo, kv::ado::Recordset& rs) {
    kv::ado::Recordset::Scalar letto;
    if (campo.Scalare(rs, letto)) {
        if (letto.kind == letto.kBlank) return true;
        if (letto.kind == letto.kNumber) return Zero(Variant(letto.number));
    }
    return Zero(campo.Di(rs));
}

// The discount and markup fields, in the order the price calculation takes its ten inputs, and the
// fields the zero-recharge "copy" mode takes over from the purchase row.
constexpr const char* kCampiCopia[] = {"LI10_PREZZO", "LI10_SC1PER", "LI10_SC2PER", "LI10_SC3PER",
                                       "LI10_SC4PER", "LI10_SC5PER", "LI10_SC6PER", "LI10_SCIMP",
                                       "LI10_MAG1PER", "LI10_MAG2PER", "LI10_MAGIMP", "BLT_PREZZONETTO"};
constexpr int kNumCampiCopia = sizeof(kCampiCopia) / sizeof(kCampiCopia[0]);

// The fields the update reads and writes, by the recordset they belong to (each keeps the position
// it found in its own recordset).
struct CampiRiga {
    Campo copia[kNumCampiCopia] = {Campo(kCampiCopia[0]), Campo(kCampiCopia[1]), Campo(kCampiCopia[2]),
                                   Campo(kCampiCopia[3]), Campo(kCampiCopia[4]), Campo(kCampiCopia[5]),
                                   Campo(kCampiCopia[6]), Campo(kCampiCopia[7]), Campo(kCampiCopia[8]),
                                   Campo(kCampiCopia[9]), Campo(kCampiCopia[10]), Campo(kCampiCopia[11])};
    Campo prezzo{"LI10_PREZZO"};
    Campo perricdelta{"LI10_PERRICDELTA"};
    Campo indarrot{"LI10_INDARROT"};
    Campo scaglione{"LI10_SCAGL_MG02"};
    Campo netto{"BLT_PREZZONETTO"};
    Campo valuta{"BLT_VALUTA"};
    Campo lista{"LI10_NUMLIST"};
    Campo opzione{"LI10_OPZIONE_MG5E"};
};
struct CampiParametri {
    Campo ricdefault{"MG44_RICDEFAULT"};
    Campo modriczero{"MG44_INDMODRICZERO"};
    Campo flgivacompr{"MG44_FLGIVACOMPR"};
    Campo indarrprezzo{"MG44_INDARRPREZZO"};
    Campo scaglione{"MG44_SCAGL_MG02"};
    Campo valuta{"MG44_VALUTA_CG08"};
};
thread_local CampiRiga campi_ven;
thread_local CampiRiga campi_acq;
thread_local CampiParametri campi_par_ven;

}  // namespace

kv::Error PricingNotSet(std::string_view what) {
    return kv::Error(kv::err::kObjectNotSet, "Object variable not set: " + std::string(what),
                     "FRMMG_QUENDORMIXAL");
}

int PriceUpdate::Report(std::string_view procedure, const kv::Error& error) const {
    return ctx_.report ? ctx_.report(procedure, error) : 3;
}

CLSMG_SETUPVARIANTI& PriceUpdate::VariantiAcq() const {
    if (!ctx_.varianti_acq) throw PricingNotSet("the purchase matrix driver");
    return *ctx_.varianti_acq;
}
CLSMG_SETUPVARIANTI& PriceUpdate::VariantiVen() const {
    if (!ctx_.varianti_ven) throw PricingNotSet("the sales matrix driver");
    return *ctx_.varianti_ven;
}
CLSMG_SETUPLISTINI& PriceUpdate::ListiniAcq() const {
    if (!ctx_.listini_acq) throw PricingNotSet("the purchase list driver");
    return *ctx_.listini_acq;
}
CLSMG_SETUPLISTINI& PriceUpdate::ListiniVen() const {
    if (!ctx_.listini_ven) throw PricingNotSet("the sales list driver");
    return *ctx_.listini_ven;
}

void PriceUpdate::BeginRun() {
    EndRun();  // nothing an earlier run kept is taken for this one's
    in_run_ = true;
}

void PriceUpdate::AggiornaPrezzo() { Aggiorna(Branch::ByDefault, kv::Decimal()); }

void PriceUpdate::AggiornaPrezzoConRicarico(const kv::Decimal& ricarico) {
    Aggiorna(ricarico.IsZero() ? Branch::ZeroRecharge : Branch::Recharge, ricarico);
}

// What one update works with; the steps below read and write it.
struct PriceUpdate::StatoAggiorna {
    Branch branch = Branch::ByDefault;
    kv::ado::RecordsetPtr ven, acq, par_ven;
    std::shared_ptr<kv::services::PriceCalculation> calc;
    double p = 0;
    bool ricarica = false;
    bool calcolato = false;  // the zero-recharge mode produced a price
    Variant flag_acq, flag_ven;
    int16_t modo = 0;
    int64_t par_riga = -1;   // the parameters' row (its bookmark), in a run; -1: read them each time
    Variant lordo_acq;       // the purchase row's gross price, as read first
    std::optional<Variant> netto_acq;  // its net price, as the recharge read it
    DerivazioneRegistrata d;  // what the steps did, kept when derivations are recorded
};

// The update's steps. A recalculation updates thousands of rows, so the steps are made once per object
// (and state) and run again for each row, rather than made anew for every row.
struct PriceUpdate::PassiAggiorna {
    const PriceUpdate* owner = nullptr;
    StatoAggiorna s;
    std::vector<Step> passi;
    bool in_uso = false;
};

void PriceUpdate::EndRun() {
    in_run_ = false;
    if (passi_ && !passi_->in_uso) Rilascia(passi_->s);  // the recordsets the run kept
    run_bracket_.reset();
    run_vat_.reset();
    run_purchase_flags_.reset();
    run_acq_ = nullptr;
    run_purchase_nets_.clear();
    run_par_rs_ = nullptr;
    run_par_riga_ = -1;
}

PriceUpdate::~PriceUpdate() = default;

std::vector<Step> PriceUpdate::Passi(StatoAggiorna& s) {
    auto& ven = s.ven;
    auto& acq = s.acq;
    auto& par_ven = s.par_ven;
    auto& calc = s.calc;
    auto& p = s.p;
    auto& ricarica = s.ricarica;
    auto& calcolato = s.calcolato;
    auto& flag_acq = s.flag_acq;
    auto& flag_ven = s.flag_ven;
    auto& modo = s.modo;
    auto& branch = s.branch;
    auto& d = s.d;
    return {
        [&] {
            // In a run the recordsets of the row before are still held (Rilascia): they are taken
            // again only when a driver holds another one, without a count going up and down for
            // every row.
            auto prendi = [](kv::ado::RecordsetPtr& tenuto, const kv::ado::RecordsetPtr& attuale) {
                if (tenuto != attuale) tenuto = attuale;
            };
            prendi(ven, VariantiVen().RecordsetRef());
            prendi(acq, VariantiAcq().RecordsetRef());
            prendi(par_ven, ListiniVen().rstParMagLis);
            if (!ven || !acq) throw PricingNotSet("the matrix recordset");
            if (!par_ven) throw PricingNotSet("the sales list parameters");
            if (registra_) RigheDerivazioni(*ven, *acq);
            if (in_run_ && !par_ven->IsBOF() && !par_ven->IsEOF()) s.par_riga = par_ven->BookmarkNumber();
        },
        // A purchase row with no price gives nothing to derive: the sales row stays as it is rather
        // than taking a price of 0 that nobody set.
        [&] {
            s.lordo_acq = campi_acq.prezzo.Di(*acq);
            return kv::IsBlank(s.lordo_acq) ? Flow::Exit : Flow::Next;
        },
        [&] {
            ricarica = branch == Branch::Recharge ||
                       (branch == Branch::ByDefault && !Zero(LeggiParametro(s, kRicDefault)));
        },

        // ---- Recharge branch. A row that already has a price, or its own recharge, keeps its recharge.
        [&] {
            if (!ricarica) return;
            if (ZeroIn(campi_ven.perricdelta, *ven) && ZeroIn(campi_ven.prezzo, *ven))
                campi_ven.perricdelta.Scrivi(*ven, NZ(LeggiParametro(s, kRicDefault)));
        },
        [&] {
            if (ricarica) NettoAcquisto(acq);
        },
        // N + N x (R / 100) in exact decimals, grouped as written, then as a double.
        [&] {
            if (!ricarica) return;
            s.netto_acq = campi_acq.netto.Di(*acq);
            const kv::Decimal n = Num(*s.netto_acq);
            Variant ricarico = campi_ven.perricdelta.Di(*ven);
            const kv::Decimal r = Num(ricarico);
            p = (n + (r / kv::Decimal(100)) * n).ToDouble();
            calcolato = true;
            if (registra_) {
                d.ricarica = true;
                d.ricarico = Tieni(std::move(ricarico));
            }
        },

        // ---- Zero-recharge branch: the row's own recharge plays no part.
        [&] {
            if (ricarica) return;
            calc = ctx_.price_calculation;
            if (!calc) throw PricingNotSet("the price calculation");
            calc->SetCurrency(NS(campi_acq.valuta.Di(*acq)));
        },
        [&] {
            if (!ricarica) modo = ParametroIntero(s, kModRicZero);
            if (!ricarica && registra_) d.modo = modo;
        },
        [&] {
            if (ricarica || modo != 1) return;
            for (int i = 0; i < kNumCampiCopia; ++i) {
                const Variant v = NZ(campi_acq.copia[i].Di(*acq));
                // A figure the field holds already is not written again: the row is written either
                // way (its price follows), and a run over thousands of rows copies mostly what the last
                // run copied.
                if (const kv::Decimal* d = v.TryGet<kv::Decimal>()) {
                    const Variant attuale = campi_ven.copia[i].Di(*ven);
                    const double x = d->ToDouble();
                    if (const double* a = attuale.TryGet<double>(); a && *a == x && std::signbit(*a) == std::signbit(x))
                        continue;
                }
                campi_ven.copia[i].Scrivi(*ven, v);
            }
            p = kv::CDbl(NZ(campi_acq.prezzo.Di(*acq)));
            calcolato = true;
        },
        [&] {
            if (ricarica || (modo != 2 && modo != 3)) return;
            calc->SetGrossPrice(NZ((modo == 2 ? campi_acq.prezzo : campi_acq.netto).Di(*acq)));
            for (int i = 1; i <= kv::services::PriceCalculation::kDiscounts; ++i)
                calc->SetDiscount(i, int16_t{0});
            calc->SetDiscountAmount(int16_t{0});
            for (int i = 1; i <= kv::services::PriceCalculation::kMarkups; ++i)
                calc->SetMarkup(i, int16_t{0});
            calc->SetMarkupAmount(int16_t{0});
        },
        [&] {
            if (ricarica || (modo != 2 && modo != 3)) return;
            calc->Calculate();
            p = kv::CDbl(calc->NetPrice());
            calcolato = true;
        },

        // ---- Both branches: the price, its VAT conversion, then its rounding. A zero-recharge mode
        // that computes nothing (0, "the price is not changed", or an unknown mode) leaves the stored
        // price as it is: converting it anyway would apply the VAT again on every run.
        [&] {
            if (calcolato) campi_ven.prezzo.Scrivi(*ven, p);
            if (registra_) {
                d.calcolato = calcolato;
                d.prezzo = p;
                d.prezzo_iva = p;
            }
        },
        [&] {
            if (!calcolato) return;
            flag_acq = FlagIvaAcquisto(acq);
            flag_ven = LeggiParametro(s, kFlgIvaCompr);
        },
        [&] {
            if (!calcolato) return;
            if (auto convertito = ConvertiIva(p, flag_acq, flag_ven)) {
                p = *convertito;
                campi_ven.prezzo.Scrivi(*ven, p);
                if (registra_) {
                    d.iva = FlagIs(flag_acq, 1) ? 1 : 2;
                    aliquota_derivazioni_ = Aliquota();
                    d.prezzo_iva = p;
                }
            }
        },
        // Rounding comes after the conversion, so the stored price is the rounded one in the sales
        // list's terms.
        [&] {
            if (calcolato) Arrotonda(p, s, registra_ ? &d.arrotondamento : nullptr);
        },
        [&] { VariantiVen().AggiornaPrezzoNetto(); },
        // The derivation is kept by the sales row's bookmark, with the purchase row's: a run keeps one for
        // each of its thousands of rows, and what names a row (list, options) is read only when the user
        // asks for the breakdown of that row. The purchase prices are kept as the run read them.
        [&] {
            if (!registra_) return;
            const int64_t riga = ven->BookmarkNumber() - primo_ven_;
            const int64_t riga_acq = acq->BookmarkNumber() - 1;
            if (riga < 0 || riga_acq < 0) return;
            d.fonte = ParametroIntero(s, kIndArrPrezzo);
            d.prezzo_finale = Tieni(campi_ven.prezzo.Di(*ven));
            d.riga_acq = riga_acq;
            // The purchase row is not written by the update: its figures are those read above.
            d.lordo_acq = Tieni(s.lordo_acq);
            d.netto_acq = Tieni(s.netto_acq ? *s.netto_acq : campi_acq.netto.Di(*acq));
            d.presente = true;
            const auto i = static_cast<std::size_t>(riga);
            if (i >= derivazioni_.size()) derivazioni_.resize(i + 1);
            derivazioni_[i] = d;
        },
    };
}

void PriceUpdate::Aggiorna(Branch branch, const kv::Decimal& /*ricarico*/) {
    const ErrorReporter report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    // An update started from within another one (from the error report, say) gets steps of its own.
    if (!passi_ || passi_->owner != this || passi_->in_uso) {
        auto nuovi = std::make_shared<PassiAggiorna>();
        nuovi->owner = this;
        nuovi->passi = Passi(nuovi->s);
        if (!passi_ || passi_->owner != this) {
            passi_ = nuovi;
        } else {
            nuovi->s.branch = branch;
            RunTrapped("AggiornaPrezzo", report, nuovi->passi);
            return;
        }
    }
    PassiAggiorna& u = *passi_;
    Azzera(u.s);
    u.s.branch = branch;
    u.in_uso = true;
    try {
        RunTrapped("AggiornaPrezzo", report, u.passi);
    } catch (...) {
        u.in_uso = false;
        Rilascia(u.s);
        throw;
    }
    u.in_uso = false;
    Rilascia(u.s);
}

// The state an update starts from, set field by field: the update runs once per row of a run, and a
// whole new state (its recordsets, flags and derivation) costs more than the few fields it resets.
void PriceUpdate::Azzera(StatoAggiorna& s) const {
    s.branch = Branch::ByDefault;
    s.p = 0;
    s.ricarica = false;
    s.calcolato = false;
    s.flag_acq = Variant();
    s.flag_ven = Variant();
    s.modo = 0;
    s.par_riga = -1;
    s.lordo_acq = Variant();
    s.netto_acq.reset();
    if (registra_) s.d = DerivazioneRegistrata{};
}

// The recordsets and objects are not held between updates, but for the recordsets from one row of a
// run to the next (EndRun lets them go).
void PriceUpdate::Rilascia(StatoAggiorna& s) const {
    if (!in_run_) {
        s.ven.reset();
        s.acq.reset();
        s.par_ven.reset();
    }
    s.calc.reset();
}

std::optional<double> PriceUpdate::ConvertiIva(double price, const Variant& flag_acq,
                                               const Variant& flag_ven) {
    // Purchase prices include VAT, sales prices do not: take the VAT out; and the other way round.
    // The rate stays exact (5.5 is not 6); the arithmetic on the price is in doubles.
    if (FlagIs(flag_acq, 1) && FlagIs(flag_ven, 0)) {
        const double divisore = (Aliquota() + kv::Decimal(100)).ToDouble();
        return price / divisore * 100;
    }
    if (FlagIs(flag_acq, 0) && FlagIs(flag_ven, 1)) {
        const double v = Aliquota().ToDouble();
        return (v / 100) * price + price;
    }
    return std::nullopt;  // equal flags, or a Null one: the price stays
}

const Variant& PriceUpdate::LeggiParametro(StatoAggiorna& s, Parametro quale) {
    // Asked several times a row, mostly answered from what the run read: the field is looked up
    // only when it is read.
    auto campo_di = [](Parametro p) -> const Campo& {
        switch (p) {
            case kRicDefault: return campi_par_ven.ricdefault;
            case kModRicZero: return campi_par_ven.modriczero;
            case kFlgIvaCompr: return campi_par_ven.flgivacompr;
            case kIndArrPrezzo: return campi_par_ven.indarrprezzo;
            case kScaglione: return campi_par_ven.scaglione;
            default: return campi_par_ven.valuta;
        }
    };
    if (!in_run_ || s.par_riga < 0) {
        fuori_giro_ = campo_di(quale).Di(*s.par_ven);
        return fuori_giro_;
    }
    const auto righe = s.par_ven->Rows();
    if (run_par_rs_ != s.par_ven.get() || run_par_riga_ != s.par_riga || !(run_par_rows_ == righe)) {
        run_par_rs_ = s.par_ven.get();
        run_par_riga_ = s.par_riga;
        run_par_rows_ = righe;
        for (auto& v : run_par_) v.reset();
        for (auto& n : run_par_interi_) n.reset();
    }
    auto& letto = run_par_[static_cast<std::size_t>(quale)];
    if (!letto) letto = campo_di(quale).Di(*s.par_ven);
    return *letto;
}

int16_t PriceUpdate::ParametroIntero(StatoAggiorna& s, Parametro quale) {
    const Variant& v = LeggiParametro(s, quale);  // brings the run's figures up to the parameters' row
    if (!in_run_ || s.par_riga < 0) return kv::CInt(NZ(v));
    auto& intero = run_par_interi_[static_cast<std::size_t>(quale)];
    if (!intero) intero = kv::CInt(NZ(v));  // a figure that does not convert raises again at each row
    return *intero;
}

void PriceUpdate::Arrotonda(double price, StatoAggiorna& s, int32_t* applicato) {
    const auto& ven = s.ven;
    const int16_t fonte = ParametroIntero(s, kIndArrPrezzo);
    // The row's price was just written: a rounding indicator or bracket it already holds needs no
    // second write (the row is modified either way, and the field keeps its value).
    auto scrivi = [&](const Campo& campo, const Variant& v) {
        bool uguale = false;
        kv::ado::Recordset::Scalar letto;
        if (campo.Scalare(*ven, letto) && (letto.kind == letto.kBlank || letto.kind == letto.kNumber)) {
            // Read without a Variant: nothing (a field stores Null, never Empty) or a number.
            if (letto.kind == letto.kBlank) {
                uguale = v.IsNull();
            } else if (!v.IsNull()) {
                const int16_t* n = v.TryGet<int16_t>();
                const auto b = n ? std::optional<double>(*n) : kv::TryCDbl(v);
                uguale = b && letto.number == *b;
            }
        } else {
            const Variant attuale = campo.Di(*ven);
            uguale = v.IsNull() && attuale.IsNull();
            if (!v.IsNull() && !attuale.IsNull() && !attuale.IsEmpty()) {
                const auto a = kv::TryCDbl(attuale), b = kv::TryCDbl(v);
                uguale = a && b && *a == *b;
            }
        }
        if (!uguale) campo.Scrivi(*ven, v);
    };
    if (fonte == 0) {
        scrivi(campi_ven.indarrot, int16_t{0});
        scrivi(campi_ven.scaglione, Variant::Null());
        return;
    }
    Variant scaglione;
    if (fonte == 1) {
        scaglione = Scaglione();
    } else if (fonte == 2) {
        scaglione = NS(LeggiParametro(s, kScaglione));
    } else {
        return;
    }
    if (scaglione.IsEmpty() || kv::CStr(scaglione).empty()) return;  // no bracket: nothing changes
    auto rounding = ctx_.price_rounding;
    if (!rounding) throw PricingNotSet("the price rounding");
    const std::string valuta = kv::CStr(LeggiParametro(s, kValuta));
    // Rounded before anything is written: a rounding that fails leaves the indicator and bracket as they
    // were, so the row never says it was rounded with a bracket its price did not go through.
    // The same bracket for row after row: its number is worked out once.
    if (!(scaglione_numero_ && scaglione_numero_->first == scaglione))
        scaglione_numero_.emplace(scaglione, kv::CInt(scaglione));
    const double arrotondato = rounding->Round(price, scaglione_numero_->second, valuta);
    if (applicato) {
        if (auto applied = rounding->LastRounding()) {
            *applicato = static_cast<int32_t>(arrotondamenti_.size());
            arrotondamenti_.push_back(std::move(*applied));
        }
    }
    scrivi(campi_ven.indarrot, int16_t{1});
    scrivi(campi_ven.scaglione, scaglione);
    campi_ven.prezzo.Scrivi(*ven, arrotondato);
}

PriceUpdate::Cifra PriceUpdate::Tieni(Variant v) {
    Cifra c;
    if (const double* d = v.TryGet<double>()) {
        c.numero = *d;
    } else {
        c.altro = static_cast<int32_t>(altri_.size());
        altri_.push_back(std::move(v));
    }
    return c;
}

Variant PriceUpdate::Valore(const Cifra& c) const {
    return c.altro >= 0 ? altri_[static_cast<std::size_t>(c.altro)] : Variant(c.numero);
}

void PriceUpdate::RigheDerivazioni(kv::ado::Recordset& ven, kv::ado::Recordset& acq) {
    const auto righe_ven = ven.Rows();
    const auto righe_acq = acq.Rows();
    if (righe_ven == righe_ven_ && righe_acq == righe_acq_) return;
    DimenticaDerivazioni();  // kept for other rows than these: they no longer name anything
    righe_ven_ = righe_ven;
    righe_acq_ = righe_acq;
    // Bookmarks go on counting from load to load: the derivations are kept from the first row's on, or
    // a window that loads all day would keep room for every row it ever loaded.
    auto tutte = ven.Clone();
    tutte->SetFilter(Variant(int32_t{kv::ado::adFilterNone}));
    primo_ven_ = tutte->IsEOF() ? 0 : kv::CLngLng(tutte->Bookmark());
}

void PriceUpdate::DimenticaDerivazioni() {
    derivazioni_.clear();
    altri_.clear();
    arrotondamenti_.clear();
    righe_ven_ = {};
    righe_acq_ = {};
}

std::optional<DerivazionePrezzo> PriceUpdate::Derivazione(kv::ado::Recordset& ven) const {
    // Rows added to or removed from either matrix since (a reload, a deletion) end what was kept: the
    // bookmarks may name other rows now.
    if (derivazioni_.empty() || ven.IsBOF() || ven.IsEOF() || !(ven.Rows() == righe_ven_)) return std::nullopt;
    const int64_t riga = ven.BookmarkNumber() - primo_ven_;
    if (riga < 0 || riga >= static_cast<int64_t>(derivazioni_.size())) return std::nullopt;
    const DerivazioneRegistrata& r = derivazioni_[static_cast<std::size_t>(riga)];
    if (!r.presente) return std::nullopt;
    auto matrice_acq = ctx_.varianti_acq ? ctx_.varianti_acq->Recordset() : nullptr;
    if (!matrice_acq || !(matrice_acq->Rows() == righe_acq_)) return std::nullopt;
    auto acq = matrice_acq->Clone();  // its own position, no filter: the window's matrix does not move
    acq->SetBookmark(Variant(static_cast<long long>(r.riga_acq) + 1));
    DerivazionePrezzo d;
    d.lista_acq = campi_acq.lista.Di(*acq);
    d.opzione_acq = kv::CStr(NS(campi_acq.opzione.Di(*acq)));
    d.valuta_acq = kv::CStr(NS(campi_acq.valuta.Di(*acq)));
    d.lordo_acq = Num(Valore(r.lordo_acq));
    d.netto_acq = Num(Valore(r.netto_acq));
    d.ricarica = r.ricarica;
    if (r.ricarica) d.ricarico = Num(Valore(r.ricarico));
    d.modo = r.modo;
    d.calcolato = r.calcolato;
    d.prezzo = r.prezzo;
    d.iva = r.iva;
    if (r.iva != 0) d.aliquota = aliquota_derivazioni_;
    d.prezzo_iva = r.prezzo_iva;
    d.fonte_arrotondamento = r.fonte;
    if (r.arrotondamento >= 0) d.arrotondamento = arrotondamenti_[static_cast<std::size_t>(r.arrotondamento)];
    d.prezzo_finale = Valore(r.prezzo_finale);
    return d;
}

Variant PriceUpdate::FlagIvaAcquisto(const kv::ado::RecordsetPtr& acq) {
    // The flag of the purchase list the purchase row belongs to. The parameters' current row is only
    // the fallback: it is whichever list they stand on, and converting by another list's flag would
    // put VAT into a price, or leave it in, wrongly.
    auto par_acq = ListiniAcq().rstParMagLis;
    if (!par_acq) throw PricingNotSet("the purchase list parameters");
    if (!in_run_ || !run_purchase_flags_) {
        std::map<double, Variant> flags;
        auto copia = par_acq->Clone();
        for (copia->MoveFirst(); !copia->IsEOF(); copia->MoveNext()) {
            const Variant numero = copia->Value("MG44_NUMLIST");
            if (!numero.IsNull()) flags.emplace(kv::CDbl(numero), copia->Value("MG44_FLGIVACOMPR"));
        }
        run_purchase_flags_ = std::move(flags);
    }
    const Variant lista = campi_acq.lista.Di(*acq);
    if (!lista.IsNull() && !lista.IsEmpty()) {
        auto it = run_purchase_flags_->find(kv::CDbl(lista));
        if (it != run_purchase_flags_->end()) return it->second;
    }
    return par_acq->Value("MG44_FLGIVACOMPR");
}

void PriceUpdate::NettoAcquisto(const kv::ado::RecordsetPtr& acq) {
    auto& driver = VariantiAcq();
    int64_t riga = -1;
    if (in_run_ && acq && !acq->IsBOF() && !acq->IsEOF()) {
        try {
            riga = acq->BookmarkNumber();
        } catch (const std::exception&) {
            riga = -1;  // no row to remember: the driver's update decides what happens
        }
    }
    if (riga < 0) return driver.AggiornaPrezzoNetto();
    if (run_acq_ != acq.get()) {
        run_acq_ = acq.get();
        run_purchase_nets_.clear();
    }
    const auto i = static_cast<std::size_t>(riga);
    if (i < run_purchase_nets_.size() && run_purchase_nets_[i]) return;  // written earlier in the run
    // A row nobody stored into since its net price was worked out has the one its inputs give. The
    // driver knows of its own matrix's rows only.
    if (acq == driver.Recordset() && driver.NettoGiusto()) return;
    driver.AggiornaPrezzoNetto();
    if (i >= run_purchase_nets_.size()) run_purchase_nets_.resize(i + 1, 0);
    run_purchase_nets_[i] = 1;
}

// A run keeps what a lookup read; a lookup that failed (reported, and gone on from) is not kept, so the
// next row asks again instead of every later row taking the default of a failure.
Variant PriceUpdate::Scaglione() {
    if (in_run_ && run_bracket_) return *run_bracket_;
    const std::string articolo = ctx_.article ? ctx_.article() : std::string();
    bool letto = false;
    Variant s = LeggiScaglione(kv::CStr(NS(articolo)), letto);
    if (in_run_ && letto) run_bracket_ = s;
    return s;
}

kv::Decimal PriceUpdate::Aliquota() {
    if (in_run_ && run_vat_) return *run_vat_;
    bool letta = false;
    const kv::Decimal v = LeggiAliquota(letta);
    if (in_run_ && letta) run_vat_ = v;
    return v;
}

Variant PriceUpdate::GetScaglione(const std::string& codice) {
    bool letto = false;
    return LeggiScaglione(codice, letto);
}

Variant PriceUpdate::LeggiScaglione(const std::string& codice, bool& letto) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    Variant result;  // Empty unless exactly one row
    letto = true;
    if (kv::CStr(NS(codice)).empty()) return Variant(std::string());
    letto = false;
    kv::ado::RecordsetPtr rs;
    RunTrapped("GetScaglione", report, {
        [&] {
            if (!ctx_.connection) throw PricingNotSet("the window's connection");
            // The code is put between apostrophes with its own apostrophes doubled, so it is compared
            // as written and cannot end the literal.
            rs = ctx_.connection->Execute(
                "SELECT MG66_SCAGL_MG02 FROM MG66_ANAGRART WHERE MG66_DITTA_CG18 =" + ctx_.company +
                " AND MG66_CODART ='" + RaddoppiaApici(codice) + "' AND MG66_FLGARRPRZ = 1");
        },
        [&] {
            if (!rs) return;
            if (rs->RecordCount() == 1) result = NS(rs->Value("MG66_SCAGL_MG02"));
            letto = true;
        },
        [&] {
            if (rs) rs->Close();
        },
    });
    return result;
}

kv::Decimal PriceUpdate::GetAliquotaIvaArticolo() {
    bool letta = false;
    return LeggiAliquota(letta);
}

kv::Decimal PriceUpdate::LeggiAliquota(bool& letta) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    letta = false;
    kv::Decimal result;
    std::string articolo;
    RunTrapped("GetAliquotaIvaArticolo", report, {
        [&] { articolo = kv::CStr(NS(ctx_.article ? ctx_.article() : std::string())); },
        [&] {
            if (!ctx_.connection) throw PricingNotSet("the window's connection");
            result = AliquotaIvaArticolo(*ctx_.connection, ctx_.company, articolo);
            letta = true;
        },
    });
    return result;
}

kv::Decimal AliquotaIvaArticolo(kv::ado::Connection& connection, const std::string& company,
                                const std::string& article) {
    auto rs = connection.Execute(
        "SELECT CG28_PERCIVA FROM MG66_ANAGRART"
        " INNER JOIN CG28_TABCODIVA ON MG66_ALIVA_CG28 = CG28_CODICE"
        " WHERE MG66_DITTA_CG18 = " +
        company + " AND MG66_CODART ='" + RaddoppiaApici(article) + "'");
    // The rate as the table holds it: a 16-bit integer would turn 5.5 % into 6 % and 4.5 % into 4 %.
    kv::Decimal result;
    if (!rs->IsBOF() && !rs->IsEOF()) result = kv::CDec(NZ(rs->Value("CG28_PERCIVA")));
    rs->Close();
    return result;
}

}  // namespace qmx
