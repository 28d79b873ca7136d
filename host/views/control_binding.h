#pragma once
// ControlBinding: what every view does with its model's container properties. It shows Enabled,
// Visible and the tool-tip text on the widget, takes the focus or comes to the front when the program
// asks, and reports the widget's real position and size back to the model in twips (the Qt layouts
// own the geometry; the model's numbers are what the window reads). On any other change it calls the
// view's own refresh. Views own one binding each; it ends its subscription when destroyed.

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/controls/control.h"

namespace kv::qt {

class ControlBinding : public QObject {
  public:
    using Refresh = std::function<void(kv::controls::ControlChange)>;

    // The binding watches `widget` (its parent) and calls `refresh` for the model's changes other than
    // Focus and ZOrder, after the common properties were applied; refresh is called once at once.
    ControlBinding(std::shared_ptr<kv::controls::Control> model, QWidget* widget, Refresh refresh);

    // Widgets whose Visible is the layout's business (a container's child it hides) may opt out.
    void setFollowVisible(bool follow) { follow_visible_ = follow; }
    // A widget that is only a part of a composite view does not report its geometry as the control's.
    void setReportGeometry(bool report) { report_geometry_ = report; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Apply(kv::controls::ControlChange what);
    void ReportGeometry();

    std::shared_ptr<kv::controls::Control> model_;
    QPointer<QWidget> widget_;
    Refresh refresh_;
    kv::controls::Subscription sub_;
    bool follow_visible_ = true;
    bool report_geometry_ = true;
    bool applied_visible_ = true;
    bool reporting_ = false;
};

// Twips <-> pixels at the platform's standard resolution.
inline int TwipsToPixels(long twips) { return static_cast<int>(twips / kv::controls::kTwipsPerPixel); }
inline long PixelsToTwips(int pixels) { return static_cast<long>(pixels) * kv::controls::kTwipsPerPixel; }

}  // namespace kv::qt
