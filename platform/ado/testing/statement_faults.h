#pragma once
// Statement faults for tests: a connection whose statements are counted, and whose statement at a chosen
// position is refused the way its engine refuses a statement it cannot carry out (a full disk), so that
// a test can prove what every caller does when any one of its statements fails.
//
// Only a test can switch it on: it is a separate library that the tests link, reached through
// InjectStatementFaults, never through a connection string.
//
// Positions counted, one each: a statement text run by Connection::Execute; a transaction-control
// statement (BEGIN, COMMIT, ROLLBACK and the savepoints of nested levels); a prepared statement's
// immediate execution; each row handed to a queued unit; the end of a queued unit (its commit point).
// Preparing a statement is not counted: it changes nothing in the database.
//
// A refused statement does not run, and what its engine would undo is undone: a refused row of a queued
// unit, or its end, undoes the whole unit, as the engine's refusal would. A refused COMMIT leaves the
// transaction open, as the embedded engine's does, so the caller must roll it back.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ado/connection.h"

namespace kv::ado {

class StatementFaults {
public:
    // The statement at `position` (counted from 1 after the last ResetCount) is refused; 0 refuses none.
    // Refusing is one-shot: the positions after it run normally.
    void FailAt(long position) { fail_at_ = position; }
    void ResetCount() {
        count_ = 0;
        log_.clear();
    }
    long Count() const { return count_; }
    // What each counted position was, in order: "execute", "control BEGIN", "prepared", "queued",
    // "complete", followed by the statement text.
    const std::vector<std::string>& Log() const { return log_; }
    // Called before each counted statement runs (or is refused), with its position.
    void SetBeforeStatement(std::function<void(long)> hook) { before_ = std::move(hook); }

    // Counts one statement; true when it is to be refused.
    bool Next(std::string what);
    // The refusal an engine gives for a statement it cannot write.
    static ErrorInfo Refusal(const std::string& provider, long position);

private:
    long fail_at_ = 0;
    long count_ = 0;
    std::vector<std::string> log_;
    std::function<void(long)> before_;
};

// Puts the counter between `connection` (open) and its engine and returns it, switched off (FailAt(0)).
// Statements prepared on the connection before are prepared again at their next use.
std::shared_ptr<StatementFaults> InjectStatementFaults(Connection& connection);

}  // namespace kv::ado
