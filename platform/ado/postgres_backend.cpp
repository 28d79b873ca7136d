// The server engine. What it lacks of the component's dialect, and how this backend supplies it:
//  - ISNULL(a, b) is COALESCE(a, b) here;
//  - substring(...) results compare without trailing blanks like the fixed-width columns they are cut
//    from (CHAR(n) columns already do): the result is made blank-padded text (bpchar);
//  - `x LIKE 'pattern'` ignores the trailing blanks of x, as the embedded engine's LIKE does: it is
//    rewritten as SIMILAR TO (sql_rewrite.h); both engines' LIKE is case-sensitive;
//  - 'YYYYMMDD' literals are read as dates natively, CHAR(n) compares without trailing blanks natively.
// What stays different between the engines, because no rewriting of the text can settle it:
//  - concatenation: here a CHAR(n) value loses its trailing blanks (CODE || 'X' is 'ABX' whether 'AB' or
//    'AB   ' was written); the embedded engine keeps the value as it was written. RTRIM(CODE) || 'X'
//    gives the same text on both;
//  - varchar/text values compare with their trailing blanks here; the embedded engine's text columns are
//    declared COLLATE RTRIM, so there they compare without (fixed-width columns agree on both);
//  - `||` binds tighter than + - * / on the embedded engine and looser here: parenthesise mixes.
// Every connection fixes the settings the rest relies on: ISO dates, and standard_conforming_strings on,
// since apostrophe doubling (the only quoting the component does) is safe only when a backslash in a
// plain literal is an ordinary character.
// Results come as text (the simple query protocol) and are converted by the column's type OID:
// numeric -> Decimal from its exact text, date -> Date, int2/int4 -> Long, int8 -> BigInt,
// float -> Double, bpchar/varchar/text -> String (with the width from the type modifier).
// Inside a transaction each Execute runs under a savepoint of its own, so that a refused statement
// undoes only itself, as on the embedded engine, instead of dooming the whole transaction. The
// savepoint is set before the statement's text reaches the server, in the previous round trip: a text
// that does not even parse is refused whole, so a savepoint sent with it would never exist.
// A server that goes away (stopped, or the session terminated) is reported once with a message of its
// own; the connection then counts as outside any transaction. The next operation opens the connection
// again with the same parameters, so a desktop left open across a server restart goes on working; a
// transaction that was open when the server went is never resumed on the new connection, since its work
// is gone: the loss is reported to the statement that meets it, and the transaction has ended.
// An idle connection's socket has nothing to read; when it has, the server has closed it (or said why
// it is about to), which is read before the next statement is sent, so a restart between two operations
// is noticed without sending a statement that might or might not have run.

#include <libpq-fe.h>
#include <poll.h>

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/ado/backend.h"
#include "platform/ado/sql_rewrite.h"
#include "platform/variant/date.h"
#include "platform/variant/decimal.h"

namespace kv::ado {
namespace {

constexpr const char* kSource = "PostgreSQL";

struct ConnFinish {
    void operator()(PGconn* c) const { PQfinish(c); }
};
struct ResultClear {
    void operator()(PGresult* r) const { PQclear(r); }
};
using ConnPtr = std::unique_ptr<PGconn, ConnFinish>;
using ResultPtr = std::unique_ptr<PGresult, ResultClear>;

// Type OIDs of the built-in types (fixed by the server's catalog).
enum : Oid {
    kBoolOid = 16,
    kInt8Oid = 20,
    kInt2Oid = 21,
    kInt4Oid = 23,
    kTextOid = 25,
    kOidOid = 26,
    kFloat4Oid = 700,
    kFloat8Oid = 701,
    kBpcharOid = 1042,
    kVarcharOid = 1043,
    kDateOid = 1082,
    kTimestampOid = 1114,
    kTimestampTzOid = 1184,
    kNumericOid = 1700,
};

const std::vector<SqlFunctionRule>& Rules() {
    static const std::vector<SqlFunctionRule> rules = {
        {"ISNULL", "COALESCE", "", ""},
        {"SUBSTRING", "substring", "CAST(", " AS BPCHAR)"},
    };
    return rules;
}

constexpr const char* kLostSqlState = "08006";

std::string TrimEnd(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\r')) s.pop_back();
    return s;
}

[[noreturn]] void RaiseResult(const PGresult* res, PGconn* conn) {
    ErrorInfo info;
    info.number = err::kProvider;
    info.source = kSource;
    const char* primary = res ? PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    info.description = primary ? primary : TrimEnd(PQerrorMessage(conn));
    if (res) {
        if (const char* detail = PQresultErrorField(res, PG_DIAG_MESSAGE_DETAIL))
            info.description += std::string(" (") + detail + ")";
        if (const char* state = PQresultErrorField(res, PG_DIAG_SQLSTATE)) info.sql_state = state;
    }
    throw ProviderError(std::move(info));
}

enum class Kind { kText, kFixedText, kDate, kDecimal, kInteger, kBigInt, kDouble, kBoolean };

struct Column {
    Kind kind = Kind::kText;
    FieldInfo info;
};

Column Classify(const PGresult* res, int i) {
    Column c;
    c.info.name = PQfname(res, i);
    const Oid type = PQftype(res, i);
    const int mod = PQfmod(res, i);
    // A plain table column keeps its declared width; an expression (CASE, concatenation) reads like the
    // embedded engine's expressions: variable text without the padding.
    const bool table_column = PQftable(res, i) != InvalidOid;
    switch (type) {
        case kBpcharOid:
            if (table_column && mod > 4) {
                c.kind = Kind::kFixedText;
                c.info.type = adWChar;
                c.info.defined_size = mod - 4;
            } else {
                c.kind = Kind::kFixedText;
                c.info.type = adVarWChar;
            }
            break;
        case kVarcharOid:
            c.info.type = adVarWChar;
            c.info.defined_size = table_column && mod > 4 ? mod - 4 : 0;
            break;
        case kTextOid:
            c.info.type = table_column ? adLongVarWChar : adVarWChar;
            break;
        case kDateOid:
        case kTimestampOid:
        case kTimestampTzOid:
            c.kind = Kind::kDate;
            c.info.type = adDate;
            break;
        case kNumericOid:
            c.kind = Kind::kDecimal;
            c.info.type = adNumeric;
            break;
        case kInt2Oid:
        case kInt4Oid:
            c.kind = Kind::kInteger;
            c.info.type = adInteger;
            break;
        case kInt8Oid:
        case kOidOid:
            c.kind = Kind::kBigInt;
            c.info.type = adBigInt;
            break;
        case kFloat4Oid:
        case kFloat8Oid:
            c.kind = Kind::kDouble;
            c.info.type = adDouble;
            break;
        case kBoolOid:
            c.kind = Kind::kBoolean;
            c.info.type = adBoolean;
            break;
        default:  // any other type reads as its text form
            c.info.type = adVarWChar;
            break;
    }
    c.info.attributes = ResultFieldAttributes(c.info.type);
    return c;
}

[[noreturn]] void RaiseConversion(const Column& c, std::string_view text) {
    throw Error(err::kDataConversion,
                "The value \"" + std::string(text) + "\" of column " + c.info.name + " cannot be read", kSource);
}

Variant Convert(const Column& c, const char* p, int len) {
    std::string_view text(p, static_cast<std::size_t>(len));
    switch (c.kind) {
        case Kind::kText:
            return Variant(std::string(text));
        case Kind::kFixedText: {
            // Trailing blanks of blank-padded text carry no meaning; the recordset pads to the width.
            while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
            return Variant(std::string(text));
        }
        case Kind::kDate: {
            int y = 0, m = 0, d = 0;
            if (text.size() >= 10 && text[4] == '-' && text[7] == '-') {
                std::from_chars(p, p + 4, y);
                std::from_chars(p + 5, p + 7, m);
                std::from_chars(p + 8, p + 10, d);
                if (y < kFirstStoredYear) RaiseStoredDateOutOfRange(c.info.name, text, kSource);
                if (text.size() == 10) {
                    if (auto date = StoredDate(y, m, d)) return Variant(*date);
                } else if (auto date = Date::ParseIso(text.substr(0, std::min<std::size_t>(text.size(), 19)))) {
                    return Variant(*date);
                }
            }
            RaiseConversion(c, text);
        }
        case Kind::kDecimal:
            if (auto v = Decimal::Parse(text)) return Variant(*v);
            RaiseConversion(c, text);
        case Kind::kInteger: {
            int32_t v = 0;
            auto r = std::from_chars(p, p + len, v);
            if (r.ec != std::errc()) RaiseConversion(c, text);
            return Variant(v);
        }
        case Kind::kBigInt: {
            long long v = 0;
            auto r = std::from_chars(p, p + len, v);
            if (r.ec != std::errc()) RaiseConversion(c, text);
            return Variant(v);
        }
        case Kind::kDouble: {
            double v = 0;
            auto r = std::from_chars(p, p + len, v);
            if (r.ec != std::errc()) {
                // "Infinity" and "-Infinity" are spelled out by the server.
                v = std::strtod(std::string(text).c_str(), nullptr);
            }
            return Variant(v);
        }
        case Kind::kBoolean:
            return Variant(len > 0 && (p[0] == 't' || p[0] == 'T'));
    }
    return Variant(std::string(text));
}

// Statements that end or shape the transaction themselves cannot run under a savepoint of ours; a text
// with one of them anywhere runs as it is.
bool HasTransactionControl(std::string_view sql) {
    for (const auto& word : StatementFirstWords(sql, SqlDialect::kPostgres))
        if (IsTransactionControlWord(word)) return true;
    return false;
}

void FetchRows(const PGresult* res, ExecuteResult& out) {
    const int ncol = PQnfields(res);
    const int nrow = PQntuples(res);
    std::vector<Column> cols;
    cols.reserve(static_cast<std::size_t>(ncol));
    for (int i = 0; i < ncol; ++i) cols.push_back(Classify(res, i));
    out.rows.reserve(static_cast<std::size_t>(nrow));
    for (int r = 0; r < nrow; ++r) {
        std::vector<Variant> row;
        row.reserve(static_cast<std::size_t>(ncol));
        for (int i = 0; i < ncol; ++i) {
            if (PQgetisnull(res, r, i)) {
                row.push_back(Variant::Null());
            } else {
                row.push_back(Convert(cols[static_cast<std::size_t>(i)], PQgetvalue(res, r, i), PQgetlength(res, r, i)));
            }
        }
        out.rows.push_back(std::move(row));
    }
    for (auto& c : cols) out.fields.push_back(std::move(c.info));
    out.has_rows = true;
}

class PostgresBackend final : public Backend {
public:
    PostgresBackend(ConnPtr conn, std::string where) : conn_(std::move(conn)), where_(std::move(where)) {
        // Notices are not errors and are not shown; the server's farewell to an idle session (it is
        // shutting down, or the session was terminated) arrives as one, and says the connection is gone.
        PQsetNoticeReceiver(conn_.get(), &NoteFarewell, &farewell_);
    }

    std::string Provider() const override { return "PostgreSQL"; }

    ExecuteResult Execute(std::string_view sql) override {
        Ready();
        std::string text = RewriteSql(sql, Rules(), SqlDialect::kPostgres);
        const bool protect = PQtransactionStatus(conn_.get()) == PQTRANS_INTRANS && !HasTransactionControl(text);
        if (!protect) {
            statement_savepoint_ = false;
        } else if (!statement_savepoint_) {
            RunRaw("SAVEPOINT kv_statement");
            statement_savepoint_ = true;
        }
        if (protect) {
            // The next statement's savepoint is set in this round trip. The line end keeps a trailing
            // "--" comment of the statement from swallowing it.
            text += "\n;RELEASE SAVEPOINT kv_statement;SAVEPOINT kv_statement";
        }
        if (!PQsendQuery(conn_.get(), text.c_str())) Fail(nullptr);
        // Every result is collected before anything can raise: the connection takes no new command
        // until the last one is read.
        std::vector<ResultPtr> results;
        while (PGresult* r = PQgetResult(conn_.get())) results.emplace_back(r);
        const PGresult* failure = nullptr;
        for (const auto& r : results) {
            const ExecStatusType status = PQresultStatus(r.get());
            if (status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE) {
                failure = r.get();
                break;
            }
        }
        if (failure || results.empty()) {
            if (protect && PQstatus(conn_.get()) == CONNECTION_OK) {
                // ROLLBACK TO keeps the savepoint: it is ready for the next statement.
                ResultPtr undo{PQexec(conn_.get(), "ROLLBACK TO SAVEPOINT kv_statement")};
                if (PQresultStatus(undo.get()) != PGRES_COMMAND_OK) statement_savepoint_ = false;
            }
            Fail(failure);
        }
        // When protected, the last two results are the release and the next savepoint.
        const std::size_t last = protect && results.size() >= 2 ? results.size() - 2 : results.size();
        ExecuteResult out;
        long count = 0;
        for (std::size_t i = 0; i < last; ++i) {
            const PGresult* r = results[i].get();
            const ExecStatusType status = PQresultStatus(r);
            if (status == PGRES_TUPLES_OK) {
                if (!out.has_rows) FetchRows(r, out);
            } else if (status == PGRES_COMMAND_OK) {
                const char* n = PQcmdTuples(const_cast<PGresult*>(r));
                count = n && *n ? std::atol(n) : 0;
            }
        }
        out.records_affected = out.has_rows ? -1 : count;
        return out;
    }

    bool EngineInTransaction() const override {
        if (Lost()) return false;  // the server dropped it
        const PGTransactionStatusType s = PQtransactionStatus(conn_.get());
        return s == PQTRANS_INTRANS || s == PQTRANS_INERROR || s == PQTRANS_ACTIVE;
    }

    bool Lost() const override { return farewell_ || PQstatus(conn_.get()) != CONNECTION_OK; }
    std::unique_ptr<PreparedStatement> Prepare(std::string_view sql) override;

    void Ready() override {
        if (!Lost() && !ServerClosed()) return;
        if (transaction_open_) RaiseLost();
        PQreset(conn_.get());
        farewell_ = false;
        statement_savepoint_ = false;
        if (PQstatus(conn_.get()) != CONNECTION_OK) {
            ErrorInfo info{err::kProvider,
                           "La connessione al server PostgreSQL " + where_ +
                               " si è interrotta e non è stato possibile riaprirla: " + TrimEnd(PQerrorMessage(conn_.get())),
                           kSource, "08001", 0};
            throw ProviderError(std::move(info));
        }
        ++session_;
    }
    uint64_t Session() const override { return session_; }

    // A refusal met by a prepared statement, as the loss of the server when that is what it was.
    void RaiseIfLost() {
        if (Lost()) RaiseLost();
    }

protected:
    void RunControl(const std::string& sql) override {
        Ready();
        std::string text = sql;
        // Our statement savepoint goes first, so that levels and savepoints nest as BeginTrans made them.
        if (statement_savepoint_ && PQtransactionStatus(conn_.get()) == PQTRANS_INTRANS)
            text = "RELEASE SAVEPOINT kv_statement;" + text;
        statement_savepoint_ = false;
        ResultPtr res{PQexec(conn_.get(), text.c_str())};
        if (PQresultStatus(res.get()) != PGRES_COMMAND_OK) Fail(res.get());
        if (sql == "BEGIN") transaction_open_ = true;
        if (sql == "COMMIT" || sql == "ROLLBACK") transaction_open_ = false;
        // A transaction that had failed is rolled back by the server when asked to commit; the work is
        // lost, and saying so is the commit's only honest answer.
        if (sql == "COMMIT" && std::string_view(PQcmdStatus(res.get())) == "ROLLBACK") {
            ErrorInfo info{err::kProvider,
                           "Il server ha annullato la transazione invece di confermarla: nessuna delle modifiche "
                           "della transazione è stata salvata.",
                           kSource, "40000", 0};
            throw ProviderError(std::move(info));
        }
    }

private:
    void RunRaw(const char* sql) {
        ResultPtr res{PQexec(conn_.get(), sql)};
        if (PQresultStatus(res.get()) != PGRES_COMMAND_OK) Fail(res.get());
    }

    // Raises the failure, as the loss of the server when that is what it was.
    [[noreturn]] void Fail(const PGresult* res) {
        if (PQstatus(conn_.get()) != CONNECTION_OK) RaiseLost();
        RaiseResult(res, conn_.get());
    }

    // True when the server has closed the idle connection or said it is closing it: whatever it sent
    // is read (libpq marks a closed connection as broken; a farewell arrives as a notice). Nothing is
    // read while a command is in flight.
    bool ServerClosed() {
        if (PQpipelineStatus(conn_.get()) != PQ_PIPELINE_OFF || PQisBusy(conn_.get())) return false;
        for (int i = 0; i < 4; ++i) {
            pollfd p{PQsocket(conn_.get()), POLLIN, 0};
            if (p.fd < 0 || ::poll(&p, 1, 0) <= 0) break;
            if (!PQconsumeInput(conn_.get())) break;
            PQisBusy(conn_.get());  // parses what arrived, so a farewell reaches NoteFarewell
        }
        return Lost();
    }

    static void NoteFarewell(void* farewell, const PGresult* notice) {
        const char* severity = PQresultErrorField(notice, PG_DIAG_SEVERITY_NONLOCALIZED);
        if (severity && (std::string_view(severity) == "FATAL" || std::string_view(severity) == "PANIC"))
            *static_cast<bool*>(farewell) = true;
    }

    // The loss ends the transaction that was open: it is reported once, here.
    [[noreturn]] void RaiseLost() {
        transaction_open_ = false;
        ErrorInfo info{err::kProvider,
                       "La connessione al server PostgreSQL " + where_ +
                           " si è interrotta: le modifiche non ancora confermate sono andate perse. "
                           "La connessione sarà riaperta alla prossima operazione.",
                       kSource, kLostSqlState, 0};
        throw ProviderError(std::move(info));
    }

    ConnPtr conn_;
    std::string where_;
    // True while the savepoint kv_statement is set, inside the transaction, for the next Execute.
    bool statement_savepoint_ = false;
    // True from BEGIN to its end; a loss of the server met meanwhile is an error, never a reconnection.
    bool transaction_open_ = false;
    // True once the server said it ends the session: the connection is as good as lost.
    bool farewell_ = false;
    uint64_t session_ = 0;
};

// A prepared statement that reports the loss of the server as the backend does.
class ServerStatement final : public PreparedStatement {
public:
    ServerStatement(PostgresBackend& backend, std::unique_ptr<PreparedStatement> inner)
        : backend_(backend), inner_(std::move(inner)) {}

    int ParameterCount() const override { return inner_->ParameterCount(); }
    bool ReturnsRows() const override { return inner_->ReturnsRows(); }
    long Execute(const std::vector<Variant>& values) override {
        return Run([&] { return inner_->Execute(values); });
    }
    void Queue(const std::vector<Variant>& values) override {
        Run([&] { inner_->Queue(values); });
    }
    long Complete() override {
        return Run([&] { return inner_->Complete(); });
    }
    bool HasQueued() const override { return inner_->HasQueued(); }
    void Abandon() override { inner_->Abandon(); }

private:
    template <class F>
    auto Run(F&& step) -> decltype(step()) {
        try {
            return step();
        } catch (const ProviderError&) {
            backend_.RaiseIfLost();
            throw;
        }
    }

    PostgresBackend& backend_;
    std::unique_ptr<PreparedStatement> inner_;
};

std::unique_ptr<PreparedStatement> PostgresBackend::Prepare(std::string_view sql) {
    Ready();
    try {
        return std::make_unique<ServerStatement>(
            *this, PreparePostgresStatement(conn_.get(), RewriteSql(sql, Rules(), SqlDialect::kPostgres)));
    } catch (const ProviderError&) {
        RaiseIfLost();
        throw;
    }
}

}  // namespace

namespace {

// A value inside libpq's "options" is split at blanks; a backslash keeps a blank or a backslash as it is.
std::string OptionValue(std::string_view value) {
    std::string out;
    for (char c : value) {
        if (c == ' ' || c == '\t' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

const char* const kSslModes[] = {"disable", "allow", "prefer", "require", "verify-ca", "verify-full"};

std::string SslMode(const ConnectionParams& params) {
    std::string mode = params.Get({"SSL Mode", "SSLMode"});
    if (mode.empty()) return mode;  // the engine's own default (PGSSLMODE, else prefer)
    for (char& c : mode) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* known : kSslModes)
        if (mode == known) return mode;
    throw Error(err::kInvalidArgument,
                "Stringa di connessione: SSL Mode vale \"" + mode +
                    "\", ma può valere disable, allow, prefer, require, verify-ca o verify-full",
                kSource);
}

// What a refused session is told by: the server and database as the engine reached them (a service
// names them only in its file).
struct Place {
    std::string server;
    std::string database;
    std::string user;
};

Place PlaceOf(PGconn* conn, const ConnectionParams& params) {
    Place p;
    auto text = [](const char* s) { return std::string(s ? s : ""); };
    std::string host = conn ? text(PQhost(conn)) : std::string();
    if (host.empty()) host = params.Get({"Host", "Server", "Data Source"});
    std::string port = conn ? text(PQport(conn)) : std::string();
    if (port.empty()) port = params.Get({"Port"});
    p.server = (host.empty() ? std::string("locale") : host) + (port.empty() ? "" : ":" + port);
    p.database = conn ? text(PQdb(conn)) : params.Get({"Database", "Initial Catalog"});
    p.user = conn ? text(PQuser(conn)) : params.Get({"User ID", "UID", "User", "Username"});
    return p;
}

// The engine's reason, on one line.
std::string Reason(PGconn* conn) {
    std::string text = conn ? TrimEnd(PQerrorMessage(conn)) : std::string("memoria insufficiente");
    for (char& c : text)
        if (c == '\n' || c == '\t') c = ' ';
    return text;
}

[[noreturn]] void RaiseRefusedSession(PGconn* conn, const ConnectionParams& params, const std::string& ssl_mode) {
    const Place place = PlaceOf(conn, params);
    const std::string where =
        "il server PostgreSQL " + place.server + (place.database.empty() ? "" : ", database " + place.database);
    const std::string reason = Reason(conn);
    const PasswordPrompt::Request request{place.server, place.database, place.user, false};
    if (conn && PQconnectionNeedsPassword(conn)) {
        ErrorInfo info{err::kProvider,
                       "Impossibile collegarsi con " + where + ": il server chiede la password dell'utente " +
                           place.user +
                           " e non la danno né la stringa di connessione, né il file delle password, né il "
                           "servizio. Indicarla nel file delle password (~/.pgpass, o quello di Password File o "
                           "PGPASSFILE) alla riga di questo server e utente.",
                       kSource, kSqlStatePasswordMissing, 0};
        throw PasswordNeeded(std::move(info), request);
    }
    // The server's own words tell a refused password from a session refused after it (a database that
    // does not exist); its message is in the server's language, so only the one word all of them share
    // is looked for.
    if (conn && PQconnectionUsedPassword(conn) && reason.find("password") != std::string::npos) {
        ErrorInfo info{err::kProvider,
                       "Impossibile collegarsi con " + where + ": il server non ha accettato la password dell'utente " +
                           place.user + " (" + reason + ")",
                       kSource, kSqlStatePasswordRefused, 0};
        PasswordPrompt::Request refused = request;
        refused.refused = true;
        throw PasswordNeeded(std::move(info), refused);
    }
    std::string cause = reason;
    const bool encrypted = ssl_mode == "require" || ssl_mode == "verify-ca" || ssl_mode == "verify-full";
    if (encrypted && (reason.find("SSL") != std::string::npos || reason.find("certificate") != std::string::npos))
        cause = "la connessione cifrata (SSL Mode=" + ssl_mode + ") non si è potuta stabilire: " + reason;
    ErrorInfo info{err::kProvider, "Impossibile collegarsi con " + where + ": " + cause, kSource, "08001", 0};
    throw ProviderError(std::move(info));
}

}  // namespace

std::unique_ptr<Backend> OpenPostgresBackend(const ConnectionParams& params) {
    std::vector<std::pair<std::string, std::string>> kv;
    auto add = [&](const char* key, std::string value) {
        if (!value.empty()) kv.emplace_back(key, std::move(value));
    };
    const std::string ssl_mode = SslMode(params);
    const long lock_timeout = LockTimeoutMilliseconds(params);
    // What the string does not say, the engine takes from the service, its environment or its files
    // (the password from its password file): nothing empty is passed, so nothing overrides them.
    add("service", params.Get({"Service"}));
    add("host", params.Get({"Host", "Server", "Data Source"}));
    add("hostaddr", params.Get({"Host Address", "HostAddr"}));
    add("port", params.Get({"Port"}));
    add("dbname", params.Get({"Database", "Initial Catalog"}));
    add("user", params.Get({"User ID", "UID", "User", "Username"}));
    add("password", params.Get({"Password", "PWD"}));
    add("passfile", params.Get({"Password File", "PassFile"}));
    add("connect_timeout", params.Get({"Timeout", "Connect Timeout"}).empty() ? "15" : params.Get({"Timeout", "Connect Timeout"}));
    add("sslmode", ssl_mode);
    add("sslrootcert", params.Get({"SSL Root Cert", "SSLRootCert"}));
    add("application_name", "qmx");
    add("client_encoding", "UTF8");
    // Dates come back as YYYY-MM-DD whatever the server's default; a schema may be chosen. A save that
    // meets a row another desktop holds waits the lock timeout, then is refused (55P03) instead of
    // waiting without end.
    std::string options = "-c DateStyle=ISO,YMD -c extra_float_digits=1 -c standard_conforming_strings=on"
                          " -c lock_timeout=" + std::to_string(lock_timeout);
    const std::string schema = params.Get({"Schema", "Search Path"});
    if (!schema.empty()) options += " -c search_path=" + OptionValue(schema);
    add("options", options);
    std::vector<const char*> keys, values;
    for (const auto& [k, v] : kv) {
        keys.push_back(k.c_str());
        values.push_back(v.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    ConnPtr conn{PQconnectdbParams(keys.data(), values.data(), 0)};
    if (!conn || PQstatus(conn.get()) != CONNECTION_OK) RaiseRefusedSession(conn.get(), params, ssl_mode);
    // Notices (a DROP ... IF EXISTS that found nothing) are not errors; libpq would print them.
    PQsetNoticeProcessor(conn.get(), [](void*, const char*) {}, nullptr);
    const Place place = PlaceOf(conn.get(), params);
    return std::make_unique<PostgresBackend>(
        std::move(conn), "(" + place.server + (place.database.empty() ? std::string() : ", database " + place.database) + ")");
}

}  // namespace kv::ado
