// The embedded engine. What it lacks of the component's dialect, and how this backend supplies it:
//  - ISNULL(a, b) is IFNULL(a, b) here, and its result compares without trailing blanks like the
//    fixed-width column it usually stands for (ISNULL(CODE, '') = 'AB' holds for 'AB   ');
//  - fixed-width text compares without trailing blanks: text columns are declared COLLATE RTRIM in the
//    schema, and substring(...) results are compared the same way (their collation is set here);
//  - LIKE is case-sensitive and ignores the trailing blanks of the value, as on the server engine (the
//    engine's own LIKE ignores case and keeps blanks): the like() function is replaced per connection;
//  - a text of several statements is all or nothing, as on the server engine: it runs under a savepoint
//    (unless it ends or shapes a transaction itself);
//  - dates are 'YYYYMMDD' text in statements; DATE columns (numeric affinity) keep them as the integer
//    YYYYMMDD, which orders and compares like the text, and read back as Date, taken as written;
//  - result types come from the declared column types (DATE, NUMERIC, CHAR(n)...); NUMERIC values are
//    read from their text form, never through a double of our own, so 0.3 reads back as 0.3 (the engine
//    keeps 15 significant digits of a non-integer number). Expression columns have no declared type:
//    their values' storage class decides.
// What stays different from the server engine is listed in postgres_backend.cpp.

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/ado/backend.h"
#include "platform/ado/sql_rewrite.h"
#include "platform/variant/date.h"
#include "platform/variant/decimal.h"

namespace kv::ado {
namespace {

constexpr const char* kSource = "SQLite";

struct DbClose {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StmtFinalize {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using DbPtr = std::unique_ptr<sqlite3, DbClose>;
using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtFinalize>;

const std::vector<SqlFunctionRule>& Rules() {
    static const std::vector<SqlFunctionRule> rules = {
        {"ISNULL", "IFNULL", "(", " COLLATE RTRIM)"},
        {"SUBSTRING", "substr", "(", " COLLATE RTRIM)"},
    };
    return rules;
}

[[noreturn]] void RaiseEngine(sqlite3* db, int code, const std::string& prefix = {}) {
    ErrorInfo info;
    info.number = err::kProvider;
    info.description = prefix + (db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
    info.source = kSource;
    info.native_error = db ? sqlite3_extended_errcode(db) : code;
    info.sql_state = SqliteSqlState(static_cast<int>(info.native_error));
    throw ProviderError(std::move(info));
}

std::string Upper(const char* s) {
    std::string out;
    for (; s && *s; ++s) out.push_back(*s >= 'a' && *s <= 'z' ? static_cast<char>(*s - 32) : *s);
    return out;
}

// How a result column's values are read.
enum class Kind { kText, kDate, kDecimal, kInteger, kBigInt, kDouble, kBoolean, kExpression };

struct Column {
    Kind kind = Kind::kExpression;
    FieldInfo info;
};

long SizeInParens(const std::string& decl) {
    auto open = decl.find('(');
    if (open == std::string::npos) return 0;
    long n = 0;
    auto first = decl.data() + open + 1;
    auto last = decl.data() + decl.size();
    while (first < last && *first == ' ') ++first;
    std::from_chars(first, last, n);
    return n > 0 ? n : 0;
}

// The engine's own affinity rules (CHAR/TEXT/CLOB, INT, REAL/FLOA/DOUB), refined with the names that
// carry a platform type: DATE and TIMESTAMP, NUMERIC and DECIMAL, BOOLEAN.
Column Classify(const char* name, const char* decltype_text) {
    Column c;
    c.info.name = name ? name : "";
    if (!decltype_text) return c;
    const std::string d = Upper(decltype_text);
    auto has = [&](const char* s) { return d.find(s) != std::string::npos; };
    if (has("CHAR") || has("TEXT") || has("CLOB")) {
        c.kind = Kind::kText;
        long n = SizeInParens(d);
        if (has("VARCHAR") || has("VARYING")) {
            c.info.type = adVarWChar;
        } else if (has("CHAR") && n > 0) {
            c.info.type = adWChar;
        } else {
            c.info.type = adLongVarWChar;
        }
        c.info.defined_size = n;
    } else if (has("DATE") || has("TIME")) {
        c.kind = Kind::kDate;
        c.info.type = adDate;
    } else if (has("BOOL")) {
        c.kind = Kind::kBoolean;
        c.info.type = adBoolean;
    } else if (has("BIGINT") || has("INT8")) {
        c.kind = Kind::kBigInt;
        c.info.type = adBigInt;
    } else if (has("INT")) {
        c.kind = Kind::kInteger;
        c.info.type = adInteger;
    } else if (has("REAL") || has("FLOA") || has("DOUB")) {
        c.kind = Kind::kDouble;
        c.info.type = adDouble;
    } else if (has("NUMERIC") || has("DECIMAL") || has("MONEY")) {
        c.kind = Kind::kDecimal;
        c.info.type = adNumeric;
    } else {
        return c;  // BLOB or unknown: read by storage class like an expression
    }
    c.info.attributes = ResultFieldAttributes(c.info.type);
    return c;
}

std::string_view TextOf(sqlite3_stmt* s, int i) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(s, i))) : std::string_view();
}

Variant DecimalFromText(std::string_view text) {
    if (auto d = Decimal::Parse(text)) return Variant(*d);
    // Not a number (text stored in a numeric column): keep it as it is rather than lose it.
    return Variant(std::string(text));
}

Variant ReadDate(sqlite3_stmt* s, int i) {
    switch (sqlite3_column_type(s, i)) {
        case SQLITE_NULL: return Variant::Null();
        case SQLITE_INTEGER: {
            sqlite3_int64 v = sqlite3_column_int64(s, i);
            if (v >= 101 && v < sqlite3_int64{kFirstStoredYear} * 10000) {
                char text[16];
                std::snprintf(text, sizeof text, "%08lld", static_cast<long long>(v));
                RaiseStoredDateOutOfRange(sqlite3_column_name(s, i), text, kSource);
            }
            if (auto d = StoredDate(static_cast<int>(v / 10000), static_cast<int>(v / 100 % 100),
                                    static_cast<int>(v % 100)))
                return Variant(*d);
            break;
        }
        case SQLITE_FLOAT:
            break;
        default: {
            const std::string_view text = TextOf(s, i);
            int year = 0;
            const bool dated = text.size() >= 8 && std::all_of(text.begin(), text.begin() + 4, [](char ch) {
                                   return ch >= '0' && ch <= '9';
                               }) && (text.size() == 8 || text[4] == '-');
            if (dated && std::from_chars(text.data(), text.data() + 4, year).ec == std::errc() &&
                year < kFirstStoredYear)
                RaiseStoredDateOutOfRange(sqlite3_column_name(s, i), text, kSource);
            if (auto d = Date::ParseIso(text)) return Variant(*d);
            break;
        }
    }
    // A value written in another form than 'YYYYMMDD': its text, not a wrong date.
    return Variant(std::string(TextOf(s, i)));
}

Variant ReadValue(sqlite3_stmt* s, int i, Kind kind) {
    const int type = sqlite3_column_type(s, i);
    if (type == SQLITE_NULL) return Variant::Null();
    switch (kind) {
        case Kind::kText:
            return Variant(std::string(TextOf(s, i)));
        case Kind::kDate:
            return ReadDate(s, i);
        case Kind::kDecimal:
            if (type == SQLITE_INTEGER) return Variant(Decimal(static_cast<int64_t>(sqlite3_column_int64(s, i))));
            return DecimalFromText(TextOf(s, i));
        case Kind::kInteger: {
            if (type != SQLITE_INTEGER) break;
            sqlite3_int64 v = sqlite3_column_int64(s, i);
            if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
            return Variant(static_cast<long long>(v));
        }
        case Kind::kBigInt:
            if (type != SQLITE_INTEGER) break;
            return Variant(static_cast<long long>(sqlite3_column_int64(s, i)));
        case Kind::kDouble:
            if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) break;
            return Variant(sqlite3_column_double(s, i));
        case Kind::kBoolean:
            if (type != SQLITE_INTEGER) break;
            return Variant(sqlite3_column_int64(s, i) != 0);
        case Kind::kExpression:
            break;
    }
    // The storage class decides (expression columns, and values a column's type does not describe).
    switch (type) {
        case SQLITE_INTEGER: return Variant(static_cast<long long>(sqlite3_column_int64(s, i)));
        case SQLITE_FLOAT: return Variant(sqlite3_column_double(s, i));
        default: return Variant(std::string(TextOf(s, i)));
    }
}

// An expression column gets the narrowest type that holds all its values: Long when every value is an
// integer in 32 bits, BigInt for larger integers, Double when a value has a fraction, text otherwise
// (also when there is no value at all, as the server reports an untyped Null).
void SettleExpressionColumn(Column& c, std::size_t index, std::vector<std::vector<Variant>>& rows) {
    bool any_text = false, any_double = false, any_big = false, any_value = false;
    for (const auto& row : rows) {
        const Variant& v = row[index];
        if (!v.IsNull()) any_value = true;
        if (v.IsString()) {
            any_text = true;
        } else if (v.TryGet<double>()) {
            any_double = true;
        } else if (const auto* i = v.TryGet<int64_t>()) {
            if (*i < INT32_MIN || *i > INT32_MAX) any_big = true;
        }
    }
    if (any_text || !any_value) {
        c.info.type = adVarWChar;
        for (auto& row : rows) {
            Variant& v = row[index];
            if (const auto* i = v.TryGet<int64_t>()) {
                v = Variant(std::to_string(*i));
            } else if (const auto* d = v.TryGet<double>()) {
                char buf[32];
                auto r = std::to_chars(buf, buf + sizeof buf, *d);
                v = Variant(std::string(buf, r.ptr));
            }
        }
    } else if (any_double) {
        c.info.type = adDouble;
        for (auto& row : rows) {
            Variant& v = row[index];
            if (const auto* i = v.TryGet<int64_t>()) v = Variant(static_cast<double>(*i));
        }
    } else if (any_big) {
        c.info.type = adBigInt;
    } else {
        c.info.type = adInteger;
        for (auto& row : rows) {
            Variant& v = row[index];
            if (const auto* i = v.TryGet<int64_t>()) v = Variant(static_cast<int32_t>(*i));
        }
    }
    c.info.attributes = ResultFieldAttributes(c.info.type);
}

class SqliteBackend final : public Backend {
public:
    explicit SqliteBackend(DbPtr db) : db_(std::move(db)) {}

    std::string Provider() const override { return "SQLite"; }

    ExecuteResult Execute(std::string_view sql) override {
        const std::string text = RewriteSql(sql, Rules());
        const auto words = StatementFirstWords(text, SqlDialect::kSqlite);
        const bool atomic = words.size() > 1 && std::none_of(words.begin(), words.end(), [](const std::string& w) {
                                return IsTransactionControlWord(w);
                            });
        if (!atomic) return Run(text);
        RunControl("SAVEPOINT kv_statements");
        ExecuteResult result;
        try {
            result = Run(text);
        } catch (...) {
            char* message = nullptr;
            sqlite3_exec(db_.get(), "ROLLBACK TO kv_statements; RELEASE kv_statements", nullptr, nullptr, &message);
            sqlite3_free(message);
            throw;
        }
        RunControl("RELEASE kv_statements");
        return result;
    }

    bool EngineInTransaction() const override { return sqlite3_get_autocommit(db_.get()) == 0; }
    // Once a transaction has read, the lock it holds keeps another connection from committing until it
    // ends; with a write-ahead log, its first write over a later commit is refused instead.
    bool ReadsStableInTransaction() const override { return true; }
    std::unique_ptr<PreparedStatement> Prepare(std::string_view sql) override {
        return PrepareSqliteStatement(db_.get(), RewriteSql(sql, Rules()));
    }

protected:
    void RunControl(const std::string& sql) override {
        char* message = nullptr;
        int rc = sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &message);
        sqlite3_free(message);
        if (rc != SQLITE_OK) RaiseEngine(db_.get(), rc);
    }

private:
    ExecuteResult Run(const std::string& text) {
        ExecuteResult result;
        const char* tail = text.c_str();
        const char* end = text.c_str() + text.size();
        bool ran_any = false;
        while (tail < end) {
            sqlite3_stmt* raw = nullptr;
            const char* next = nullptr;
            int rc = sqlite3_prepare_v2(db_.get(), tail, static_cast<int>(end - tail), &raw, &next);
            StmtPtr stmt(raw);
            if (rc != SQLITE_OK) RaiseEngine(db_.get(), rc);
            tail = next;
            if (!stmt) continue;  // blanks or a comment after the last statement
            ran_any = true;
            const int ncol = sqlite3_column_count(stmt.get());
            if (ncol > 0 && !result.has_rows) {
                Fetch(stmt.get(), ncol, result);
            } else {
                while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
                }
                if (rc != SQLITE_DONE) RaiseEngine(db_.get(), rc);
                if (ncol == 0) result.records_affected = sqlite3_changes(db_.get());
            }
        }
        if (!ran_any) result.records_affected = 0;
        if (result.has_rows) result.records_affected = -1;
        return result;
    }

    void Fetch(sqlite3_stmt* stmt, int ncol, ExecuteResult& result) {
        std::vector<Column> cols;
        cols.reserve(static_cast<std::size_t>(ncol));
        for (int i = 0; i < ncol; ++i)
            cols.push_back(Classify(sqlite3_column_name(stmt, i), sqlite3_column_decltype(stmt, i)));
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            std::vector<Variant> row;
            row.reserve(static_cast<std::size_t>(ncol));
            for (int i = 0; i < ncol; ++i) row.push_back(ReadValue(stmt, i, cols[static_cast<std::size_t>(i)].kind));
            result.rows.push_back(std::move(row));
        }
        if (rc != SQLITE_DONE) RaiseEngine(db_.get(), rc);
        for (std::size_t i = 0; i < cols.size(); ++i) {
            if (cols[i].kind == Kind::kExpression) SettleExpressionColumn(cols[i], i, result.rows);
            result.fields.push_back(std::move(cols[i].info));
        }
        result.has_rows = true;
    }

    DbPtr db_;
};


// LIKE as both engines read it: case-sensitive, '%' any run of characters, '_' one character, an
// optional escape character; the value may carry trailing blanks the pattern does not mention.
bool LikeAt(std::string_view s, std::string_view p, int escape) {
    std::size_t si = 0, pi = 0, star_p = std::string_view::npos, star_s = 0;
    auto char_len = [](std::string_view t, std::size_t at) {
        const auto c = static_cast<unsigned char>(t[at]);
        std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        return std::min(n, t.size() - at);
    };
    while (si < s.size()) {
        if (pi < p.size() && p[pi] == '%') {
            star_p = ++pi;
            star_s = si;
            continue;
        }
        if (pi < p.size()) {
            if (p[pi] == '_') {
                si += char_len(s, si);
                ++pi;
                continue;
            }
            std::size_t lit = pi;
            if (escape >= 0 && static_cast<unsigned char>(p[pi]) == escape && pi + 1 < p.size()) lit = pi + 1;
            const std::size_t n = char_len(p, lit);
            if (s.compare(si, n, p.substr(lit, n)) == 0) {
                si += n;
                pi = lit + n;
                continue;
            }
        }
        if (star_p == std::string_view::npos) return false;
        star_s += char_len(s, star_s);
        si = star_s;
        pi = star_p;
    }
    while (pi < p.size() && p[pi] == '%') ++pi;
    return pi == p.size();
}

void LikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    for (int k = 0; k < argc; ++k)
        if (sqlite3_value_type(argv[k]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto text = [&](int k) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[k]));
        return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(argv[k]))) : std::string_view();
    };
    const std::string_view pattern = text(0);  // like(pattern, value[, escape]) is how the engine calls it
    std::string_view value = text(1);
    int escape = -1;
    if (argc == 3) {
        const std::string_view e = text(2);
        if (e.size() != 1) return sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
        escape = static_cast<unsigned char>(e[0]);
    }
    for (;;) {
        if (LikeAt(value, pattern, escape)) return sqlite3_result_int(ctx, 1);
        if (value.empty() || value.back() != ' ') return sqlite3_result_int(ctx, 0);
        value.remove_suffix(1);
    }
}

}  // namespace


std::string SqliteSqlState(int code) {
    switch (code & 0xff) {
        case SQLITE_CONSTRAINT: return "23000";
        // Another connection holds the database for writing past the lock timeout: said as the server
        // engine says a row it could not lock in time, so a caller tells both alike.
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return kSqlStateLockTimeout;
        case SQLITE_PERM:
        case SQLITE_AUTH: return "42000";
        default: return "HY000";
    }
}

std::unique_ptr<Backend> OpenSqliteBackend(const ConnectionParams& params) {
    const std::string path = params.Get({"Data Source", "DataSource", "Database", "Filename"});
    if (path.empty()) {
        ErrorInfo info{err::kProvider, "The connection string names no Data Source (the SQLite database file).",
                       kSource, "08001", 0};
        throw ProviderError(std::move(info));
    }
    const std::string mode = Upper(params.Get({"Mode"}).c_str());
    const bool in_memory = path == ":memory:";
    const bool create = mode.find("CREATE") != std::string::npos;
    const bool read_only = mode == "READ" || mode == "READONLY";
    std::error_code ec;
    if (!in_memory && !create && !std::filesystem::exists(path, ec)) {
        ErrorInfo info{err::kProvider,
                       "The SQLite database file \"" + path +
                           "\" does not exist (Mode=Create in the connection string creates it).",
                       kSource, "08001", SQLITE_CANTOPEN};
        throw ProviderError(std::move(info));
    }
    int flags = read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (create && !read_only) flags |= SQLITE_OPEN_CREATE;
    flags |= SQLITE_OPEN_NOMUTEX;  // one connection per thread, as every platform object
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    DbPtr db(raw);
    if (rc != SQLITE_OK) RaiseEngine(db.get(), rc, "Cannot open the SQLite database \"" + path + "\": ");
    sqlite3_extended_result_codes(db.get(), 1);
    // Several desktops may share one file: wait for a writer instead of failing at once, as long as the
    // connection string's Lock Timeout says (0: without end).
    const long lock_timeout = LockTimeoutMilliseconds(params);
    sqlite3_busy_timeout(db.get(), lock_timeout > 0 ? static_cast<int>(lock_timeout) : INT32_MAX);
    // Opening succeeds on any file; reading the schema tells a database from something else.
    rc = sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) RaiseEngine(db.get(), rc, "Cannot open the SQLite database \"" + path + "\": ");
    for (int args : {2, 3})
        sqlite3_create_function_v2(db.get(), "like", args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, LikeFunction,
                                   nullptr, nullptr, nullptr);
    return std::make_unique<SqliteBackend>(std::move(db));
}

}  // namespace kv::ado
