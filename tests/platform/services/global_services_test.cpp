#include "platform/services/global_services.h"

#include <gtest/gtest.h>

#include "platform/services/pricing_support.h"
#include "platform/services/status_bar.h"
#include "platform/variant/strings.h"

namespace kv::services {
namespace {

using testing::PricingHost;

TEST(GlobalServices, CurrencyFormatFollowsUnitPriceDecimals) {
    PricingHost host;
    EXPECT_EQ(host.global->CurrencyFormat("EURO"), "#,##0.00");
    EXPECT_EQ(host.global->CurrencyFormat("LIT "), "#,##0");
    EXPECT_EQ(host.global->CurrencyFormat("KWD"), "#,##0.000");
    host.global->SetCurrencyFormat("EURO", "#,##0.0000");
    EXPECT_EQ(host.global->CurrencyFormat("EURO"), "#,##0.0000");
    try {
        host.global->CurrencyFormat("XYZ");
        ADD_FAILURE();
    } catch (const kv::Error& e) {
        EXPECT_EQ(e.Number(), 5);
    }
    // A code that could not be a currency is not looked up (and never reaches the SQL text).
    EXPECT_THROW(host.global->CurrencyFormat("E' OR '1'='1"), kv::Error);
}

TEST(GlobalServices, HostSessionOpensOnDemandOnce) {
    HostGlobalServices none(1, "");
    EXPECT_EQ(none.HostConnection(), nullptr);
    EXPECT_EQ(none.Currencies(), nullptr);

    HostGlobalServices bad(1, "Provider=Nothing;Data Source=x");
    EXPECT_THROW(bad.HostConnection(), kv::Error);
    EXPECT_EQ(bad.HostConnection(), nullptr);  // not tried again on every price

    HostGlobalServices mem(1, "Provider=SQLite;Data Source=:memory:");
    auto c = mem.HostConnection();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->State(), kv::ado::adStateOpen);
    EXPECT_EQ(mem.HostConnection(), c);
}

TEST(GlobalServices, PostSaveRecordsEachSavedRowOnce) {
    PricingHost host;
    auto post = host.global->NewPostSave();
    post->SetContext(nullptr, host.session, host.global, Variant(int32_t{1}), Variant("MAG001   "), true);
    for (const char* code : {"ROS  S", "ROS  M"}) {
        post->SetOptionCode(Variant(code));
        post->ApplyRow();
        post->EndRow();
        post->ApplyRow();  // nothing new to record
    }
    post->Release();
    EXPECT_FALSE(std::static_pointer_cast<HostPostSave>(post)->HasReferences());
    const std::vector<PostSaveEntry> expected = {{"1", "MAG001", "ROS  S"}, {"1", "MAG001", "ROS  M"}};
    EXPECT_EQ(host.global->PostSaves()->Entries(), expected);

    auto quiet = host.global->NewPostSave();
    quiet->SetContext(nullptr, nullptr, nullptr, Variant(int32_t{1}), Variant("X"), false);
    quiet->SetOptionCode(Variant("A"));
    quiet->ApplyRow();
    EXPECT_EQ(host.global->PostSaves()->Entries().size(), 2u);
}

TEST(GlobalServices, ArticleSearchListsTheCompanysArticlesWithDescriptions) {
    PricingHost host(2);
    auto& s = *host.session;
    s.Execute("CREATE TABLE MG66_ANAGRART (MG66_DITTA_CG18 INTEGER, MG66_CODART CHAR(25))");
    s.Execute("CREATE TABLE MG87_DESCRART (MG87_DITTA_CG18 INTEGER, MG87_CODART_MG66 CHAR(25), MG87_DESCART VARCHAR(80))");
    s.Execute("INSERT INTO MG66_ANAGRART VALUES (2, 'B2'), (2, 'A1'), (1, 'A0')");
    s.Execute("INSERT INTO MG87_DESCRART VALUES (2, 'A1', 'Maglia'), (1, 'B2', 'Other company')");

    auto search = host.global->NewArticleSearch();
    EXPECT_THROW(search->PrepareArticleList(), kv::Error);  // no component yet
    const ArticleLookup lookup = HostArticleSearch::ArticleListFor(2);
    EXPECT_EQ(lookup.headings, (std::vector<std::string>{"Codice", "Descrizione"}));
    auto rs = s.Execute(lookup.sql);
    ASSERT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(RTrim(CStr(rs->Value("MG66_CODART"))), "A1");
    EXPECT_EQ(rs->Value("MG87_DESCART"), Variant("Maglia"));
    rs->MoveNext();
    EXPECT_TRUE(rs->Value("MG87_DESCART").IsNull());
}

TEST(ScriptedDialogs, AnswersFromTheQueueThenTheDefault) {
    ScriptedErrorDisplay errors;
    errors.QueueAnswers({answer::kRetry, answer::kIgnore});
    ErrorReport r;
    r.procedure = "Form_Load";
    EXPECT_EQ(errors.ShowError(r), answer::kRetry);
    EXPECT_EQ(errors.ShowError(r), 2);  // Ignore is reported as 2
    EXPECT_EQ(errors.ShowError(r), answer::kAbort);
    ASSERT_EQ(errors.Reports().size(), 3u);
    EXPECT_EQ(errors.Reports()[2].report.procedure, "Form_Load");

    struct Case {
        int style;
        int answer;
    } cases[] = {
        {style::kOkOnly, answer::kOk},
        {style::kYesNo | style::kQuestion, answer::kYes},
        {style::kYesNo | style::kDefaultButton2, answer::kNo},
        {style::kYesNoCancel | style::kDefaultButton3, answer::kCancel},
        {style::kOkCancel | style::kDefaultButton3, answer::kOk},  // no third button: the first
        {style::kErrorStyle, answer::kRetry},
    };
    for (const Case& c : cases) EXPECT_EQ(ScriptedMessageService::DefaultButtonAnswer(c.style), c.answer) << c.style;

    ScriptedMessageService messages;
    messages.QueueAnswer(answer::kNo);
    EXPECT_EQ(messages.Message("Salvare?", style::kYesNo, "Attenzione"), answer::kNo);
    EXPECT_EQ(messages.Message("Salvare?", style::kYesNo, "Attenzione"), answer::kYes);
    EXPECT_EQ(messages.Messages().back().title, "Attenzione");
}

}  // namespace
}  // namespace kv::services
