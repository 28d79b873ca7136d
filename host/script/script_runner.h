#pragma once
// The script runner of erp-host (--script FILE): opens the price-list window without a display and
// performs a script's lines in order, each the way a user would through the window's control models,
// so every event and message of the real window happens. What the script asks to see is written to
// the output; the reason a line could not be performed goes to the error stream.
//
// The format (docs/scripting.md has it with examples): one command a line; a line whose first
// non-blank character is '#' is a comment; blank lines are skipped. Fields are separated by blanks; the
// last field of a command takes the rest of the line as it stands, and a field before it that holds
// blanks is written between double quotes.
//   type FIELD TEXT           types TEXT into a header field and leaves it
//   side N ROW                picks row ROW (from 1) of side list N (1 or 2)
//   cell GRID ROW COLUMN TEXT types TEXT into a cell of the purchase (acq) or sales (ven) grid and
//                             confirms it with Enter; COLUMN is a caption or a bound field name
//   click KEY                 a toolbar key (Conferma, Annulla, …) or a command button's name
//   answer CODE…              answers for the next message boxes and error displays, in order
//   dump GRID | dump side N   the visible rows, captions first, cells as displayed
//   detail GRID ROW COLUMN    the price breakdown of a cell (F2), one line each
//   sql[@ENGINE] STATEMENT    runs a statement on the window's connection and prints its rows (with
//                             @ENGINE: only on that engine, printing nothing)
//   messages                  the message boxes and error displays shown since the last `messages`
//   tooltip GRID              the text the grid shows over its current row
//   status                    the status bar's panels, tab-separated
//   postsave                  (a tester's check) the option code of each row the host's post-save object
//                             was told of since the last `postsave`, one a line
//   close                     closes the window as the user does (it may ask first, and stay open);
//                             the next line that needs the window opens it again
//   screenshot FILE           writes a picture (PNG) of the window as it is now, when the host can draw
//                             it (ScriptOptions::picture); prints nothing
//   screenshot-message FILE   the same with the message box shown last (and not yet listed by
//                             `messages`) drawn over the window, as the user saw it
//   paste GRID ROW COLUMN TEXT  pastes a clipboard block (\t between cells, \n after rows) from a cell
//   copy GRID ROW COLUMN ROW2 COLUMN2  prints the cells of a range as they would be copied
//   adjust GRID ROWS COLUMN CHANGE [scaglione N]  raises or lowers prices (+3%, -0,50); ROWS is N,
//                             N-M, * or listino=N
//   export GRID FILE / import GRID FILE  the grid's whole matrix to or from a CSV file
//   write FILE TEXT / print FILE  a tester's file (escapes as in paste) written, or a file printed
//   where CONTROL [BUTTON]    where the control (or the toolbar's button) is drawn in erp-host's frame:
//                             "x y width height" in pixels; fails when a user could not act on it
//
// A line that acts on a control fails, as the user's action would be impossible, unless the control
// and every container it lies in are shown, enabled and on screen (ScriptOptions::reach).
// The window opens before the first line that needs it, so `answer` and `sql` lines may prepare what
// the window meets while it loads. A message box or error display with no queued answer fails the
// script. At the end the window is closed; a question it asks then is answered No (nothing more is
// saved) and a reported error Abort; answers still queued are ignored.

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "platform/services/dialogs.h"
#include "platform/variant/date.h"
#include "platform/variant/variant.h"

namespace kv::host {

// A message box to draw over the window: its title, text and platform style (buttons and icon); for
// the error display, the report it showed (drawn as the error display, not as a message box).
struct PictureMessage {
    std::string title;
    std::string text;
    int style = 0;
    std::optional<kv::services::ErrorReport> error;
};

// Draws the window a script drives and writes the picture to `file` (PNG): "" when written, otherwise
// the reason. `module` is the path of the component module that made the window (which knows how to
// draw it); `message`, when given, is drawn over the window. The drawing only renders the window's
// controls; it raises none of their events.
using WindowPicture = std::function<std::string(const std::shared_ptr<kv::Object>& window, const std::string& module,
                                                const std::string& file, const PictureMessage* message)>;

// Where a control of the window is drawn right now and whether a user could act on it: `problem` is ""
// when the control (with `item`, that button of the toolbar `control`) and every container it lies in
// are shown, enabled and on screen, otherwise the reason; the rectangle is the control's in erp-host's
// frame, in pixels. `module` as for WindowPicture.
struct ControlPlace {
    std::string problem;
    int x = 0, y = 0, width = 0, height = 0;
};
using WindowReach = std::function<ControlPlace(const std::shared_ptr<kv::Object>& window, const std::string& module,
                                               const std::string& control, const std::string& item)>;

struct ScriptOptions {
    std::string connection;      // the company database
    int32_t company = 1;
    std::string article;         // opens the window on this article, as a calling program does
    std::string components_dir;  // where the component module is looked for
    WindowPicture picture;       // for `screenshot`; without it the command fails, saying so
    std::optional<kv::Date> today;  // the day the session takes as today; the machine's date when unset
    std::string user;               // the session's user; the operating system's when empty
    // Asked before every line that acts on a control. Without it (a runner without the toolkit) only
    // the control's own Visible and Enabled are checked.
    WindowReach reach;
    // Writes to the error stream, after each line performed, the wall-clock time it took:
    // "FILE:LINE: 12,345 ms" (milliseconds, three decimals, decimal comma). The output is unchanged.
    bool timings = false;
};

// erp-host's arguments when they ask for a script run (--script FILE, with --connection S,
// --company N, --article CODE, --today DD/MM/YYYY, --user NAME and --timings; an empty connection takes the demo database next to the build,
// `default_connection`). nullopt when the arguments do not ask for a script; otherwise the exit status
// of the run, after writing an argument error to `err` (status 1).
// `picture` serves the script's `screenshot` lines, `reach` judges what a user could act on.
std::optional<int> RunScriptFromArguments(int argc, char** argv, const std::string& default_connection,
                                          const std::string& components_dir, std::ostream& out, std::ostream& err,
                                          WindowPicture picture = {}, WindowReach reach = {});

// Runs the script in `path`. Returns 0 when every line ran; 1 otherwise, after writing to `err` the
// line number and the reason.
int RunScript(const std::string& path, const ScriptOptions& options, std::ostream& out, std::ostream& err);

// Runs script text already read (`name` stands for the file in messages). Same result as RunScript.
int RunScriptText(const std::string& text, const std::string& name, const ScriptOptions& options,
                  std::ostream& out, std::ostream& err);

}  // namespace kv::host
