#pragma once
// Splitter: two panes, each holding one named control, with a bar between them that the user drags.
// Position is the share of the first pane in percent (0..100) of the splitter's width (panes side by
// side) or height (panes one above the other). Each pane has a minimum size in twips; the sizes the
// panes get honour both minimums whenever the splitter is large enough for both.
//
// PositionChanged is raised when the user drags the bar; a program setting Position only moves it
// (the window runs its own position handlers after it moves the bars).

#include <string>
#include <string_view>

#include "platform/controls/control.h"

namespace kv::controls {

enum class SplitDirection { LeftRight, TopBottom };

class Splitter;

class SplitPane {
  public:
    long Index() const { return index_; }  // 1 or 2
    const std::string& ControlName() const { return control_; }
    long MinSize() const { return min_size_; }
    // Negative raises 380.
    void SetMinSize(long twips);

  private:
    friend class Splitter;
    SplitPane(Splitter* owner, long index) : owner_(owner), index_(index) {}
    Splitter* owner_;
    long index_;
    std::string control_;
    long min_size_ = 0;
};

class Splitter : public Control {
  public:
    Splitter(std::string name, SplitDirection direction);

    SplitDirection Direction() const { return direction_; }
    // Puts the named control into pane 1 or 2 (5 for another index).
    void SetPaneControl(long index, std::string control_name);
    // By 1-based index (35600 otherwise) or by the name of the control it holds (35601 otherwise).
    SplitPane& Pane(long index);
    SplitPane& Pane(std::string_view control_name);
    const SplitPane& Pane(long index) const { return const_cast<Splitter*>(this)->Pane(index); }

    long Position() const { return position_; }
    // Clamped to 0..100.
    void SetPosition(long percent);
    // System colour or RGB value, shown on the bar.
    long BackColor() const { return back_color_; }
    void SetBackColor(long colour);

    // Sizes in twips along the split direction: the first pane's share of the length less the bar,
    // kept within both minimums when they fit.
    long Length() const { return direction_ == SplitDirection::LeftRight ? Width() : Height(); }
    long FirstPaneSize() const;
    long SecondPaneSize() const;
    static constexpr long kBarSize = 60;

    // The user dragged the bar so that the first pane would be `first_pane_twips` long: the size is
    // kept within the minimums, Position follows, and PositionChanged is raised. False when the
    // splitter is disabled or hidden.
    bool UserMoveBar(long first_pane_twips);

    Event<> PositionChanged;

  private:
    friend class SplitPane;
    long ClampFirst(long first) const;

    SplitDirection direction_;
    SplitPane pane1_;
    SplitPane pane2_;
    long position_ = 50;
    long back_color_ = 0;
};

}  // namespace kv::controls
