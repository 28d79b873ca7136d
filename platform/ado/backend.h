#pragma once
// The seam between Connection and a database engine. Private to platform/ado: connection.h only
// forward-declares Backend, so no engine header reaches the component or the host.
//
// A backend runs statement text that has already been written in the component's dialect; it adapts
// that dialect to its engine (one RewriteSql rule set per engine, sql_rewrite.h) and converts the
// engine's results into FieldInfo + Variant rows by the declared or reported column types.
// Every failure of the engine is raised as ProviderError, which carries what the Errors collection
// shows; Connection turns it into the platform's kv::Error.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/ado/prepared_statement.h"
#include "platform/ado/recordset.h"
#include "platform/variant/date.h"
#include "platform/variant/error.h"
#include "platform/variant/variant.h"

namespace kv::ado {

// "Provider cannot be found": the connection string names no engine this platform has.
inline constexpr long kErrProviderNotFound = 3706;

// Connection-string pairs: keys upper-cased with inner blanks kept ("DATA SOURCE"), values trimmed.
class ConnectionParams {
public:
    // `key=value;key=value`. Keys are case-insensitive; blanks around keys and values are dropped;
    // a value may be enclosed in double or single quotes to hold ';' (a doubled quote inside stands for
    // one). Empty segments are ignored; a segment without '=' raises 3001. The last of repeated keys wins.
    static ConnectionParams Parse(std::string_view text);

    // The value of the first key present among `names` (any case), or "" when none is.
    std::string Get(std::initializer_list<std::string_view> names) const;
    bool Has(std::string_view name) const;
    void Set(std::string_view name, std::string value);

private:
    std::map<std::string, std::string> values_;
};

class ProviderError : public Error {
public:
    explicit ProviderError(ErrorInfo info)
        : Error(info.number, info.description, info.source), info_(std::move(info)) {}
    const ErrorInfo& Info() const { return info_; }

private:
    ErrorInfo info_;
};

// The server refused the session for want of a password: none was given (state 28000), or the one
// given was not accepted (28P01, `request.refused`). Connection asks its PasswordPrompt on the first.
class PasswordNeeded : public ProviderError {
public:
    PasswordNeeded(ErrorInfo info, PasswordPrompt::Request request)
        : ProviderError(std::move(info)), request_(std::move(request)) {}
    const PasswordPrompt::Request& Request() const { return request_; }

private:
    PasswordPrompt::Request request_;
};

// How long a statement waits for a row another connection holds, from the connection string's
// Lock Timeout (seconds, a fraction allowed; 0 waits without end): milliseconds, 10 seconds when not
// said. A value that is not a number of seconds raises 3001.
long LockTimeoutMilliseconds(const ConnectionParams& params);

// What one Execute produced: rows (has_rows, possibly none) or the count of rows a statement touched.
struct ExecuteResult {
    bool has_rows = false;
    std::vector<FieldInfo> fields;
    std::vector<std::vector<Variant>> rows;
    long records_affected = -1;
};

class Backend {
public:
    virtual ~Backend() = default;

    virtual std::string Provider() const = 0;
    // Runs the text (one statement, or several separated by ';'); the result is the first statement
    // that returns rows, else the count of the last statement. Inside a transaction a refused statement
    // leaves the work done before it in place, on every engine. Raises ProviderError.
    virtual ExecuteResult Execute(std::string_view sql) = 0;
    // True when the engine has a transaction open (it may have ended one by itself after a failure).
    virtual bool EngineInTransaction() const = 0;
    // True when rows a transaction has read cannot be changed by another connection's commit before the
    // transaction ends (see Connection::ReadsStableInTransaction).
    virtual bool ReadsStableInTransaction() const { return false; }
    // True when the engine's server has gone away: nothing more can run, and no transaction is open.
    virtual bool Lost() const { return false; }
    // Makes the engine ready for the next statement: a server connection that was lost while no
    // transaction was open is opened again with the same parameters. Raises ProviderError when it cannot
    // be, or when a transaction was open (its loss is reported once; the transaction has then ended).
    virtual void Ready() {}
    // Changes whenever the engine's connection was opened again: statements prepared in an earlier
    // session are gone with it.
    virtual uint64_t Session() const { return 0; }
    // Prepares one statement of the component's dialect with `?` placeholders (prepared_statement.h).
    // The result must not outlive the backend. Raises ProviderError.
    virtual std::unique_ptr<PreparedStatement> Prepare(std::string_view sql) = 0;

    // Transactions nest: level 1 is the engine's transaction, deeper levels are savepoints. Commit and
    // Rollback end the innermost level. Raise ProviderError; the level changes only on success.
    void BeginTrans() {
        RunControl(level_ == 0 ? std::string("BEGIN") : "SAVEPOINT kv_trans_" + std::to_string(level_ + 1));
        ++level_;
    }
    void CommitTrans() {
        RunControl(level_ == 1 ? std::string("COMMIT") : "RELEASE SAVEPOINT kv_trans_" + std::to_string(level_));
        --level_;
    }
    void RollbackTrans() {
        if (level_ == 1) {
            RunControl("ROLLBACK");
        } else {
            RunControl("ROLLBACK TO SAVEPOINT kv_trans_" + std::to_string(level_));
            RunControl("RELEASE SAVEPOINT kv_trans_" + std::to_string(level_));
        }
        --level_;
    }
    int TransactionLevel() const { return level_; }
    // After a failure the engine may have ended the transaction by itself: forget the levels then.
    void SyncTransactionLevel() {
        if (level_ > 0 && !EngineInTransaction()) level_ = 0;
    }

protected:
    friend class FaultyBackend;  // the tests' statement counter passes transaction control through
    // Runs a transaction-control statement as it is, outside the per-statement protection of Execute.
    virtual void RunControl(const std::string& sql) = 0;

private:
    int level_ = 0;
};

// Raise ProviderError (or kv::Error with kErrProviderNotFound / 3001 for a malformed string).
std::unique_ptr<Backend> OpenSqliteBackend(const ConnectionParams& params);
std::unique_ptr<Backend> OpenPostgresBackend(const ConnectionParams& params);

// Dates read from a database are taken as written: no two-digit-year rule, which is for dates typed by
// people. A year the platform's dates cannot hold (before 100) is an error naming the value, never
// another date.
inline constexpr int kFirstStoredYear = 100;

inline std::optional<Date> StoredDate(int year, int month, int day) {
    if (year < kFirstStoredYear) return std::nullopt;
    return Date::TryFromYmd(year, month, day);  // years from 100 on are taken as they are
}

[[noreturn]] inline void RaiseStoredDateOutOfRange(const std::string& column, std::string_view text,
                                                   const char* source) {
    throw Error(err::kDataConversion,
                "La data " + std::string(text) + " della colonna " + column +
                    " è fuori dall'intervallo delle date (dall'anno 100 al 9999)",
                source);
}

// Field attributes of result columns: every result column may hold Null; fixed-width types say so.
inline long ResultFieldAttributes(DataTypeEnum type) {
    long a = adFldIsNullable | adFldMayBeNull;
    switch (type) {
        case adChar:
        case adWChar:
        case adInteger:
        case adSmallInt:
        case adBigInt:
        case adDouble:
        case adDate:
        case adBoolean:
        case adNumeric:
            a |= adFldFixed;
            break;
        default:
            break;
    }
    return a;
}

}  // namespace kv::ado
