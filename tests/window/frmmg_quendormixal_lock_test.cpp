// Another desktop holds the prices in a long transaction of its own: this desktop's "Conferma" or
// "Elimina" waits the lock timeout (short here), is undone, and the user is told in Italian that another
// desktop is saving the same prices; the edits stay for another try, which goes through once the other
// desktop is done. Both engines: the server holds rows, the embedded engine the whole file.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "shell/clsmg_quendormixal.h"
#include "support/db_engines.h"
#include "platform/services/error_texts.h"
#include "support/headless_host.h"
#include "window/frmmg_quendormixal.h"

namespace qmx {
namespace {

namespace svc = kv::services;
using testing::Engine;

constexpr const char* kAnotherDesktop = "Un altro desktop sta salvando gli stessi prezzi";

// An error display that runs something before it answers, as a user who waits, then presses a button.
class WaitingErrorDisplay : public svc::ErrorDisplay {
public:
    WaitingErrorDisplay(std::function<void()> meanwhile, int answer) : meanwhile_(std::move(meanwhile)), answer_(answer) {}
    int ShowError(const svc::ErrorReport& report) override {
        shown.push_back(report);
        if (meanwhile_) meanwhile_();
        meanwhile_ = nullptr;
        return answer_;
    }
    void Finish() override {}
    std::vector<svc::ErrorReport> shown;

private:
    std::function<void()> meanwhile_;
    int answer_;
};

class HeldPrices : public testing::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (sqlite()) {
            connection_string_ = file_.ConnectionString();
            holder_ = kv::ado::Connection::Create();
            holder_->Open(connection_string_ + ";Mode=Create");
        } else {
            connection_string_ = database().connection_string();
            holder_ = database().connection();
        }
        demo::CreateSchema(*holder_);
        demo::BuildDemo(*holder_);
        global_ = std::make_shared<svc::HostGlobalServices>(demo::kDittaAbbigliamento,
                                                            connection_string_ + ";Lock Timeout=0,3");
        BeforeLoad();
        entry_->SetClsGlobal(global_);
        entry_->SetActiveNavigator(std::make_shared<svc::HostNavigator>());
        entry_->SetActiveFrame(std::make_shared<svc::HostFrame>(kv::Variant(int16_t{3})));
        entry_->SetClsVoceMenu(std::make_shared<svc::HostMenuEntry>());
        entry_->SetStatusBar(std::make_shared<svc::HostStatusBar>());
        entry_->SetIsActive(true);
        window_->SetActiveInterface(entry_);
        window_->SetOwner(entry_);
        window_->SetWindowState(0);
        // Article SCI001 (grid type 1), 2025: purchase rows 0-7 list 1 with stored prices of 35.
        auto type = [](kv::controls::EntryField& field, const std::string& text) {
            ASSERT_TRUE(field.UserType(text)) << field.Name();
            field.UserLeave();
        };
        type(*window_->TXT_CODART, demo::kArticoloTipo1);
        type(*window_->TXT_DADATA_ACQ, "01/01/2025");
        type(*window_->TXT_ADATA_ACQ, "31/12/2025");
        type(*window_->TXT_DADATA_VEN, "01/01/2025");
        type(*window_->TXT_ADATA_VEN, "31/12/2025");
    }
    // What a test sets up before the window loads (and takes its host services).
    virtual void BeforeLoad() {}
    void TearDown() override {
        if (holder_ && holder_->InTransaction()) holder_->RollbackTrans();
        if (window_->IsLoaded()) {
            global_->ScriptedMessages()->QueueAnswer(svc::answer::kNo);
            window_->Unload();
        }
        EngineTest::TearDown();
    }

    // Another desktop's transaction takes the stored row of list 1, Beige (on the embedded engine, the file).
    void Hold() {
        holder_->BeginTrans();
        holder_->Execute("UPDATE LI10_LISTARTIC SET LI10_PREZZO = LI10_PREZZO WHERE LI10_CODART_MG66 = 'SCI001'"
                         " AND LI10_FLGVENDACQ = 1 AND LI10_NUMLIST = 1 AND LI10_OPZIONE_MG5E LIKE '%BEI%'");
    }
    long Prezzo() const { return window_->GRD_LISACQ->Columns().IndexOf("LI10_PREZZO"); }
    std::string Stored(const std::string& colour) {
        auto rs = holder_->Execute("SELECT LI10_PREZZO FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCI001'"
                                   " AND LI10_FLGVENDACQ = 1 AND LI10_NUMLIST = 1 AND LI10_OPZIONE_MG5E LIKE '%" +
                                   colour + "%'");
        return rs->IsEOF() ? "" : kv::CDec(rs->Value(0)).ToString(',');
    }
    long StoredRows() {
        return kv::CLng(holder_->Execute("SELECT COUNT(*) FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCI001'")->Value(0));
    }

    testing::TempDatabase file_;
    std::string connection_string_;
    kv::ado::ConnectionPtr holder_;
    std::shared_ptr<svc::HostGlobalServices> global_;
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry_ = CLSMG_QUENDORMIXAL::Create();
    std::shared_ptr<FRMMG_QUENDORMIXAL> window_ = FRMMG_QUENDORMIXAL::Create();
};

TEST_P(HeldPrices, ASaveWaitsTheLockTimeoutThenSaysAnotherDesktopIsSavingAndKeepsTheEdits) {
    ASSERT_TRUE(window_->GRD_LISACQ->UserEditCell(0, Prezzo(), "21").accepted);
    ASSERT_TRUE(window_->GRD_LISACQ->UserEditCell(1, Prezzo(), "22").accepted);
    Hold();
    const auto start = std::chrono::steady_clock::now();
    window_->INTERNAV->UserClick("Conferma");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    const auto& errors = global_->ScriptedErrors()->Reports();
    ASSERT_EQ(errors.size(), 1u);
    const auto shown = svc::DescribeForUser(errors[0].report);
    EXPECT_EQ(shown.message.rfind(kAnotherDesktop, 0), 0u) << shown.message;
    EXPECT_NE(shown.message.find("Le modifiche restano nelle griglie"), std::string::npos) << shown.message;
    // The database's own word stays under "Dettagli".
    EXPECT_NE(shown.details.find(sqlite() ? "database is locked" : "lock timeout"), std::string::npos) << shown.details;
    // Nothing written, the edits still there and still pending.
    holder_->RollbackTrans();
    EXPECT_EQ(Stored("BEI"), "35");
    EXPECT_EQ(Stored("BIA"), "35");
    EXPECT_EQ(window_->GRD_LISACQ->CellText(0, Prezzo()), "21,00");
    EXPECT_EQ(window_->GRD_LISACQ->CellText(1, Prezzo()), "22,00");
    EXPECT_TRUE(window_->State().changes_pending);

    // The other desktop is done: confirming again saves.
    window_->INTERNAV->UserClick("Conferma");
    EXPECT_EQ(global_->ScriptedErrors()->Reports().size(), 1u);
    EXPECT_FALSE(window_->State().changes_pending);
    EXPECT_EQ(Stored("BEI"), "21");
    EXPECT_EQ(Stored("BIA"), "22");
}

// "Riprova" on the message, pressed once the other desktop has finished, saves what was typed.
class HeldPricesRetried : public HeldPrices {
protected:
    void BeforeLoad() override {
        display_ = std::make_shared<WaitingErrorDisplay>([this] { holder_->RollbackTrans(); }, svc::answer::kRetry);
        global_->SetErrorDisplayFactory([d = display_] { return d; });
    }
    std::shared_ptr<WaitingErrorDisplay> display_;
};

TEST_P(HeldPricesRetried, RetryAfterTheOtherDesktopFinishedSaves) {
    ASSERT_TRUE(window_->GRD_LISACQ->UserEditCell(0, Prezzo(), "23").accepted);
    Hold();
    window_->INTERNAV->UserClick("Conferma");
    ASSERT_EQ(display_->shown.size(), 1u);
    EXPECT_EQ(display_->shown[0].description.rfind(kAnotherDesktop, 0), 0u) << display_->shown[0].description;
    EXPECT_FALSE(window_->State().changes_pending);
    EXPECT_EQ(Stored("BEI"), "23");
}

TEST_P(HeldPrices, ADeletionWaitsTheLockTimeoutThenSaysAnotherDesktopIsSavingAndDeletesNothing) {
    const long before = StoredRows();
    ASSERT_GT(before, 0);
    Hold();
    // Delete the purchase lists: Sì; then keep the sales lists: No.
    global_->ScriptedMessages()->QueueAnswer(svc::answer::kYes);
    global_->ScriptedMessages()->QueueAnswer(svc::answer::kNo);
    const auto start = std::chrono::steady_clock::now();
    window_->INTERNAV->UserClick("Elimina");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    const auto& errors = global_->ScriptedErrors()->Reports();
    ASSERT_FALSE(errors.empty());
    const std::string message = svc::DescribeForUser(errors[0].report).message;
    EXPECT_EQ(message.rfind(kAnotherDesktop, 0), 0u) << message;
    EXPECT_NE(message.find("listini di acquisto"), std::string::npos) << message;
    holder_->RollbackTrans();
    EXPECT_EQ(StoredRows(), before);
}

QMX_INSTANTIATE_ENGINES(HeldPrices);
QMX_INSTANTIATE_ENGINES(HeldPricesRetried);

}  // namespace
}  // namespace qmx
