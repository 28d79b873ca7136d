#include "platform/services/window_presenter.h"

#include "platform/services/dispatch.h"

#include <algorithm>

namespace kv::services {

PresentableWindow::~PresentableWindow() = default;

kv::Variant PresentableWindow::Command(std::string_view name, const std::vector<kv::Variant>& args) {
    (void)args;
    throw MemberNotSupported(name, Name());
}
WindowPresenter::~WindowPresenter() = default;

bool HeadlessWindowPresenter::IsOpen(const PresentableWindow& window) const {
    return std::any_of(open_.begin(), open_.end(), [&](const auto& w) { return w.get() == &window; });
}

void HeadlessWindowPresenter::Show(const std::shared_ptr<PresentableWindow>& window, bool modal) {
    if (!window) throw kv::Error(kv::err::kObjectNotSet, "No window to show", "WindowPresenter.Show");
    shows_.push_back({window->Name(), modal});
    if (!IsOpen(*window)) open_.push_back(window);
    auto keep = window;  // the window may close (and be forgotten) while it is being activated
    keep->Activate();
    if (!modal || !keep->IsLoaded()) return;
    if (modal_script_) modal_script_(*keep);
    if (keep->IsLoaded() && !keep->RequestClose())
        throw kv::Error(kv::err::kInvalidCall, "The modal window " + keep->Name() + " refused to close",
                        "WindowPresenter.Show");
}

void HeadlessWindowPresenter::Closed(const PresentableWindow& window) {
    std::erase_if(open_, [&](const auto& w) { return w.get() == &window; });
}

}  // namespace kv::services
