#include "host/views/view_factory.h"

#include "host/views/bar_views.h"
#include "host/views/data_grid_view.h"
#include "host/views/entry_views.h"
#include "host/views/simple_views.h"
#include "host/views/splitter_view.h"
#include "host/views/window_bindings.h"
#include "platform/variant/strings.h"

namespace kv::qt {

using namespace kv::controls;

namespace {
template <class M>
std::shared_ptr<M> As(const std::shared_ptr<Control>& model) {
    return std::dynamic_pointer_cast<M>(model);
}
}  // namespace

QWidget* CreateView(const std::shared_ptr<Control>& model, QWidget* parent) {
    if (!model) return nullptr;
    if (auto m = As<DataGrid>(model)) return new DataGridView(m, parent);
    if (auto m = As<LookupField>(model)) return new LookupFieldView(m, parent);
    if (auto m = As<DateField>(model)) return new DateFieldView(m, parent);
    if (auto m = As<Toolbar>(model)) return new ToolbarView(m, parent);
    if (auto m = As<OperationBar>(model)) return new OperationBarView(m, parent);
    if (auto m = As<Splitter>(model)) return new SplitterView(m, parent);
    if (auto m = As<TextField>(model)) return new TextFieldView(m, parent);
    if (auto m = As<Label>(model)) return new LabelView(m, parent);
    if (auto m = As<GroupBox>(model)) return new GroupBoxView(m, parent);
    if (auto m = As<Panel>(model)) return new PanelView(m, parent);
    if (auto m = As<CommandButton>(model)) return new CommandButtonView(m, parent);
    if (auto m = As<ComboBox>(model)) return new ComboBoxView(m, parent);
    return nullptr;  // ResizeControl, HostContainer: no widget of their own
}

QWidget* FormBuilder::Add(const std::shared_ptr<Control>& model) {
    if (!model) return nullptr;
    const std::string key = UCase(model->Name());
    if (auto it = views_.find(key); it != views_.end()) return it->second;
    models_.push_back(model);
    if (auto m = As<ResizeControl>(model)) {
        new ResizeBinding(m, window_);
        return nullptr;
    }
    if (auto m = As<HostContainer>(model)) {
        new HostContainerBinding(m, window_);
        return nullptr;
    }
    QWidget* view = CreateView(model, window_);
    if (view) views_[key] = view;
    return view;
}

QWidget* FormBuilder::View(const std::string& name) const {
    auto it = views_.find(UCase(name));
    return it == views_.end() ? nullptr : it->second;
}

void FormBuilder::ConnectSplitters() {
    for (const auto& model : models_) {
        auto split = As<Splitter>(model);
        if (!split) continue;
        auto* view = ViewAs<SplitterView>(split->Name());
        if (!view) continue;
        view->setPanes(View(split->Pane(1).ControlName()), View(split->Pane(2).ControlName()));
    }
}

}  // namespace kv::qt
