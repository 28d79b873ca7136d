// Prepared statements on the embedded engine. The engine runs in-process, so a queued row is simply run
// at once; the queued unit is a savepoint of its own (which opens a transaction when none is open), so
// its rows still take effect together or not at all.
// Values are bound as the literals of the same value would be written: a Date as 'YYYYMMDD' text and a
// Decimal as its exact text, which the column's affinity turns into what a literal would become.

#include <sqlite3.h>

#include <charconv>
#include <memory>
#include <string>

#include "platform/ado/backend.h"
#include "platform/ado/prepared_statement.h"

namespace kv::ado {
namespace {

constexpr const char* kSource = "SQLite";

struct StmtFinalize {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtFinalize>;

[[noreturn]] void RaiseEngine(sqlite3* db, int code) {
    ErrorInfo info;
    info.number = err::kProvider;
    info.description = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    info.source = kSource;
    info.native_error = db ? sqlite3_extended_errcode(db) : code;
    info.sql_state = SqliteSqlState(static_cast<int>(info.native_error));
    throw ProviderError(std::move(info));
}

int BindText(sqlite3_stmt* s, int i, const std::string& text) {
    return sqlite3_bind_text(s, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

int Bind(sqlite3_stmt* s, int i, const Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return sqlite3_bind_null(s, i);
    if (const auto* b = v.TryGet<Variant::Boolean>()) return sqlite3_bind_int(s, i, b->value);
    if (const auto* n = v.TryGet<int16_t>()) return sqlite3_bind_int(s, i, *n);
    if (const auto* n = v.TryGet<int32_t>()) return sqlite3_bind_int(s, i, *n);
    if (const auto* n = v.TryGet<int64_t>()) return sqlite3_bind_int64(s, i, *n);
    if (const auto* d = v.TryGet<double>()) return sqlite3_bind_double(s, i, *d);
    if (const auto* d = v.TryGet<Decimal>()) return BindText(s, i, d->ToString('.'));
    if (const auto* d = v.TryGet<Date>()) return BindText(s, i, d->ToYmd());
    if (v.IsString()) return BindText(s, i, v.StringValue());
    throw Error(err::kTypeMismatch, "An object cannot be the value of a parameter", kSource);
}

class SqliteStatement final : public PreparedStatement {
public:
    SqliteStatement(sqlite3* db, StmtPtr stmt) : db_(db), stmt_(std::move(stmt)) {}
    ~SqliteStatement() override {
        if (db_ && queued_) Undo();
    }

    int ParameterCount() const override { return sqlite3_bind_parameter_count(stmt_.get()); }
    bool ReturnsRows() const override { return sqlite3_column_count(stmt_.get()) > 0; }

    long Execute(const std::vector<Variant>& values) override {
        sqlite3_reset(stmt_.get());
        sqlite3_clear_bindings(stmt_.get());
        for (std::size_t i = 0; i < values.size(); ++i) {
            int rc = Bind(stmt_.get(), static_cast<int>(i + 1), values[i]);
            if (rc != SQLITE_OK) RaiseEngine(db_, rc);
        }
        int rc;
        while ((rc = sqlite3_step(stmt_.get())) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) {
            sqlite3_reset(stmt_.get());
            RaiseEngine(db_, rc);
        }
        const long changes = sqlite3_changes(db_);
        sqlite3_reset(stmt_.get());
        return changes;
    }

    void Queue(const std::vector<Variant>& values) override {
        if (!queued_) {
            Control("SAVEPOINT kv_queued");
            queued_ = true;
            changes_ = 0;
        }
        try {
            changes_ += Execute(values);
        } catch (...) {
            Undo();
            throw;
        }
    }

    long Complete() override {
        if (!queued_) return 0;
        try {
            Control("RELEASE SAVEPOINT kv_queued");
        } catch (...) {
            Undo();
            throw;
        }
        queued_ = false;
        return changes_;
    }

    bool HasQueued() const override { return queued_; }
    void Abandon() override {
        // A connection closed with statements outstanding lives on until the last is finalized, so
        // finalizing this one later is still sound; only its queued unit is gone with the connection.
        db_ = nullptr;
        queued_ = false;
    }

private:
    void Control(const char* sql) {
        int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) RaiseEngine(db_, rc);
    }
    void Undo() {
        queued_ = false;
        sqlite3_exec(db_, "ROLLBACK TO SAVEPOINT kv_queued", nullptr, nullptr, nullptr);
        sqlite3_exec(db_, "RELEASE SAVEPOINT kv_queued", nullptr, nullptr, nullptr);
    }

    sqlite3* db_;
    StmtPtr stmt_;
    bool queued_ = false;
    long changes_ = 0;
};

}  // namespace

std::unique_ptr<PreparedStatement> PrepareSqliteStatement(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &raw,
                                &tail);
    StmtPtr stmt(raw);
    if (rc != SQLITE_OK) RaiseEngine(db, rc);
    if (!stmt) {
        throw ProviderError(ErrorInfo{err::kProvider, "The command text holds no statement", kSource, "42000", 0});
    }
    for (; tail && *tail; ++tail) {
        if (*tail != ' ' && *tail != '\t' && *tail != '\r' && *tail != '\n' && *tail != ';') {
            throw ProviderError(
                ErrorInfo{err::kProvider, "A command holds one statement only", kSource, "42000", 0});
        }
    }
    return std::make_unique<SqliteStatement>(db, std::move(stmt));
}

}  // namespace kv::ado
