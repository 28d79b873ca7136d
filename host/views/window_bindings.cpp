#include "host/views/window_bindings.h"

#include <QEvent>

#include "host/views/control_binding.h"

namespace kv::qt {

ResizeBinding::ResizeBinding(std::shared_ptr<kv::controls::ResizeControl> model, QWidget* window)
    : QObject(window), model_(std::move(model)), window_(window) {
    window->installEventFilter(this);
}

bool ResizeBinding::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::Resize)
        model_->UserResize(PixelsToTwips(window_->width()), PixelsToTwips(window_->height()));
    return QObject::eventFilter(watched, event);
}

HostContainerBinding::HostContainerBinding(std::shared_ptr<kv::controls::HostContainer> model,
                                           QWidget* window)
    : QObject(window), model_(std::move(model)), window_(window) {
    sub_ = model_->Changed.Connect([this](kv::controls::ControlChange what) {
        if (what == kv::controls::ControlChange::Geometry) Place();
    });
}

void HostContainerBinding::Place() {
    if (!window_) return;
    window_->setGeometry(TwipsToPixels(model_->Left()), TwipsToPixels(model_->Top()),
                         TwipsToPixels(model_->Width()), TwipsToPixels(model_->Height()));
}

}  // namespace kv::qt
