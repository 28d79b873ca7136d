// Another desktop holds the prices in a long transaction of its own: this desktop's "Conferma" or
// "Elimina" waits the lock timeout (short here), is undone, and the user is told in Italian that another
// desktop is saving the same prices; the edits stay for another try, which goes through once the other
// desktop is done. Both engines: the server holds rows, the embedded engine the whole file.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/services/error_texts.h"
#include "shell/clsmg_quendormixal.h"
#include "support/db_engines.h"
#include "support/headless_host.h"
#include "window/frmmg_quendormixal.h"

namespace qmx {
namespace {

namespace svc = kv::services;

constexpr const char* kAnotherDesktop = "Un altro desktop sta salvando gli stessi prezzi";

// The error display of a user who waits until the other desktop is done, then presses "Riprova".
class RetryWhenDone : public svc::ErrorDisplay {
public:
    explicit RetryWhenDone(std::function<void()> done) : done_(std::move(done)) {}
    int ShowError(const svc::ErrorReport& report) override {
        shown.push_back(report);
        if (done_) std::exchange(done_, nullptr)();
        return svc::answer::kRetry;
    }
    void Finish() override {}
    std::vector<svc::ErrorReport> shown;

private:
    std::function<void()> done_;
};

class HeldPrices : public testing::EngineTest {
protected:
    // The window on article SCI001 (grid type 1), 2025: purchase rows 0-7 list 1, stored at 35. With
    // `retry`, the user answers the error display as RetryWhenDone does.
    void Open(bool retry) {
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
        global_ = std::make_shared<svc::HostGlobalServices>(demo::kDittaAbbigliamento, connection_string_ + ";Lock Timeout=0,3");
        if (retry) {
            retry_ = std::make_shared<RetryWhenDone>([this] { holder_->RollbackTrans(); });
            global_->SetErrorDisplayFactory([d = retry_] { return d; });
        }
        testing::FillWithHostObjects(*entry_, global_);
        window_->SetActiveInterface(entry_);
        window_->SetOwner(entry_);
        window_->SetWindowState(0);
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
    void TearDown() override {
        if (holder_ && holder_->InTransaction()) holder_->RollbackTrans();
        if (global_ && window_->IsLoaded()) {
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
    void Edit(long row, const std::string& price) {
        ASSERT_TRUE(window_->GRD_LISACQ->UserEditCell(row, Prezzo(), price).accepted);
    }
    long Prezzo() const { return window_->GRD_LISACQ->Columns().IndexOf("LI10_PREZZO"); }
    // The stored purchase price of list 1 for a colour, and how many purchase rows SCI001 has stored.
    std::string Stored(const std::string& colour) {
        auto rs = holder_->Execute("SELECT LI10_PREZZO FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCI001'"
                                   " AND LI10_FLGVENDACQ = 1 AND LI10_NUMLIST = 1 AND LI10_OPZIONE_MG5E LIKE '%" +
                                   colour + "%'");
        return kv::CDec(rs->Value(0)).ToString(',');
    }
    long StoredRows() {
        return kv::CLng(holder_->Execute("SELECT COUNT(*) FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCI001'")->Value(0));
    }
    // Runs `command` against held prices; it must be over well within a second's wait per statement.
    void WhileHeld(const std::function<void()>& command) {
        Hold();
        const auto start = std::chrono::steady_clock::now();
        command();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
    std::string FirstError() {
        const auto& errors = global_->ScriptedErrors()->Reports();
        return errors.empty() ? std::string() : svc::DescribeForUser(errors[0].report).message;
    }

    testing::TempDatabase file_;
    std::string connection_string_;
    kv::ado::ConnectionPtr holder_;
    std::shared_ptr<svc::HostGlobalServices> global_;
    std::shared_ptr<RetryWhenDone> retry_;
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry_ = CLSMG_QUENDORMIXAL::Create();
    std::shared_ptr<FRMMG_QUENDORMIXAL> window_ = FRMMG_QUENDORMIXAL::Create();
};

TEST_P(HeldPrices, ASaveWaitsTheLockTimeoutThenSaysAnotherDesktopIsSavingAndKeepsTheEdits) {
    Open(false);
    Edit(0, "21");
    Edit(1, "22");
    WhileHeld([&] { window_->INTERNAV->UserClick("Conferma"); });
    ASSERT_EQ(global_->ScriptedErrors()->Reports().size(), 1u);
    EXPECT_EQ(FirstError().rfind(kAnotherDesktop, 0), 0u) << FirstError();
    EXPECT_NE(FirstError().find("Le modifiche restano nelle griglie"), std::string::npos);
    // The database's own word stays under "Dettagli".
    const std::string details = svc::DescribeForUser(global_->ScriptedErrors()->Reports()[0].report).details;
    EXPECT_NE(details.find(sqlite() ? "database is locked" : "lock timeout"), std::string::npos) << details;
    holder_->RollbackTrans();
    EXPECT_EQ(Stored("BEI"), "35");
    EXPECT_EQ(Stored("BIA"), "35");
    EXPECT_EQ(window_->GRD_LISACQ->CellText(0, Prezzo()), "21,00");
    EXPECT_TRUE(window_->State().changes_pending);

    window_->INTERNAV->UserClick("Conferma");  // the other desktop is done
    EXPECT_EQ(global_->ScriptedErrors()->Reports().size(), 1u);
    EXPECT_FALSE(window_->State().changes_pending);
    EXPECT_EQ(Stored("BEI"), "21");
    EXPECT_EQ(Stored("BIA"), "22");
}

TEST_P(HeldPrices, RiprovaOnceTheOtherDesktopIsDoneSaves) {
    Open(true);
    Edit(0, "23");
    WhileHeld([&] { window_->INTERNAV->UserClick("Conferma"); });
    ASSERT_EQ(retry_->shown.size(), 1u);
    EXPECT_EQ(retry_->shown[0].description.rfind(kAnotherDesktop, 0), 0u) << retry_->shown[0].description;
    EXPECT_FALSE(window_->State().changes_pending);
    EXPECT_EQ(Stored("BEI"), "23");
}

TEST_P(HeldPrices, ADeletionWaitsTheLockTimeoutThenSaysAnotherDesktopIsSavingAndDeletesNothing) {
    Open(false);
    const long before = StoredRows();
    global_->ScriptedMessages()->QueueAnswer(svc::answer::kYes);  // delete the purchase lists
    WhileHeld([&] { window_->INTERNAV->UserClick("Elimina"); });
    EXPECT_EQ(FirstError().rfind(kAnotherDesktop, 0), 0u) << FirstError();
    EXPECT_NE(FirstError().find("listini di acquisto"), std::string::npos) << FirstError();
    holder_->RollbackTrans();
    EXPECT_EQ(StoredRows(), before);
}

QMX_INSTANTIATE_ENGINES(HeldPrices);

}  // namespace
}  // namespace qmx
