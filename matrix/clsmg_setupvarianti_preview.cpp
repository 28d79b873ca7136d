// What a save is about to do, asked before it runs: which matrix rows it inserts and which stored rows
// it updates (with their stored values, so the caller can show what changes), and which of those rows'
// validity periods overlap other stored periods. Both decide as the save does (PianoDiSalvataggio):
// the rows edited here, matched in memory with the stored rows of their option codes, read with one
// query.

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"
#include "matrix/stored_price_rows.h"
#include "platform/variant/strings.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

using kv::Variant;

namespace {

std::optional<kv::Date> Giorno(const Variant& v) {
    if (const auto* d = v.TryGet<kv::Date>()) return kv::Date::FromYmd(d->Year(), d->Month(), d->Day());
    return std::nullopt;
}

}  // namespace

std::vector<CLSMG_SETUPVARIANTI::EsitoRiga> CLSMG_SETUPVARIANTI::EsitoSalvataggio(
    const std::vector<std::string>& colonne) {
    std::vector<EsitoRiga> esiti;
    Matrice(recordset_);
    if (!core_.ADOConnection) return esiti;
    const PianoSalvataggio piano = PianoDiSalvataggio();
    if (piano.righe.empty()) return esiti;
    auto& letti = *piano.letti;
    std::vector<int> posti;
    for (const auto& c : colonne) posti.push_back(letti.rows->GetFields().Item(c).Index());
    for (std::size_t i = 0; i < piano.righe.size(); ++i) {
        const auto& r = piano.righe[i];
        EsitoRiga e;
        e.bookmark = Variant(r.bookmark);
        e.insert = piano.insert[i];
        const auto memorizzate = letti.by_key.find(r.chiave);
        if (memorizzate != letti.by_key.end()) {
            // The same key stored twice: the save updates both; the first one's values stand for them.
            letti.rows->SetAbsolutePosition(memorizzate->second.front());
            for (int p : posti) e.memorizzati.push_back(letti.rows->Value(p));
        } else if (!e.insert) {
            e.memorizzati.assign(colonne.size(), Variant());
        }
        esiti.push_back(std::move(e));
    }
    return esiti;
}

std::vector<CLSMG_SETUPVARIANTI::PeriodoSovrapposto> CLSMG_SETUPVARIANTI::PeriodiSovrapposti() {
    std::vector<PeriodoSovrapposto> trovati;
    Matrice(recordset_);
    if (!core_.ADOConnection) return trovati;
    const PianoSalvataggio piano = PianoDiSalvataggio();
    if (piano.righe.empty()) return trovati;
    // The stored periods of the rows' lists and options, from the keys of the stored rows read (option,
    // list, first and last day).
    std::unordered_map<std::string, std::vector<std::pair<kv::Date, kv::Date>>> memorizzati;
    auto parti = [](const std::string& chiave) {
        std::vector<std::string> p;
        std::size_t inizio = 0;
        for (;;) {
            const std::size_t fine = chiave.find('\x1f', inizio);
            p.push_back(chiave.substr(inizio, fine - inizio));
            if (fine == std::string::npos) return p;
            inizio = fine + 1;
        }
    };
    auto giorno = [](const std::string& ymd) { return kv::Date::ParseIso(ymd); };
    for (const auto& [chiave, posizioni] : piano.letti->by_key) {
        const auto p = parti(std::string(chiave));
        if (p.size() != 4) continue;
        auto inizio = giorno(p[2]);
        auto fine = giorno(p[3]);
        if (inizio && fine) memorizzati[p[0] + '\x1f' + p[1]].emplace_back(*inizio, *fine);
    }
    auto clone = Matrice(recordset_).Clone();
    for (const auto& r : piano.righe) {
        const auto p = parti(r.chiave);
        auto it = memorizzati.find(p[0] + '\x1f' + p[1]);
        if (it == memorizzati.end()) continue;
        clone->SetBookmark(Variant(r.bookmark));
        auto inizio = Giorno(clone->Value("LI10_DATAINIZIOVAL"));
        auto fine = Giorno(clone->Value("LI10_DATAFINEVAL"));
        if (!inizio || !fine) continue;
        for (const auto& [da, a] : it->second) {
            if (da == *inizio && a == *fine) continue;  // the stored row the save updates
            if (da <= *fine && a >= *inizio) {
                trovati.push_back({clone->Value("LI10_NUMLIST"), kv::CStr(r.opzione), *inizio, *fine, da, a});
                break;
            }
        }
    }
    return trovati;
}

}  // namespace qmx
