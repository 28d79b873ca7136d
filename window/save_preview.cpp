#include "window/save_preview.h"

#include <map>
#include <set>

#include "platform/variant/strings.h"
#include "pricing/price_breakdown.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

namespace {

using kv::Variant;

// The price cells of a row, by the captions the grids give them.
struct Colonna {
    const char* campo;
    const char* didascalia;
};
constexpr Colonna kColonne[] = {
    {"LI10_PREZZO", "Prezzo lordo"}, {"LI10_SC1PER", "Sc.%1"},       {"LI10_SC2PER", "Sc.%2"},
    {"LI10_SC3PER", "Sc.%3"},        {"LI10_SC4PER", "Sc.%4"},       {"LI10_SC5PER", "Sc.%5"},
    {"LI10_SC6PER", "Sc.%6"},        {"LI10_SCIMP", "Sc. importo"},  {"LI10_MAG1PER", "Mg.%1"},
    {"LI10_MAG2PER", "Mg.%2"},       {"LI10_MAGIMP", "Mg. importo"}, {"LI10_PERRICDELTA", "%Ricar."},
    {"LI10_PROVPER", "% prov."}};

// Prices, discounts, markups, recharge and commission are written with a blank as 0, so a blank and a
// 0 are the same stored figure.
double Cifra(const Variant& v) { return kv::CDbl(NZ(v)); }

std::string Valore(const Variant& v) { return kv::IsBlank(v) ? std::string("vuoto") : NumeroItaliano(Cifra(v)); }

std::string Lista(const Variant& v) { return kv::RTrim(kv::CStr(NZ(v))); }

std::string Righe(long n, const char* una, const char* molte) {
    return std::to_string(n) + " " + (n == 1 ? una : molte);
}

std::string Giorno(const Variant& v) {
    if (const auto* d = v.TryGet<kv::Date>()) return kv::Date::FromYmd(d->Year(), d->Month(), d->Day()).ToString();
    return kv::CStr(NS(v));
}

// "dal 01/01/2025 al 31/12/2025": the period a list is saved with.
std::string Periodo(const Variant& inizio, const Variant& fine) {
    return "dal " + Giorno(inizio) + " al " + Giorno(fine);
}

void Sezione(const char* titolo, const AnteprimaSalvataggio& a, std::size_t max_righe, std::string& t) {
    if (a.inserite == 0 && a.aggiornate == 0) {
        t += std::string(titolo) + ": nessuna riga da scrivere\n";
        return;
    }
    t += std::string(titolo) + ": " + Righe(a.inserite, "riga da inserire", "righe da inserire") + ", " +
         Righe(a.aggiornate, "da aggiornare", "da aggiornare") + ", " +
         Righe(a.celle, "cella cambiata", "celle cambiate") + "\n";
    for (const auto& l : a.totali)
        t += "  Listino " + Lista(l.lista) + " (" + Periodo(l.inizio, l.fine) + "): " + std::to_string(l.inserite) +
             " da inserire, " +
             std::to_string(l.aggiornate) + " da aggiornare, " + Righe(l.celle, "cella cambiata", "celle cambiate") +
             "\n";
    std::size_t scritte = 0, omesse = 0;
    for (const auto& r : a.righe) {
        for (const auto& c : r.celle) {
            if (scritte >= max_righe) {
                ++omesse;
                continue;
            }
            ++scritte;
            t += std::string("    ") + (r.insert ? "riga nuova" : "riga modificata") + ", listino " + Lista(r.lista) +
                 (r.opzione.empty() ? "" : " opzione " + r.opzione) + ", " + c.colonna + ": " +
                 (r.insert ? "" : Valore(c.vecchio) + " \u2192 ") + Valore(c.nuovo) + "\n";
        }
    }
    if (omesse > 0) t += "    \u2026 e altre " + std::to_string(omesse) + " celle\n";
}

}  // namespace

AnteprimaSalvataggio AnteprimaDi(CLSMG_SETUPVARIANTI& driver) {
    AnteprimaSalvataggio a;
    auto rs = driver.Recordset();
    if (!rs) return a;
    std::vector<std::string> campi;
    for (const auto& c : kColonne) campi.emplace_back(c.campo);
    const auto esiti = driver.EsitoSalvataggio(campi);
    auto riga = rs->Clone();
    std::map<double, TotaleListino> totali;
    for (const auto& e : esiti) {
        riga->SetBookmark(e.bookmark);
        RigaAnteprima r;
        r.insert = e.insert;
        r.lista = riga->Value("LI10_NUMLIST");
        r.codice = kv::RTrim(kv::CStr(NS(riga->Value("LI10_OPZIONE_MG5E"))));
        r.opzione = kv::Trim(kv::CStr(NS(riga->Value("BLT_OPZIONE1"))));
        const std::string opzione2 = kv::Trim(kv::CStr(NS(riga->Value("BLT_OPZIONE2"))));
        if (!opzione2.empty()) r.opzione += (r.opzione.empty() ? "" : " / ") + opzione2;
        for (std::size_t i = 0; i < std::size(kColonne); ++i) {
            const Variant nuovo = riga->Value(kColonne[i].campo);
            if (e.insert) {
                if (Cifra(nuovo) != 0) r.celle.push_back({kColonne[i].didascalia, Variant::Null(), NZ(nuovo)});
            } else if (Cifra(nuovo) != Cifra(e.memorizzati[i])) {
                r.celle.push_back({kColonne[i].didascalia, e.memorizzati[i], NZ(nuovo)});
            }
        }
        auto& t = totali[Cifra(r.lista)];
        t.lista = r.lista;
        if (t.inizio.IsEmpty()) {
            t.inizio = riga->Value("LI10_DATAINIZIOVAL");
            t.fine = riga->Value("LI10_DATAFINEVAL");
        }
        (e.insert ? t.inserite : t.aggiornate) += 1;
        (e.insert ? a.inserite : a.aggiornate) += 1;
        t.celle += static_cast<long>(r.celle.size());
        a.celle += static_cast<long>(r.celle.size());
        if (e.insert || !r.celle.empty()) a.righe.push_back(std::move(r));
    }
    for (auto& [n, t] : totali) a.totali.push_back(std::move(t));
    return a;
}

std::string TestoAnteprima(const AnteprimaSalvataggio& acquisto, const AnteprimaSalvataggio& vendita,
                           std::size_t max_righe) {
    std::string t = "Il salvataggio scriver\u00e0:\n";
    Sezione("Listini di Acquisto", acquisto, max_righe, t);
    Sezione("Listini di Vendita", vendita, max_righe, t);
    t += "Confermi il salvataggio?";
    return t;
}

std::string TestoSovrapposizioni(const std::vector<CLSMG_SETUPVARIANTI::PeriodoSovrapposto>& acquisto,
                                 const std::vector<CLSMG_SETUPVARIANTI::PeriodoSovrapposto>& vendita) {
    if (acquisto.empty() && vendita.empty()) return {};
    std::string t = "Il periodo di validit\u00e0 da salvare si sovrappone a periodi gi\u00e0 memorizzati:\n";
    auto sezione = [&](const char* titolo, const std::vector<CLSMG_SETUPVARIANTI::PeriodoSovrapposto>& v) {
        if (v.empty()) return;
        struct PerLista {
            const CLSMG_SETUPVARIANTI::PeriodoSovrapposto* primo = nullptr;
            std::set<std::string> opzioni;
        };
        std::map<double, PerLista> per_lista;
        for (const auto& p : v) {
            auto& l = per_lista[Cifra(p.lista)];
            if (!l.primo) l.primo = &p;
            l.opzioni.insert(p.opzione);
        }
        t += std::string(titolo) + ":";
        bool primo = true;
        for (const auto& [n, l] : per_lista) {
            const long k = static_cast<long>(l.opzioni.size());
            t += std::string(primo ? " " : ", ") + "listino " + Lista(l.primo->lista) + " (" +
                 Righe(k, "opzione", "opzioni") + ", " + Periodo(Variant(l.primo->inizio), Variant(l.primo->fine)) + ")";
            primo = false;
        }
        t += "\n";
    };
    sezione("Listini di Acquisto", acquisto);
    sezione("Listini di Vendita", vendita);
    t += "Due prezzi validi nello stesso giorno rendono incerto il prezzo applicato. Continuare con il salvataggio?";
    return t;
}

}  // namespace qmx
