#pragma once
// Connection: the platform's connection to the company database, chosen by the connection string:
//   Provider=SQLite;Data Source=<file or :memory:>
//   Provider=PostgreSQL;Host=...;Port=...;Database=...;User ID=...[;Password=...]
//   Provider=PostgreSQL;Service=<name in pg_service.conf>
// A PostgreSQL string may also say SSL Mode (disable, allow, prefer, require, verify-ca, verify-full),
// SSL Root Cert (the authority's certificate; without it the engine's own file), Host Address (the
// address to reach when Host names the server for its certificate), Password File, Lock Timeout (the
// seconds a statement waits for a row another connection holds; 10 when not said, 0 without end) and
// Schema. Without Password the engine takes it from its password file or the service; when the server
// asks for one that nothing gives, the connection's PasswordPrompt is asked.
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
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/enums.h"
#include "platform/ado/recordset.h"
#include "platform/variant/regional.h"
#include "platform/variant/variant.h"

namespace kv::ado {

class Backend;
class ConnectionParams;
class StatementFaults;

struct ErrorInfo {
    long number = 0;
    std::string description;
    std::string source;
    std::string sql_state;
    long native_error = 0;
};

// SQLSTATEs a caller tells apart: a row another connection holds was not given within the lock timeout
// (both engines say so with this state), and the server's refusal of the session for want of a password
// (28000: none given; 28P01: the one given was not accepted).
inline constexpr const char* kSqlStateLockTimeout = "55P03";
inline constexpr const char* kSqlStatePasswordMissing = "28000";
inline constexpr const char* kSqlStatePasswordRefused = "28P01";

// Where a connection gets the password a server asks for when neither the connection string nor the
// engine's password file or service gives it: the desktop asks its user and keeps the answer in memory
// for the session's other connections. A connection without one refuses such a server, saying where a
// password can be put.
class PasswordPrompt {
public:
    struct Request {
        std::string server;    // "host:port" as the engine reached it
        std::string database;
        std::string user;
        bool refused = false;  // the server did not accept the password this prompt gave last
    };
    virtual ~PasswordPrompt() = default;
    // The password to try, or nullopt when there is none (the user declined).
    virtual std::optional<std::string> Password(const Request& request) = 0;
    // The server accepted the password given for `request`.
    virtual void Accepted(const Request& request) = 0;
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
    // an unknown provider, a missing file or a refused server raise kv::Error naming the cause. No text
    // raised here or kept in Errors holds the password.
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
    // True when the rows a transaction has read stay as read until it ends, whatever other connections
    // do: SQLite's lock (or its refusal of a write over a later commit) sees to it. PostgreSQL, at the
    // isolation it runs with, lets another connection commit a change in between.
    bool ReadsStableInTransaction() const;

    Errors& GetErrors() { return errors_; }
    const Errors& GetErrors() const { return errors_; }

    // Asked by Open when the server wants a password nothing else gives (see PasswordPrompt).
    void SetPasswordPrompt(std::shared_ptr<PasswordPrompt> prompt) { password_prompt_ = std::move(prompt); }

private:
    friend class Command;  // prepares its statement on the backend
    std::unique_ptr<Backend> OpenAskingPassword(ConnectionParams params);
    // The tests' statement counter (testing/statement_faults.h) goes between the connection and its engine.
    friend std::shared_ptr<StatementFaults> InjectStatementFaults(Connection& connection);

    std::string connection_string_;
    CursorLocationEnum cursor_location_ = adUseServer;
    RegionalSettings regional_;
    Errors errors_;
    std::unique_ptr<Backend> backend_;
    std::shared_ptr<PasswordPrompt> password_prompt_;
    uint64_t generation_ = 0;  // grows at every Open, so a Command sees that its statement is stale
};

using ConnectionPtr = std::shared_ptr<Connection>;

// The value of the first of `keys` present in a connection string, read as Open reads it (keys in any
// case, quoted values whole); "" when none is, or when the string does not read.
std::string ConnectionStringValue(std::string_view connection_string, std::initializer_list<std::string_view> keys);

}  // namespace kv::ado
