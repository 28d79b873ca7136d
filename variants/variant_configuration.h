#pragma once
// The variant structure of the current company and article, as both drivers see it: the grid type
// (0 no grid, 1 one level, 2 and 3 two levels as rows, 4 second level as columns), whether the article
// uses only the second-level variant (Inverti), the reading configuration of MG5L_LETVARIANTI, the
// article's segment records, and the options queries of the two grid levels.
//
// Every text value written into SQL here has its apostrophes doubled, so an article code or option that
// contains "'" is looked up as written and can never change the statement.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "schema/price_list_parameters.h"
#include "variants/cinfolivello.h"

namespace qmx::variants {

// The options query of a grid level (1 = first, anything greater = second) for an article: columns
// MG5E_CODICEVAR_MG5F, MG5E_OPZIONE, MG5E_DESCR, all options of the variant in code order, or those of
// the article's grouping in their sequence.
std::string GetSql_ParConfVar(int level, int32_t company, std::string_view article);

class VariantConfiguration {
public:
    // core: the driver's core, which outlives this object (both are members of one driver).
    explicit VariantConfiguration(schema::DriverCore& core) : core_(core) {}

    std::string CodArticolo;
    bool Inverti = false;
    // Called whenever Inverti is set True by the decision (the variant driver reopens its first-level
    // options with the second-level query) and, with false, when step 6 settles on the first level.
    std::function<void(bool inverti)> OnOpzioni1Level;

    // The grid type for CodArticolo (the company's type for an empty article), setting Inverti where the
    // decision says so. result holds what was computed so far when it raises.
    void GetIndTipoGriglia(int16_t& result);
    // How many grid variants are read in the reading configuration: 0, 1 or 2; 99 without rows.
    int16_t ContaVariantiLette();
    // Whether the grid variant the article manages is missing from the reading configuration.
    bool VarianteGestitaNonLetta();
    // Rebuilds Livelli for CodArticolo (nothing when it is empty). Errors are raised again with the
    // description prefixed by the procedure's name and CR LF.
    void CaricaConfigurazioneVariantiPerArticolo();
    // Whether the article manages the variant (true when it has no row for it). Errors raised again
    // with the prefix.
    bool LivelloAbilitatoPerArticolo(std::string_view cod_var);

    // The segment records of the current article, in variant code order.
    std::vector<std::shared_ptr<CInfoLivello>> Livelli;

private:
    schema::DriverCore& core_;
};

}  // namespace qmx::variants
