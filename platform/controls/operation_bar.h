#pragma once
// OperationBar: the window's progress strip for long operations. A program shows it, lets it animate
// while work runs and hides it again; the bar also carries a status text. Style is the bar's one
// numeric display option: 0 shows the text only, 1 adds the animated busy indicator beside it.
//
// The animation runs between StartLoadingAnimation and EndLoadingAnimation while LoadingAnimation is
// True; LoadingAnimation is the switch that allows it, so turning it off also stops a running animation.

#include <string>

#include "platform/controls/control.h"

namespace kv::controls {

class OperationBar : public Control {
  public:
    static constexpr int kTextOnly = 0;
    static constexpr int kBusyIndicator = 1;

    using Control::Control;

    bool LoadingAnimation() const { return loading_animation_; }
    void SetLoadingAnimation(bool on);
    void StartLoadingAnimation();
    void EndLoadingAnimation();
    // True while the busy indicator moves.
    bool Animating() const { return started_ && loading_animation_; }

    const std::string& StatusText() const { return status_text_; }
    void SetStatusText(std::string text);

    // 0 or 1 (kTextOnly, kBusyIndicator); other values raise 380.
    int Style() const { return style_; }
    void SetStyle(int style);

  private:
    bool loading_animation_ = false;
    bool started_ = false;
    std::string status_text_;
    int style_ = kTextOnly;
};

}  // namespace kv::controls
