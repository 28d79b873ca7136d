#pragma once
// The margin of a sales price: what is left of a sales row's net price once the net price of the same
// option in the sales list's reference purchase list (MG44_NUMLISTACQRIC) is paid, as a percentage of
// the sales net price. The two prices are compared as the recalculation relates them: the purchase row
// is the one "Ricalcola" derives the sales row from (the last one when several match), and a list whose
// prices include VAT (MG44_FLGIVACOMPR = 1) has the article's VAT taken out. A purchase price in another
// currency than the sales list's is converted through the company's exchange rates (QX11_CAMBI): for
// each currency the latest rate starting on or before the sales row's validity start (today when the row
// has none). Every figure is an exact decimal.
//
// The window asks for the margin of a row each time it draws it, so what comes from the database (the
// list parameters, the article's VAT rate, the company's currency and its rates) is read once and kept
// until Dimentica; the purchase rows are found in a table of the purchase matrix made again only when
// its rows change.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ado/recordset.h"
#include "platform/variant/date.h"
#include "platform/variant/decimal.h"
#include "pricing/price_update.h"
#include "pricing/righe_acquisto.h"

namespace qmx {

// What the margin is worked out from.
struct CifreMargine {
    kv::Decimal netto_ven;  // the sales net price, in the sales list's currency
    bool iva_ven = false;   // the sales list's prices include VAT
    kv::Decimal netto_acq;  // the purchase net price, in the purchase list's currency
    bool iva_acq = false;
    kv::Decimal aliquota;   // the article's VAT percentage
    // Units of each list's currency per unit of the company's currency (1 for the company's own).
    kv::Decimal cambio_ven = 1, cambio_acq = 1;
};

struct Margine {
    kv::Decimal acquisto_convertito;  // the purchase net price in the sales list's currency
    kv::Decimal vendita, acquisto;    // both without VAT, in the sales list's currency
    kv::Decimal percentuale;          // (vendita - acquisto) / vendita x 100
};

// nullopt when the sales price without VAT is 0: there is nothing to take a percentage of.
std::optional<Margine> CalcolaMargine(const CifreMargine& c);

// The margin of one sales row, with what the breakdown says of it.
struct MargineRiga {
    std::optional<Margine> margine;  // nullopt: `motivo` says why there is none
    std::string motivo;
    CifreMargine cifre;
    int lista_acq = 0;
    std::string valuta_ven, valuta_acq, valuta_ditta;
    kv::Date giorno;  // the day the rates are taken for
    std::optional<kv::Date> inizio_cambio_ven, inizio_cambio_acq;  // when a rate was used, its start
    bool Negativo() const { return margine && margine->percentuale.Sign() < 0; }
};

class MarginiVendita {
public:
    // `oggi` gives the session's today.
    MarginiVendita(PricingContext context, std::function<kv::Date()> oggi)
        : ctx_(std::move(context)), oggi_(std::move(oggi)) {}

    // The margin of the sales matrix row `ven` stands on (the matrix or a clone of it). Never raises:
    // what cannot be read is a reason.
    MargineRiga Calcola(kv::ado::Recordset& ven);
    // Forgets what was read from the database: a key loaded again reads it afresh.
    void Dimentica();

private:
    struct Parametri {
        int righe = 0;  // parameter rows of the list: a reference counts only when there is one
        bool iva = false;
        std::string valuta;
        int riferimento = 0;
    };
    using Tabella = std::map<long long, Parametri>;
    const Parametri* Lista(const std::shared_ptr<CLSMG_SETUPLISTINI>& driver, kv::ado::RecordsetPtr& letti,
                           Tabella& tabella, long long lista);
    kv::Decimal Aliquota();
    const std::string& ValutaDitta();
    // The rate of `valuta` on `giorno` and the day it starts; nullopt when the table has none.
    std::optional<std::pair<kv::Decimal, kv::Date>> Cambio(const std::string& valuta, kv::Date giorno);
    void Calcola(kv::ado::Recordset& ven, MargineRiga& m);

    PricingContext ctx_;
    std::function<kv::Date()> oggi_;
    kv::ado::RecordsetPtr par_ven_, par_acq_;  // the parameter recordsets the tables were read from
    Tabella liste_ven_, liste_acq_;
    std::optional<std::pair<std::string, kv::Decimal>> aliquota_;  // article -> rate
    std::optional<std::string> valuta_ditta_;
    std::optional<bool> tabella_cambi_;
    std::map<std::pair<std::string, double>, std::optional<std::pair<kv::Decimal, kv::Date>>> cambi_;
    RigheAcquisto righe_acq_;
    kv::ado::Recordset::RowsStamp righe_lette_;  // the purchase rows righe_acq_ was made of
    kv::ado::RecordsetPtr acq_;                   // a clone of them the purchase rows are read through
    bool righe_ok_ = false;
};

}  // namespace qmx
