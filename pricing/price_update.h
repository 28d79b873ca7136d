#pragma once
// The window's price update of one sales row: the gross price of the sales matrix's current row derived
// from the purchase matrix's current row (the caller positions both), by the sales list's default
// recharge or, without one, by its zero-recharge mode; then the VAT conversion between lists that do and
// do not include VAT, the rounding bracket, and the net prices of both rows. GetScaglione and
// GetAliquotaIvaArticolo read the article's rounding bracket and VAT rate.
//
// These are procedures of the window: they run under the window's error trap and report through the
// window's VisualizzaErrore with their own names ("AggiornaPrezzo", "GetScaglione",
// "GetAliquotaIvaArticolo"); what was already written to the sales row stays when the user leaves.
// The window hands them what it holds (PricingContext) and owns the object.
//
// During a recalculation run (BeginRun ... EndRun) the article's VAT rate and rounding bracket are read
// once: neither changes while the run walks the rows. Nor does a purchase row's net price: the run writes
// sales rows only, so a purchase row that several sales rows derive from has its net price computed and
// written at the first of them; a purchase row nobody stored into since its net price was worked out (by
// the load or since) has it already, and is left as it is.

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/services/price_calculation.h"
#include "platform/services/price_rounding.h"
#include "platform/variant/decimal.h"
#include "platform/variant/variant.h"
#include "pricelist/clsmg_setuplistini.h"
#include "shell/error_trap.h"

namespace qmx {

// What the window hands its price procedures. Every member may be empty: a procedure that needs a
// missing one fails with error 91, which it reports like any other error.
struct PricingContext {
    std::shared_ptr<CLSMG_SETUPLISTINI> listini_acq;
    std::shared_ptr<CLSMG_SETUPLISTINI> listini_ven;
    std::shared_ptr<CLSMG_SETUPVARIANTI> varianti_acq;
    std::shared_ptr<CLSMG_SETUPVARIANTI> varianti_ven;
    kv::ado::ConnectionPtr connection;
    std::string company;  // written unquoted into SQL
    std::shared_ptr<kv::services::PriceCalculation> price_calculation;
    std::shared_ptr<kv::services::PriceRounding> price_rounding;
    std::function<std::string()> article;                   // the text of TXT_CODART
    ErrorReporter report;                                   // the window's VisualizzaErrore
    std::function<void()> do_events;                        // let pending window messages run
    std::function<void(std::string_view key, bool enabled)> enable_button;  // INTERNAV
    // Grid type 4, after a recalculation: each side list to its first row and its row-change handling.
    std::function<void()> side_lists_to_first_row;
};

// How the update derived one sales row, figure by figure, as a recalculation kept it for the price
// breakdown: the purchase row it came from, the recharge or the zero-recharge mode, the VAT
// conversion and the rounding bracket.
struct DerivazionePrezzo {
    kv::Variant lista_acq;        // the purchase row's list
    std::string opzione_acq;      // and its option code
    kv::Decimal lordo_acq;        // its gross price
    kv::Decimal netto_acq;        // its net price as the update read it
    std::string valuta_acq;
    bool ricarica = false;        // the recharge branch; otherwise the zero-recharge mode `modo`
    kv::Decimal ricarico;         // the row's recharge percentage (recharge branch)
    int16_t modo = 0;
    bool calcolato = false;       // a price was derived (mode 0 or an unknown mode leave it)
    double prezzo = 0;            // the derived price before the VAT conversion
    int iva = 0;                  // 0 no conversion, 1 VAT taken out, 2 VAT added
    kv::Decimal aliquota;
    double prezzo_iva = 0;        // the price after the conversion
    int16_t fonte_arrotondamento = 0;  // MG44_INDARRPREZZO
    std::optional<kv::services::RoundingApplied> arrotondamento;  // when a bracket rounded the price
    kv::Variant prezzo_finale;    // LI10_PREZZO as the update left it
};

class PriceUpdate {
public:
    explicit PriceUpdate(PricingContext context) : ctx_(std::move(context)) {}
    ~PriceUpdate();
    PriceUpdate(const PriceUpdate&) = default;
    PriceUpdate& operator=(const PriceUpdate&) = default;
    void SetContext(PricingContext context) { ctx_ = std::move(context); }
    const PricingContext& Context() const { return ctx_; }

    // Rewrites the sales matrix's current row from the purchase matrix's current row (see the top).
    void AggiornaPrezzo();
    // Grid type 4: the same steps with the branch chosen by the caller's default recharge D (read from
    // the filtered sales parameters): the recharge branch when D is not 0, else the zero-recharge one.
    void AggiornaPrezzoConRicarico(const kv::Decimal& ricarico);

    // The rounding bracket of article `codice` as text: "" for a blank code (no query), Empty unless the
    // article has exactly one row with MG66_FLGARRPRZ = 1.
    kv::Variant GetScaglione(const std::string& codice);
    // The VAT percentage of the article in TXT_CODART, exactly as the VAT table holds it (5.5 stays
    // 5.5); 0 when the article or its VAT code is not found.
    kv::Decimal GetAliquotaIvaArticolo();

    // A run reads the article's VAT rate and bracket once, at their first use.
    void BeginRun();
    void EndRun();

    // While on, each update keeps how it derived its sales row (by the row's bookmark), for the price
    // breakdown; a later update of the same row replaces it.
    void RegistraDerivazioni(bool on) { registra_ = on; }
    // What the last kept update of the sales matrix's current row did (`ven` is the matrix or a clone
    // of it); nullopt when none was kept, or when rows have been added to or removed from either
    // matrix since (a reload, a deletion).
    std::optional<DerivazionePrezzo> Derivazione(kv::ado::Recordset& ven) const;
    void DimenticaDerivazioni();

private:
    enum class Branch { ByDefault, Recharge, ZeroRecharge };
    void Aggiorna(Branch branch, const kv::Decimal& ricarico);
    struct StatoAggiorna;
    struct PassiAggiorna;
    std::vector<Step> Passi(StatoAggiorna& s);
    void Azzera(StatoAggiorna& s) const;
    void Rilascia(StatoAggiorna& s) const;
    // The VAT conversion of a price derived from the purchase row into the sales list's terms.
    // Nothing when the flags ask for no conversion.
    std::optional<double> ConvertiIva(double price, const kv::Variant& flag_acq, const kv::Variant& flag_ven);
    // The rounding block: indicator, bracket and rounded gross price of the sales row.
    void Arrotonda(double price, StatoAggiorna& s, int32_t* applicato = nullptr);
    // A column of the sales list's parameters (the current row of `s.par_ven`). Within a run each is
    // read once for the list the parameters stand on: thousands of rows share a handful of lists.
    enum Parametro { kRicDefault, kModRicZero, kFlgIvaCompr, kIndArrPrezzo, kScaglione, kValuta, kParametri };
    // Valid until the next call.
    const kv::Variant& LeggiParametro(StatoAggiorna& s, Parametro quale);
    // CInt(NZ(...)) of a parameter: the indicators and modes each row reads.
    int16_t ParametroIntero(StatoAggiorna& s, Parametro quale);
    // The VAT flag of the purchase list that the purchase row belongs to.
    kv::Variant FlagIvaAcquisto(const kv::ado::RecordsetPtr& acq);
    kv::Variant Scaglione();
    kv::Decimal Aliquota();
    // GetScaglione and GetAliquotaIvaArticolo, saying whether the value was read (false when the lookup
    // failed and the user went on: the result is then only the default).
    kv::Variant LeggiScaglione(const std::string& codice, bool& letto);
    kv::Decimal LeggiAliquota(bool& letta);
    // The net price of the purchase matrix's current row, written to the row.
    void NettoAcquisto(const kv::ado::RecordsetPtr& acq);

    CLSMG_SETUPVARIANTI& VariantiAcq() const;
    CLSMG_SETUPVARIANTI& VariantiVen() const;
    CLSMG_SETUPLISTINI& ListiniAcq() const;
    CLSMG_SETUPLISTINI& ListiniVen() const;
    int Report(std::string_view procedure, const kv::Error& error) const;

    PricingContext ctx_;
    bool in_run_ = false;
    std::optional<kv::Variant> run_bracket_;
    std::optional<kv::Decimal> run_vat_;
    std::optional<std::map<double, kv::Variant>> run_purchase_flags_;  // list number -> MG44_FLGIVACOMPR
    // The purchase rows (by bookmark) whose net price the run has computed, in run_acq_.
    const kv::ado::Recordset* run_acq_ = nullptr;
    std::vector<uint8_t> run_purchase_nets_;
    // The parameters read in the run, and the row they were read from (its bookmark in its rows).
    const kv::ado::Recordset* run_par_rs_ = nullptr;
    kv::ado::Recordset::RowsStamp run_par_rows_;
    int64_t run_par_riga_ = -1;
    std::array<std::optional<kv::Variant>, kParametri> run_par_;
    std::array<std::optional<int16_t>, kParametri> run_par_interi_;
    kv::Variant fuori_giro_;  // a parameter read outside a run
    std::optional<std::pair<kv::Variant, int16_t>> scaglione_numero_;  // the last bracket and its number
    std::shared_ptr<PassiAggiorna> passi_;  // the update's steps, made at its first run
    bool registra_ = false;
    // A figure as the update read it from a row: a Double (the matrices' own kind) as it is, anything
    // else kept whole beside the derivations (altri_). It becomes a Decimal only when the breakdown is
    // asked for.
    struct Cifra {
        double numero = 0;
        int32_t altro = -1;  // its place in altri_, when it is not a Double
    };
    Cifra Tieni(kv::Variant v);
    // Forgets the derivations kept when they were kept for other rows than these matrices hold.
    void RigheDerivazioni(kv::ado::Recordset& ven, kv::ado::Recordset& acq);
    kv::Variant Valore(const Cifra& c) const;
    // What an update did to its sales row, in the few figures the breakdown is made from; kept by the
    // sales row's bookmark. A run keeps one for each of its thousands of rows, so the record holds plain
    // figures only: what names the purchase row (list, option, currency) is read from it when asked for,
    // the VAT rate, the same for every row, is kept once, and a rounding applied is kept beside.
    struct DerivazioneRegistrata {
        bool presente = false;
        bool ricarica = false;
        bool calcolato = false;
        int8_t iva = 0;
        int16_t modo = 0;
        int16_t fonte = 0;
        int32_t arrotondamento = -1;  // its place in arrotondamenti_
        int64_t riga_acq = -1;        // the purchase row's bookmark
        double prezzo = 0, prezzo_iva = 0;
        Cifra ricarico, lordo_acq, netto_acq, prezzo_finale;
    };
    std::vector<DerivazioneRegistrata> derivazioni_;
    std::vector<kv::Variant> altri_;
    std::vector<kv::services::RoundingApplied> arrotondamenti_;
    kv::Decimal aliquota_derivazioni_;
    kv::ado::Recordset::RowsStamp righe_ven_, righe_acq_;
    long long primo_ven_ = 0;  // the bookmark of the sales matrix's first row: derivazioni_[0]
};

// The VAT percentage of `article` of `company` (written unquoted) as the VAT table holds it; 0 when the
// article or its VAT code is not found. Raises what the query raises.
kv::Decimal AliquotaIvaArticolo(kv::ado::Connection& connection, const std::string& company,
                                const std::string& article);

// Error 91 naming what the window did not hand over.
kv::Error PricingNotSet(std::string_view what);

}  // namespace qmx
