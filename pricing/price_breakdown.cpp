#include "pricing/price_breakdown.h"

#include <tuple>

#include "platform/variant/strings.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

namespace {

using kv::Decimal;
using kv::Variant;

std::string Testo(const Variant& v) { return kv::RTrim(kv::CStr(NS(v))); }

std::string Percento(const Decimal& d) { return NumeroItaliano(d) + " %"; }

// The row's list and options, as the user finds it in the grid.
std::string Intestazione(kv::ado::Recordset& riga, bool vendita) {
    std::string s = std::string(vendita ? "Listino di vendita " : "Listino di acquisto ") +
                    Testo(riga.Value("LI10_NUMLIST"));
    std::string opzioni = Testo(riga.Value("BLT_OPZIONE1"));
    const std::string opzione2 = Testo(riga.Value("BLT_OPZIONE2"));
    if (!opzione2.empty()) opzioni += (opzioni.empty() ? "" : " / ") + opzione2;
    if (!opzioni.empty()) s += ", opzione " + opzioni;
    return s;
}

void Netto(const kv::services::NetPriceSteps& p, std::vector<std::string>& r) {
    const auto& in = p.inputs;
    r.push_back("Prezzo lordo: " + NumeroItaliano(in.gross));
    bool nessuno = true;
    for (std::size_t i = 0; i < in.discounts.size(); ++i) {
        if (in.discounts[i].IsZero()) continue;
        nessuno = false;
        r.push_back("Sconto " + std::to_string(i + 1) + ": " + Percento(in.discounts[i]) + " \u2192 " +
                    NumeroItaliano(p.after_discount[i]));
    }
    if (!in.discount_amount.IsZero()) {
        nessuno = false;
        r.push_back("Importo sconto: " + NumeroItaliano(in.discount_amount) + " \u2192 " +
                    NumeroItaliano(p.after_discount_amount));
    }
    for (std::size_t i = 0; i < in.markups.size(); ++i) {
        if (in.markups[i].IsZero()) continue;
        nessuno = false;
        r.push_back("Maggiorazione " + std::to_string(i + 1) + ": " + Percento(in.markups[i]) + " \u2192 " +
                    NumeroItaliano(p.after_markup[i]));
    }
    if (!in.markup_amount.IsZero()) {
        nessuno = false;
        r.push_back("Importo maggiorazione: " + NumeroItaliano(in.markup_amount) + " \u2192 " +
                    NumeroItaliano(p.after_markup_amount));
    }
    if (nessuno) r.push_back("Sconti e maggiorazioni: nessuno");
    r.push_back("Prezzo netto (" + std::to_string(p.decimals) + " decimali): " + NumeroItaliano(p.net, p.decimals));
}

const char* Direzione(kv::services::RoundingDirection d) {
    switch (d) {
        case kv::services::RoundingDirection::Up: return "per eccesso";
        case kv::services::RoundingDirection::Down: return "per difetto";
        default: return "al pi\u00f9 vicino";
    }
}

void Derivazione(const DerivazionePrezzo& d, std::vector<std::string>& r) {
    r.push_back("Derivato da \"Ricalcola\" dalla riga di acquisto: listino " + Testo(d.lista_acq) +
                (d.opzione_acq.empty() ? std::string() : ", opzione " + kv::Trim(d.opzione_acq)));
    if (d.ricarica) {
        r.push_back("Prezzo netto di acquisto: " + NumeroItaliano(d.netto_acq));
        r.push_back("Ricarico: " + Percento(d.ricarico) + " \u2192 " + NumeroItaliano(d.prezzo));
    } else {
        switch (d.modo) {
            case 1:
                r.push_back("Ricarico zero, modo 1: copia della riga di acquisto, prezzo lordo " +
                            NumeroItaliano(d.lordo_acq));
                break;
            case 2:
                r.push_back("Ricarico zero, modo 2: prezzo lordo di acquisto " + NumeroItaliano(d.lordo_acq) +
                            " ai decimali della valuta " + kv::RTrim(d.valuta_acq) + " \u2192 " +
                            NumeroItaliano(d.prezzo));
                break;
            case 3:
                r.push_back("Ricarico zero, modo 3: prezzo netto di acquisto " + NumeroItaliano(d.netto_acq) +
                            " ai decimali della valuta " + kv::RTrim(d.valuta_acq) + " \u2192 " +
                            NumeroItaliano(d.prezzo));
                break;
            default:
                r.push_back("Ricarico zero, modo " + std::to_string(d.modo) + ": il prezzo non cambia");
                return;
        }
    }
    if (d.iva == 1)
        r.push_back("IVA scorporata (aliquota " + Percento(d.aliquota) + "): " + NumeroItaliano(d.prezzo) + " \u2192 " +
                    NumeroItaliano(d.prezzo_iva));
    else if (d.iva == 2)
        r.push_back("IVA aggiunta (aliquota " + Percento(d.aliquota) + "): " + NumeroItaliano(d.prezzo) + " \u2192 " +
                    NumeroItaliano(d.prezzo_iva));
    else
        r.push_back("Conversione IVA: nessuna");
    if (d.arrotondamento) {
        const auto& a = *d.arrotondamento;
        std::string fascia = a.from ? "oltre " + NumeroItaliano(*a.from) : std::string("da 0");
        fascia += a.range.limit ? " fino a " + NumeroItaliano(*a.range.limit) : std::string(" senza limite");
        r.push_back("Arrotondamento: scaglione " + std::to_string(a.bracket) + ", fascia " + fascia + ", passo " +
                    NumeroItaliano(a.range.step) + " " + Direzione(a.range.direction) + ": " +
                    NumeroItaliano(a.price) + " \u2192 " + NumeroItaliano(a.rounded, a.decimals));
    } else {
        r.push_back(d.fonte_arrotondamento == 0 ? "Arrotondamento: nessuno"
                                                : "Arrotondamento: nessuno scaglione da applicare");
    }
}

// The gross price the recalculation left, compared as the grid shows it: a row edited since then
// has another price, and its derivation no longer explains it.
bool StessoPrezzo(const Variant& a, const Variant& b) {
    if (kv::IsBlank(a) || kv::IsBlank(b)) return kv::IsBlank(a) && kv::IsBlank(b);
    return kv::CDbl(a) == kv::CDbl(b);
}

}  // namespace

std::string NumeroItaliano(const Decimal& value) {
    std::string s = value.ToString(',');
    const bool negativo = !s.empty() && s[0] == '-';
    if (negativo) s.erase(0, 1);
    std::size_t fine = s.find(',');
    if (fine == std::string::npos) fine = s.size();
    for (std::size_t i = fine; i > 3; i -= 3) s.insert(i - 3, 1, '.');
    return negativo ? "-" + s : s;
}

std::string NumeroItaliano(const Decimal& value, int decimals) {
    std::string s = NumeroItaliano(value.Round(decimals, kv::RoundingMode::HalfAwayFromZero));
    if (decimals <= 0) return s;
    std::size_t virgola = s.find(',');
    if (virgola == std::string::npos) {
        s += ',';
        virgola = s.size() - 1;
    }
    const std::size_t presenti = s.size() - virgola - 1;
    if (presenti < static_cast<std::size_t>(decimals)) s.append(static_cast<std::size_t>(decimals) - presenti, '0');
    return s;
}

std::string NumeroItaliano(double value) { return NumeroItaliano(Decimal::FromDouble(value)); }

void RigheMargine(const MargineRiga& m, std::vector<std::string>& r) {
    if (!m.margine) {
        r.push_back("Margine: non calcolabile, " + m.motivo);
        return;
    }
    // A converted or VAT-free figure has as many decimals as the division gives: four are shown.
    auto cifra = [](const Decimal& d) { return NumeroItaliano(d.Round(4).Normalized()); };
    const Margine& g = *m.margine;
    const std::string acquisto = NumeroItaliano(m.cifre.netto_acq) + " " + m.valuta_acq;
    std::string s = "Margine: " + NumeroItaliano(g.percentuale, 2) + " % sul prezzo netto di acquisto ";
    if (m.valuta_acq == m.valuta_ven) {
        r.push_back(s + acquisto + " (listino " + std::to_string(m.lista_acq) + ")");
    } else {
        r.push_back(s + cifra(g.acquisto_convertito) + " " + m.valuta_ven + " (listino " +
                    std::to_string(m.lista_acq) + ": " + acquisto + ")");
        std::string cambi;
        for (const auto& [valuta, cambio, dal] : {std::tuple{m.valuta_acq, m.cifre.cambio_acq, m.inizio_cambio_acq},
                                                  std::tuple{m.valuta_ven, m.cifre.cambio_ven, m.inizio_cambio_ven}}) {
            if (!dal) continue;
            cambi += (cambi.empty() ? "" : ", ") + std::string("1 ") + m.valuta_ditta + " = " + NumeroItaliano(cambio) +
                     " " + valuta + " dal " + dal->ToString();
        }
        r.push_back("Cambio al " + m.giorno.ToString() + ": " + cambi);
    }
    if (m.cifre.iva_ven || m.cifre.iva_acq)
        r.push_back("Senza IVA (aliquota " + Percento(m.cifre.aliquota) + "): vendita " + cifra(g.vendita) +
                    ", acquisto " + cifra(g.acquisto));
}

DettaglioPrezzo DettaglioRiga(CLSMG_SETUPVARIANTI& driver, kv::ado::Recordset& riga, const PriceUpdate* prezzi,
                              bool vendita) {
    DettaglioPrezzo d;
    if (riga.IsBOF() || riga.IsEOF()) {
        d.righe.push_back("Nessuna riga selezionata");
        return d;
    }
    d.righe.push_back(Intestazione(riga, vendita));
    if (vendita && prezzi) {
        if (const auto der = prezzi->Derivazione(riga)) {
            if (StessoPrezzo(der->prezzo_finale, riga.Value("LI10_PREZZO"))) {
                d.derivazione = *der;
                Derivazione(*der, d.righe);
            } else {
                d.righe.push_back("Il prezzo lordo \u00e8 stato modificato dopo \"Ricalcola\"");
            }
        }
    }
    d.passi = driver.PassiPrezzoNetto(&riga);
    if (d.passi)
        Netto(*d.passi, d.righe);
    else
        d.righe.push_back("Il prezzo netto non si pu\u00f2 calcolare (valuta o valori non validi)");
    return d;
}

}  // namespace qmx
