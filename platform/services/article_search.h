#pragma once
// The host's article search: what an article lookup field needs to list the articles of the current
// company — the SQL of the list (article code MG66_CODART and its description MG87_DESCART, in code
// order), the column headings and the title of the lookup window. The description comes from the
// article descriptions table; an article without one is listed with a Null description.

#include <memory>
#include <string>
#include <vector>

#include "platform/variant/variant.h"

namespace kv::services {

class Cinterface;

struct ArticleLookup {
    std::string sql;
    std::vector<std::string> headings;
    std::string title;
};

class ArticleSearch : public kv::Object {
public:
    ~ArticleSearch() override;
    // The component whose company the search lists.
    virtual void SetActiveInterface(std::shared_ptr<Cinterface> component) = 0;
    // The lookup for the component's current company. kv::Error 91 without a component or its global
    // services.
    virtual ArticleLookup PrepareArticleList() = 0;
};

class HostArticleSearch : public ArticleSearch {
public:
    void SetActiveInterface(std::shared_ptr<Cinterface> component) override { component_ = std::move(component); }
    ArticleLookup PrepareArticleList() override;

    // The lookup for a given company code.
    static ArticleLookup ArticleListFor(int32_t company);

private:
    std::shared_ptr<Cinterface> component_;
};

}  // namespace kv::services
