#include "host/views/bar_views.h"

#include <QAction>
#include <QHBoxLayout>

namespace kv::qt {

using kv::controls::ControlChange;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

// ---- ToolbarView

ToolbarView::ToolbarView(std::shared_ptr<kv::controls::Toolbar> model, QWidget* parent)
    : QToolBar(parent), model_(std::move(model)) {
    setMovable(false);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    new ControlBinding(model_, this, [this](ControlChange what) {
        if (what == ControlChange::Layout) Rebuild();
        ShowStates();
    });
}

void ToolbarView::Rebuild() {
    clear();
    actions_.clear();
    for (long i = 0; i < model_->ButtonCount(); ++i) {
        const auto& b = model_->Button(i);
        QAction* a = addAction(Q(b.caption).trimmed());
        a->setData(Q(b.key));
        a->setObjectName(Q(b.key));
        a->setCheckable(b.checkable);
        const std::string key = b.key;
        // A toggle shows the model's state, not Qt's own: the model decides whether the click counts.
        connect(a, &QAction::triggered, this, [this, key] {
            model_->UserClick(key);
            ShowStates();
        });
        actions_.push_back(a);
    }
}

void ToolbarView::ShowStates() {
    for (long i = 0; i < model_->ButtonCount() && i < static_cast<long>(actions_.size()); ++i) {
        const auto& b = model_->Button(i);
        actions_[static_cast<std::size_t>(i)]->setEnabled(b.enabled);
        actions_[static_cast<std::size_t>(i)]->setVisible(b.visible);
        if (b.checkable) actions_[static_cast<std::size_t>(i)]->setChecked(b.checked);
    }
}

QAction* ToolbarView::action(const QString& key) const {
    for (QAction* a : actions_)
        if (a->data().toString().compare(key, Qt::CaseInsensitive) == 0) return a;
    return nullptr;
}

// ---- OperationBarView

OperationBarView::OperationBarView(std::shared_ptr<kv::controls::OperationBar> model, QWidget* parent)
    : QWidget(parent), model_(std::move(model)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    label_ = new QLabel(this);
    indicator_ = new QProgressBar(this);
    indicator_->setRange(0, 0);  // busy: no known end
    indicator_->setTextVisible(false);
    indicator_->setMaximumHeight(12);
    layout->addWidget(label_, 1);
    layout->addWidget(indicator_, 2);
    new ControlBinding(model_, this, [this](ControlChange) {
        label_->setText(Q(model_->StatusText()));
        indicator_->setVisible(model_->Style() == kv::controls::OperationBar::kBusyIndicator &&
                               model_->Animating());
    });
}

// ---- StatusBarView

StatusBarView::StatusBarView(std::shared_ptr<kv::services::HostStatusBar> model, QWidget* parent)
    : QStatusBar(parent), model_(std::move(model)) {
    for (int i = 1; i <= model_->PanelCount(); ++i) {
        auto* label = new QLabel(Q(model_->PanelText(i)), this);
        label->setObjectName(QStringLiteral("panel%1").arg(i));
        addWidget(label, i == 2 ? 1 : 0);  // panel 2 carries the operation texts and takes the room
        panels_.push_back(label);
    }
    sub_ = model_->PanelTextChanged.Connect([this](int index, const std::string& text) {
        if (QLabel* l = panel(index)) l->setText(Q(text));
    });
}

QLabel* StatusBarView::panel(int index) const {
    if (index < 1 || index > static_cast<int>(panels_.size())) return nullptr;
    return panels_[static_cast<std::size_t>(index - 1)];
}

}  // namespace kv::qt
