#pragma once
// The Qt form of FRMMG_QUENDORMIXAL: the views of the window's controls, laid out the way the window
// is designed. From the top: the command toolbar; the header (article and its description, option,
// second-level variant and segment, the purchase and sales validity dates, each date's
// "Da Configurazione" combo box in the date's own place); then the left/right split with the side
// lists and the copy buttons on the left and, on the right, the purchase area over the sales area,
// each a heading over its price grid; the operation bar at the bottom.
//
// The form only places views: what shows, what is enabled and how big the split panes are come from
// the control models, which the window drives. The form holds the models through its views, never
// the window itself (the presenter keeps the window alive while it is open).

#include <QWidget>

namespace qmx {
class FRMMG_QUENDORMIXAL;
}

namespace qmx::qt {

// Builds the form; `parent` owns it (the caller does when it is null). The form's title is the
// window's caption, its size the window's designed size, and it carries the window's state for the
// presenter (see host/services/form_factory.h). Once built, the form raises the host container's
// FormLoad: the window is in.
QWidget* CreateForm(FRMMG_QUENDORMIXAL& window, QWidget* parent = nullptr);

}  // namespace qmx::qt
