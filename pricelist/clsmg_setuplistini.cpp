#include "pricelist/clsmg_setuplistini.h"

#include "platform/variant/error.h"

namespace qmx {

using schema::Trap;

CLSMG_SETUPLISTINI::CLSMG_SETUPLISTINI() = default;
CLSMG_SETUPLISTINI::~CLSMG_SETUPLISTINI() = default;

void CLSMG_SETUPLISTINI::VerificaProprieta() { core_.VerificaProprieta(m_eSalPur, Qgrid != nullptr); }

bool CLSMG_SETUPLISTINI::ConfigurationOk() {
    bool ok = false;
    Trap(core_, [&] {
        VerificaProprieta();
        if (core_.State >= 1) return;
        ok = core_.ListiniConfigurati(m_eSalPur);
    });
    return ok;
}

std::string CLSMG_SETUPLISTINI::GetSql_ParListini() {
    std::string sql;
    Trap(core_, [&] { sql = schema::GetSql_ParListini(core_.CompanyCode(), m_eSalPur); });
    return sql;
}

int16_t CLSMG_SETUPLISTINI::ElemSet(const kv::ado::RecordsetPtr& rst, std::string_view field) {
    int16_t result = 0;
    Trap(core_, [&] {
        if (!rst)
            throw kv::Error(kv::err::kObjectNotSet, "Variabile oggetto non impostata: recordset", "ElemSet");
        result = schema::ElemSet(*rst, field);
    });
    return result;
}

int16_t CLSMG_SETUPLISTINI::GetIndTipoGriglia() {
    int16_t result = 0;
    Trap(core_, [&] { varianti_.GetIndTipoGriglia(result); });
    return result;
}

std::string CLSMG_SETUPLISTINI::GetSql_ParConfVar2() {
    return variants::GetSql_ParConfVar(2, core_.CompanyCode(), varianti_.CodArticolo);
}

}  // namespace qmx
