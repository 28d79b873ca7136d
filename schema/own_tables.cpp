#include "schema/own_tables.h"

#include "platform/variant/error.h"
#include "platform/variant/strings.h"
#include "schema/schema_ddl.h"
#include "shell/modmg_quendormixal.h"

namespace qmx::schema {

namespace {

std::string_view Ddl(std::string_view provider) {
    if (provider == "SQLite") return kSqliteSchema;
    if (provider == "PostgreSQL") return kPostgresSchema;
    throw kv::Error(kv::err::kInvalidCall, "Nessuno schema per il motore \"" + std::string(provider) + "\"",
                    "qmx::schema");
}

// The DDL without its comment lines, so that a ';' in a comment splits nothing.
std::string SenzaCommenti(std::string_view testo) {
    std::string out;
    std::size_t i = 0;
    while (i < testo.size()) {
        std::size_t fine = testo.find('\n', i);
        if (fine == std::string_view::npos) fine = testo.size();
        const std::string riga = kv::Trim(std::string(testo.substr(i, fine - i)));
        if (!riga.empty() && riga.rfind("--", 0) != 0) out += riga + "\n";
        i = fine + 1;
    }
    return out;
}

}  // namespace

std::vector<std::string> IstruzioniTabella(std::string_view provider, std::string_view table) {
    const std::string ddl = SenzaCommenti(Ddl(provider));
    const std::string nome = kv::UCase(std::string(table));
    std::vector<std::string> out;
    // Outside comments the generator writes no ';' but between statements.
    std::size_t i = 0;
    while (i < ddl.size()) {
        std::size_t fine = ddl.find(';', i);
        if (fine == std::string::npos) fine = ddl.size();
        std::string s = ddl.substr(i, fine - i);
        i = fine + 1;
        while (!s.empty() && (s.front() == '\n' || s.front() == ' ')) s.erase(0, 1);
        while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
        const std::string u = kv::UCase(s);
        if (u.rfind("CREATE TABLE " + nome + " (", 0) == 0 ||
            (u.rfind("CREATE INDEX ", 0) == 0 && u.find(" ON " + nome + " (") != std::string::npos))
            out.push_back(s);
    }
    return out;
}

bool EsisteTabella(kv::ado::Connection& connection, std::string_view table) {
    const std::string nome = kv::UCase(std::string(table));
    for (char c : nome)
        if (!(c == '_' || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            throw kv::Error(kv::err::kInvalidCall, "Nome di tabella non valido: " + nome, "qmx::schema");
    // The catalogue, not a query of the table: on the server a failed statement would end the
    // transaction it runs in, and a table the role may not read still exists.
    const auto rs =
        connection.Provider() == "PostgreSQL"
            ? connection.Execute("SELECT to_regclass('" + kv::LCase(nome) + "') IS NOT NULL AS C")
            : connection.Execute("SELECT COUNT(*) AS C FROM sqlite_master WHERE type = 'table' AND upper(name) = '" +
                                 nome + "'");
    const kv::Variant v = rs->Value(0);
    if (const auto* b = v.TryGet<kv::Variant::Boolean>()) return b->value != 0;
    return kv::CLng(v) != 0;
}

namespace {

std::string Testo(std::string_view s) { return "'" + RaddoppiaApici(s) + "'"; }

std::string ChiavePreferenza(long company, std::string_view user, std::string_view key) {
    return " WHERE QX12_DITTA_CG18 = " + std::to_string(company) + " AND QX12_UTENTE = " + Testo(user) +
           " AND QX12_CHIAVE = " + Testo(key);
}

}  // namespace

std::optional<std::string> LeggiPreferenza(kv::ado::Connection& connection, long company, std::string_view user,
                                           std::string_view key) {
    if (!EsisteTabella(connection, kTabellaPreferenze)) return std::nullopt;
    auto rs = connection.Execute("SELECT QX12_VALORE FROM QX12_PREFERENZE" + ChiavePreferenza(company, user, key));
    std::optional<std::string> valore;
    if (!rs->IsEOF()) valore = kv::IsBlank(rs->Value(0)) ? std::string() : kv::RTrim(kv::CStr(rs->Value(0)));
    rs->Close();
    return valore;
}

void ScriviPreferenza(kv::ado::Connection& connection, long company, std::string_view user, std::string_view key,
                      std::string_view value) {
    connection.BeginTrans();
    try {
        AssicuraTabella(connection, kTabellaPreferenze);
        connection.Execute("DELETE FROM QX12_PREFERENZE" + ChiavePreferenza(company, user, key));
        connection.Execute("INSERT INTO QX12_PREFERENZE (QX12_DITTA_CG18, QX12_UTENTE, QX12_CHIAVE, QX12_VALORE) VALUES (" +
                           std::to_string(company) + ", " + Testo(user) + ", " + Testo(key) + ", " + Testo(value) + ")");
        connection.CommitTrans();
    } catch (...) {
        if (connection.InTransaction()) connection.RollbackTrans();
        throw;
    }
}

void AssicuraTabella(kv::ado::Connection& connection, std::string_view table) {
    if (EsisteTabella(connection, table)) return;
    const auto istruzioni = IstruzioniTabella(connection.Provider(), table);
    if (istruzioni.empty())
        throw kv::Error(kv::err::kInvalidCall, "Lo schema non ha la tabella " + std::string(table), "qmx::schema");
    for (const auto& s : istruzioni) connection.Execute(s);
}

}  // namespace qmx::schema
