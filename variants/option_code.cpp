#include "variants/option_code.h"

#include "platform/variant/error.h"
#include "platform/variant/strings.h"
#include "shell/error_trap.h"
#include "shell/modmg_quendormixal.h"

namespace qmx::variants {

namespace {

using schema::kCrLf;

[[noreturn]] void RaiseAgain(std::string_view procedure) {
    const kv::Error e = CurrentError(procedure);
    throw kv::Error(e.Number(), std::string(procedure) + ":" + kCrLf + e.Description(), e.Source());
}

bool HasRows(const kv::ado::RecordsetPtr& rs) { return !(rs->IsBOF() || rs->IsEOF()); }

int16_t SizeOrZero(const kv::Variant& v) { return v.IsNull() || v.IsEmpty() ? 0 : kv::CInt(v); }

}  // namespace

std::string SostituisciLivello(std::string_view s, std::string_view seg, int start) {
    try {
        std::string head = kv::Left(s, start - 1);
        head.append(seg);
        const long rest = static_cast<long>(kv::Len(s)) - static_cast<long>(kv::Len(head));
        if (rest < 0)
            throw kv::Error(kv::err::kInvalidCall,
                            "Il segmento di " + std::to_string(kv::Len(seg)) + " caratteri dalla posizione " +
                                std::to_string(start) + " supera la lunghezza del codice opzione (" +
                                std::to_string(kv::Len(s)) + ")",
                            "SostituisciLivello");
        return head + kv::Right(s, rest);
    } catch (...) {
        RaiseAgain("SostituisciLivello");
    }
}

std::string OpzioneCalcolata(std::string_view preset,
                             const std::vector<std::shared_ptr<CInfoLivello>>& livelli, std::string_view opz1,
                             std::string_view opz2) {
    try {
        std::string base = kv::PadRight(kv::Left(preset, kLunghezzaOpzione), kLunghezzaOpzione);
        // Option codes come from fixed-width columns: their trailing blanks are padding, so an option
        // shorter than its segment replaces only its own characters whatever the engine returned.
        const std::string first = kv::RTrim(opz1);
        const std::string second = kv::RTrim(opz2);
        std::string x;
        for (const auto& livello : livelli) {
            if (!livello || !livello->IsLivelloGriglia) continue;
            if (livello->LivelloGrigla == 1)
                x = first;
            else if (livello->LivelloGrigla >= 2 && livello->LivelloGrigla <= 4)
                x = second;
            base = SostituisciLivello(base, kv::Left(x, livello->Dimensione), livello->Inizio);
        }
        return base;
    } catch (...) {
        RaiseAgain("OpzioneCalcolata");
    }
}

int16_t OptionCode::StartOf(std::string_view level_condition) {
    const std::string company = std::to_string(core_.CompanyCode());
    auto rs = core_.Execute(
        std::string("SELECT") + " SUM(MG5F_SIZE) AS SIZE" + " FROM" + "    MG5F_DIMECONF" + " WHERE" +
        "    MG5F_DITTA_CG18 = " + company + "    AND MG5F_CODICEVAR" + "    < ( SELECT" +
        "          MG5F_CODICEVAR" + "        FROM" + "          MG5F_DIMECONF" + "        WHERE" +
        "          MG5F_DITTA_CG18 = " + company + std::string(level_condition) + "       )");
    int16_t result = 0;
    if (HasRows(rs)) result = static_cast<int16_t>(SizeOrZero(rs->Value("SIZE")) + 1);
    rs->Close();
    return result;
}

int16_t OptionCode::LengthOf(std::string_view level_condition) {
    const std::string company = std::to_string(core_.CompanyCode());
    auto rs =
        core_.Execute(std::string("SELECT") + " SUM(MG5F_SIZE) AS SIZE" + " FROM" + "    MG5F_DIMECONF" +
                      " WHERE" + "    MG5F_DITTA_CG18 = " + company + std::string(level_condition));
    int16_t result = 0;
    if (HasRows(rs)) result = SizeOrZero(rs->Value("SIZE"));
    rs->Close();
    return result;
}

int16_t OptionCode::GetStart(int16_t tipo_griglia) {
    return StartOf("          AND MG5F_INDGRIGLIA = " + std::to_string(tipo_griglia));
}
int16_t OptionCode::GetStart1Liv() { return StartOf("          AND MG5F_INDGRIGLIA = 1"); }
int16_t OptionCode::GetStart2Liv() { return StartOf("          AND MG5F_INDGRIGLIA > 1"); }

int16_t OptionCode::GetLen(int16_t tipo_griglia) {
    return LengthOf(tipo_griglia > 0 ? "    AND MG5F_INDGRIGLIA = " + std::to_string(tipo_griglia)
                                     : std::string());
}
int16_t OptionCode::GetLen1Liv() { return LengthOf("    AND MG5F_INDGRIGLIA = 1"); }
int16_t OptionCode::GetLen2Liv() { return LengthOf("    AND MG5F_INDGRIGLIA > 1"); }

kv::Variant OptionCode::GetSegmento(int16_t ind_griglia) {
    auto rs = core_.Execute("SELECT MG5F_CODICEVAR FROM MG5F_DIMECONF WHERE MG5F_DITTA_CG18 = " +
                            std::to_string(core_.CompanyCode()) +
                            " AND MG5F_INDGRIGLIA =" + std::to_string(ind_griglia));
    kv::Variant result;
    if (rs->RecordCount() == 1) result = rs->Value("MG5F_CODICEVAR");
    rs->Close();
    return result;
}

std::string OptionCode::CodiceVarianteLivello(int16_t ind_griglia) {
    auto rs =
        core_.Execute(std::string(" SELECT ") + "     MG5F_CODICEVAR " + " FROM " + "     MG5F_DIMECONF" +
                      " WHERE " + "     MG5F_DITTA_CG18 = " + std::to_string(core_.CompanyCode()) +
                      (ind_griglia == 1 ? " AND MG5F_INDGRIGLIA = 1" : " AND MG5F_INDGRIGLIA > 1"));
    std::string result;
    if (HasRows(rs)) result = kv::Trim(kv::CStr(rs->Value("MG5F_CODICEVAR")));
    rs->Close();
    return result;
}

std::string OptionCode::RaggruppamentoArticolo(int16_t ind_griglia) {
    const std::string variant = CodiceVarianteLivello(ind_griglia);
    auto rs =
        core_.Execute(std::string(" SELECT") + "   MG6B_CODRAGGVAR_MG5G" + " FROM" + "   MG6B_GESVARART" +
                      " WHERE " + "   MG6B_DITTA_CG18 = " + std::to_string(core_.CompanyCode()) +
                      "   AND MG6B_CODART_MG66 = '" + RaddoppiaApici(cod_articolo_) + "'" +
                      "   AND MG6B_CODICEVAR_MG5F = '" + RaddoppiaApici(variant) + "'");
    std::string result;
    if (HasRows(rs)) {
        const kv::Variant v = rs->Value("MG6B_CODRAGGVAR_MG5G");
        if (!v.IsNull()) result = kv::RTrim(kv::CStr(v));
    }
    rs->Close();
    return result;
}

std::string OptionCode::GetSqlLkpSegmenti(int16_t ind_griglia) {
    const std::string company = std::to_string(core_.CompanyCode());
    const std::string grouping = RaggruppamentoArticolo(ind_griglia);
    if (!grouping.empty())
        return std::string(" SELECT ") + "    MG5E_OPZIONE," + "    MG5E_DESCR" + " FROM" +
               "    MG5E_OPZIONI" + " JOIN" + "    MG5H_COMPRAGVAR" + " ON" +
               "    MG5H_DITTA_CG18 = MG5E_DITTA_CG18" + "    AND MG5H_CODICEVAR_MG5F = MG5E_CODICEVAR_MG5F" +
               "    AND MG5H_OPZIONE_MG5E = MG5E_OPZIONE" + " WHERE" + "    MG5E_DITTA_CG18 = " + company +
               "    AND MG5H_RAGGR_MG5G = '" + RaddoppiaApici(grouping) + "'" +
               "    AND MG5E_CODICEVAR_MG5F = '" + RaddoppiaApici(CodiceVarianteLivello(ind_griglia)) + "'" +
               " ORDER BY" + "    MG5H_SEQOPZIONE";
    const kv::Variant segment = GetSegmento(ind_griglia);
    return std::string(" SELECT ") + "    MG5E_OPZIONE," + "    MG5E_DESCR" + " FROM" + "    MG5E_OPZIONI" +
           " WHERE" + "    MG5E_DITTA_CG18 = " + company + "    AND MG5E_CODICEVAR_MG5F = '" +
           RaddoppiaApici(kv::CStr(segment)) + "'" + " ORDER BY" + "    MG5E_OPZIONE";
}

std::string OptionCode::GetSqlDecSegmenti(std::string_view opzione, int16_t ind_griglia) {
    const std::string company = std::to_string(core_.CompanyCode());
    const std::string grouping = RaggruppamentoArticolo(ind_griglia);
    const std::string option_condition = "    AND MG5E_OPZIONE = '" + RaddoppiaApici(opzione) + "'";
    if (!grouping.empty())
        return std::string(" SELECT ") + "    MG5E_DESCR" + " FROM" + "    MG5E_OPZIONI" + " JOIN" +
               "    MG5H_COMPRAGVAR" + " ON" + "    MG5H_DITTA_CG18 = MG5E_DITTA_CG18" +
               "    AND MG5H_CODICEVAR_MG5F = MG5E_CODICEVAR_MG5F" +
               "    AND MG5H_OPZIONE_MG5E = MG5E_OPZIONE" + " WHERE" + "    MG5E_DITTA_CG18 = " + company +
               "    AND MG5H_RAGGR_MG5G = '" + RaddoppiaApici(grouping) + "'" +
               "    AND MG5E_CODICEVAR_MG5F = '" + RaddoppiaApici(CodiceVarianteLivello(ind_griglia)) + "'" +
               option_condition;
    const kv::Variant segment = GetSegmento(ind_griglia);
    return std::string(" SELECT ") + "    MG5E_DESCR" + " FROM" + "    MG5E_OPZIONI" + " WHERE" +
           "    MG5E_DITTA_CG18 = " + company + "    AND MG5E_CODICEVAR_MG5F = '" +
           RaddoppiaApici(kv::CStr(segment)) + "'" + option_condition;
}

}  // namespace qmx::variants
