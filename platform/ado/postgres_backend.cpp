// The server engine. What it lacks of the component's dialect, and how this backend supplies it:
//  - ISNULL(a, b) is COALESCE(a, b) here;
//  - substring(...) results compare without trailing blanks like the fixed-width columns they are cut
//    from (CHAR(n) columns already do): the result is made blank-padded text (bpchar);
//  - 'YYYYMMDD' literals are read as dates natively, CHAR(n) compares without trailing blanks natively.
// Results come as text (the simple query protocol) and are converted by the column's type OID:
// numeric -> Decimal from its exact text, date -> Date, int2/int4 -> Long, int8 -> BigInt,
// float -> Double, bpchar/varchar/text -> String (with the width from the type modifier).
// Inside a transaction each Execute runs under its own savepoint, so that a refused statement undoes
// only itself, as on the embedded engine, instead of dooming the whole transaction.

#include <libpq-fe.h>

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
                if (text.size() == 10) {
                    if (auto date = Date::TryFromYmd(y, m, d)) return Variant(*date);
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

// Statements that end or shape the transaction themselves cannot run under a savepoint of ours.
bool IsTransactionControl(std::string_view sql) {
    std::size_t i = 0;
    while (i < sql.size() && (sql[i] == ' ' || sql[i] == '\t' || sql[i] == '\r' || sql[i] == '\n')) ++i;
    std::string word;
    while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i])))
        word.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(sql[i++]))));
    return word == "BEGIN" || word == "START" || word == "COMMIT" || word == "END" || word == "ROLLBACK" ||
           word == "ABORT" || word == "SAVEPOINT" || word == "RELEASE" || word == "PREPARE";
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
    explicit PostgresBackend(ConnPtr conn) : conn_(std::move(conn)) {}

    std::string Provider() const override { return "PostgreSQL"; }

    ExecuteResult Execute(std::string_view sql) override {
        std::string text = RewriteSql(sql, Rules());
        const bool protect = PQtransactionStatus(conn_.get()) == PQTRANS_INTRANS && !IsTransactionControl(text);
        if (protect) {
            // The line end keeps a trailing "--" comment of the statement from swallowing the release.
            text = "SAVEPOINT kv_statement;" + text + "\n;RELEASE SAVEPOINT kv_statement";
        }
        if (!PQsendQuery(conn_.get(), text.c_str())) RaiseResult(nullptr, conn_.get());
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
        if (failure) {
            if (protect) {
                ResultPtr undo{
                    PQexec(conn_.get(), "ROLLBACK TO SAVEPOINT kv_statement; RELEASE SAVEPOINT kv_statement")};
            }
            RaiseResult(failure, conn_.get());
        }
        // When protected, the first result is the savepoint and the last its release.
        std::size_t first = protect ? 1 : 0;
        std::size_t last = protect && results.size() >= 1 ? results.size() - 1 : results.size();
        ExecuteResult out;
        long count = 0;
        for (std::size_t i = first; i < last; ++i) {
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

    bool EngineInTransaction() const override { return PQtransactionStatus(conn_.get()) != PQTRANS_IDLE; }
    std::unique_ptr<PreparedStatement> Prepare(std::string_view sql) override {
        return PreparePostgresStatement(conn_.get(), RewriteSql(sql, Rules()));
    }

protected:
    void RunControl(const std::string& sql) override {
        ResultPtr res{PQexec(conn_.get(), sql.c_str())};
        if (PQresultStatus(res.get()) != PGRES_COMMAND_OK) RaiseResult(res.get(), conn_.get());
    }

private:
    ConnPtr conn_;
};

}  // namespace

std::unique_ptr<Backend> OpenPostgresBackend(const ConnectionParams& params) {
    std::vector<std::pair<std::string, std::string>> kv;
    auto add = [&](const char* key, std::string value) {
        if (!value.empty()) kv.emplace_back(key, std::move(value));
    };
    const std::string host = params.Get({"Host", "Server", "Data Source"});
    const std::string port = params.Get({"Port"});
    const std::string database = params.Get({"Database", "Initial Catalog"});
    add("host", host);
    add("port", port);
    add("dbname", database);
    add("user", params.Get({"User ID", "UID", "User", "Username"}));
    add("password", params.Get({"Password", "PWD"}));
    add("connect_timeout", params.Get({"Timeout", "Connect Timeout"}).empty() ? "15" : params.Get({"Timeout", "Connect Timeout"}));
    add("sslmode", params.Get({"SSL Mode", "SSLMode"}));
    add("application_name", "qmx");
    add("client_encoding", "UTF8");
    // Dates come back as YYYY-MM-DD whatever the server's default; a schema may be chosen.
    std::string options = "-c DateStyle=ISO,YMD -c extra_float_digits=1";
    const std::string schema = params.Get({"Schema", "Search Path"});
    if (!schema.empty()) options += " -c search_path=" + schema;
    add("options", options);
    std::vector<const char*> keys, values;
    for (const auto& [k, v] : kv) {
        keys.push_back(k.c_str());
        values.push_back(v.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    ConnPtr conn{PQconnectdbParams(keys.data(), values.data(), 0)};
    if (!conn || PQstatus(conn.get()) != CONNECTION_OK) {
        std::string where = (host.empty() ? std::string("the local server") : host) + (port.empty() ? "" : ":" + port);
        ErrorInfo info{err::kProvider,
                       "Cannot connect to the PostgreSQL server at " + where +
                           (database.empty() ? "" : ", database \"" + database + "\"") + ": " +
                           (conn ? TrimEnd(PQerrorMessage(conn.get())) : std::string("out of memory")),
                       kSource, "08001", 0};
        throw ProviderError(std::move(info));
    }
    // Notices (a DROP ... IF EXISTS that found nothing) are not errors; libpq would print them.
    PQsetNoticeProcessor(conn.get(), [](void*, const char*) {}, nullptr);
    return std::make_unique<PostgresBackend>(std::move(conn));
}

}  // namespace kv::ado
