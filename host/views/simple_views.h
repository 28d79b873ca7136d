#pragma once
// Qt views of the plain controls. Each renders its model and forwards the user's input to the model's
// User* methods; none decides anything itself.

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "host/views/control_binding.h"
#include "platform/controls/simple_controls.h"

namespace kv::qt {

class LabelView : public QLabel {
  public:
    explicit LabelView(std::shared_ptr<kv::controls::Label> model, QWidget* parent = nullptr);
    kv::controls::Label& model() { return *model_; }

  private:
    std::shared_ptr<kv::controls::Label> model_;
};

class PanelView : public QFrame {
  public:
    explicit PanelView(std::shared_ptr<kv::controls::Panel> model, QWidget* parent = nullptr);

  private:
    std::shared_ptr<kv::controls::Panel> model_;
};

class GroupBoxView : public QGroupBox {
  public:
    explicit GroupBoxView(std::shared_ptr<kv::controls::GroupBox> model, QWidget* parent = nullptr);

  private:
    std::shared_ptr<kv::controls::GroupBox> model_;
};

class TextFieldView : public QLineEdit {
  public:
    explicit TextFieldView(std::shared_ptr<kv::controls::TextField> model, QWidget* parent = nullptr);

  private:
    void Show();
    std::shared_ptr<kv::controls::TextField> model_;
};

class CommandButtonView : public QPushButton {
  public:
    explicit CommandButtonView(std::shared_ptr<kv::controls::CommandButton> model, QWidget* parent = nullptr);

  private:
    std::shared_ptr<kv::controls::CommandButton> model_;
};

class ComboBoxView : public QComboBox {
  public:
    explicit ComboBoxView(std::shared_ptr<kv::controls::ComboBox> model, QWidget* parent = nullptr);

  private:
    void Show();
    std::shared_ptr<kv::controls::ComboBox> model_;
    bool showing_ = false;
};

}  // namespace kv::qt
