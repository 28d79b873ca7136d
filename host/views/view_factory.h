#pragma once
// Building a Qt form from control models. CreateView makes the view of one model (nullptr for the
// window-level controls that have no widget: resize control, host container). FormBuilder does it for
// a whole window: it keeps the views by control name, puts each splitter's pane controls into it, and
// binds the window-level controls to the window widget. The form then only lays the views out.

#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/control.h"

namespace kv::qt {

QWidget* CreateView(const std::shared_ptr<kv::controls::Control>& model, QWidget* parent = nullptr);

class FormBuilder {
  public:
    // `window` is the form's top widget: views are created as its children, and the resize control
    // and host container follow it.
    explicit FormBuilder(QWidget* window) : window_(window) {}

    // Creates (once) the view of the model and returns it; nullptr for a window-level control, which is
    // bound to the window instead.
    QWidget* Add(const std::shared_ptr<kv::controls::Control>& model);
    // The view of the control with that name (case-insensitive); nullptr when none was added.
    QWidget* View(const std::string& name) const;
    template <class V>
    V* ViewAs(const std::string& name) const {
        return dynamic_cast<V*>(View(name));
    }

    // Puts into every splitter the views of the controls its panes name. Call once every control was
    // added (a pane may name a splitter added later).
    void ConnectSplitters();

  private:
    QWidget* window_;
    std::vector<std::shared_ptr<kv::controls::Control>> models_;
    std::map<std::string, QWidget*> views_;  // by upper-case name
};

}  // namespace kv::qt
