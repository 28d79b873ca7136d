#include "platform/controls/operation_bar.h"

#include "platform/variant/error.h"

namespace kv::controls {

void OperationBar::SetLoadingAnimation(bool on) {
    loading_animation_ = on;
    if (!on) started_ = false;
    Notify(ControlChange::Properties);
}

void OperationBar::StartLoadingAnimation() {
    started_ = true;
    Notify(ControlChange::Properties);
}

void OperationBar::EndLoadingAnimation() {
    started_ = false;
    Notify(ControlChange::Properties);
}

void OperationBar::SetStatusText(std::string text) {
    status_text_ = std::move(text);
    Notify(ControlChange::Content);
}

void OperationBar::SetStyle(int style) {
    if (style != kTextOnly && style != kBusyIndicator)
        throw Error(kInvalidPropertyValue,
                    "Invalid property value: operation bar style " + std::to_string(style), Name());
    style_ = style;
    Notify(ControlChange::Properties);
}

}  // namespace kv::controls
