#pragma once
// What both drivers share about their configuration: the host interface and connection they were
// given, their State/Message report, the property check, the price-list parameter rows that take part
// in fast creation, and the trap that keeps any error inside a driver.
//
// A driver never lets an error out to the window: each public operation runs its work through Trap,
// which turns any exception into State = 99 and leaves whatever the work had already stored in its
// result. Missing properties are reported as State 1 to 5 with a fixed Italian message.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/variant/error.h"

namespace kv::services {
class Cinterface;
}

namespace qmx::schema {

// State codes of a driver.
inline constexpr int16_t kStateOk = 0;
inline constexpr int16_t kStateNoInterface = 1;
inline constexpr int16_t kStateNoConnection = 2;
inline constexpr int16_t kStateNoSalPur = 3;
inline constexpr int16_t kStateNoGrid = 4;
inline constexpr int16_t kStateNoRecordset = 5;
inline constexpr int16_t kStateTrapped = 99;

inline constexpr const char* kCrLf = "\r\n";

// The messages of the property check.
inline constexpr const char* kMsgNoInterface = "Propriet\u00e0 ActiveInterface non impostata!";
inline constexpr const char* kMsgNoConnection = "Propriet\u00e0 ADOConnection non impostata!";
inline constexpr const char* kMsgNoSalPur = "Propriet\u00e0 SalPur non impostata!";
inline constexpr const char* kMsgNoGrid = "Propriet\u00e0 Grid non impostata!";
inline constexpr const char* kMsgNoRecordset = "Propriet\u00e0 Recordset non impostata!";

// Runs work(); any exception it throws is swallowed and leaves state = 99. The work's partial results
// stay where it stored them, which is what a trapped driver operation returns.
template <class F>
void Trap(int16_t& state, F&& work) noexcept {
    try {
        work();
    } catch (...) {
        state = kStateTrapped;
    }
}

class DriverCore;
// Trap on a driver's core: the error is also kept as its UltimoErrore.
template <class F>
void Trap(DriverCore& core, F&& work) noexcept;

// The part of a driver that both driver classes hold: the stored properties the checks look at, the
// State/Message pair, and the queries on the driver's connection.
class DriverCore {
public:
    std::shared_ptr<kv::services::Cinterface> ActiveInterface;
    kv::ado::ConnectionPtr ADOConnection;
    int16_t State = kStateOk;
    std::string Message;
    // The error the last trapped operation stopped on (Trap with the core), for the window to tell the
    // user what went wrong; empty when none did.
    std::optional<kv::Error> UltimoErrore;

    // The company code from the host's global services. Raises kv::Error 91 when the driver has no
    // host interface or the interface has no global services.
    int32_t CompanyCode() const;
    // Executes sql on ADOConnection (kv::Error 91 without one).
    kv::ado::RecordsetPtr Execute(std::string_view sql) const;

    // The property check: State = 0, then every missing property overwrites State and Message in the
    // order interface, connection, kind, grid, recordset, so the last failing check stands.
    // has_recordset is checked only when given (the variant driver).
    void VerificaProprieta(int sal_pur, bool has_grid, std::optional<bool> has_recordset = std::nullopt);

    // Configuration check of the price-list driver once the properties are set: true when the company
    // has lists of the kind flagged for fast creation; otherwise Message is the composed hint and
    // State is left as it is. Raises on database errors (the caller traps).
    bool ListiniConfigurati(int sal_pur);
    // Configuration check of the variant driver: true when the company has grid variants; then the
    // codes of the first- and second-level variant are stored in cod_variante1/2 (left as they are
    // when that level has none). Otherwise Message is the composed hint. Raises on database errors.
    bool VariantiConfigurate(std::string& cod_variante1, std::string& cod_variante2);

    // The gate of a driver's SetupGrid, after its property check has set State and Message: true when
    // the properties are set and configuration_ok() holds. Otherwise, when show_messages is set, the
    // reason is shown through the host: a missing property as "Informazione tecnica", an unusable
    // configuration as "Attenzione" (nothing when the check failed on an error and left no message).
    bool SetupPossibile(bool show_messages, const std::function<bool()>& configuration_ok);
};

template <class F>
void Trap(DriverCore& core, F&& work) noexcept {
    try {
        work();
    } catch (const kv::Error& e) {
        core.State = kStateTrapped;
        core.UltimoErrore = e;
    } catch (const std::exception& e) {
        core.State = kStateTrapped;
        core.UltimoErrore = kv::Error(kv::err::kInvalidCall, e.what(), "CLSMG");
    } catch (...) {
        core.State = kStateTrapped;
    }
}

// The query of the parameter rows of the lists of a kind that take part in fast creation.
std::string GetSql_ParListini(int32_t company, int sal_pur);

// The hint shown when a company has no lists of the kind in fast creation (sal_pur 1 purchase, 0 sales).
std::string MessaggioListiniNonConfigurati(int sal_pur);
// The hint shown when a company has no grid variants.
std::string MessaggioVariantiNonConfigurate();

// How many columns of one kind the grid needs over all parameter rows of rst: for the count fields
// MG44_NUMSCPERC and MG44_NUMMAGPERC the largest count (0 when none is at least 1), for any other
// (flag) field 1 when at least one row has it set to 1, else 0. The filter is removed afterwards; the
// position is where the walk ended. Raises recordset errors (an unknown field: 3265).
int16_t ElemSet(kv::ado::Recordset& rst, std::string_view field);

}  // namespace qmx::schema
