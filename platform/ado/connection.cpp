#include "platform/ado/connection.h"

#include <charconv>
#include <utility>

#include "platform/ado/backend.h"
#include "platform/variant/error.h"

namespace kv::ado {
namespace {

constexpr const char* kSource = "Connection";

std::string_view TrimBlanks(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

std::string UpperKey(std::string_view key) {
    std::string out;
    out.reserve(key.size());
    bool blank = false;
    for (char c : TrimBlanks(key)) {
        if (c == ' ' || c == '\t') {
            blank = true;
            continue;
        }
        if (blank && !out.empty()) out.push_back(' ');
        blank = false;
        out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
    }
    return out;
}

[[noreturn]] void Raise(long number, const std::string& text) { throw Error(number, text, kSource); }

}  // namespace

// ---- ConnectionParams

ConnectionParams ConnectionParams::Parse(std::string_view text) {
    ConnectionParams p;
    std::size_t i = 0;
    const std::size_t n = text.size();
    // The refusal names the key before the piece, never the piece itself: an unquoted password holding
    // ';' would otherwise be shown in part.
    std::string previous_key;
    auto no_value = [&](std::string_view) {
        Raise(err::kInvalidArgument,
              previous_key.empty()
                  ? std::string("Stringa di connessione: all'inizio c'è un testo senza \"=\"")
                  : "Stringa di connessione: dopo il valore di " + previous_key +
                        " c'è un testo senza \"=\" (un valore che contiene \";\" va scritto tra virgolette)");
    };
    while (i < n) {
        std::size_t eq = text.find('=', i);
        std::size_t semi = text.find(';', i);
        if (semi != std::string_view::npos && (eq == std::string_view::npos || semi < eq)) {
            if (!TrimBlanks(text.substr(i, semi - i)).empty()) no_value(text.substr(i, semi - i));
            i = semi + 1;
            continue;
        }
        if (eq == std::string_view::npos) {
            if (!TrimBlanks(text.substr(i)).empty()) no_value(text.substr(i));
            break;
        }
        std::string key = UpperKey(text.substr(i, eq - i));
        if (key.empty()) Raise(err::kInvalidArgument, "Stringa di connessione: un valore non ha la chiave");
        std::size_t v = eq + 1;
        while (v < n && (text[v] == ' ' || text[v] == '\t')) ++v;
        std::string value;
        if (v < n && (text[v] == '"' || text[v] == '\'')) {
            // A quoted value may hold ';' and '='; a doubled quote inside stands for one.
            const char q = text[v];
            std::size_t k = v + 1;
            bool closed = false;
            while (k < n) {
                if (text[k] == q) {
                    if (k + 1 < n && text[k + 1] == q) {
                        value.push_back(q);
                        k += 2;
                        continue;
                    }
                    closed = true;
                    ++k;
                    break;
                }
                value.push_back(text[k++]);
            }
            if (!closed)
                Raise(err::kInvalidArgument, "Stringa di connessione: il valore di " + key + " non ha le virgolette di chiusura");
            std::size_t end = text.find(';', k);
            if (!TrimBlanks(text.substr(k, end == std::string_view::npos ? n - k : end - k)).empty())
                Raise(err::kInvalidArgument,
                      "Stringa di connessione: dopo il valore tra virgolette di " + key + " segue altro testo");
            i = end == std::string_view::npos ? n : end + 1;
        } else {
            std::size_t end = text.find(';', v);
            if (end == std::string_view::npos) end = n;
            value = std::string(TrimBlanks(text.substr(v, end - v)));
            i = end + 1;
        }
        previous_key = key;
        p.values_[key] = std::move(value);
    }
    return p;
}

std::string ConnectionParams::Get(std::initializer_list<std::string_view> names) const {
    for (auto name : names) {
        auto it = values_.find(UpperKey(name));
        if (it != values_.end()) return it->second;
    }
    return {};
}

bool ConnectionParams::Has(std::string_view name) const { return values_.count(UpperKey(name)) > 0; }

void ConnectionParams::Set(std::string_view name, std::string value) { values_[UpperKey(name)] = std::move(value); }

long LockTimeoutMilliseconds(const ConnectionParams& params) {
    constexpr long kDefault = 10000;
    if (!params.Has("Lock Timeout")) return kDefault;
    std::string text = params.Get({"Lock Timeout"});
    for (char& c : text)
        if (c == ',') c = '.';
    double seconds = -1;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() || !(seconds >= 0) ||
        seconds > 86400)
        throw Error(err::kInvalidArgument,
                    "Stringa di connessione: Lock Timeout vuole i secondi di attesa per una riga bloccata da un'altra "
                    "connessione (per esempio 10 o 0,5; 0 attende senza limite)",
                    "Connection");
    const long ms = static_cast<long>(seconds * 1000 + 0.5);
    return seconds > 0 && ms == 0 ? 1 : ms;
}

std::string ConnectionStringValue(std::string_view connection_string, std::initializer_list<std::string_view> keys) {
    try {
        return ConnectionParams::Parse(connection_string).Get(keys);
    } catch (const Error&) {
        return {};
    }
}

// ---- Errors

const ErrorInfo& Errors::Item(int index) const {
    if (index < 0 || index >= Count())
        throw Error(err::kItemNotFound,
                    "Item cannot be found in the collection corresponding to the requested name or ordinal.",
                    "Errors");
    return items_[static_cast<std::size_t>(index)];
}

// ---- Connection

Connection::Connection() = default;

Connection::~Connection() {
    if (!backend_) return;
    try {
        backend_->SyncTransactionLevel();
        while (backend_->TransactionLevel() > 0) backend_->RollbackTrans();
    } catch (...) {
        // A destructor never throws; closing the engine's connection drops the transaction anyway.
    }
    backend_.reset();
}

void Connection::Open(std::string_view connection_string, std::string_view user, std::string_view password) {
    if (backend_) Raise(err::kObjectOpen, "Operation is not allowed when the object is open.");
    if (!connection_string.empty()) connection_string_ = std::string(connection_string);
    ConnectionParams params = ConnectionParams::Parse(connection_string_);
    if (!user.empty()) params.Set("User ID", std::string(user));
    if (!password.empty()) params.Set("Password", std::string(password));
    const std::string provider = params.Get({"Provider"});
    const std::string upper = UpperKey(provider);
    if (provider.empty())
        Raise(kErrProviderNotFound, "The connection string names no Provider (SQLite or PostgreSQL).");
    try {
        if (upper == "SQLITE" || upper == "SQLITE3") {
            backend_ = OpenSqliteBackend(params);
        } else if (upper == "POSTGRESQL" || upper == "POSTGRES") {
            backend_ = OpenAskingPassword(std::move(params));
        } else {
            Raise(kErrProviderNotFound,
                  "Provider cannot be found: \"" + provider + "\" (this platform has SQLite and PostgreSQL).");
        }
    } catch (const ProviderError& e) {
        backend_.reset();
        errors_.Clear();
        errors_.Add(e.Info());
        throw Error(e.Number(), e.Description(), e.Source());
    }
    ++generation_;
}

std::unique_ptr<Backend> Connection::OpenAskingPassword(ConnectionParams params) {
    // A password typed wrong is asked again, a few times, as a login does.
    constexpr int kAttempts = 4;  // the first without a password, then three typed
    bool from_prompt = false;
    PasswordPrompt::Request request;
    for (int attempt = 0;; ++attempt) {
        try {
            auto backend = OpenPostgresBackend(params);
            if (from_prompt) password_prompt_->Accepted(request);
            return backend;
        } catch (const PasswordNeeded& e) {
            // A password of the connection string, its file or its service that the server refused is
            // the administrator's to mend: the user is asked only for one nothing gave, or for another
            // try at one the user typed.
            const bool ask = password_prompt_ && (from_prompt || !e.Request().refused);
            if (!ask || attempt + 1 >= kAttempts) throw;
            request = e.Request();
            // Whatever the user typed did not do (an empty password is no password at all).
            request.refused = from_prompt;
            std::optional<std::string> password = password_prompt_->Password(request);
            if (!password) {
                ErrorInfo info{err::kProvider,
                               "La password dell'utente " + request.user + " per il server PostgreSQL " +
                                   request.server + " non è stata indicata: la connessione non è stata aperta.",
                               "PostgreSQL", kSqlStatePasswordMissing, 0};
                throw ProviderError(std::move(info));
            }
            params.Set("Password", std::move(*password));
            from_prompt = true;
        }
    }
}

void Connection::Close() {
    if (!backend_) Raise(err::kObjectClosed, "Operation is not allowed when the object is closed.");
    backend_->SyncTransactionLevel();
    if (backend_->TransactionLevel() > 0)
        Raise(err::kInTransaction, "Connection object cannot be explicitly closed while in a transaction.");
    backend_.reset();
}

ObjectStateEnum Connection::State() const { return backend_ ? adStateOpen : adStateClosed; }

std::string Connection::Provider() const { return backend_ ? backend_->Provider() : std::string(); }

namespace {
template <class F>
void RunProviderStep(Backend& backend, Errors& errors, F&& step) {
    try {
        step();
    } catch (const ProviderError& e) {
        errors.Clear();
        errors.Add(e.Info());
        backend.SyncTransactionLevel();
        throw Error(e.Number(), e.Description(), e.Source());
    }
}
}  // namespace

RecordsetPtr Connection::Execute(std::string_view sql, long* records_affected) {
    if (!backend_) Raise(err::kObjectClosed, "Operation is not allowed when the object is closed.");
    ExecuteResult result;
    RunProviderStep(*backend_, errors_, [&] { result = backend_->Execute(sql); });
    if (records_affected) *records_affected = result.records_affected;
    if (!result.has_rows) return Recordset::Create();
    return Recordset::FromRows(std::move(result.fields), std::move(result.rows), regional_);
}

void Connection::BeginTrans() {
    if (!backend_) Raise(err::kObjectClosed, "Operation is not allowed when the object is closed.");
    RunProviderStep(*backend_, errors_, [&] { backend_->BeginTrans(); });
}

void Connection::CommitTrans() {
    if (!backend_) Raise(err::kObjectClosed, "Operation is not allowed when the object is closed.");
    backend_->SyncTransactionLevel();
    if (backend_->TransactionLevel() == 0) Raise(err::kIllegalOperation, "No transaction is active.");
    RunProviderStep(*backend_, errors_, [&] { backend_->CommitTrans(); });
}

void Connection::RollbackTrans() {
    if (!backend_) Raise(err::kObjectClosed, "Operation is not allowed when the object is closed.");
    backend_->SyncTransactionLevel();
    // A server that has gone away has dropped the transaction: the rollback has happened, and the loss
    // was reported by the call that met it.
    if (backend_->Lost()) return;
    if (backend_->TransactionLevel() == 0) Raise(err::kIllegalOperation, "No transaction is active.");
    RunProviderStep(*backend_, errors_, [&] { backend_->RollbackTrans(); });
}

bool Connection::ReadsStableInTransaction() const { return backend_ && backend_->ReadsStableInTransaction(); }

bool Connection::InTransaction() const {
    if (!backend_) return false;
    backend_->SyncTransactionLevel();
    return backend_->TransactionLevel() > 0;
}

}  // namespace kv::ado
