#include "host/views/splitter_view.h"

#include <QEvent>
#include <algorithm>

namespace kv::qt {

using kv::controls::ControlChange;
using kv::controls::SplitDirection;

SplitterView::SplitterView(std::shared_ptr<kv::controls::Splitter> model, QWidget* parent)
    : QSplitter(parent), model_(std::move(model)) {
    setOrientation(model_->Direction() == SplitDirection::LeftRight ? Qt::Horizontal : Qt::Vertical);
    setHandleWidth(TwipsToPixels(kv::controls::Splitter::kBarSize));
    setChildrenCollapsible(false);
    new ControlBinding(model_, this, [this](ControlChange what) {
        if (what == ControlChange::Layout || what == ControlChange::Geometry ||
            what == ControlChange::Content)
            ApplyModel();
    });
    connect(this, &QSplitter::splitterMoved, this, [this](int pos, int) {
        if (applying_) return;
        model_->UserMoveBar(PixelsToTwips(pos));
    });
}

void SplitterView::setPanes(QWidget* first, QWidget* second) {
    while (count() > 0) widget(0)->setParent(nullptr);
    if (first) addWidget(first);
    if (second) addWidget(second);
    ApplyModel();
}

void SplitterView::resizeEvent(QResizeEvent* event) {
    QSplitter::resizeEvent(event);
    ApplyModel();
}

bool SplitterView::event(QEvent* event) {
    const bool done = QSplitter::event(event);
    if (event->type() == QEvent::LayoutRequest) ApplyModel();
    return done;
}

void SplitterView::ApplyModel() {
    if (applying_ || count() < 2) return;
    applying_ = true;
    const bool across = orientation() == Qt::Horizontal;
    for (int i = 0; i < 2; ++i) {
        const int designed = TwipsToPixels(model_->Pane(i + 1).MinSize());
        const QSize content = widget(i)->isVisible() || !widget(i)->isHidden() ? widget(i)->minimumSizeHint() : QSize();
        if (across)
            widget(i)->setMinimumWidth(std::max(designed, content.width()));
        else
            widget(i)->setMinimumHeight(std::max(designed, content.height()));
    }
    setChildrenCollapsible(model_->Pane(1).MinSize() == 0);
    setSizes({TwipsToPixels(model_->FirstPaneSize()), TwipsToPixels(model_->SecondPaneSize())});
    applying_ = false;
}

}  // namespace kv::qt
