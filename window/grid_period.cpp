#include "window/grid_period.h"

#include <algorithm>
#include <array>
#include <map>
#include <unordered_map>

#include "platform/variant/strings.h"
#include "shell/modmg_quendormixal.h"
#include "window/grid_edit_rule.h"

namespace qmx {

namespace {

// What a new period takes from a stored row: the net price's inputs and the recharge. The gross
// price comes first: it is the one the change applies to.
constexpr std::array<const char*, 12> kCopiati = {
    "LI10_PREZZO", "LI10_SC1PER",  "LI10_SC2PER",  "LI10_SC3PER", "LI10_SC4PER", "LI10_SC5PER",
    "LI10_SC6PER", "LI10_SCIMP",   "LI10_MAG1PER", "LI10_MAG2PER", "LI10_MAGIMP", "LI10_PERRICDELTA"};

long NumeroListino(const kv::Variant& v) { return static_cast<long>(kv::CDec(NZ(v)).ToInt64()); }

std::string Chiave(long listino, const kv::Variant& opzione) {
    std::string k = std::to_string(listino);
    k += '\x1f';
    // The code's leading blanks are part of it (an option of the second level only): only the padding
    // a fixed-width column adds goes.
    if (opzione.IsString()) {
        std::string_view codice = opzione.StringValue();
        while (!codice.empty() && codice.back() == ' ') codice.remove_suffix(1);
        k += codice;
    } else {
        k += kv::RTrim(kv::CStr(NS(opzione)));
    }
    return k;
}

// The day of a date (its time, if any, left out); nullopt when the value is no date.
std::optional<long> Giorno(const kv::Variant& v) {
    if (const auto* d = v.TryGet<kv::Date>()) return d->Days();
    return std::nullopt;
}

int Campo(kv::ado::Recordset& rs, std::string_view nome) {
    const int i = rs.GetFields().IndexOf(nome);
    if (i < 0)
        throw kv::Error(kv::err::kItemNotFound, "Item cannot be found in the collection: " + std::string(nome),
                        "ApplicaPeriodo");
    return i;
}

std::string Listini(const std::set<long>& listini) {
    std::string out;
    for (long l : listini) out += (out.empty() ? "" : ", ") + std::to_string(l);
    return out;
}

// Lifts the matrix's filter for as long as it lives, and puts it back with the current row.
class SenzaFiltro {
public:
    explicit SenzaFiltro(kv::ado::Recordset& m) : m_(m), filtro_(m.Filter()) {
        if (!m_.IsBOF() && !m_.IsEOF()) corrente_ = m_.Bookmark();
        m_.SetFilter(kv::Variant(int16_t{0}));
    }
    ~SenzaFiltro() {
        try {
            m_.SetFilter(filtro_);
            if (!corrente_.IsEmpty()) m_.SetBookmark(corrente_);
        } catch (...) {
            // The matrix is left as it is; the caller's own error is the one to report.
        }
    }
    SenzaFiltro(const SenzaFiltro&) = delete;
    SenzaFiltro& operator=(const SenzaFiltro&) = delete;

private:
    kv::ado::Recordset& m_;
    kv::Variant filtro_;
    kv::Variant corrente_;
};

}  // namespace

std::vector<PeriodoMemorizzato> PeriodiMemorizzati(kv::ado::Recordset& memorizzati, const std::set<long>& listini) {
    std::map<std::pair<long, long>, PeriodoMemorizzato> per_giorni;
    if (!(memorizzati.IsBOF() && memorizzati.IsEOF())) {
        const int numlist = Campo(memorizzati, "LI10_NUMLIST");
        const int ini = Campo(memorizzati, "LI10_DATAINIZIOVAL");
        const int fine = Campo(memorizzati, "LI10_DATAFINEVAL");
        for (memorizzati.MoveFirst(); !memorizzati.IsEOF(); memorizzati.MoveNext()) {
            const long listino = NumeroListino(memorizzati.Value(numlist));
            if (!listini.count(listino)) continue;
            const auto a = Giorno(memorizzati.Value(ini));
            const auto b = Giorno(memorizzati.Value(fine));
            if (!a || !b) continue;
            auto& p = per_giorni[{*a, *b}];
            p.inizio = *memorizzati.Value(ini).TryGet<kv::Date>();
            p.fine = *memorizzati.Value(fine).TryGet<kv::Date>();
            p.listini.insert(listino);
            ++p.righe;
        }
    }
    std::vector<PeriodoMemorizzato> out;
    for (auto& [giorni, p] : per_giorni) out.push_back(std::move(p));
    // The latest season first: it is the one a new season starts from.
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
        return a.inizio.Days() != b.inizio.Days() ? a.inizio.Days() > b.inizio.Days() : a.fine.Days() > b.fine.Days();
    });
    return out;
}

std::string DescriviPeriodo(const PeriodoMemorizzato& p) {
    return p.inizio.ToString() + " - " + p.fine.ToString() + " (" + (p.listini.size() == 1 ? "listino " : "listini ") +
           Listini(p.listini) + ": " + std::to_string(p.righe) + (p.righe == 1 ? " riga)" : " righe)");
}

PeriodoPreparato PreparaPeriodo(kv::ado::Recordset& matrice, kv::ado::Recordset& memorizzati,
                                const CopiaPeriodo& copia, const RegolaPrezzi* regola) {
    PeriodoPreparato preparato;
    EsitoPeriodo& esito = preparato.esito;
    if (matrice.State() != kv::ado::adStateOpen) return preparato;
    SenzaFiltro senza_filtro(matrice);

    // The matrix rows by list and option.
    struct RigaMatrice {
        kv::Variant bookmark;
        bool servita = false;  // the period has a price for it
    };
    std::unordered_map<std::string, RigaMatrice> righe;
    righe.reserve(static_cast<std::size_t>(std::max(0L, matrice.RecordCount())));
    const int m_numlist = Campo(matrice, "LI10_NUMLIST");
    const int m_opzione = Campo(matrice, "LI10_OPZIONE_MG5E");
    const int m_valuta = Campo(matrice, "BLT_VALUTA");
    std::array<RegolaPrezzi::Campo, kCopiati.size()> regole{};
    for (std::size_t i = 0; i < kCopiati.size(); ++i) regole[i] = RegolaPrezzi::CampoDi(kCopiati[i]);
    const int m_ini = Campo(matrice, "LI10_DATAINIZIOVAL");
    const int m_fine = Campo(matrice, "LI10_DATAFINEVAL");
    std::set<long> listini;
    if (!(matrice.IsBOF() && matrice.IsEOF())) {
        for (matrice.MoveFirst(); !matrice.IsEOF(); matrice.MoveNext()) {
            const long listino = NumeroListino(matrice.Value(m_numlist));
            listini.insert(listino);
            righe.emplace(Chiave(listino, matrice.Value(m_opzione)), RigaMatrice{matrice.Bookmark()});
        }
    }

    // The period's values, worked out and checked before anything is stored.
    auto& nuove = preparato.righe;
    nuove.reserve(righe.size());
    if (!(memorizzati.IsBOF() && memorizzati.IsEOF())) {
        const int s_numlist = Campo(memorizzati, "LI10_NUMLIST");
        const int s_opzione = Campo(memorizzati, "LI10_OPZIONE_MG5E");
        // Rows read for the period alone come without their dates.
        const int s_ini = memorizzati.GetFields().IndexOf("LI10_DATAINIZIOVAL");
        const int s_fine = memorizzati.GetFields().IndexOf("LI10_DATAFINEVAL");
        const long inizio = copia.inizio.Days(), fine = copia.fine.Days();
        // A stored row's values are read together: the copied ones, then its list and option.
        std::array<int, kCopiati.size() + 2> s_campi{};
        for (std::size_t i = 0; i < kCopiati.size(); ++i) s_campi[i] = Campo(memorizzati, kCopiati[i]);
        s_campi[kCopiati.size()] = s_numlist;
        s_campi[kCopiati.size() + 1] = s_opzione;
        std::array<kv::Variant, kCopiati.size() + 2> letti;
        // The matrix row's own period and currency.
        const std::array<int, 3> m_propri{m_ini, m_fine, m_valuta};
        std::array<kv::Variant, 3> propri;
        for (memorizzati.MoveFirst(); !memorizzati.IsEOF(); memorizzati.MoveNext()) {
            if (s_ini >= 0 && s_fine >= 0 &&
                (Giorno(memorizzati.Value(s_ini)) != inizio || Giorno(memorizzati.Value(s_fine)) != fine))
                continue;
            memorizzati.Values(s_campi.data(), s_campi.size(), letti.data());
            const long listino = NumeroListino(letti[kCopiati.size()]);
            if (!listini.count(listino)) continue;  // a list this window does not show
            const kv::Variant& opzione = letti[kCopiati.size() + 1];
            const std::string chiave = Chiave(listino, opzione);
            auto it = righe.find(chiave);
            if (it == righe.end()) {
                esito.solo_origine.push_back("listino " + std::to_string(listino) + ", opzione " +
                                             kv::Trim(kv::CStr(NS(opzione))));
                continue;
            }
            it->second.servita = true;
            matrice.SetBookmark(it->second.bookmark);
            matrice.Values(m_propri.data(), m_propri.size(), propri.data());
            const auto proprio_ini = Giorno(propri[0]);
            const auto proprio_fine = Giorno(propri[1]);
            if (proprio_ini == inizio && proprio_fine == fine) {
                ++esito.stesso_periodo;
                continue;
            }
            // Made in place: a copy of thousands of rows does not move each one's values again.
            PeriodoPreparato::Riga& n = nuove.emplace_back();
            n.bookmark = it->second.bookmark;
            static_assert(std::tuple_size_v<decltype(n.valori)> == kCopiati.size());
            // The row's net-price inputs once the copy is stored: the first eleven copied fields are those
            // inputs, and a blank copied over a stored value is stored as 0, as the net price reads it.
            CifreRiga cifre;
            cifre.valuta = std::move(propri[2]);
            // One value the price rule refuses refuses the whole copy.
            auto rifiuta = [&](const std::string& perche) {
                esito.errore = "Listino " + std::to_string(listino) + ", opzione " + kv::Trim(kv::CStr(NS(opzione))) +
                               ": " + perche;
                preparato.righe.clear();
                return preparato;
            };
            for (std::size_t i = 0; i < kCopiati.size(); ++i) {
                kv::Variant v = std::move(letti[i]);
                if (kv::IsBlank(v)) v = kv::Variant::Null();
                if (i == 0 && !v.IsNull() && copia.variazione) {
                    kv::Decimal lordo = Adjusted(kv::CDec(v), *copia.variazione);
                    if (copia.arrotonda) {
                        std::string valuta = kv::Trim(kv::CStr(NS(cifre.valuta)));
                        lordo = copia.arrotonda(lordo, valuta.empty() ? std::string("EURO") : valuta);
                    }
                    v = kv::Variant(lordo.ToDouble());
                }
                if (regola) {
                    if (auto perche = regola->Applica(regole[i], v, cifre, false)) return rifiuta(*perche);
                }
                if (i < cifre.valori.size()) cifre.valori[i] = v;
                n.valori[i] = std::move(v);
            }
            // The net price the check works out is the one the row will show: it is kept for the store.
            if (regola)
                if (auto perche = regola->VerificaNetto(cifre, cifre.valuta.IsString() ? &n.netto : nullptr))
                    return rifiuta(*perche);
        }
    }
    for (const auto& [chiave, riga] : righe)
        if (!riga.servita) ++esito.senza_origine;
    return preparato;
}

void ScriviPeriodo(kv::ado::Recordset& matrice, PeriodoPreparato& preparato, const std::function<void()>& net_price) {
    EsitoPeriodo& esito = preparato.esito;
    if (matrice.State() != kv::ado::adStateOpen || preparato.righe.empty()) return;
    SenzaFiltro senza_filtro(matrice);
    std::array<int, kCopiati.size()> m_campi{};
    for (std::size_t i = 0; i < kCopiati.size(); ++i) m_campi[i] = Campo(matrice, kCopiati[i]);
    std::array<kv::Variant, kCopiati.size()> vecchi;
    const int m_netto = matrice.GetFields().IndexOf("BLT_PREZZONETTO");
    for (const auto& n : preparato.righe) {
        matrice.SetBookmark(n.bookmark);
        matrice.Values(m_campi.data(), m_campi.size(), vecchi.data());
        long memorizzati_riga = 0;
        for (std::size_t i = 0; i < kCopiati.size(); ++i) {
            const kv::Variant& v = n.valori[i];
            const kv::Variant& vecchio = vecchi[i];
            // A value equal to the one in the row is no edit, as a cell confirmed unchanged.
            const double* a = vecchio.TryGet<double>();
            const double* b = v.TryGet<double>();
            const bool uguale = a && b && *a == *b ? true
                                : kv::IsBlank(vecchio)  ? v.IsNull()
                                                        : !v.IsNull() && kv::CDec(vecchio) == kv::CDec(v);
            if (!uguale && StoreEditOver(matrice, m_campi[i], v, vecchio)) ++memorizzati_riga;
        }
        if (!n.valori[0].IsNull()) esito.lordi.emplace_back(n.bookmark, n.valori[0]);
        if (memorizzati_riga == 0) continue;
        ++esito.righe;
        esito.celle += memorizzati_riga;
        if (!n.netto.IsEmpty() && m_netto >= 0)
            matrice.SetValue(m_netto, n.netto);
        else if (net_price)
            net_price();
    }
}

std::string RapportoPeriodo(const EsitoPeriodo& esito) {
    std::string t = esito.righe == 1 ? "1 riga aggiornata." : std::to_string(esito.righe) + " righe aggiornate.";
    if (esito.senza_origine > 0)
        t += "\n" + (esito.senza_origine == 1 ? std::string("1 riga non ha prezzi")
                                               : std::to_string(esito.senza_origine) + " righe non hanno prezzi") +
             " nel periodo di origine: restano come sono.";
    if (esito.stesso_periodo > 0)
        t += "\n" + (esito.stesso_periodo == 1 ? std::string("1 riga è") : std::to_string(esito.stesso_periodo) + " righe sono") +
             " già del periodo di origine (un listino con date proprie): non cambia" + (esito.stesso_periodo == 1 ? "." : "no.");
    if (!esito.solo_origine.empty()) {
        t += "\nOpzioni presenti solo nel periodo di origine, non copiate:";
        constexpr std::size_t kMostrate = 20;
        for (std::size_t i = 0; i < esito.solo_origine.size() && i < kMostrate; ++i) t += "\n  " + esito.solo_origine[i];
        if (esito.solo_origine.size() > kMostrate)
            t += "\n  ... e altre " + std::to_string(esito.solo_origine.size() - kMostrate);
    }
    return t;
}

}  // namespace qmx
