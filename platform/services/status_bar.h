#pragma once
// The host's status bar, as a component writes to it: numbered text panels (1-based, as the host
// numbers them); a component writes the state of a long operation into panel 2. The host view renders
// the panels and follows PanelTextChanged.

#include <string>
#include <vector>

#include "platform/services/event.h"
#include "platform/variant/variant.h"

namespace kv::services {

class StatusBarService : public kv::Object {
public:
    ~StatusBarService() override;
    virtual int PanelCount() const = 0;
    // REQUIRES 1 <= index <= PanelCount(); otherwise kv::Error 9 (subscript out of range).
    virtual std::string PanelText(int index) const = 0;
    virtual void SetPanelText(int index, const std::string& text) = 0;
};

class HostStatusBar : public StatusBarService {
public:
    // A bar of panel_count panels, all empty.
    explicit HostStatusBar(int panel_count = 3);
    int PanelCount() const override { return static_cast<int>(panels_.size()); }
    std::string PanelText(int index) const override;
    void SetPanelText(int index, const std::string& text) override;

    // Raised after a panel's text changed: (index, text).
    Event<int, const std::string&> PanelTextChanged;

private:
    std::size_t Slot(int index) const;
    std::vector<std::string> panels_;
};

}  // namespace kv::services
