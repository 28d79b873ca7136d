#pragma once
// Qt view of a split control: a QSplitter holding the two panes' views. The model's position and
// minimum sizes set the pane sizes; the user's drag is handed to the model, which keeps it within the
// minimums and raises PositionChanged.

#include <QSplitter>
#include <memory>

#include "host/views/control_binding.h"
#include "platform/controls/splitter.h"

namespace kv::qt {

class SplitterView : public QSplitter {
  public:
    explicit SplitterView(std::shared_ptr<kv::controls::Splitter> model, QWidget* parent = nullptr);
    // Puts the views of the two panes' controls in (either may be null until the form has it).
    void setPanes(QWidget* first, QWidget* second);
    kv::controls::Splitter& model() { return *model_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ApplyModel();
    std::shared_ptr<kv::controls::Splitter> model_;
    bool applying_ = false;
};

}  // namespace kv::qt
