#pragma once
// The desk a script's window stands on: erp-host's frame at its default size, drawn off screen, where
// the script runner (which drives the window through its control models, without the toolkit) asks
// what a user would see. Two questions:
//  - Reach: could a user act on a control (or on one button of the toolbar) right now? Only when the
//    control and every container it lies in are shown and enabled and its middle is inside the frame
//    and inside every container (a pane squeezed to nothing, or a button pushed past the edge, cannot
//    be clicked). The answer is "" or the reason, in a tester's words, with where the control is
//    drawn in the frame (a test that drives the real window clicks there).
//  - Picture: the window as it stands in the frame, written to a PNG, with a message box or the error
//    display drawn over it when one is given, built as the host builds it for the user.
// Each question builds the window's form anew over its models, lays it out as the frame lays it out
// and drops it: the form only renders the models and raises none of their events, so a script runs
// the same whether it asks or not. The toolkit starts on the first question, off screen unless
// QT_QPA_PLATFORM says otherwise.

#include <QSize>
#include <memory>
#include <string>

#include "host/script/script_runner.h"

class QApplication;
class QWidget;

namespace kv::host {

class HostMainWindow;

class ScriptDesk {
  public:
    // `program` is the process's name for the toolkit; `frame` the frame's size (erp-host's default).
    explicit ScriptDesk(char* program, QSize frame = QSize(1280, 800));
    ~ScriptDesk();
    ScriptDesk(const ScriptDesk&) = delete;
    ScriptDesk& operator=(const ScriptDesk&) = delete;

    ControlPlace Reach(const std::shared_ptr<kv::Object>& window, const std::string& module,
                       const std::string& control, const std::string& item);
    std::string Picture(const std::shared_ptr<kv::Object>& window, const std::string& module, const std::string& file,
                        const PictureMessage* message);

    // Whether a widget of a form laid out in `top` could be used: "" or the reason (`what` names it).
    static std::string Judge(QWidget* top, QWidget* widget, const std::string& what);

  private:
    class Placed;
    void StartToolkit();
    // The window's form in the frame, laid out; null with `problem` set when it cannot be built.
    std::unique_ptr<Placed> Place(const std::shared_ptr<kv::Object>& window, const std::string& module,
                                  std::string& problem);

    int argc_ = 1;
    char* argv_[2];
    QSize frame_size_;
    std::unique_ptr<QApplication> app_;
    std::unique_ptr<HostMainWindow> frame_;
};

}  // namespace kv::host
