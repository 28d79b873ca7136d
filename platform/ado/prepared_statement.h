#pragma once
// A statement prepared on an engine for repeated execution with bound values: what Command stands on.
// Private to platform/ado, like backend.h; each engine's implementation keeps its own headers private.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/variant/variant.h"

struct sqlite3;
struct pg_conn;

namespace kv::ado {

class PreparedStatement {
public:
    virtual ~PreparedStatement() = default;

    virtual int ParameterCount() const = 0;
    // True for a statement that produces a result set (its rows are read through Connection::Execute).
    virtual bool ReturnsRows() const = 0;
    // Runs once and waits; returns the rows affected. Inside a transaction a refused statement undoes
    // only itself. Raises ProviderError.
    virtual long Execute(const std::vector<Variant>& values) = 0;
    // Hands a row to the engine as part of the pending unit (see Command). Raises ProviderError when a
    // refusal is already known; the unit is then undone.
    virtual void Queue(const std::vector<Variant>& values) = 0;
    // Ends the pending unit: waits for its rows and keeps them, or undoes all and raises ProviderError.
    virtual long Complete() = 0;
    virtual bool HasQueued() const = 0;
    // The engine's connection is already gone: forget every handle without touching it.
    virtual void Abandon() = 0;
};

// `sql` is already in the engine's dialect; placeholders are `?`.
std::unique_ptr<PreparedStatement> PrepareSqliteStatement(sqlite3* db, const std::string& sql);
std::unique_ptr<PreparedStatement> PreparePostgresStatement(pg_conn* conn, const std::string& sql);
// The SQLSTATE the embedded engine's (extended) result code is reported with, for statements run either way.
std::string SqliteSqlState(int code);

// The text cut at each `?` placeholder outside string literals, quoted identifiers and comments:
// n placeholders give n + 1 pieces.
std::vector<std::string> SplitAtPlaceholders(std::string_view sql);

}  // namespace kv::ado
