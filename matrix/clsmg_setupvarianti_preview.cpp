// What a save is about to do, asked before it runs: which matrix rows it inserts and which stored rows
// it updates (with their stored values, so the caller can show what changes), and which rows' validity
// periods overlap other stored periods. Each reads the article's stored rows of the driver's kind with
// one query and matches the matrix rows in memory, by the key the save uses.

#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"
#include "matrix/stored_price_rows.h"
#include "platform/ado/command.h"
#include "platform/variant/strings.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

using kv::Variant;

namespace {

const char* const kCondizione =
    " FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = ? AND LI10_FLGUSODECOR = 0 AND LI10_FLGVENDACQ = ?"
    " AND LI10_INDTIPOLIS = 0 AND LI10_CODART_MG66 = ? AND LI10_DEPOS_MG58 = ''";

kv::ado::CommandPtr Interrogazione(const kv::ado::ConnectionPtr& conn, const std::string& sql,
                                   const std::vector<Variant>& valori) {
    auto cmd = kv::ado::Command::Create();
    cmd->SetActiveConnection(conn);
    cmd->SetCommandText(sql);
    for (const auto& v : valori) {
        cmd->GetParameters().Append(cmd->CreateParameter());
        cmd->GetParameters()[cmd->GetParameters().Count() - 1].SetValue(v);
    }
    return cmd;
}

std::optional<kv::Date> Giorno(const Variant& v) {
    if (const auto* d = v.TryGet<kv::Date>()) return kv::Date::FromYmd(d->Year(), d->Month(), d->Day());
    return std::nullopt;
}

std::string ListaOpzione(const Variant& lista, const Variant& opzione) {
    return kv::CStr(NZ(lista)) + '\x1f' + kv::RTrim(kv::CStr(NS(opzione)));
}

}  // namespace

std::vector<CLSMG_SETUPVARIANTI::EsitoRiga> CLSMG_SETUPVARIANTI::EsitoSalvataggio(
    const std::vector<std::string>& colonne) {
    std::vector<EsitoRiga> esiti;
    auto& rs = Matrice(recordset_);
    if (!core_.ADOConnection) return esiti;
    std::string sql = "SELECT LI10_OPZIONE_MG5E, LI10_NUMLIST, LI10_DATAINIZIOVAL, LI10_DATAFINEVAL";
    for (const auto& c : colonne) sql += ", " + c;
    auto cmd = Interrogazione(core_.ADOConnection, sql + kCondizione,
                              {Variant(core_.CompanyCode()), Variant(static_cast<int32_t>(m_eSalPur)),
                               Variant(kv::RTrim(CodArticolo()))});
    auto st = cmd->Execute();
    std::unordered_map<std::string, std::vector<Variant>> memorizzate;
    for (; !st->IsEOF(); st->MoveNext()) {
        std::vector<Variant> valori;
        for (std::size_t i = 0; i < colonne.size(); ++i) valori.push_back(st->Value(static_cast<int>(i) + 4));
        // The same key stored twice: the save updates both; the first one's values stand for them.
        memorizzate.emplace(ChiaveListino(st->Value(0), st->Value(1), st->Value(2), st->Value(3)), std::move(valori));
    }
    // As the save decides: a key the matrix holds twice is inserted by its first row and updated by
    // the later ones.
    std::unordered_set<std::string> inserite;
    auto clone = rs.Clone();
    for (; !clone->IsEOF(); clone->MoveNext()) {
        EsitoRiga e;
        e.bookmark = clone->Bookmark();
        const std::string chiave = ChiaveListino(clone->Value("LI10_OPZIONE_MG5E"), clone->Value("LI10_NUMLIST"),
                                                 clone->Value("LI10_DATAINIZIOVAL"), clone->Value("LI10_DATAFINEVAL"));
        auto it = memorizzate.find(chiave);
        if (it != memorizzate.end()) {
            e.insert = false;
            e.memorizzati = it->second;
        } else {
            e.insert = inserite.insert(chiave).second;
            if (!e.insert) e.memorizzati.assign(colonne.size(), Variant());
        }
        esiti.push_back(std::move(e));
    }
    return esiti;
}

std::vector<CLSMG_SETUPVARIANTI::PeriodoSovrapposto> CLSMG_SETUPVARIANTI::PeriodiSovrapposti() {
    std::vector<PeriodoSovrapposto> trovati;
    auto& rs = Matrice(recordset_);
    if (!core_.ADOConnection || rs.RecordCount() == 0) return trovati;
    // The periods being saved, and the span they cover together: only stored periods within it can
    // share a day with one of them.
    struct Periodo {
        Variant lista;
        std::string opzione;
        kv::Date inizio, fine;
    };
    std::vector<Periodo> periodi;
    std::optional<kv::Date> primo, ultimo;
    auto clone = rs.Clone();
    for (; !clone->IsEOF(); clone->MoveNext()) {
        auto inizio = Giorno(clone->Value("LI10_DATAINIZIOVAL"));
        auto fine = Giorno(clone->Value("LI10_DATAFINEVAL"));
        if (!inizio || !fine) continue;
        periodi.push_back({clone->Value("LI10_NUMLIST"), kv::CStr(NS(clone->Value("LI10_OPZIONE_MG5E"))), *inizio,
                           *fine});
        if (!primo || *inizio < *primo) primo = *inizio;
        if (!ultimo || *fine > *ultimo) ultimo = *fine;
    }
    if (periodi.empty()) return trovati;
    auto cmd = Interrogazione(core_.ADOConnection,
                              std::string("SELECT LI10_NUMLIST, LI10_OPZIONE_MG5E, LI10_DATAINIZIOVAL, LI10_DATAFINEVAL") +
                                  kCondizione + " AND LI10_DATAINIZIOVAL <= ? AND LI10_DATAFINEVAL >= ?",
                              {Variant(core_.CompanyCode()), Variant(static_cast<int32_t>(m_eSalPur)),
                               Variant(kv::RTrim(CodArticolo())), Variant(*ultimo), Variant(*primo)});
    auto st = cmd->Execute();
    std::unordered_map<std::string, std::vector<std::pair<kv::Date, kv::Date>>> memorizzati;
    for (; !st->IsEOF(); st->MoveNext()) {
        auto inizio = Giorno(st->Value(2));
        auto fine = Giorno(st->Value(3));
        if (inizio && fine) memorizzati[ListaOpzione(st->Value(0), st->Value(1))].emplace_back(*inizio, *fine);
    }
    for (const auto& p : periodi) {
        auto it = memorizzati.find(ListaOpzione(p.lista, Variant(p.opzione)));
        if (it == memorizzati.end()) continue;
        for (const auto& [inizio, fine] : it->second) {
            if (inizio == p.inizio && fine == p.fine) continue;  // the stored row the save updates
            if (inizio <= p.fine && fine >= p.inizio) {
                trovati.push_back({p.lista, p.opzione, p.inizio, p.fine, inizio, fine});
                break;
            }
        }
    }
    return trovati;
}

}  // namespace qmx
