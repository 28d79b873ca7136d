#pragma once
// CLSMG_SETUPLISTINI: the driver of one price-list grid of the window, purchase (SalPur = LisPurchase,
// GRD_LISACQ) or sales (LisSale, GRD_LISVEN). It checks that it was given what it needs and that the
// company has lists of its kind in fast creation, defines the grid's columns from those lists'
// parameters and the article's grid type, creates the matrix recordset that it shares with the
// variant driver and the grid, and says how the validity dates are proposed.
//
// The driver never raises: an error inside a public operation sets State = 99 and the operation
// returns what it had computed. State 1 to 4 with a fixed Message report a missing property.
//
// Sources, by concern: clsmg_setuplistini.cpp (properties, checks, grid type),
// clsmg_setuplistini_grid.cpp (columns, list loading, date proposal).

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/controls/data_grid.h"
#include "platform/variant/variant.h"
#include "schema/price_list_parameters.h"
#include "variants/variant_configuration.h"

namespace kv::services {
class Cinterface;
}

namespace qmx {

// Kind of price list; the value is written into SQL as is (MG44_FLGVENACQ, LI10_FLGVENDACQ).
enum KvEnumLisSalPur : int16_t { LisVoid = -1, LisSale = 0, LisPurchase = 1 };

// How the validity start / end date of the lists is proposed.
enum class KvEnumDtLisStartProp : int16_t { LisDtVoid = -1, LisDtRichiesta = 0, LisDtAutomatica = 1 };
enum class KvEnumDtLisEndProp : int16_t { LisDtVoid = -1, LisDtRichiesta = 0, LisDtAutomatica = 1 };

class CLSMG_SETUPLISTINI : public kv::Object {
public:
    CLSMG_SETUPLISTINI();
    ~CLSMG_SETUPLISTINI() override;
    CLSMG_SETUPLISTINI(const CLSMG_SETUPLISTINI&) = delete;
    CLSMG_SETUPLISTINI& operator=(const CLSMG_SETUPLISTINI&) = delete;

    // ======== Stored properties (clsmg_setuplistini.cpp) ========
    std::shared_ptr<kv::services::Cinterface> ActiveInterface() const { return core_.ActiveInterface; }
    void SetActiveInterface(std::shared_ptr<kv::services::Cinterface> value) { core_.ActiveInterface = std::move(value); }
    kv::ado::ConnectionPtr ADOConnection() const { return core_.ADOConnection; }
    void SetADOConnection(kv::ado::ConnectionPtr value) { core_.ADOConnection = std::move(value); }
    KvEnumLisSalPur SalPur() const { return m_eSalPur; }
    void SetSalPur(KvEnumLisSalPur value) { m_eSalPur = value; }
    int16_t State() const { return core_.State; }
    void SetState(int16_t value) { core_.State = value; }
    const std::string& Message() const { return core_.Message; }
    void SetMessage(std::string value) { core_.Message = std::move(value); }

    // The grid this driver defines and fills; every grid operation of the driver goes to it.
    std::shared_ptr<kv::controls::DataGrid> Qgrid;
    // A stored object property of its own; the setup does not use it.
    std::shared_ptr<kv::Object> grid() const { return grid_; }
    void SetGrid(std::shared_ptr<kv::Object> value) { grid_ = std::move(value); }

    // The kind of list, also readable as a plain member.
    KvEnumLisSalPur m_eSalPur = LisVoid;
    // The parameter rows of the lists taking part in fast creation (opened by SetupGrid and LoadList).
    kv::ado::RecordsetPtr rstParMagLis;

    // The matrix recordset shared with the variant driver and the grid.
    kv::ado::RecordsetPtr Recordset() const { return recordset_; }
    void SetRecordset(kv::ado::RecordsetPtr value) { recordset_ = std::move(value); }
    KvEnumDtLisStartProp PropStartDate() const { return prop_start_date_; }
    void SetPropStartDate(KvEnumDtLisStartProp value) { prop_start_date_ = value; }
    KvEnumDtLisEndProp PropEndDate() const { return prop_end_date_; }
    void SetPropEndDate(KvEnumDtLisEndProp value) { prop_end_date_ = value; }
    bool Inverti() const { return varianti_.Inverti; }
    void SetInverti(bool value) { varianti_.Inverti = value; }
    const std::string& CodArticolo() const { return varianti_.CodArticolo; }
    void SetCodArticolo(std::string value) { varianti_.CodArticolo = std::move(value); }
    // Grid type 4: option column name ("BLT_" + n) -> the option code MG5E_OPZIONE it shows.
    std::map<std::string, std::string>& OpzioniColonna() { return opzioni_colonna_; }
    const std::map<std::string, std::string>& OpzioniColonna() const { return opzioni_colonna_; }

    // The sales grid's column of each row's margin over its purchase price ("Margine %"), read-only:
    // a field of the grid only, whose cells the window works out. Whether it is shown is the user's
    // choice; the column is defined with it (grid types 1 to 3) and follows it when it changes.
    static constexpr const char* kCampoMargine = "BLT_MARGINE";
    bool MostraMargine() const { return mostra_margine_; }
    void SetMostraMargine(bool value);

    // ======== Configuration and checks (clsmg_setuplistini.cpp) ========
    // The property check, then whether the company has lists of this kind in fast creation.
    bool ConfigurationOk();
    // The query of the parameter rows taking part.
    std::string GetSql_ParListini();
    // Columns of one kind the grid needs over all rows of rst (see schema::ElemSet).
    int16_t ElemSet(const kv::ado::RecordsetPtr& rst, std::string_view field);
    // Grid type of CodArticolo (0 to 4); sets Inverti where the article uses only the second level.
    int16_t GetIndTipoGriglia();

    // ======== Grid setup, list loading, date proposal (clsmg_setuplistini_grid.cpp) ========
    void SetupGrid(bool VisualizzaMsg);
    void LoadList();
    void SetupDate();
    void ClearList();

private:
    // ======== Configuration and checks (clsmg_setuplistini.cpp) ========
    void VerificaProprieta();
    // The second-level options query of the article (grid type 4 columns).
    std::string GetSql_ParConfVar2();

    // ======== Grid setup (clsmg_setuplistini_grid.cpp) ========
    // Columns for grid types 0 to 3, from the parameter rows.
    void SetupGridListini(const kv::ado::RecordsetPtr& rst);
    // Columns for grid type 4, one per second-level option.
    void SetupGridTipo4(const kv::ado::RecordsetPtr& rs_opzioni);

    // Interface, connection, State and Message; CompanyCode() and Execute(sql) for the driver's queries.
    // Public operations run their work as schema::Trap(core_, [&] { ... }) so nothing escapes.
    schema::DriverCore core_;
    // CodArticolo, Inverti, the article's segment records and the grid-type decision.
    variants::VariantConfiguration varianti_{core_};
    std::shared_ptr<kv::Object> grid_;
    kv::ado::RecordsetPtr recordset_;
    KvEnumDtLisStartProp prop_start_date_ = KvEnumDtLisStartProp::LisDtVoid;
    KvEnumDtLisEndProp prop_end_date_ = KvEnumDtLisEndProp::LisDtVoid;
    std::map<std::string, std::string> opzioni_colonna_;
    bool mostra_margine_ = false;
};

}  // namespace qmx
