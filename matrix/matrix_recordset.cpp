#include "matrix/matrix_recordset.h"

namespace qmx {

using namespace kv::ado;

RecordsetPtr CreateMatrixRecordset() {
    auto rs = Recordset::Create();
    rs->SetCursorLocation(adUseClient);
    rs->SetCursorType(adOpenKeyset);
    rs->SetLockType(adLockBatchOptimistic);
    auto f = rs->GetFields();
    const long none = adFldUnspecified;
    const long nullable = adFldIsNullable;
    f.Append("ID", adBigInt, 0, none);
    f.Append("BLT_CODICEVAR1", adChar, 20, none);
    f.Append("BLT_OPZIONE1", adChar, 20, none);
    f.Append("BLT_DESCR1", adWChar, 160, none);
    f.Append("BLT_CODICEVAR2", adChar, 20, none);
    f.Append("BLT_OPZIONE2", adChar, 20, none);
    f.Append("BLT_DESCR2", adWChar, 160, none);
    f.Append("BLT_VALUTA", adChar, 4, none);
    f.Append("BLT_PREZZONETTO", adDouble, 0, none);
    f.Append("LI10_DITTA_CG18", adDouble, 0, none);
    f.Append("LI10_FLGUSODECOR", adDouble, 0, none);
    f.Append("LI10_FLGVENDACQ", adDouble, 0, none);
    f.Append("LI10_INDTIPOLIS", adDouble, 0, none);
    f.Append("LI10_CODART_MG66", adChar, 25, none);
    f.Append("LI10_OPZIONE_MG5E", adChar, 20, none);
    f.Append("LI10_DEPOS_MG58", adChar, 2, none);
    f.Append("LI10_NUMLIST", adDouble, 0, none);
    f.Append("LI10_DATAFINEVAL", adDate, 0, none);
    f.Append("LI10_DATAINIZIOVAL", adDate, 0, none);
    f.Append("LI10_FLGLIST", adDouble, 0, none);
    f.Append("LI10_PREZZO", adDouble, 0, nullable);
    for (int i = 1; i <= 6; ++i) f.Append("LI10_SC" + std::to_string(i) + "PER", adDouble, 0, nullable);
    f.Append("LI10_SCIMP", adDouble, 0, nullable);
    f.Append("LI10_MAG1PER", adDouble, 0, nullable);
    f.Append("LI10_MAG2PER", adDouble, 0, nullable);
    f.Append("LI10_MAGIMP", adDouble, 0, nullable);
    f.Append("LI10_PERRICDELTA", adDouble, 0, nullable);
    f.Append("LI10_INDRICALPR", adDouble, 0, none);
    f.Append("LI10_INDARROT", adDouble, 0, none);
    f.Append("LI10_SCAGL_MG02", adDouble, 0, nullable);
    f.Append("LI10_FLGPROVV", adDouble, 0, none);
    f.Append("LI10_PROVPER", adDouble, 0, none);
    f.Append("LI10_PROVIMP", adDouble, 0, none);
    f.Append("LI10_PROVVSC_PA10", adChar, 20, nullable);
    f.Append("LI10_DATACREAZ", adDate, 0, none);
    f.Append("LI10_DATAULTAGG", adDate, 0, none);
    f.Append("LI10_FLGVARIATO", adDouble, 0, none);
    f.Append("LI10_INDTIPOVAR", adDouble, 0, none);
    f.Append("LI10_DATASTLIS", adDate, 0, nullable);
    f.Append("LI10_NUMPAGST", adDouble, 0, nullable);
    f.Append("LI10_BVMBASE", adDouble, 0, nullable);
    f.Append("LI10_BVMVAR", adDouble, 0, nullable);
    f.Append("LI10_BVMMOLT", adDouble, 0, nullable);
    f.Append("LI10_FLGPERSON", adDouble, 0, none);
    f.Append("LI10_LIBEROVAL", adDouble, 0, nullable);
    f.Append("LI10_IDMEDIA_CG99", adDouble, 0, nullable);
    f.Append("LI10_INDUM", adDouble, 0, none);
    f.Append("LI10_NOTE", adVarChar, 40, nullable);
    return rs;
}

RecordsetPtr CreatePivotRecordset(int grid_type, long option_columns) {
    auto rs = Recordset::Create();
    rs->SetCursorLocation(adUseClient);
    rs->SetCursorType(adOpenKeyset);
    rs->SetLockType(adLockBatchOptimistic);
    auto f = rs->GetFields();
    const long none = adFldUnspecified;
    const bool pivot = grid_type == 4;
    const long option_size = pivot ? 60 : 20;
    // The pivot's first-level column shows "code - description": a 20-character code, the separator and
    // a description of up to 80 characters. Narrower, a long description fails the whole pivot.
    const long first_option_size = pivot ? 20 + 3 + 80 : option_size;
    f.Append("ID", adBigInt, 0, none);
    f.Append("BLT_CODICEVAR1", adChar, 20, none);
    f.Append("BLT_OPZIONE1", adChar, first_option_size, none);
    if (pivot) f.Append("BLT_CODOPZIONE1", adChar, 20, none);
    f.Append("BLT_DESCR1", adWChar, 160, none);
    f.Append("BLT_CODICEVAR2", adChar, 20, none);
    f.Append("BLT_OPZIONE2", adChar, option_size, none);
    f.Append("BLT_DESCR2", adWChar, 160, none);
    f.Append("LI10_NUMLIST", adDouble, 0, none);
    f.Append("BLT_VALUTA", adChar, 4, none);
    f.Append("BLT_PREZZONETTO", adDouble, 0, none);
    for (long k = 1; k <= option_columns; ++k) f.Append("BLT_" + std::to_string(k), adDouble, 0, none);
    return rs;
}

std::string GetCampoElemento(std::string_view element) {
    struct Element {
        std::string_view caption;
        const char* field;
    };
    static constexpr Element kElements[] = {
        {"Prezzo lordo", "LI10_PREZZO"},
        {"Sc.%1", "LI10_SC1PER"},
        {"Sc.%2", "LI10_SC2PER"},
        {"Sc.%3", "LI10_SC3PER"},
        {"Sc.%4", "LI10_SC4PER"},
        {"Sc.%5", "LI10_SC5PER"},
        {"Sc.%6", "LI10_SC6PER"},
        {"Sc. importo", "LI10_SCIMP"},
        {"Mg.%1", "LI10_MAG1PER"},
        {"Mg.%2", "LI10_MAG2PER"},
        {"Mg. importo", "LI10_MAGIMP"},
        {"%Ricar.", "LI10_PERRICDELTA"},
        {"Importo Netto", "BLT_PREZZONETTO"},
        // The element lists of the window name the numbered discounts and markups number first
        // ("1Sc.%", "2Mg.%"): the same elements.
        {"1Sc.%", "LI10_SC1PER"},
        {"2Sc.%", "LI10_SC2PER"},
        {"3Sc.%", "LI10_SC3PER"},
        {"4Sc.%", "LI10_SC4PER"},
        {"5Sc.%", "LI10_SC5PER"},
        {"6Sc.%", "LI10_SC6PER"},
        {"1Mg.%", "LI10_MAG1PER"},
        {"2Mg.%", "LI10_MAG2PER"},
    };
    for (const auto& e : kElements)
        if (e.caption == element) return e.field;
    return {};
}

}  // namespace qmx
