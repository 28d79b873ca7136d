#pragma once
// Connection: the platform's connection to the company database, chosen by the connection string:
//   Provider=SQLite;Data Source=<file or :memory:>
//   Provider=PostgreSQL;Host=...;Port=...;Database=...;User ID=...;Password=...
// The component writes one SQL dialect (ISNULL(a, b), substring(s, start, len), dates as 'YYYYMMDD'
// literals, fixed-width text compared without trailing blanks, unquoted upper-case identifiers); each
// engine's backend adapts only what its engine lacks, in one place.
//
// Execute returns a fully fetched client-side Recordset for a query (field names as the engine reports
// them, looked up case-insensitively; types from the engine's declared types: integers -> Long or BigInt,
// NUMERIC/DECIMAL -> Decimal, REAL/FLOAT -> Double, text -> String, DATE -> Date, NULL -> Null), and a
// closed Recordset for a statement, with the number of rows it affected.
//
// Failures raise kv::Error: the engine's message for a refused statement (and the Errors collection is
// filled with it), the cause for a failed Open (State stays closed). The connection stays usable after a
// refused statement; RollbackTrans leaves the database as it was before BeginTrans. A refused statement
// inside a transaction undoes only itself on every engine, and a text of several statements is all or
// nothing. CommitTrans raises when the engine rolled the transaction back instead of committing it.
// A server that has gone away is reported by the call that meets it; the connection then counts as
// outside any transaction (RollbackTrans does nothing), and Close and Open work as usual.
// The engines' own headers stay private to the backends.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/enums.h"
#include "platform/ado/recordset.h"
#include "platform/variant/regional.h"
#include "platform/variant/variant.h"

namespace kv::ado {

class Backend;
class StatementFaults;

struct ErrorInfo {
    long number = 0;
    std::string description;
    std::string source;
    std::string sql_state;
    long native_error = 0;
};

// The provider errors of the last failed operation (cleared and refilled on the next failure;
// successful operations leave it untouched).
class Errors {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    const ErrorInfo& Item(int index) const;  // 3265 out of range
    void Clear() { items_.clear(); }
    void Add(ErrorInfo e) { items_.push_back(std::move(e)); }
    const std::vector<ErrorInfo>& All() const { return items_; }

private:
    std::vector<ErrorInfo> items_;
};

class Connection : public Object {
public:
    Connection();
    ~Connection() override;  // closes, rolling back an open transaction
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    static std::shared_ptr<Connection> Create() { return std::make_shared<Connection>(); }

    const std::string& ConnectionString() const { return connection_string_; }
    void SetConnectionString(std::string_view s) { connection_string_ = std::string(s); }
    CursorLocationEnum CursorLocation() const { return cursor_location_; }
    void SetCursorLocation(CursorLocationEnum v) { cursor_location_ = v; }
    // Settings used to convert text when results are built and values assigned.
    const RegionalSettings& Regional() const { return regional_; }
    void SetRegional(const RegionalSettings& rs) { regional_ = rs; }

    // Opens with the given connection string (or the stored one when empty). 3705 when already open;
    // an unknown provider, a missing file or a refused server raise kv::Error naming the cause.
    void Open(std::string_view connection_string = {}, std::string_view user = {},
              std::string_view password = {});
    // 3704 when closed, 3246 inside a transaction.
    void Close();
    ObjectStateEnum State() const;
    // "SQLite" or "PostgreSQL" once open; "" before.
    std::string Provider() const;

    RecordsetPtr Execute(std::string_view sql, long* records_affected = nullptr);
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const;

    Errors& GetErrors() { return errors_; }
    const Errors& GetErrors() const { return errors_; }

private:
    friend class Command;  // prepares its statement on the backend
    // The tests' statement counter (testing/statement_faults.h) goes between the connection and its engine.
    friend std::shared_ptr<StatementFaults> InjectStatementFaults(Connection& connection);

    std::string connection_string_;
    CursorLocationEnum cursor_location_ = adUseServer;
    RegionalSettings regional_;
    Errors errors_;
    std::unique_ptr<Backend> backend_;
    uint64_t generation_ = 0;  // grows at every Open, so a Command sees that its statement is stale
};

using ConnectionPtr = std::shared_ptr<Connection>;

}  // namespace kv::ado
