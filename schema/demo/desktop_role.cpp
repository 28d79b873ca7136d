#include "schema/demo/desktop_role.h"

#include "platform/variant/error.h"
#include "platform/variant/variant.h"

namespace qmx::demo {
namespace {

constexpr const char* kRead = "SELECT";
constexpr const char* kReadWrite = "SELECT, INSERT, UPDATE, DELETE";
constexpr const char* kReadAdd = "SELECT, INSERT";

constexpr const char* kSource = "qmx-demo";

bool PlainName(std::string_view name) {
    if (name.empty() || name.size() > 63) return false;
    if (!(name[0] == '_' || (name[0] >= 'a' && name[0] <= 'z'))) return false;
    for (char c : name)
        if (!(c == '_' || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

void RequirePlainName(std::string_view role) {
    if (!PlainName(role))
        throw kv::Error(kv::err::kInvalidArgument,
                        "Il nome del ruolo \"" + std::string(role) +
                            "\" non va bene: solo lettere minuscole, cifre e _, a cominciare da una lettera o _",
                        kSource);
}

// A schema name as an identifier the server reads as it is, whatever it holds.
std::string QuotedName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace

const std::vector<TableRights>& DesktopRights() {
    static const std::vector<TableRights> rights = {
        // The configuration the window reads: companies, currencies, VAT, rounding brackets, articles,
        // list parameters and the variant tables.
        {"KV_SCHEMA", kRead},
        {"CG18_DITTE", kRead},
        {"CG08_VALUTE", kRead},
        {"CG28_TABCODIVA", kRead},
        {"MG02_SCAGLARROT", kRead},
        {"MG66_ANAGRART", kRead},
        {"MG87_DESCRART", kRead},
        {"MG44_PARMAGLIST", kRead},
        {"MG5F_DIMECONF", kRead},
        {"MG5E_OPZIONI", kRead},
        {"MG5G_RAGGVAR", kRead},
        {"MG5H_COMPRAGVAR", kRead},
        {"MG6B_GESVARART", kRead},
        {"MG5L_LETVARIANTI", kRead},
        // The prices the window saves and deletes.
        {"LI10_LISTARTIC", kReadWrite},
        // The price history grows and is never rewritten: a desktop adds to it and reads it.
        {"QX10_STORICOPREZZI", kReadAdd},
        // The exchange rates are kept by the accounts office, not by the price window.
        {"QX11_CAMBI", kRead},
        // A user's choices in the window (the margin column) are rewritten as the user changes them.
        {"QX12_PREFERENZE", kReadWrite},
    };
    return rights;
}

std::vector<std::string> DesktopRoleStatements(std::string_view role, std::string_view schema, bool create_role) {
    RequirePlainName(role);
    if (schema.empty()) throw kv::Error(kv::err::kInvalidArgument, "Lo schema del ruolo non è indicato", kSource);
    const std::string name(role);
    const std::string in = QuotedName(schema);
    std::vector<std::string> out;
    if (create_role) out.push_back("CREATE ROLE " + name + " LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE NOREPLICATION");
    out.push_back("GRANT USAGE ON SCHEMA " + in + " TO " + name);
    for (const auto& r : DesktopRights())
        out.push_back("GRANT " + std::string(r.privileges) + " ON " + in + "." + r.table + " TO " + name);
    return out;
}

void CreateDesktopRole(kv::ado::Connection& connection, std::string_view role) {
    RequirePlainName(role);
    if (connection.Provider() != "PostgreSQL")
        throw kv::Error(kv::err::kInvalidArgument, "Un ruolo per i desktop esiste solo su PostgreSQL", kSource);
    const std::string schema = kv::CStr(connection.Execute("SELECT current_schema()")->Value(0));
    const bool exists = !connection.Execute("SELECT 1 FROM pg_roles WHERE rolname = '" + std::string(role) + "'")
                             ->IsEOF();
    const auto statements = DesktopRoleStatements(role, schema, !exists);
    connection.BeginTrans();
    try {
        for (const auto& s : statements) connection.Execute(s);
        connection.CommitTrans();
    } catch (...) {
        if (connection.InTransaction()) connection.RollbackTrans();
        throw;
    }
}

}  // namespace qmx::demo
