#include "platform/ado/testing/statement_faults.h"

#include <utility>

#include "platform/ado/backend.h"
#include "platform/ado/prepared_statement.h"

namespace kv::ado {

bool StatementFaults::Next(std::string what) {
    ++count_;
    log_.push_back(std::move(what));
    if (before_) before_(count_);
    if (count_ != fail_at_) return false;
    fail_at_ = 0;
    return true;
}

ErrorInfo StatementFaults::Refusal(const std::string& provider, long position) {
    const std::string where = " (statement " + std::to_string(position) + ")";
    if (provider == "SQLite") return ErrorInfo{err::kProvider, "database or disk is full" + where, "SQLite", "HY000", 13};
    return ErrorInfo{err::kProvider, "could not extend file: No space left on device" + where, "PostgreSQL", "53100", 0};
}

namespace {

// A prepared statement of the inner engine, counted. A refused queued row or end undoes the unit by
// letting the inner statement go (which undoes what it has queued) and preparing it again at its next use.
class FaultyStatement final : public PreparedStatement {
public:
    FaultyStatement(Backend& inner, std::shared_ptr<StatementFaults> faults, std::string sql,
                    std::unique_ptr<PreparedStatement> statement)
        : inner_(inner), faults_(std::move(faults)), sql_(std::move(sql)), statement_(std::move(statement)),
          parameters_(statement_->ParameterCount()), returns_rows_(statement_->ReturnsRows()) {}

    int ParameterCount() const override { return parameters_; }
    bool ReturnsRows() const override { return returns_rows_; }

    long Execute(const std::vector<Variant>& values) override {
        Refuse("prepared", false);
        return Statement().Execute(values);
    }
    void Queue(const std::vector<Variant>& values) override {
        Refuse("queued", true);
        Statement().Queue(values);
    }
    long Complete() override {
        if (!HasQueued()) return 0;
        Refuse("complete", true);
        return statement_->Complete();
    }
    bool HasQueued() const override { return statement_ && statement_->HasQueued(); }
    void Abandon() override {
        if (statement_) statement_->Abandon();
    }

private:
    PreparedStatement& Statement() {
        if (!statement_) statement_ = inner_.Prepare(sql_);
        return *statement_;
    }
    void Refuse(const char* what, bool undo_unit) {
        if (!faults_->Next(std::string(what) + " " + sql_)) return;
        if (undo_unit && HasQueued()) statement_.reset();
        throw ProviderError(StatementFaults::Refusal(inner_.Provider(), faults_->Count()));
    }

    Backend& inner_;
    std::shared_ptr<StatementFaults> faults_;
    std::string sql_;
    std::unique_ptr<PreparedStatement> statement_;
    int parameters_;
    bool returns_rows_;
};

}  // namespace

// The decorator of a backend; a friend of Backend, to pass transaction control through as it is.
class FaultyBackend final : public Backend {
public:
    FaultyBackend(std::unique_ptr<Backend> inner, std::shared_ptr<StatementFaults> faults)
        : inner_(std::move(inner)), faults_(std::move(faults)) {}

    std::string Provider() const override { return inner_->Provider(); }
    ExecuteResult Execute(std::string_view sql) override {
        Refuse("execute " + std::string(sql));
        return inner_->Execute(sql);
    }
    bool EngineInTransaction() const override { return inner_->EngineInTransaction(); }
    bool ReadsStableInTransaction() const override { return inner_->ReadsStableInTransaction(); }
    bool Lost() const override { return inner_->Lost(); }
    void Ready() override { inner_->Ready(); }
    uint64_t Session() const override { return inner_->Session(); }
    std::unique_ptr<PreparedStatement> Prepare(std::string_view sql) override {
        return std::make_unique<FaultyStatement>(*inner_, faults_, std::string(sql), inner_->Prepare(sql));
    }

protected:
    void RunControl(const std::string& sql) override {
        Refuse("control " + sql);
        inner_->RunControl(sql);
    }

private:
    void Refuse(std::string what) {
        if (faults_->Next(std::move(what))) throw ProviderError(StatementFaults::Refusal(Provider(), faults_->Count()));
    }

    std::unique_ptr<Backend> inner_;
    std::shared_ptr<StatementFaults> faults_;
};

std::shared_ptr<StatementFaults> InjectStatementFaults(Connection& connection) {
    if (!connection.backend_) throw Error(err::kObjectClosed, "Operation is not allowed when the object is closed.", "Connection");
    auto faults = std::make_shared<StatementFaults>();
    connection.backend_ = std::make_unique<FaultyBackend>(std::move(connection.backend_), faults);
    return faults;
}

}  // namespace kv::ado
