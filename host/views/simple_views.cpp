#include "host/views/simple_views.h"

namespace kv::qt {

using kv::controls::ControlChange;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

Qt::Alignment LabelAlignment(int a) {
    switch (a) {
        case 1:
            return Qt::AlignRight | Qt::AlignVCenter;
        case 2:
            return Qt::AlignHCenter | Qt::AlignVCenter;
        default:
            return Qt::AlignLeft | Qt::AlignVCenter;
    }
}
}  // namespace

LabelView::LabelView(std::shared_ptr<kv::controls::Label> model, QWidget* parent)
    : QLabel(parent), model_(std::move(model)) {
    new ControlBinding(model_, this, [this](ControlChange) {
        setText(Q(model_->Caption()));
        setAlignment(LabelAlignment(model_->Alignment()));
    });
}

PanelView::PanelView(std::shared_ptr<kv::controls::Panel> model, QWidget* parent)
    : QFrame(parent), model_(std::move(model)) {
    setFrameShape(QFrame::NoFrame);
    new ControlBinding(model_, this, nullptr);
}

GroupBoxView::GroupBoxView(std::shared_ptr<kv::controls::GroupBox> model, QWidget* parent)
    : QGroupBox(parent), model_(std::move(model)) {
    new ControlBinding(model_, this, [this](ControlChange) { setTitle(Q(model_->Caption())); });
}

TextFieldView::TextFieldView(std::shared_ptr<kv::controls::TextField> model, QWidget* parent)
    : QLineEdit(parent), model_(std::move(model)) {
    new ControlBinding(model_, this, [this](ControlChange) { Show(); });
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        model_->UserType(text.toStdString());
        Show();  // the model may have cut the text
    });
}

void TextFieldView::Show() {
    const QString t = Q(model_->Text());
    if (text() != t) setText(t);
    setMaxLength(model_->MaxLength() > 0 ? static_cast<int>(model_->MaxLength()) : 32767);
    setReadOnly(model_->Locked());
}

CommandButtonView::CommandButtonView(std::shared_ptr<kv::controls::CommandButton> model, QWidget* parent)
    : QPushButton(parent), model_(std::move(model)) {
    new ControlBinding(model_, this, [this](ControlChange) { setText(Q(model_->Caption())); });
    connect(this, &QPushButton::clicked, this, [this] { model_->UserClick(); });
}

ComboBoxView::ComboBoxView(std::shared_ptr<kv::controls::ComboBox> model, QWidget* parent)
    : QComboBox(parent), model_(std::move(model)) {
    // Editable, so that a text that is not an item (the "0" a program shows) can be displayed.
    setEditable(true);
    new ControlBinding(model_, this, [this](ControlChange) { Show(); });
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        if (showing_) return;
        if (!model_->UserSelect(index)) Show();
    });
}

void ComboBoxView::Show() {
    showing_ = true;
    clear();
    for (long i = 0; i < model_->ListCount(); ++i) addItem(Q(model_->List(i)));
    setCurrentIndex(static_cast<int>(model_->ListIndex()));
    setEditText(Q(model_->Text()));
    showing_ = false;
}

}  // namespace kv::qt
