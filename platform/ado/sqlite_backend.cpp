// The embedded engine. What it lacks of the component's dialect, and how this backend supplies it:
//  - ISNULL(a, b) is IFNULL(a, b) here;
//  - fixed-width text compares without trailing blanks: text columns are declared COLLATE RTRIM in the
//    schema, and substring(...) results are compared the same way (their collation is set here);
//  - dates are 'YYYYMMDD' text in statements; DATE columns (numeric affinity) keep them as the integer
//    YYYYMMDD, which orders and compares like the text, and read back as Date;
//  - result types come from the declared column types (DATE, NUMERIC, CHAR(n)...); NUMERIC values are
//    read from their text form, never through a double of our own, so 0.3 reads back as 0.3 (the engine
//    keeps 15 significant digits of a non-integer number). Expression columns have no declared type:
//    their values' storage class decides.

#include <sqlite3.h>

#include <charconv>
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
        {"ISNULL", "IFNULL", "", ""},
        {"SUBSTRING", "substr", "(", " COLLATE RTRIM)"},
    };
    return rules;
}

std::string SqlStateOf(int code) {
    switch (code & 0xff) {
        case SQLITE_CONSTRAINT: return "23000";
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return "40001";
        case SQLITE_PERM:
        case SQLITE_AUTH: return "42000";
        default: return "HY000";
    }
}

[[noreturn]] void RaiseEngine(sqlite3* db, int code, const std::string& prefix = {}) {
    ErrorInfo info;
    info.number = err::kProvider;
    info.description = prefix + (db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
    info.source = kSource;
    info.native_error = db ? sqlite3_extended_errcode(db) : code;
    info.sql_state = SqlStateOf(static_cast<int>(info.native_error));
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
            if (auto d = Date::TryFromYmd(static_cast<int>(v / 10000), static_cast<int>(v / 100 % 100),
                                          static_cast<int>(v % 100)))
                return Variant(*d);
            break;
        }
        case SQLITE_FLOAT:
            break;
        default:
            if (auto d = Date::ParseIso(TextOf(s, i))) return Variant(*d);
            break;
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

    bool EngineInTransaction() const override { return sqlite3_get_autocommit(db_.get()) == 0; }
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

}  // namespace

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
    // Several desktops may share one file: wait for a writer instead of failing at once.
    sqlite3_busy_timeout(db.get(), 10000);
    // Opening succeeds on any file; reading the schema tells a database from something else.
    rc = sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) RaiseEngine(db.get(), rc, "Cannot open the SQLite database \"" + path + "\": ");
    return std::make_unique<SqliteBackend>(std::move(db));
}

}  // namespace kv::ado
