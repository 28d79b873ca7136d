#pragma once
// Command: one statement with `?` placeholders, prepared once on its connection and executed many times
// with the values of its Parameters bound in place of the placeholders (never pasted into the text, so
// a quote in a value is just a character of the value). It is how the component writes many rows:
//
//   auto cmd = Command::Create();
//   cmd->SetActiveConnection(connection);
//   cmd->SetCommandText("UPDATE T SET A = ? WHERE K = ?");
//   cmd->GetParameters().Append(cmd->CreateParameter("A", adNumeric));
//   cmd->GetParameters().Append(cmd->CreateParameter("K", adChar, adParamInput, 20));
//   for (...) { cmd->GetParameters()[0].SetValue(a); cmd->GetParameters()[1].SetValue(k); cmd->Execute(); }
//
// Values are bound by their Variant type (Null and Empty as SQL NULL, Date as a date, Decimal exactly,
// text as text); the engine converts them to the column's type as it does literals of the same value.
//
// Queued execution (`Execute(nullptr, adExecuteNoRecords | adAsyncExecute)`): the row is handed to the
// engine without waiting for its answer, and `Complete()` waits for all of them. The rows queued between
// the first queued Execute and Complete form one unit: they all take effect, or - when any of them is
// refused - none does. On the server engine they travel in one stream, so a long series costs the
// server's work, not one network round trip per row. The first refusal is raised by the Execute or the
// Complete that sees it; the unit is then undone and nothing is pending any more. Inside a transaction
// the unit undoes only its own rows; outside one it commits by itself at Complete.
// REQUIRES: while rows are queued, nothing else runs on the connection.
//
// A statement that returns rows (a SELECT) is run once per Execute and its result read exactly as
// Connection::Execute reads it; its values are then written into the text as literals of the
// component's dialect (text quoted with embedded quotes doubled, numbers with '.', dates 'YYYYMMDD').
//
// Errors are kv::Error: 3709 without an open connection, 3708 when the text holds a different number
// of placeholders than there are parameters, 3265 for an unknown parameter, the engine's message (and
// the connection's Errors collection) for a refused statement.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/ado/enums.h"
#include "platform/ado/recordset.h"
#include "platform/variant/variant.h"

namespace kv::ado {

class PreparedStatement;

enum CommandTypeEnum : int { adCmdUnknown = 8, adCmdText = 1 };
enum ParameterDirectionEnum : int { adParamUnknown = 0, adParamInput = 1 };
enum ExecuteOptionEnum : long { adOptionUnspecified = -1, adAsyncExecute = 0x10, adExecuteNoRecords = 0x80 };
// State of a command with queued rows, as the platform names it.
inline constexpr int adStateExecuting = 4;

class Parameter {
public:
    Parameter(std::string name, DataTypeEnum type, ParameterDirectionEnum direction, long size, Variant value)
        : name_(std::move(name)), type_(type), direction_(direction), size_(size), value_(std::move(value)) {}

    const std::string& Name() const { return name_; }
    DataTypeEnum Type() const { return type_; }
    ParameterDirectionEnum Direction() const { return direction_; }
    long Size() const { return size_; }
    const Variant& Value() const { return value_; }
    void SetValue(const Variant& v) { value_ = v; }

private:
    std::string name_;
    DataTypeEnum type_;
    ParameterDirectionEnum direction_;
    long size_;
    Variant value_;
};

using ParameterPtr = std::shared_ptr<Parameter>;

class Parameters {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    void Append(ParameterPtr p);
    // By position (0 .. Count-1) or by name, case-insensitively; 3265 when there is no such parameter.
    Parameter& Item(int index) const;
    Parameter& Item(std::string_view name) const;
    Parameter& operator[](int index) const { return Item(index); }
    Parameter& operator[](std::string_view name) const { return Item(name); }
    Parameter& operator[](const char* name) const { return Item(std::string_view(name)); }
    void Delete(int index);

private:
    std::vector<ParameterPtr> items_;
};

class Command : public Object {
public:
    Command();
    ~Command() override;  // rows still queued are undone
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    static std::shared_ptr<Command> Create() { return std::make_shared<Command>(); }

    const ConnectionPtr& ActiveConnection() const { return connection_; }
    // Changing the connection or the text discards the prepared statement (3711 while rows are queued).
    void SetActiveConnection(ConnectionPtr connection);
    const std::string& CommandText() const { return text_; }
    void SetCommandText(std::string_view text);
    CommandTypeEnum CommandType() const { return adCmdText; }
    // Stored for compatibility: the statement is always prepared at its first Execute.
    bool Prepared() const { return prepared_flag_; }
    void SetPrepared(bool v) { prepared_flag_ = v; }

    ParameterPtr CreateParameter(std::string_view name = {}, DataTypeEnum type = adEmpty,
                                 ParameterDirectionEnum direction = adParamInput, long size = 0,
                                 const Variant& value = Variant());
    Parameters& GetParameters() { return parameters_; }

    // Runs the statement with the current parameter values. Returns the rows of a query (open, on its
    // first row) or a closed recordset for a statement, with its count of affected rows (-1 for a
    // queued row, whose count is part of Complete's).
    RecordsetPtr Execute(long* records_affected = nullptr, long options = adOptionUnspecified);
    // Waits for every queued row; returns the rows they affected in total (0 when nothing was queued).
    long Complete();
    // adStateOpen with a connection, adStateExecuting while rows are queued, else adStateClosed.
    int State() const;

private:
    void EnsurePrepared();
    void Discard();
    // True while the prepared statement belongs to the connection's current engine session.
    bool StatementCurrent() const;
    std::vector<Variant> BoundValues() const;
    template <class F>
    auto Guard(F&& step) -> decltype(step());

    ConnectionPtr connection_;
    std::string text_;
    bool prepared_flag_ = false;
    Parameters parameters_;
    std::unique_ptr<PreparedStatement> statement_;
    const void* statement_backend_ = nullptr;
    uint64_t statement_generation_ = 0;
    uint64_t statement_session_ = 0;
};

using CommandPtr = std::shared_ptr<Command>;

}  // namespace kv::ado
