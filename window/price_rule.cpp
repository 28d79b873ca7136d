#include "window/price_rule.h"

#include "platform/variant/strings.h"
#include "pricing/price_breakdown.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

namespace {

constexpr std::string_view kCampi[CifreRiga::kCifre] = {
    "LI10_PREZZO", "LI10_SC1PER",  "LI10_SC2PER",  "LI10_SC3PER", "LI10_SC4PER", "LI10_SC5PER",
    "LI10_SC6PER", "LI10_SCIMP",   "LI10_MAG1PER", "LI10_MAG2PER", "LI10_MAGIMP"};
constexpr int kPrezzo = 0;
constexpr int kScontoImporto = 7;
constexpr int kMaggiorazioneImporto = 10;

bool Percentuale(std::string_view campo) {
    const std::string c = kv::UCase(campo);
    return (c.size() > 3 && c.compare(c.size() - 3, 3, "PER") == 0) || c == "LI10_PERRICDELTA";
}

std::string Numero(const kv::Decimal& d) { return NumeroItaliano(d); }

}  // namespace

int IndiceCifra(std::string_view campo) {
    const std::string c = kv::UCase(campo);
    for (int i = 0; i < CifreRiga::kCifre; ++i)
        if (kCampi[i] == c) return i;
    return -1;
}

CifreRiga CifreDi(kv::ado::Recordset& riga) {
    CifreRiga cifre;
    cifre.valuta = riga.Value("BLT_VALUTA");
    for (int i = 0; i < CifreRiga::kCifre; ++i) cifre.valori[static_cast<std::size_t>(i)] = riga.Value(kCampi[i]);
    return cifre;
}

RegolaPrezzi::RegolaPrezzi(std::shared_ptr<kv::services::PriceCalculation> calcolo, Decimali decimali)
    : calcolo_(std::move(calcolo)), decimali_(std::move(decimali)) {}

RegolaPrezzi::Campo RegolaPrezzi::CampoDi(std::string_view campo) { return {IndiceCifra(campo), Percentuale(campo)}; }

std::optional<std::string> RegolaPrezzi::Applica(std::string_view campo, kv::Variant& valore, CifreRiga& riga,
                                                 bool verifica_netto) const {
    return Applica(CampoDi(campo), valore, riga, verifica_netto);
}

std::optional<std::string> RegolaPrezzi::Applica(const Campo& campo, kv::Variant& valore, CifreRiga& riga,
                                                 bool verifica_netto) const {
    if (kv::IsBlank(valore)) return std::nullopt;
    const int i = campo.cifra;
    // A zero (most discounts and markups of a row) passes every check and rounds to itself: a copy of
    // thousands of rows does not work it out twelve times a row.
    const double* d = valore.TryGet<double>();
    const kv::Decimal* m = d ? nullptr : valore.TryGet<kv::Decimal>();
    if ((d && *d == 0) || (m && m->Sign() == 0)) {
        valore = kv::Variant(0.0);
        if (i < 0) return std::nullopt;
        riga.valori[static_cast<std::size_t>(i)] = valore;
        return verifica_netto ? VerificaNetto(riga) : std::nullopt;
    }
    const auto numero = kv::TryCDec(valore);
    if (!numero) return std::nullopt;  // not a number: the field's own reading refuses it
    kv::Decimal v = *numero;
    // Kept to what the window shows of it.
    std::optional<int> decimali;
    if (campo.percentuale) {
        decimali = 3;
    } else if (decimali_) {
        decimali = decimali_(riga.valuta);
    }
    if (decimali && *decimali >= 0) v = v.Round(*decimali);
    if (i == kPrezzo && v.Sign() < 0) return "Il prezzo lordo " + Numero(v) + " \u00e8 negativo: non \u00e8 un prezzo.";
    if ((i == kScontoImporto || i == kMaggiorazioneImporto) && v.Sign() < 0)
        return std::string(i == kScontoImporto ? "L'importo dello sconto " : "L'importo della maggiorazione ") +
               Numero(v) + " \u00e8 negativo.";
    if (i >= 1 && i <= 6 && v > kv::Decimal(100)) return "Uno sconto del " + Numero(v) + "% supera il 100%.";
    valore = kv::Variant(v.ToDouble());
    if (i < 0) return std::nullopt;
    riga.valori[static_cast<std::size_t>(i)] = valore;
    if (!verifica_netto) return std::nullopt;
    return VerificaNetto(riga);
}

std::optional<std::string> RegolaPrezzi::VerificaNetto(const CifreRiga& riga, kv::Variant* netto_calcolato) const {
    if (!calcolo_ || kv::IsBlank(riga.valori[kPrezzo])) return std::nullopt;
    try {
        std::array<double, kv::services::PriceCalculation::kInputs> ingressi{};
        for (int i = 0; i < CifreRiga::kCifre; ++i)
            ingressi[static_cast<std::size_t>(i)] = kv::CDbl(NZ(riga.valori[static_cast<std::size_t>(i)]));
        calcolo_->Calculate(riga.valuta, ingressi);
        const kv::Variant netto = calcolo_->NetPrice();
        if (netto_calcolato) *netto_calcolato = netto;
        if (netto.IsNull() || kv::CDec(netto).Sign() >= 0) return std::nullopt;
        return "Il prezzo netto diventerebbe negativo (" + Numero(kv::CDec(netto)) + ").";
    } catch (const kv::Error&) {
        // A row whose net price cannot be computed (an unknown currency) is not judged here: its net
        // price says so where it is shown.
        return std::nullopt;
    }
}

}  // namespace qmx
