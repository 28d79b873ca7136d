// Prepared statements on the server engine (named statements of the extended protocol).
//
// Values travel as text with no declared type, so the server reads each one as the column or expression
// it meets would read a literal: a Date as YYYY-MM-DD, a Decimal as its exact text.
//
// Queued rows use libpq's pipeline mode: rows are sent one after the other without waiting, with a sync
// point every few hundred rows whose answers are read while later rows are being sent (so neither side
// ever waits on a full socket). The unit runs inside a transaction of its own (BEGIN ... COMMIT sent in
// the same stream) or, when the caller already holds one, under a savepoint: a refused row makes the
// server skip the rest, and the unit is then rolled back as a whole.
// An immediate Execute inside a transaction sends savepoint, row and release in one stream too, so a
// refused statement undoes only itself at the cost of one round trip.

#include <libpq-fe.h>

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "platform/ado/backend.h"
#include "platform/ado/prepared_statement.h"

namespace kv::ado {
namespace {

constexpr const char* kSource = "PostgreSQL";
constexpr int kRowsPerSync = 256;

struct ResultClear {
    void operator()(PGresult* r) const { PQclear(r); }
};
using ResultPtr = std::unique_ptr<PGresult, ResultClear>;

std::string TrimEnd(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\r')) s.pop_back();
    return s;
}

ErrorInfo InfoOf(const PGresult* res, PGconn* conn) {
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
    return info;
}

[[noreturn]] void RaiseResult(const PGresult* res, PGconn* conn) { throw ProviderError(InfoOf(res, conn)); }

// The value as the text the server reads; nullopt for SQL NULL.
std::optional<std::string> TextOf(const Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return std::nullopt;
    if (const auto* b = v.TryGet<Variant::Boolean>()) return std::to_string(b->value);
    if (const auto* n = v.TryGet<int16_t>()) return std::to_string(*n);
    if (const auto* n = v.TryGet<int32_t>()) return std::to_string(*n);
    if (const auto* n = v.TryGet<int64_t>()) return std::to_string(*n);
    if (const auto* d = v.TryGet<double>()) {
        char buf[40];
        auto r = std::to_chars(buf, buf + sizeof buf, *d);
        return std::string(buf, r.ptr);
    }
    if (const auto* d = v.TryGet<Decimal>()) return d->ToString('.');
    if (const auto* d = v.TryGet<Date>()) {
        const std::string ymd = d->ToYmd();
        return ymd.substr(0, 4) + "-" + ymd.substr(4, 2) + "-" + ymd.substr(6, 2);
    }
    if (v.IsString()) return v.StringValue();
    throw Error(err::kTypeMismatch, "An object cannot be the value of a parameter", kSource);
}

// `?` placeholders become $1, $2, ...
std::string NumberPlaceholders(const std::string& sql, int* count) {
    const std::vector<std::string> pieces = SplitAtPlaceholders(sql);
    std::string out = pieces[0];
    for (std::size_t i = 1; i < pieces.size(); ++i) out.append(1, '$').append(std::to_string(i)).append(pieces[i]);
    *count = static_cast<int>(pieces.size()) - 1;
    return out;
}

class PgStatement final : public PreparedStatement {
public:
    PgStatement(PGconn* conn, std::string name, int nparams, bool returns_rows)
        : conn_(conn), name_(std::move(name)), nparams_(nparams), returns_rows_(returns_rows) {}

    ~PgStatement() override {
        if (!conn_) return;
        if (queued_) {
            try {
                Abort();
            } catch (...) {
                // A destructor never throws; the unit is rolled back or the connection is broken.
            }
        }
        if (PQtransactionStatus(conn_) == PQTRANS_IDLE || PQtransactionStatus(conn_) == PQTRANS_INTRANS) {
            ResultPtr r{PQexec(conn_, ("DEALLOCATE " + name_).c_str())};
        }
    }

    int ParameterCount() const override { return nparams_; }
    bool ReturnsRows() const override { return returns_rows_; }

    long Execute(const std::vector<Variant>& values) override {
        const bool protect = PQtransactionStatus(conn_) == PQTRANS_INTRANS;
        if (!protect) {
            Params p(values);
            ResultPtr r{PQexecPrepared(conn_, name_.c_str(), nparams_, p.pointers.data(), nullptr, nullptr, 0)};
            const ExecStatusType st = PQresultStatus(r.get());
            if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK) RaiseResult(r.get(), conn_);
            return Count(r.get());
        }
        EnterPipeline();
        SendControl("SAVEPOINT kv_statement");
        SendRow(values);
        SendControl("RELEASE SAVEPOINT kv_statement");
        Sync();
        DrainAll();
        LeavePipeline();
        if (failure_) {
            ErrorInfo info = std::move(*failure_);
            failure_.reset();
            ResultPtr undo{PQexec(conn_, "ROLLBACK TO SAVEPOINT kv_statement; RELEASE SAVEPOINT kv_statement")};
            throw ProviderError(std::move(info));
        }
        const long n = last_row_count_;
        return n;
    }

    void Queue(const std::vector<Variant>& values) override {
        if (!queued_) {
            EnterPipeline();
            began_ = PQtransactionStatus(conn_) == PQTRANS_IDLE;
            SendControl(began_ ? "BEGIN" : "SAVEPOINT kv_queued");
            queued_ = true;
            changes_ = 0;
            since_sync_ = 0;
        }
        SendRow(values);
        if (++since_sync_ >= kRowsPerSync) {
            Sync();
            // Read the answers up to the previous sync point: the server never waits on us for long.
            while (syncs_in_flight_ > 1 && !failure_) ReadNext();
            if (failure_) Fail();
        }
    }

    long Complete() override {
        if (!queued_) return 0;
        SendControl(began_ ? "COMMIT" : "RELEASE SAVEPOINT kv_queued");
        Sync();
        DrainAll();
        if (failure_) Fail();
        // A COMMIT of a transaction the server had already failed answers "ROLLBACK", not an error.
        if (began_ && PQtransactionStatus(conn_) != PQTRANS_IDLE) {
            failure_ = ErrorInfo{err::kProvider, "The queued rows could not be committed", kSource, "40000", 0};
            Fail();
        }
        LeavePipeline();
        queued_ = false;
        return changes_;
    }

    bool HasQueued() const override { return queued_; }
    void Abandon() override {
        conn_ = nullptr;
        queued_ = false;
    }

private:
    struct Params {
        explicit Params(const std::vector<Variant>& values) {
            texts.reserve(values.size());
            for (const auto& v : values) texts.push_back(TextOf(v));
            for (const auto& t : texts) pointers.push_back(t ? t->c_str() : nullptr);
        }
        std::vector<std::optional<std::string>> texts;
        std::vector<const char*> pointers;
    };
    enum class Expect { kControl, kRow, kSync };

    static long Count(PGresult* r) {
        const char* n = PQcmdTuples(r);
        return n && *n ? std::atol(n) : 0;
    }

    void EnterPipeline() {
        if (PQpipelineStatus(conn_) == PQ_PIPELINE_OFF && !PQenterPipelineMode(conn_)) RaiseResult(nullptr, conn_);
    }
    void LeavePipeline() {
        if (PQpipelineStatus(conn_) != PQ_PIPELINE_OFF) PQexitPipelineMode(conn_);
    }
    void SendControl(const char* sql) {
        if (!PQsendQueryParams(conn_, sql, 0, nullptr, nullptr, nullptr, nullptr, 0)) Broken();
        expected_.push_back(Expect::kControl);
    }
    void SendRow(const std::vector<Variant>& values) {
        Params p(values);
        if (!PQsendQueryPrepared(conn_, name_.c_str(), nparams_, p.pointers.data(), nullptr, nullptr, 0)) Broken();
        expected_.push_back(Expect::kRow);
    }
    void Sync() {
        if (!PQpipelineSync(conn_)) Broken();
        expected_.push_back(Expect::kSync);
        ++syncs_in_flight_;
        since_sync_ = 0;
    }
    // The connection refused to take more: nothing more can be read or sent on it.
    [[noreturn]] void Broken() {
        ErrorInfo info = InfoOf(nullptr, conn_);
        expected_.clear();
        syncs_in_flight_ = 0;
        queued_ = false;
        throw ProviderError(std::move(info));
    }

    // Reads the answer of the oldest command or sync point still expected.
    void ReadNext() {
        const Expect e = expected_.front();
        expected_.pop_front();
        if (e == Expect::kSync) {
            --syncs_in_flight_;
            PGresult* r = PQgetResult(conn_);
            if (!r) r = PQgetResult(conn_);
            ResultPtr res{r};
            if (!res) Broken();
            return;
        }
        while (PGresult* raw = PQgetResult(conn_)) {
            ResultPtr r{raw};
            const ExecStatusType st = PQresultStatus(r.get());
            if (st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK) {
                if (e == Expect::kRow) {
                    last_row_count_ = Count(r.get());
                    changes_ += last_row_count_;
                }
            } else if (st == PGRES_FATAL_ERROR || st == PGRES_BAD_RESPONSE || st == PGRES_NONFATAL_ERROR) {
                if (!failure_) failure_ = InfoOf(r.get(), conn_);
            } else if (st == PGRES_PIPELINE_ABORTED) {
                // Skipped because an earlier command of the stream failed; that one carries the cause.
            }
            if (PQstatus(conn_) == CONNECTION_BAD) Broken();
        }
    }
    void DrainAll() {
        while (!expected_.empty()) ReadNext();
    }
    void Abort() {
        if (!expected_.empty()) {
            if (expected_.back() != Expect::kSync) Sync();
            DrainAll();
        }
        LeavePipeline();
        queued_ = false;
        if (began_) {
            if (PQtransactionStatus(conn_) != PQTRANS_IDLE) ResultPtr r{PQexec(conn_, "ROLLBACK")};
        } else {
            ResultPtr r{PQexec(conn_, "ROLLBACK TO SAVEPOINT kv_queued; RELEASE SAVEPOINT kv_queued")};
        }
    }
    [[noreturn]] void Fail() {
        ErrorInfo info = failure_ ? std::move(*failure_) : InfoOf(nullptr, conn_);
        failure_.reset();
        Abort();
        throw ProviderError(std::move(info));
    }

    PGconn* conn_;
    std::string name_;
    int nparams_;
    bool returns_rows_;
    bool queued_ = false;
    bool began_ = false;
    long changes_ = 0;
    long last_row_count_ = 0;
    int since_sync_ = 0;
    int syncs_in_flight_ = 0;
    std::deque<Expect> expected_;
    std::optional<ErrorInfo> failure_;
};

}  // namespace

std::unique_ptr<PreparedStatement> PreparePostgresStatement(pg_conn* conn, const std::string& sql) {
    static std::atomic<unsigned long> counter{0};
    const std::string name = "kv_cmd_" + std::to_string(++counter);
    int nparams = 0;
    const std::string text = NumberPlaceholders(sql, &nparams);
    // Inside a transaction a statement the server refuses to prepare must not doom the caller's work.
    const bool protect = PQtransactionStatus(conn) == PQTRANS_INTRANS;
    if (protect) ResultPtr r{PQexec(conn, "SAVEPOINT kv_statement")};
    ResultPtr prepared{PQprepare(conn, name.c_str(), text.c_str(), nparams, nullptr)};
    if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) {
        ErrorInfo info = InfoOf(prepared.get(), conn);
        if (protect) ResultPtr r{PQexec(conn, "ROLLBACK TO SAVEPOINT kv_statement; RELEASE SAVEPOINT kv_statement")};
        throw ProviderError(std::move(info));
    }
    ResultPtr described{PQdescribePrepared(conn, name.c_str())};
    if (protect) ResultPtr r{PQexec(conn, "RELEASE SAVEPOINT kv_statement")};
    if (PQresultStatus(described.get()) != PGRES_COMMAND_OK) RaiseResult(described.get(), conn);
    const bool returns_rows = PQnfields(described.get()) > 0;
    return std::make_unique<PgStatement>(conn, name, nparams, returns_rows);
}

}  // namespace kv::ado
