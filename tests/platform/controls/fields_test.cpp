#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/controls/date_field.h"
#include "platform/controls/lookup_field.h"
#include "platform/controls/simple_controls.h"

namespace kv::controls {
namespace {

ado::ConnectionPtr OptionsDatabase() {
    auto c = ado::Connection::Create();
    c->Open("Provider=SQLite;Data Source=:memory:");
    c->Execute(
        "CREATE TABLE MG5E_OPZIONI (MG5E_DITTA_CG18 INTEGER, MG5E_OPZIONE CHAR(5) COLLATE RTRIM, "
        "MG5E_DESCR VARCHAR(40))");
    c->Execute(
        "INSERT INTO MG5E_OPZIONI VALUES (1, 'ROS', 'Rosso'), (1, 'BLU', 'Blu'), (2, 'ROS', 'Red'), "
        "(1, 'O''K', 'Con apostrofo')");
    return c;
}

struct LookupFixture : ::testing::Test {
    LookupFixture() {
        field->SetConnection(db);
        field->SetCompanyCode("1");
        subs.push_back(field->StartDecode.Connect([this](std::string& sql, DecodeMap& map, std::string&) {
            ++decodes;
            sql =
                "SELECT MG5E_DESCR FROM MG5E_OPZIONI WHERE MG5E_DITTA_CG18 = %COMPANY% AND MG5E_OPZIONE = "
                "'%CODE%'";
            map = DecodeMap{description, "MG5E_DESCR"};
        }));
        subs.push_back(field->AfterItem.Connect([this] { after.push_back(field->Valid()); }));
    }
    ado::ConnectionPtr db = OptionsDatabase();
    std::shared_ptr<LookupField> field = std::make_shared<LookupField>("TXT_VARIANTE");
    std::shared_ptr<TextField> description = std::make_shared<TextField>("TXT_DESCSEGMENTO");
    std::vector<Subscription> subs;
    std::vector<bool> after;
    int decodes = 0;
};

TEST_F(LookupFixture, DecodeFillsItsTargetAndSetsValid) {
    EXPECT_TRUE(field->UserType("BLU"));
    EXPECT_FALSE(field->Valid());
    EXPECT_TRUE(field->UserConfirm());
    EXPECT_TRUE(field->Valid());
    EXPECT_EQ(description->Text(), "Blu");
    EXPECT_EQ(after, std::vector<bool>{true});

    // A code the decoding does not find: not valid and the target cleared, AfterItem still raised.
    field->UserType("VER");
    field->UserConfirm();
    EXPECT_FALSE(field->Valid());
    EXPECT_EQ(description->Text(), "");
    EXPECT_EQ(after, (std::vector<bool>{true, false}));

    // The company code and an apostrophe in the code reach the query safely.
    field->UserType("O'K");
    field->UserConfirm();
    EXPECT_TRUE(field->Valid());
    EXPECT_EQ(description->Text(), "Con apostrofo");

    // Empty text: not valid, no query needed, target cleared.
    field->UserType("");
    field->UserConfirm();
    EXPECT_FALSE(field->Valid());
    EXPECT_EQ(description->Text(), "");
}

TEST_F(LookupFixture, LeavingChecksOnlyWhatWasTyped) {
    field->UserType("ROS");
    EXPECT_TRUE(field->UserLeave());
    EXPECT_EQ(description->Text(), "Rosso");
    EXPECT_FALSE(field->UserLeave());  // nothing typed since
    EXPECT_EQ(decodes, 1);
    EXPECT_EQ(after.size(), 1u);
}

TEST_F(LookupFixture, ProgramTextRaisesNothingAndConfirmWorksOnADisabledField) {
    field->SetText("ROS");
    EXPECT_EQ(decodes, 0);
    EXPECT_TRUE(after.empty());
    field->SetEnabled(false);
    EXPECT_FALSE(field->UserType("BLU"));
    EXPECT_FALSE(field->UserConfirm());
    EXPECT_EQ(field->Text(), "ROS");
    field->Confirm();
    EXPECT_TRUE(field->Valid());
    EXPECT_EQ(after, std::vector<bool>{true});
    field->SetText("");
    EXPECT_FALSE(field->Valid());
}

TEST_F(LookupFixture, QueryErrorsReachTheCallerAndLeaveTheFieldNotValid) {
    field->UserType("BLU");
    field->UserConfirm();
    subs.push_back(field->StartDecode.Connect(
        [](std::string& sql, DecodeMap&, std::string&) { sql = "SELECT * FROM NO_SUCH_TABLE"; }));
    field->UserType("ROS");
    EXPECT_THROW(field->UserConfirm(), Error);
    EXPECT_FALSE(field->Valid());
    EXPECT_EQ(description->Text(), "");
    EXPECT_EQ(after.size(), 1u);  // no AfterItem for the failed check
}

TEST_F(LookupFixture, LookupRunsTheHandlersQueryAndPickConfirms) {
    subs.push_back(field->StartLookup.Connect(
        [](std::string& sql, std::vector<std::string>& headings, std::string& title, std::string&) {
            sql =
                "SELECT MG5E_OPZIONE, MG5E_DESCR FROM MG5E_OPZIONI WHERE MG5E_DITTA_CG18 = %COMPANY% "
                "ORDER BY MG5E_OPZIONE";
            headings = {"Codice", "Descrizione"};
            title = "Varianti di 2° livello";
        }));
    auto list = field->UserOpenLookup();
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->title, "Varianti di 2° livello");
    EXPECT_EQ(list->headings, (std::vector<std::string>{"Codice", "Descrizione"}));
    ASSERT_EQ(list->RowCount(), 3);
    EXPECT_EQ(list->CodeAt(0), "BLU");
    EXPECT_EQ(list->CellText(1, 1), "Con apostrofo");
    EXPECT_TRUE(field->UserPick(list->CodeAt(2)));
    EXPECT_EQ(field->Text(), "ROS");
    EXPECT_TRUE(field->Valid());
    EXPECT_EQ(description->Text(), "Rosso");
    EXPECT_EQ(after, std::vector<bool>{true});
}

TEST(LookupField, OwnConnectionFromTheConnectionStringAndNoDecodeQuery) {
    LookupField f("TXT_CODART");
    EXPECT_FALSE(f.UserOpenLookup().has_value());  // no query: no list
    f.UserType("ANY");
    f.UserConfirm();
    EXPECT_TRUE(f.Valid());  // nothing to check against: accepted

    f.SetDecodeSql("SELECT 1 AS X WHERE '%CODE%' = 'A1'");
    f.SetConnectionString("Provider=SQLite;Data Source=:memory:");
    f.UserType("A1");
    f.UserConfirm();
    EXPECT_TRUE(f.Valid());
    f.UserType("A2");
    f.UserConfirm();
    EXPECT_FALSE(f.Valid());
    f.Release();
    EXPECT_EQ(f.Connection(), nullptr);
}

TEST(LookupField, TypedCodeIsNeverExpanded) {
    auto db = ado::Connection::Create();
    db->Open("Provider=SQLite;Data Source=:memory:");
    db->Execute("CREATE TABLE CODES (DITTA INTEGER, CODE VARCHAR(20), DESCR VARCHAR(20))");
    db->Execute("INSERT INTO CODES VALUES (7, '%COMPANY%', 'macro'), (7, '7', 'sette'), (7, 'A%COMPANY%B', 'dentro'), "
                "(7, '%CODE%', 'codice')");
    LookupField f("TXT_CODART");
    auto target = std::make_shared<TextField>("TXT_DESCR");
    f.SetConnection(db);
    f.SetCompanyCode("7");
    auto sub = f.StartDecode.Connect([&](std::string& sql, DecodeMap& map, std::string&) {
        sql = "SELECT DESCR FROM CODES WHERE DITTA = %COMPANY% AND CODE = '%CODE%'";
        map = DecodeMap{target, "DESCR"};
    });
    const struct {
        const char* typed;
        const char* descr;
    } cases[] = {{"%COMPANY%", "macro"}, {"A%COMPANY%B", "dentro"}, {"%CODE%", "codice"}, {"7", "sette"}};
    for (const auto& c : cases) {
        f.UserType(c.typed);
        f.UserConfirm();
        EXPECT_TRUE(f.Valid()) << c.typed;
        EXPECT_EQ(target->Text(), c.descr) << c.typed;
    }
}

TEST(LookupField, AnArticleDecodingAnotherCodeClearsItsOptionField) {
    auto article = std::make_shared<LookupField>("TXT_CODART");
    auto option = std::make_shared<LookupField>("TXT_OPZIONE");
    article->SetOptionField(option);
    article->UserType("A1");
    article->UserConfirm();
    option->SetText("ROS");
    article->UserConfirm();  // the same article again: the option stays
    EXPECT_EQ(option->Text(), "ROS");
    article->UserType("A2");
    article->UserConfirm();
    EXPECT_EQ(option->Text(), "");
    EXPECT_EQ(article->OptionField(), option);
}

TEST(DateField, ValidOnlyForRealDaysInTheRegionalForm) {
    struct Case {
        const char* text;
        bool valid;
        const char* shown;  // the text after confirming
    };
    for (const Case& c :
         {Case{"31/12/2024", true, "31/12/2024"}, Case{"1/2/25", true, "01/02/2025"},
          Case{"29/02/2024", true, "29/02/2024"}, Case{"31/02/2025", false, "31/02/2025"},
          Case{"29/02/2025", false, "29/02/2025"}, Case{"12/31/2024", false, "12/31/2024"},
          Case{"", false, ""}, Case{"domani", false, "domani"}, Case{" 05.03.2025 ", true, "05/03/2025"}}) {
        DateField f("TXT_DADATA_ACQ");
        int after = 0;
        auto sub = f.AfterItem.Connect([&] { ++after; });
        f.UserType(c.text);
        f.UserConfirm();
        EXPECT_EQ(f.Valid(), c.valid) << c.text;
        EXPECT_EQ(f.Text(), c.shown) << c.text;
        EXPECT_EQ(after, 1);
    }
    DateField us("D", RegionalSettings::English());
    us.UserType("12/31/2024");
    us.UserConfirm();
    EXPECT_TRUE(us.Valid());
    ASSERT_TRUE(us.Value().has_value());
    EXPECT_EQ(us.Value()->Day(), 31);
}

}  // namespace
}  // namespace kv::controls
