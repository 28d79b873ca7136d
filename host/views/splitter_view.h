#pragma once
// Qt view of a split control: a QSplitter holding the two panes' views. The model's position and
// minimum sizes set the pane sizes; the user's drag is handed to the model, which keeps it within the
// minimums and raises PositionChanged. A pane is never made narrower than its content needs to be read
// (its minimum size hint), whatever the model's minimum: a side list cut to half its words is no list.

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
    // A pane whose content asks for another size (a list that widened its columns) is sized again.
    bool event(QEvent* event) override;

  private:
    void ApplyModel();
    std::shared_ptr<kv::controls::Splitter> model_;
    bool applying_ = false;
};

}  // namespace kv::qt
