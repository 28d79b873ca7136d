#include "platform/ado/command.h"

#include <charconv>
#include <utility>

#include "platform/ado/backend.h"
#include "platform/ado/prepared_statement.h"
#include "platform/variant/error.h"

namespace kv::ado {
namespace {

constexpr const char* kSource = "Command";
constexpr long kErrParameterDefinition = 3708;  // "Parameter object is improperly defined"
constexpr long kErrStillExecuting = 3711;       // "Operation is not allowed while the object is executing"

[[noreturn]] void Raise(long number, const std::string& text) { throw Error(number, text, kSource); }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
        if (up(a[i]) != up(b[i])) return false;
    }
    return true;
}

// A value as a literal of the component's dialect.
std::string Literal(const Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return "NULL";
    if (const auto* b = v.TryGet<Variant::Boolean>()) return std::to_string(b->value);
    if (const auto* i = v.TryGet<int16_t>()) return std::to_string(*i);
    if (const auto* i = v.TryGet<int32_t>()) return std::to_string(*i);
    if (const auto* i = v.TryGet<int64_t>()) return std::to_string(*i);
    if (const auto* d = v.TryGet<double>()) {
        char buf[40];
        auto r = std::to_chars(buf, buf + sizeof buf, *d);
        return std::string(buf, r.ptr);
    }
    if (const auto* d = v.TryGet<Decimal>()) return d->ToString('.');
    if (const auto* d = v.TryGet<Date>()) return std::string(1, '\'').append(d->ToYmd()).append(1, '\'');
    if (v.IsString()) {
        std::string out = "'";
        for (char c : v.StringValue()) {
            if (c == '\'') out.push_back('\'');
            out.push_back(c);
        }
        out.push_back('\'');
        return out;
    }
    throw Error(err::kTypeMismatch, "An object cannot be the value of a parameter", kSource);
}

}  // namespace

std::vector<std::string> SplitAtPlaceholders(std::string_view sql) {
    std::vector<std::string> pieces(1);
    std::size_t i = 0;
    const std::size_t n = sql.size();
    auto copy_until = [&](std::size_t end) {
        pieces.back().append(sql.substr(i, end - i));
        i = end;
    };
    while (i < n) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '[') {
            const char close = c == '[' ? ']' : c;
            std::size_t k = i + 1;
            while (k < n) {
                if (sql[k] == close) {
                    if (close != ']' && k + 1 < n && sql[k + 1] == close) {
                        k += 2;
                        continue;
                    }
                    break;
                }
                ++k;
            }
            copy_until(k < n ? k + 1 : n);
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            std::size_t k = sql.find('\n', i);
            copy_until(k == std::string_view::npos ? n : k);
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            std::size_t k = sql.find("*/", i + 2);
            copy_until(k == std::string_view::npos ? n : k + 2);
        } else if (c == '?') {
            pieces.emplace_back();
            ++i;
        } else {
            copy_until(i + 1);
        }
    }
    return pieces;
}

// ---- Parameters

void Parameters::Append(ParameterPtr p) {
    if (!p) Raise(err::kInvalidArgument, "Parameters.Append needs a parameter object");
    if (!p->Name().empty()) {
        for (const auto& q : items_) {
            if (SameName(q->Name(), p->Name()))
                Raise(err::kObjectInCollection, "A parameter named \"" + p->Name() + "\" is already in the collection");
        }
    }
    items_.push_back(std::move(p));
}

Parameter& Parameters::Item(int index) const {
    if (index < 0 || index >= Count())
        Raise(err::kItemNotFound, "Item cannot be found in the collection corresponding to the requested name or ordinal.");
    return *items_[static_cast<std::size_t>(index)];
}

Parameter& Parameters::Item(std::string_view name) const {
    for (const auto& p : items_) {
        if (SameName(p->Name(), name)) return *p;
    }
    Raise(err::kItemNotFound, "Item cannot be found in the collection corresponding to the requested name or ordinal.");
}

void Parameters::Delete(int index) {
    Item(index);
    items_.erase(items_.begin() + index);
}

// ---- Command

Command::Command() = default;

Command::~Command() {
    // The statement undoes its queued rows when it goes, unless its connection went first.
    if (statement_ && !StatementCurrent()) statement_->Abandon();
}

void Command::SetActiveConnection(ConnectionPtr connection) {
    if (State() == adStateExecuting) Raise(kErrStillExecuting, "Operation is not allowed while rows are queued.");
    Discard();
    connection_ = std::move(connection);
}

void Command::SetCommandText(std::string_view text) {
    if (State() == adStateExecuting) Raise(kErrStillExecuting, "Operation is not allowed while rows are queued.");
    Discard();
    text_ = std::string(text);
}

ParameterPtr Command::CreateParameter(std::string_view name, DataTypeEnum type, ParameterDirectionEnum direction,
                                      long size, const Variant& value) {
    if (direction != adParamInput && direction != adParamUnknown)
        Raise(err::kInvalidArgument, "Only input parameters are supported");
    return std::make_shared<Parameter>(std::string(name), type, adParamInput, size, value);
}

int Command::State() const {
    if (!connection_ || connection_->State() != adStateOpen) return adStateClosed;
    if (statement_ && StatementCurrent() && statement_->HasQueued())
        return adStateExecuting;
    return adStateOpen;
}

void Command::Discard() {
    if (!statement_) return;
    if (!StatementCurrent()) statement_->Abandon();
    statement_.reset();
    statement_backend_ = nullptr;
}

template <class F>
auto Command::Guard(F&& step) -> decltype(step()) {
    try {
        return step();
    } catch (const ProviderError& e) {
        connection_->errors_.Clear();
        connection_->errors_.Add(e.Info());
        connection_->backend_->SyncTransactionLevel();
        throw Error(e.Number(), e.Description(), e.Source());
    }
}

void Command::EnsurePrepared() {
    if (!connection_ || connection_->State() != adStateOpen)
        Raise(err::kInvalidConnection, "The command has no open connection.");
    // A server connection lost between two statements is opened again here, before the statement is
    // used; statements prepared in the lost session are prepared again.
    if (!statement_ || !statement_->HasQueued()) Guard([&] { connection_->backend_->Ready(); });
    if (statement_ && !StatementCurrent()) Discard();
    if (statement_) return;
    const std::size_t placeholders = SplitAtPlaceholders(text_).size() - 1;
    if (placeholders != static_cast<std::size_t>(parameters_.Count()))
        Raise(kErrParameterDefinition, "The command text has " + std::to_string(placeholders) +
                                           " placeholders and the command " + std::to_string(parameters_.Count()) +
                                           " parameters.");
    statement_ = Guard([&] { return connection_->backend_->Prepare(text_); });
    statement_backend_ = connection_->backend_.get();
    statement_generation_ = connection_->generation_;
    statement_session_ = connection_->backend_->Session();
}

bool Command::StatementCurrent() const {
    return connection_ && connection_->backend_ && connection_->backend_.get() == statement_backend_ &&
           connection_->generation_ == statement_generation_ &&
           connection_->backend_->Session() == statement_session_;
}

std::vector<Variant> Command::BoundValues() const {
    std::vector<Variant> values;
    values.reserve(static_cast<std::size_t>(parameters_.Count()));
    for (int i = 0; i < parameters_.Count(); ++i) {
        const Variant& v = parameters_.Item(i).Value();
        if (v.IsObject()) throw Error(err::kTypeMismatch, "An object cannot be the value of a parameter", kSource);
        values.push_back(v);
    }
    return values;
}

RecordsetPtr Command::Execute(long* records_affected, long options) {
    EnsurePrepared();
    std::vector<Variant> values = BoundValues();
    if (statement_->ReturnsRows()) {
        if (statement_->HasQueued()) Raise(kErrStillExecuting, "Operation is not allowed while rows are queued.");
        const std::vector<std::string> pieces = SplitAtPlaceholders(text_);
        std::string text = pieces[0];
        for (std::size_t i = 1; i < pieces.size(); ++i) text += Literal(values[i - 1]) + pieces[i];
        return connection_->Execute(text, records_affected);
    }
    const bool queued = options != adOptionUnspecified && (options & adAsyncExecute) != 0;
    if (queued) {
        Guard([&] { statement_->Queue(values); });
        if (records_affected) *records_affected = -1;
    } else {
        if (statement_->HasQueued()) Raise(kErrStillExecuting, "Operation is not allowed while rows are queued.");
        const long n = Guard([&] { return statement_->Execute(values); });
        if (records_affected) *records_affected = n;
    }
    return Recordset::Create();
}

long Command::Complete() {
    if (!statement_) return 0;
    if (!connection_ || connection_->State() != adStateOpen || !StatementCurrent()) {
        Discard();
        Raise(err::kInvalidConnection, "The connection of the command was closed before its rows were completed.");
    }
    return Guard([&] { return statement_->Complete(); });
}

}  // namespace kv::ado
