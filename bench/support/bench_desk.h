#pragma once
// One desktop as the benchmarks use it: the host's objects over a company database and the price-list
// window on them, driven through the window's control models as a user drives it (typing into the
// header, picking a side-list row, editing a cell, pressing a toolbar key), with no toolkit - the way
// erp-host's script runner drives it. What the window shows the user goes to the scripted dialogs,
// unless the desk is given a message service of its own.

#include <memory>
#include <string>

#include "platform/controls/data_grid.h"
#include "platform/controls/entry_field.h"
#include "platform/services/dialogs.h"
#include "platform/services/global_services.h"
#include "platform/variant/date.h"
#include "shell/clsmg_quendormixal.h"
#include "window/frmmg_quendormixal.h"

namespace qmx::bench {

class BenchDesk {
public:
    // Opens the window (its load opens its own connection from `connection_string`). `messages`: the
    // message service the window asks through; the scripted one when null.
    BenchDesk(int company, const std::string& connection_string, kv::Date today,
              std::shared_ptr<kv::services::MessageService> messages = nullptr);
    // Closes the window, dropping unsaved prices.
    ~BenchDesk();
    BenchDesk(const BenchDesk&) = delete;
    BenchDesk& operator=(const BenchDesk&) = delete;

    FRMMG_QUENDORMIXAL& Window() { return *window_; }
    kv::services::HostGlobalServices& Global() { return *global_; }

    // Types into a header field and leaves it. Raises std::runtime_error when the field refuses it.
    void Type(kv::controls::EntryField& field, const std::string& text);
    // Types `text` into the cell of visible row `row` and the column bound to `field`, and confirms it
    // with Enter. Raises std::runtime_error when the cell cannot be reached or refuses the text.
    void Edit(kv::controls::DataGrid& grid, long row, const std::string& field, const std::string& text);
    // Picks row `row` (from 0) of the first side list. Raises std::runtime_error when it cannot.
    void Pick(long row);
    // Presses a toolbar key.
    void Click(const std::string& key);
    // The errors the window reported since the desk opened; the last one's description.
    std::size_t Errors() const;
    std::string LastError() const;

private:
    std::shared_ptr<kv::services::HostGlobalServices> global_;
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry_;
    std::shared_ptr<FRMMG_QUENDORMIXAL> window_;
};

}  // namespace qmx::bench
