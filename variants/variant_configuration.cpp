#include "variants/variant_configuration.h"

#include <cctype>

#include "platform/variant/error.h"
#include "platform/variant/strings.h"
#include "shell/error_trap.h"
#include "shell/modmg_quendormixal.h"

namespace qmx::variants {

namespace {

using schema::kCrLf;

// Lines each followed by CR LF.
std::string Lines(std::initializer_list<std::string_view> lines, bool after_last = true) {
    std::string out;
    std::size_t i = 0;
    for (std::string_view line : lines) {
        out.append(line);
        if (after_last || ++i < lines.size()) out += kCrLf;
    }
    return out;
}

// The error being handled, raised again with its description prefixed by the procedure's name: what
// a caller several procedures up needs to see where the failure came from.
[[noreturn]] void RaiseAgain(std::string_view procedure) {
    const kv::Error e = CurrentError(procedure);
    throw kv::Error(e.Number(), std::string(procedure) + ":" + kCrLf + e.Description(), e.Source());
}

// The MG5L_LETVARIANTI flag column of a variant: the column of position n reads the variant "A<n-1>".
// A code outside that scheme takes the column of its place among the company's variants.
std::string FlagColumn(std::string_view code, int position_in_code_order) {
    int position = position_in_code_order;
    if (code.size() == 2 && code[0] == 'A' && std::isdigit(static_cast<unsigned char>(code[1])))
        position = code[1] - '0' + 1;
    return "MG5L_FLGPOSVAR" + std::to_string(position);
}

bool HasRows(const kv::ado::RecordsetPtr& rs) { return !(rs->IsBOF() || rs->IsEOF()); }

// The integer value of a field, Null and Empty as 0.
long LongOf(const kv::Variant& v) { return v.IsNull() || v.IsEmpty() ? 0 : kv::CLng(v); }

}  // namespace

std::string GetSql_ParConfVar(int level, int32_t company, std::string_view article) {
    std::string sql = Lines({
        "SELECT",
        "    VARIANTE.MG6B_CODICEVAR_MG5F AS MG5E_CODICEVAR_MG5F",
        "    , CASE WHEN VARIANTE.MG6B_CODRAGGVAR_MG5G IS NULL THEN OPZIONI.MG5E_OPZIONE ELSE "
        "OPZIONIRAGGR.MG5E_OPZIONE END AS MG5E_OPZIONE",
        "    , CASE WHEN VARIANTE.MG6B_CODRAGGVAR_MG5G IS NULL THEN OPZIONI.MG5E_DESCR ELSE "
        "OPZIONIRAGGR.MG5E_DESCR END AS MG5E_DESCR",
        "FROM",
        "    (",
        "        SELECT",
        "            MG6B_DITTA_CG18",
        "            , MG6B_CODICEVAR_MG5F",
        "            , MG6B_CODRAGGVAR_MG5G",
        "        FROM",
        "            MG6B_GESVARART",
        "            LEFT OUTER JOIN",
        "            MG5G_RAGGVAR",
        "            ON",
        "            MG5G_DITTA_CG18 = MG6B_DITTA_CG18",
        "            AND MG5G_CODICEVAR_MG5F = MG6B_CODICEVAR_MG5F",
        "            AND MG5G_CODRAGGVAR = MG6B_CODRAGGVAR_MG5G",
        "        WHERE",
        "            MG6B_DITTA_CG18 = @PAR_CODICEDITTA",
        "            AND MG6B_CODART_MG66 = @PAR_CODICEARTICOLO",
        "            AND MG6B_CODICEVAR_MG5F = (",
        "                SELECT",
        "                    MG5F_CODICEVAR",
        "                FROM",
        "                    MG5F_DIMECONF",
        "                WHERE",
        "                    MG5F_DITTA_CG18 = @PAR_CODICEDITTA",
        level == 1 ? "                    AND MG5F_INDGRIGLIA = 1"
                   : "                    AND MG5F_INDGRIGLIA > 1",
        "            )",
        "    ) AS VARIANTE",
        "    LEFT OUTER JOIN",
        "    (",
        "        SELECT",
        "            MG5E_DITTA_CG18",
        "            , MG5E_CODICEVAR_MG5F",
        "            , MG5E_OPZIONE",
        "            , MG5E_DESCR",
        "            , MG5H_RAGGR_MG5G",
        "            , MG5H_SEQOPZIONE",
        "        FROM",
        "            MG5E_OPZIONI",
        "            INNER JOIN",
        "            MG5H_COMPRAGVAR",
        "            ON",
        "            MG5E_DITTA_CG18 = MG5H_DITTA_CG18",
        "            AND MG5E_OPZIONE = MG5H_OPZIONE_MG5E    ",
        "            AND MG5E_CODICEVAR_MG5F = MG5H_CODICEVAR_MG5F",
        "        WHERE",
        "            MG5E_DITTA_CG18 = @PAR_CODICEDITTA",
        "    ) AS OPZIONIRAGGR",
        "    ON",
        "    VARIANTE.MG6B_DITTA_CG18 = OPZIONIRAGGR.MG5E_DITTA_CG18",
        "    AND VARIANTE.MG6B_CODICEVAR_MG5F = OPZIONIRAGGR.MG5E_CODICEVAR_MG5F",
        "    AND (",
        "            (VARIANTE.MG6B_CODRAGGVAR_MG5G IS NOT NULL)",
        "            AND (VARIANTE.MG6B_CODRAGGVAR_MG5G = OPZIONIRAGGR.MG5H_RAGGR_MG5G)",
        "    )",
        "    LEFT OUTER JOIN",
        "    MG5E_OPZIONI AS OPZIONI",
        "    ON",
        "    VARIANTE.MG6B_DITTA_CG18 = OPZIONI.MG5E_DITTA_CG18",
        "    AND VARIANTE.MG6B_CODICEVAR_MG5F = OPZIONI.MG5E_CODICEVAR_MG5F",
        "    AND VARIANTE.MG6B_CODRAGGVAR_MG5G IS NULL",
        "ORDER BY",
        "    ISNULL(OPZIONIRAGGR.MG5H_SEQOPZIONE, 1), OPZIONI.MG5E_OPZIONE",
    });
    // The company first: the article's own text, inserted afterwards, is never read as a placeholder.
    sql = kv::Replace(sql, "@PAR_CODICEDITTA", std::to_string(company));
    std::string quoted(1, '\'');
    quoted.append(RaddoppiaApici(article)).push_back('\'');
    return kv::Replace(sql, "@PAR_CODICEARTICOLO", quoted);
}

void VariantConfiguration::GetIndTipoGriglia(int16_t& result) {
    result = 0;
    const std::string company = std::to_string(core_.CompanyCode());
    auto rs_max = core_.Execute(std::string("SELECT MAX(MG5F_INDGRIGLIA) AS MG5F_INDGRIGLIA ") +
                                " FROM MG5F_DIMECONF " + " WHERE MG5F_DITTA_CG18 = " + company);
    if (!HasRows(rs_max)) return;
    const auto m = static_cast<int16_t>(LongOf(rs_max->Value("MG5F_INDGRIGLIA")));
    rs_max->Close();
    result = m;
    // Only no article at all is the company's type: a code of blanks is an article code like any other,
    // one that manages no variant, so the reading configuration decides as for any such article.
    if (CodArticolo.empty()) return;

    auto rs = core_.Execute(std::string("SELECT MG6B_FLGGESTVAR, MG5F_INDGRIGLIA FROM MG5F_DIMECONF ") +
                            " INNER JOIN MG6B_GESVARART " + "   ON MG6B_DITTA_CG18 = MG5F_DITTA_CG18 " +
                            "   AND MG6B_CODICEVAR_MG5F = MG5F_CODICEVAR " + " WHERE " +
                            "   MG5F_DITTA_CG18 = " + company + "   AND MG5F_INDGRIGLIA > 0" +
                            "   AND MG6B_CODART_MG66 ='" + RaddoppiaApici(CodArticolo) + "'" +
                            "   AND MG6B_FLGGESTVAR = 0");
    const long n = rs->RecordCount();
    if (n == 0) {
        switch (ContaVariantiLette()) {
            case 0:
                result = 0;
                break;
            case 1:
                result = 1;
                break;
            default:  // 2, or 99 without a reading configuration
                result = m;
                break;
        }
    } else if (n == 1) {
        result = 1;
        const int16_t read = ContaVariantiLette();
        if (read != 0) {
            if (read == 1 && VarianteGestitaNonLetta()) {
                result = 0;
                rs->Close();
                return;
            }
            // The one grid variant the article does not manage tells which level it uses.
            Inverti = LongOf(rs->Value("MG5F_INDGRIGLIA")) == 1;
            if (OnOpzioni1Level) OnOpzioni1Level(Inverti);
        }
    } else if (n == 2) {
        result = 0;
    } else {
        result = m;
    }
    rs->Close();
}

int16_t VariantConfiguration::ContaVariantiLette() {
    const std::string company = std::to_string(core_.CompanyCode());
    auto rs_conf = core_.Execute("SELECT * FROM MG5L_LETVARIANTI WHERE MG5L_DITTA_CG18 =" + company +
                                 " AND MG5L_INDELEMENTO = 0");
    const bool configured = HasRows(rs_conf);
    rs_conf->Close();
    if (!configured) return 99;

    auto variants = core_.Execute(std::string(" SELECT * ") + " FROM MG5F_DIMECONF " +
                                  " WHERE MG5F_DITTA_CG18 = " + company + " ORDER BY MG5F_CODICEVAR ASC");
    int count = 0;
    std::string second_level_read;
    for (int position = 1; !variants->IsEOF(); variants->MoveNext(), ++position) {
        const long level = LongOf(variants->Value("MG5F_INDGRIGLIA"));
        if (level <= 0) continue;
        const std::string code = kv::Trim(kv::CStr(variants->Value("MG5F_CODICEVAR")));
        // The flag column follows the variant's code, as the reading configuration defines it, so a
        // company whose variant codes have gaps is read the same here and in VarianteGestitaNonLetta.
        const std::string field = FlagColumn(code, position);
        auto rs = core_.Execute("SELECT " + field + " FROM MG5L_LETVARIANTI " + " WHERE MG5L_DITTA_CG18 = " +
                                company + " AND MG5L_INDELEMENTO = 0" + " AND " + field + " > 0");
        if (HasRows(rs)) {
            ++count;
            if (level > 1) second_level_read = code;
        }
        rs->Close();
    }
    variants->Close();
    if (count == 1) {
        if (!second_level_read.empty()) {
            Inverti = true;
            if (OnOpzioni1Level) OnOpzioni1Level(true);
        }
        return 1;
    }
    return count == 2 ? 2 : 0;
}

bool VariantConfiguration::VarianteGestitaNonLetta() {
    const std::string company = std::to_string(core_.CompanyCode());
    auto rs = core_.Execute(
        std::string("SELECT MG6B_CODICEVAR_MG5F FROM MG5F_DIMECONF ") + " INNER JOIN MG6B_GESVARART " +
        "   ON MG6B_DITTA_CG18 = MG5F_DITTA_CG18 " + "   AND MG6B_CODICEVAR_MG5F = MG5F_CODICEVAR " +
        " WHERE " + "   MG5F_DITTA_CG18 = " + company + "   AND MG5F_INDGRIGLIA > 0" +
        "   AND MG6B_CODART_MG66 ='" + RaddoppiaApici(CodArticolo) + "'" + "   AND MG6B_FLGGESTVAR = 1");
    if (!HasRows(rs)) return false;
    const std::string code = kv::Trim(kv::CStr(rs->Value("MG6B_CODICEVAR_MG5F")));
    rs->Close();
    if (code.size() != 2 || code[0] != 'A' || !std::isdigit(static_cast<unsigned char>(code[1])))
        throw kv::Error(
            kv::err::kInvalidCall,
            "Il codice variante \"" + code + "\" non corrisponde a una colonna della lettura varianti",
            "VarianteGestitaNonLetta");
    const std::string flag = FlagColumn(code, 0);
    auto rs_flag =
        core_.Execute("SELECT " + flag + " FROM MG5L_LETVARIANTI " + " WHERE MG5L_DITTA_CG18 = " + company +
                      " AND MG5L_INDELEMENTO = 0" + " AND " + flag + " > 0");
    const bool not_read = !HasRows(rs_flag);
    rs_flag->Close();
    return not_read;
}

bool VariantConfiguration::LivelloAbilitatoPerArticolo(std::string_view cod_var) {
    try {
        const std::string company = std::to_string(core_.CompanyCode());
        const std::string article_line = "    AND MG6B_CODART_MG66 = '" + RaddoppiaApici(CodArticolo) + "'";
        const std::string variant_line = "    AND MG6B_CODICEVAR_MG5F = '" + RaddoppiaApici(cod_var) + "'";
        const std::string company_line = "    MG6B_DITTA_CG18 = " + company;
        auto rs = core_.Execute(Lines({"SELECT", "    MG6B_FLGGESTVAR", "FROM", "    MG6B_GESVARART", "WHERE",
                                       company_line, article_line, variant_line},
                                      false));
        bool enabled = true;
        if (HasRows(rs)) enabled = LongOf(rs->Value("MG6B_FLGGESTVAR")) == 1;
        rs->Close();
        return enabled;
    } catch (...) {
        RaiseAgain("LivelloAbilitatoPerArticolo");
    }
}

void VariantConfiguration::CaricaConfigurazioneVariantiPerArticolo() {
    if (kv::Trim(CodArticolo).empty()) return;
    try {
        Livelli.clear();
        const std::string company_line = "    MG5F_DITTA_CG18 = " + std::to_string(core_.CompanyCode());
        auto rs = core_.Execute(Lines({"SELECT", "    *", "FROM", "    MG5F_DIMECONF", "WHERE", company_line,
                                       "ORDER BY", "    MG5F_CODICEVAR"},
                                      false));
        long start = 1;
        std::shared_ptr<CInfoLivello> only_grid_level;
        int grid_levels = 0;
        for (; !rs->IsEOF(); rs->MoveNext()) {
            const long size = LongOf(rs->Value("MG5F_SIZE"));
            const long level = LongOf(rs->Value("MG5F_INDGRIGLIA"));
            auto info = std::make_shared<CInfoLivello>();
            info->Inizio = static_cast<int16_t>(start);
            info->Fine = static_cast<int16_t>(start + size - 1);
            info->Dimensione = static_cast<int16_t>(size);
            info->IsLivelloGriglia =
                level != 0 && LivelloAbilitatoPerArticolo(kv::Trim(kv::CStr(rs->Value("MG5F_CODICEVAR"))));
            info->LivelloGrigla = static_cast<int16_t>(level);
            if (info->IsLivelloGriglia) {
                ++grid_levels;
                only_grid_level = info;
            }
            Livelli.push_back(info);
            start += size;
        }
        rs->Close();
        if (grid_levels == 1) only_grid_level->LivelloGrigla = 1;
    } catch (...) {
        RaiseAgain("CaricaConfigurazioneVariantiPerArticolo");
    }
}

}  // namespace qmx::variants
