#include "host/views/control_binding.h"

#include <QEvent>

namespace kv::qt {

using kv::controls::ControlChange;

ControlBinding::ControlBinding(std::shared_ptr<kv::controls::Control> model, QWidget* widget, Refresh refresh)
    : QObject(widget), model_(std::move(model)), widget_(widget), refresh_(std::move(refresh)) {
    sub_ = model_->Changed.Connect([this](ControlChange what) { Apply(what); });
    widget->installEventFilter(this);
    widget->setEnabled(model_->Enabled());
    widget->setToolTip(QString::fromStdString(model_->ToolTipText()));
    widget->setObjectName(QString::fromStdString(model_->Name()));
    applied_visible_ = model_->Visible();
    if (!applied_visible_) widget->setVisible(false);
    if (refresh_) refresh_(ControlChange::Layout);
}

void ControlBinding::Apply(ControlChange what) {
    if (!widget_) return;
    switch (what) {
        case ControlChange::Focus:
            widget_->setFocus(Qt::OtherFocusReason);
            return;
        case ControlChange::ZOrder:
            widget_->raise();
            return;
        case ControlChange::Geometry:
            if (reporting_) return;  // our own report coming back
            break;
        case ControlChange::Properties:
            widget_->setEnabled(model_->Enabled());
            if (follow_visible_ && applied_visible_ != model_->Visible()) {
                applied_visible_ = model_->Visible();
                widget_->setVisible(applied_visible_);
            }
            widget_->setToolTip(QString::fromStdString(model_->ToolTipText()));
            break;
        default:
            break;
    }
    if (refresh_) refresh_(what);
}

void ControlBinding::ReportGeometry() {
    if (!widget_ || !report_geometry_) return;
    const QRect g = widget_->geometry();
    reporting_ = true;
    try {
        model_->Move(PixelsToTwips(g.x()), PixelsToTwips(g.y()), PixelsToTwips(g.width()),
                     PixelsToTwips(g.height()));
    } catch (...) {
    }
    reporting_ = false;
}

bool ControlBinding::eventFilter(QObject* watched, QEvent* event) {
    if (watched == widget_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        ReportGeometry();
    return QObject::eventFilter(watched, event);
}

}  // namespace kv::qt
