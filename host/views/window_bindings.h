#pragma once
// The window-level controls have no widget of their own: the resize control follows the window's
// size, and the host container places the window inside the host frame.

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "platform/controls/resize_control.h"

namespace kv::qt {

// Tells the resize control the window's size (in twips) each time the window is resized.
class ResizeBinding : public QObject {
  public:
    ResizeBinding(std::shared_ptr<kv::controls::ResizeControl> model, QWidget* window);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::shared_ptr<kv::controls::ResizeControl> model_;
    QPointer<QWidget> window_;
};

// Places `window` (the host frame's sub-window that carries the component's window) where the program
// puts the container, in twips; LoadForm is the host's to call once the window is in.
class HostContainerBinding : public QObject {
  public:
    HostContainerBinding(std::shared_ptr<kv::controls::HostContainer> model, QWidget* window);

  private:
    void Place();
    std::shared_ptr<kv::controls::HostContainer> model_;
    QPointer<QWidget> window_;
    kv::controls::Subscription sub_;
};

}  // namespace kv::qt
