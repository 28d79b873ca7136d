#include "platform/services/status_bar.h"

namespace kv::services {

StatusBarService::~StatusBarService() = default;

HostStatusBar::HostStatusBar(int panel_count) : panels_(panel_count > 0 ? panel_count : 0) {}

std::size_t HostStatusBar::Slot(int index) const {
    if (index < 1 || index > PanelCount())
        throw kv::Error(9, "Subscript out of range: the status bar has no panel " + std::to_string(index),
                        "StatusBar.Panels");
    return static_cast<std::size_t>(index - 1);
}

std::string HostStatusBar::PanelText(int index) const { return panels_[Slot(index)]; }

void HostStatusBar::SetPanelText(int index, const std::string& text) {
    panels_[Slot(index)] = text;
    PanelTextChanged.Raise(index, text);
}

}  // namespace kv::services
