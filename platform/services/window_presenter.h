#pragma once
// Showing a component's window without the component knowing the toolkit. A window that can be shown
// implements PresentableWindow; the host supplies a WindowPresenter (the Qt host puts the window's form
// on screen; a headless host only plays the part). The presenter keeps every window it shows alive
// until the window reports that it has closed, the way the host's list of open windows does: a window
// stays open even when its creator lets go of it.
//
// Show(window, modal):
//  - the window becomes active once shown: the presenter calls Activate();
//  - modeless: returns right after;
//  - modal: returns only when the window has closed.
// The window calls Closed(window) after it has unloaded; the presenter then forgets it.
//
// HeadlessWindowPresenter: modeless shows return at once and the window stays open until something
// closes it. A modal show runs the modal script (what a user would do while the window is up) and then
// asks the window to close, as the user closing it; when the window refuses to close, Show raises
// kv::Error 5 instead of waiting for ever.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/variant/variant.h"

namespace kv::services {

class PresentableWindow : public kv::Object {
public:
    ~PresentableWindow() override;
    virtual std::string Name() const = 0;
    virtual bool IsLoaded() const = 0;
    // The window has become the active window.
    virtual void Activate() = 0;
    // The user asks to close the window; true when it has closed.
    virtual bool RequestClose() = 0;
    // The window's control of that name (a control model), null when it has none. A host that drives
    // the window without a display (a script, a support session) reaches the controls this way.
    virtual std::shared_ptr<kv::Object> Control(std::string_view name) const {
        (void)name;
        return nullptr;
    }
    // A command of the window's own beyond its controls (a spreadsheet paste, a CSV export), by name
    // with its arguments, for such a host. kv::Error 438 when the window has no command of that name.
    virtual kv::Variant Command(std::string_view name, const std::vector<kv::Variant>& args);
};

class WindowPresenter {
public:
    virtual ~WindowPresenter();
    virtual void Show(const std::shared_ptr<PresentableWindow>& window, bool modal) = 0;
    virtual void Closed(const PresentableWindow& window) = 0;
};

class HeadlessWindowPresenter : public WindowPresenter {
public:
    using ModalScript = std::function<void(PresentableWindow&)>;

    void Show(const std::shared_ptr<PresentableWindow>& window, bool modal) override;
    void Closed(const PresentableWindow& window) override;

    // Runs inside each modal show, while the window is up.
    void SetModalScript(ModalScript script) { modal_script_ = std::move(script); }

    struct ShowRecord {
        std::string window;
        bool modal = false;
    };
    const std::vector<ShowRecord>& Shows() const { return shows_; }
    // Windows shown and not closed yet.
    const std::vector<std::shared_ptr<PresentableWindow>>& OpenWindows() const { return open_; }

private:
    bool IsOpen(const PresentableWindow& window) const;

    ModalScript modal_script_;
    std::vector<ShowRecord> shows_;
    std::vector<std::shared_ptr<PresentableWindow>> open_;
};

}  // namespace kv::services
