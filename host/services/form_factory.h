#pragma once
// Forms of component windows. The host shows a component's window through its WindowPresenter, which
// knows only PresentableWindow; the widget that renders the window is made by the component module
// itself, which knows the window's controls. A module whose windows have a Qt form exports
//
//   extern "C" QWidget* kv_qt_create_form(const std::shared_ptr<kv::Object>* window, QWidget* parent);
//
// which returns a new widget showing the window (a child of parent when one is given, otherwise the
// caller owns it), or nullptr when the object is not a window of that module. It lets no exception
// out. The form sets its windowTitle to the window's caption, resizes itself to the window's designed
// size and carries the window's state (0 normal, 1 minimized, 2 maximized) in the property named by
// kFormWindowStateProperty, so the presenter can show it as the window asks.

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "platform/variant/variant.h"

namespace kv::qt {

using CreateFormFunction = QWidget* (*)(const std::shared_ptr<kv::Object>* window, QWidget* parent);
inline constexpr const char* kCreateFormSymbol = "kv_qt_create_form";
inline constexpr const char* kFormWindowStateProperty = "kvWindowState";

// Makes the form of a window; nullptr when it does not know the window.
using FormFactory = std::function<QWidget*(const std::shared_ptr<kv::Object>& window, QWidget* parent)>;

// The form factory of a module the process has loaded (by its path, as ComponentModule::Path gives
// it); an empty function when the module is not loaded or exports none.
FormFactory FindFormFactory(const std::string& module_path);

}  // namespace kv::qt
