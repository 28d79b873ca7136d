#include "schema/price_list_parameters.h"

#include <algorithm>

#include "platform/ado/enums.h"
#include "platform/services/cinterface.h"
#include "platform/services/dialogs.h"
#include "platform/services/global_services.h"
#include "platform/variant/error.h"
#include "platform/variant/strings.h"
#include "shell/msgbox.h"

namespace qmx::schema {

namespace {

constexpr const char* kSource = "PEXA_QUENDORMIXAL";

}  // namespace

int32_t DriverCore::CompanyCode() const {
    if (!ActiveInterface)
        throw kv::Error(kv::err::kObjectNotSet, "Variabile oggetto non impostata: ActiveInterface", kSource);
    auto global = ActiveInterface->ClsGlobal();
    if (!global)
        throw kv::Error(kv::err::kObjectNotSet, "Variabile oggetto non impostata: servizi globali dell'host",
                        kSource);
    return global->CompanyCode();
}

kv::ado::RecordsetPtr DriverCore::Execute(std::string_view sql) const {
    if (!ADOConnection)
        throw kv::Error(kv::err::kObjectNotSet, "Variabile oggetto non impostata: ADOConnection", kSource);
    return ADOConnection->Execute(sql);
}

void DriverCore::VerificaProprieta(int sal_pur, bool has_grid, std::optional<bool> has_recordset) {
    State = kStateOk;
    auto fail = [this](int16_t state, const char* message) {
        State = state;
        Message = message;
    };
    if (!ActiveInterface) fail(kStateNoInterface, kMsgNoInterface);
    if (!ADOConnection) fail(kStateNoConnection, kMsgNoConnection);
    if (sal_pur == -1) fail(kStateNoSalPur, kMsgNoSalPur);
    if (!has_grid) fail(kStateNoGrid, kMsgNoGrid);
    if (has_recordset && !*has_recordset) fail(kStateNoRecordset, kMsgNoRecordset);
}

bool DriverCore::ListiniConfigurati(int sal_pur) {
    auto rs = Execute(GetSql_ParListini(CompanyCode(), sal_pur));
    const bool ok = !(rs->IsBOF() || rs->IsEOF());
    if (!ok) Message = MessaggioListiniNonConfigurati(sal_pur);
    rs->Close();
    return ok;
}

bool DriverCore::VariantiConfigurate(std::string& cod_variante1, std::string& cod_variante2) {
    const std::string company = std::to_string(CompanyCode());
    auto rs = Execute(std::string(" SELECT") + "    MG5F_INDGRIGLIA," + "    MG5F_CODICEVAR," +
                      "    MG5F_DESCR_VAR," + "    MG5F_SIZE," + "    MG5F_INDMOSTRACOD " + " FROM" +
                      "    MG5F_DIMECONF" + " WHERE" + "    MG5F_DITTA_CG18 = " + company +
                      "    AND MG5F_INDGRIGLIA >0 " + " ORDER BY" + "    MG5F_CODICEVAR");
    if (rs->IsBOF() || rs->IsEOF()) {
        Message = MessaggioVariantiNonConfigurate();
        rs->Close();
        return false;
    }
    rs->SetFilter("MG5F_INDGRIGLIA = 1");
    if (!(rs->IsBOF() || rs->IsEOF())) cod_variante1 = kv::Trim(kv::CStr(rs->Value("MG5F_CODICEVAR")));
    rs->SetFilter(kv::ado::adFilterNone);
    rs->SetFilter("MG5F_INDGRIGLIA > 1");
    if (!(rs->IsBOF() || rs->IsEOF())) cod_variante2 = kv::Trim(kv::CStr(rs->Value("MG5F_CODICEVAR")));
    rs->SetFilter(kv::ado::adFilterNone);
    rs->Close();
    return true;
}

bool DriverCore::SetupPossibile(bool show_messages, const std::function<bool()>& configuration_ok) {
    if (State >= 1) {
        if (show_messages) MsgBox(ActiveInterface, Message, kv::services::style::kExclamation, "Informazione tecnica");
        return false;
    }
    if (!configuration_ok()) {
        // A check that failed on an error (State 99) has no hint to give: no empty box is shown.
        if (show_messages && !Message.empty())
            MsgBox(ActiveInterface, Message, kv::services::style::kExclamation, "Attenzione");
        return false;
    }
    return true;
}

std::string GetSql_ParListini(int32_t company, int sal_pur) {
    return std::string("SELECT * FROM MG44_PARMAGLIST ") +
           " WHERE MG44_DITTA_CG18 = " + std::to_string(company) + " AND MG44_FLGCREAZVELOCE = 1" +
           " AND MG44_FLGVENACQ = " + std::to_string(sal_pur);
}

std::string MessaggioListiniNonConfigurati(int sal_pur) {
    std::string text = "Per poter gestire la Creazione Veloce Listini di ";
    if (sal_pur == 1)
        text += "Acquisto ";
    else if (sal_pur == 0)
        text += "Vendita ";
    text += "occorre definirne la gestione nei ";
    text += kCrLf;
    text += "\"Parametri di Magazzino\", scheda Listini.";
    return text;
}

std::string MessaggioVariantiNonConfigurate() {
    return std::string("Per poter gestire le varianti in griglia ") + "occorre definirne la gestione nei " +
           kCrLf + "\"Parametri di Magazzino\", Configuratore Varianti.";
}

int16_t ElemSet(kv::ado::Recordset& rst, std::string_view field) {
    const bool count_field = field == "MG44_NUMSCPERC" || field == "MG44_NUMMAGPERC";
    int16_t result = 0;
    try {
        if (count_field) {
            rst.SetFilter(std::string(field) + ">=1");
            while (!rst.IsEOF()) {
                result = std::max(result, kv::CInt(rst.Value(field)));
                rst.MoveNext();
            }
        } else {
            rst.SetFilter(std::string(field) + "=1");
            if (!(rst.IsBOF() || rst.IsEOF())) result = 1;
        }
    } catch (...) {
        // The recordset must not stay filtered for its other readers, whatever failed.
        if (rst.State() == kv::ado::adStateOpen) rst.SetFilter(kv::ado::adFilterNone);
        throw;
    }
    rst.SetFilter(kv::ado::adFilterNone);
    return result;
}

}  // namespace qmx::schema
