// CLSMG_SETUPVARIANTI: the setup that prepares what the matrix loading works on (the lists taking
// part, the options of the grid levels, the grid type), and the layout of the grid-type-4 pivot.

#include <string>

#include "matrix/clsmg_setupvarianti.h"
#include "matrix/matrix_recordset.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

using kv::ado::RecordsetPtr;

namespace {


void CloseIfOpen(RecordsetPtr& rs) {
    if (rs && rs->State() == kv::ado::adStateOpen) rs->Close();
    rs.reset();
}

bool HasRows(const RecordsetPtr& rs) { return rs && !rs->IsBOF() && !rs->IsEOF(); }

}  // namespace

void CLSMG_SETUPVARIANTI::SetupGrid(bool VisualizzaMsg) {
    schema::Trap(core_, [&] {
        VerificaProprieta();
        if (!core_.SetupPossibile(VisualizzaMsg, [this] { return ConfigurationOk(); })) return;
        CloseIfOpen(rsListini);
        rsListini = core_.Execute(GetSql_ParListini());

        // With Inverti the article's only grid variant is the company's second-level one: it plays the
        // first level.
        CloseIfOpen(rsOpzioni1);
        rsOpzioni1 = core_.Execute(Inverti() ? GetSql_ParConfVar2() : GetSql_ParConfVar1());
        if (HasRows(rsOpzioni1)) {
            cod_variante1_ = kv::CStr(NS(rsOpzioni1->Value("MG5E_CODICEVAR_MG5F")));
            val_variante1_ = kv::CStr(NS(rsOpzioni1->Value("MG5E_OPZIONE")));
        }

        m_iTipoGriglia = GetIndTipoGriglia();
        if (m_iTipoGriglia > 1) {
            CloseIfOpen(rsOpzioni2);
            rsOpzioni2 = core_.Execute(Inverti() ? GetSql_ParConfVar1() : GetSql_ParConfVar2());
            if (HasRows(rsOpzioni2)) {
                cod_variante2_ = kv::CStr(NS(rsOpzioni2->Value("MG5E_CODICEVAR_MG5F")));
                val_variante2_ = kv::CStr(NS(rsOpzioni2->Value("MG5E_OPZIONE")));
            }
        }
    });
}

RecordsetPtr CLSMG_SETUPVARIANTI::CreaRecordsetTipo4() {
    // One option column per second-level option of the article.
    long options = 0;
    if (rsOpzioni2 && rsOpzioni2->State() == kv::ado::adStateOpen) options = rsOpzioni2->RecordCount();
    return CreatePivotRecordset(m_iTipoGriglia, options);
}

std::string CLSMG_SETUPVARIANTI::GetCampoElemento(const std::string& caption) {
    return qmx::GetCampoElemento(caption);
}

}  // namespace qmx
