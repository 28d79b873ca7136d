#pragma once
// Qt views of the window's bars: the command toolbar, the operation bar and the host frame's status bar.

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>
#include <memory>
#include <vector>

#include "host/views/control_binding.h"
#include "platform/controls/operation_bar.h"
#include "platform/controls/toolbar.h"
#include "platform/services/status_bar.h"

class QAction;

namespace kv::qt {

class ToolbarView : public QToolBar {
  public:
    explicit ToolbarView(std::shared_ptr<kv::controls::Toolbar> model, QWidget* parent = nullptr);
    // The action showing the button with that key (nullptr when none), for shortcuts and tests.
    QAction* action(const QString& key) const;

  private:
    void Rebuild();
    void ShowStates();
    std::shared_ptr<kv::controls::Toolbar> model_;
    std::vector<QAction*> actions_;
};

class OperationBarView : public QWidget {
  public:
    explicit OperationBarView(std::shared_ptr<kv::controls::OperationBar> model, QWidget* parent = nullptr);
    QLabel* label() const { return label_; }
    QProgressBar* indicator() const { return indicator_; }

  private:
    std::shared_ptr<kv::controls::OperationBar> model_;
    QLabel* label_;
    QProgressBar* indicator_;
};

// The host frame's status bar: one label per panel of the host's status-bar service.
class StatusBarView : public QStatusBar {
  public:
    explicit StatusBarView(std::shared_ptr<kv::services::HostStatusBar> model, QWidget* parent = nullptr);
    QLabel* panel(int index) const;  // 1-based, as the service numbers them

  private:
    std::shared_ptr<kv::services::HostStatusBar> model_;
    std::vector<QLabel*> panels_;
    kv::services::Subscription sub_;
};

}  // namespace kv::qt
