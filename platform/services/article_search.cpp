#include "platform/services/article_search.h"

#include "platform/services/cinterface.h"
#include "platform/services/global_services.h"

namespace kv::services {

ArticleSearch::~ArticleSearch() = default;

ArticleLookup HostArticleSearch::ArticleListFor(int32_t company) {
    const std::string c = std::to_string(company);
    ArticleLookup l;
    l.sql = "SELECT MG66_CODART, MG87_DESCART FROM MG66_ANAGRART"
            " LEFT JOIN MG87_DESCRART ON MG87_DITTA_CG18 = MG66_DITTA_CG18 AND MG87_CODART_MG66 = MG66_CODART"
            " WHERE MG66_DITTA_CG18 = " + c + " ORDER BY MG66_CODART";
    l.headings = {"Codice", "Descrizione"};
    l.title = "Ricerca articoli";
    return l;
}

ArticleLookup HostArticleSearch::PrepareArticleList() {
    auto global = component_ ? component_->ClsGlobal() : nullptr;
    if (!global)
        throw kv::Error(kv::err::kObjectNotSet, "The article search has no component or host services to read the company from",
                        "ArticleSearch");
    return ArticleListFor(global->CompanyCode());
}

}  // namespace kv::services
