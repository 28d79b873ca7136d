#include "host/script/script_runner.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <deque>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/controls/data_grid.h"
#include "platform/controls/entry_field.h"
#include "platform/controls/keys.h"
#include "platform/controls/simple_controls.h"
#include "platform/controls/toolbar.h"
#include "platform/services/component_loader.h"
#include "platform/services/dialogs.h"
#include "platform/services/error_texts.h"
#include "platform/services/global_services.h"
#include "platform/services/host_session.h"
#include "platform/services/window_presenter.h"
#include "platform/variant/strings.h"
#include "platform/variant/variant.h"

namespace kv::host {

namespace svc = kv::services;
namespace ctl = kv::controls;

namespace {

constexpr const char* kProgId = "PEXA_QUENDORMIXAL.CLSMG_QUENDORMIXAL";
constexpr const char* kTitle = "Creazione veloce listini in griglia";
constexpr const char* kDaPeriodoKey = "DAPERIODO";  // the toolbar key of "Da periodo"

// A line that could not be performed: its reason, in the words a tester reads.
struct ScriptFailure {
    std::string reason;
};

// Line breaks of a shown text as the two characters \n, so each shown message stays on one line.
std::string OneLine(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\r' || text[i] == '\n') {
            out += "\\n";
            continue;
        }
        out += text[i];
    }
    return out;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string RTrim(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
    return s;
}

// `\t`, `\n`, `\r` and `\\` of a script text as the characters they stand for; any other backslash
// stays as it is.
std::string Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[i + 1];
        if (next == 't') out += '\t';
        else if (next == 'n') out += '\n';
        else if (next == 'r') out += '\r';
        else if (next == '\\') out += '\\';
        else {
            out += text[i];
            continue;
        }
        ++i;
    }
    return out;
}

// The answers the script queued and everything shown: the one queue serves message boxes and error
// displays alike, in the order they come up, as one user answers whatever appears next.
class ScriptDialogs {
public:
    struct Shown {
        std::string title;
        std::string text;
        int style = 0;
        int answer = 0;
        std::optional<svc::ErrorReport> error;  // set for the error display
    };

    void Queue(int answer) { answers_.push_back(answer); }
    // An answer for the very next message, ahead of those the script queued; withdrawn when no
    // message came.
    void QueueFirst(int answer) { answers_.push_front(answer); }
    void WithdrawFirst() {
        if (!answers_.empty()) answers_.pop_front();
    }
    std::size_t ShownCount() const { return shown_.size(); }
    // The message shown last, left among those `messages` will list; null when none is.
    const Shown* Last() const { return shown_.empty() ? nullptr : &shown_.back(); }
    // The message shown last, taken out of those `messages` will list.
    std::optional<Shown> TakeLast() {
        if (shown_.empty()) return std::nullopt;
        Shown s = shown_.back();
        shown_.pop_back();
        return s;
    }
    // While closing at the end, questions get fixed answers instead of failing the script.
    void SetClosing(bool closing) { closing_ = closing; }

    int Answer(const std::string& title, const std::string& text, int style, int closing_answer,
               std::optional<svc::ErrorReport> error = std::nullopt) {
        int answer = closing_answer;
        if (!closing_) {
            if (answers_.empty()) {
                // A script run has no "Dettagli" to open: an error display that ends it says its detail too,
                // so whoever runs it learns why (a database that does not open, a password nothing gives).
                std::string detail;
                if (error) detail = svc::DescribeForUser(*error).details;
                if (!failure_)
                    failure_ = "è apparso un messaggio senza una risposta preparata con answer: \"" + OneLine(title) +
                               "\" — " + OneLine(text) + (detail.empty() ? "" : " — Dettagli: " + OneLine(detail));
                answer = closing_answer;
            } else {
                answer = answers_.front();
                answers_.pop_front();
            }
        }
        shown_.push_back({title, text, style, answer, std::move(error)});
        return answer;
    }

    // A note shown to the user that needs no answer (a cell refusing what was typed).
    void Note(const std::string& title, const std::string& text, int style) {
        shown_.push_back({title, text, style, svc::answer::kOk, std::nullopt});
    }

    std::vector<Shown> TakeShown() {
        std::vector<Shown> out;
        out.swap(shown_);
        return out;
    }
    std::optional<std::string> TakeFailure() {
        auto f = failure_;
        failure_.reset();
        return f;
    }

private:
    std::deque<int> answers_;
    std::vector<Shown> shown_;
    std::optional<std::string> failure_;
    bool closing_ = false;
};

class ScriptMessageService : public svc::MessageService {
public:
    explicit ScriptMessageService(std::shared_ptr<ScriptDialogs> dialogs) : dialogs_(std::move(dialogs)) {}
    int Message(const std::string& text, int style, const std::string& title) override {
        // At the end a question is answered No: closing the window saves nothing more.
        const int buttons = style & 7;
        int closing = svc::answer::kOk;
        if (buttons == svc::style::kYesNo || buttons == svc::style::kYesNoCancel) closing = svc::answer::kNo;
        else if (buttons == svc::style::kOkCancel || buttons == svc::style::kRetryCancel) closing = svc::answer::kCancel;
        else if (buttons == svc::style::kAbortRetryIgnore) closing = svc::answer::kAbort;
        return dialogs_->Answer(title, text, style, closing);
    }

private:
    std::shared_ptr<ScriptDialogs> dialogs_;
};

class ScriptErrorDisplay : public svc::ErrorDisplay {
public:
    explicit ScriptErrorDisplay(std::shared_ptr<ScriptDialogs> dialogs) : dialogs_(std::move(dialogs)) {}
    // Listed as the user reads it: the window's caption over the message and, where it helps, the
    // number; the procedure and the engine's messages are the display's detail.
    int ShowError(const svc::ErrorReport& report) override {
        const svc::UserErrorText shown = svc::DescribeForUser(report);
        std::string text = shown.message;
        if (!shown.number.empty()) text += "\n" + shown.number;
        const std::string title = report.caption.empty() ? report.procedure : report.caption;
        int answer = dialogs_->Answer(title, text, report.style, svc::answer::kAbort, report);
        // The error display reports Ignore as "go on with the next step".
        return answer == svc::answer::kIgnore ? svc::answer::kCancel : answer;
    }

private:
    std::shared_ptr<ScriptDialogs> dialogs_;
};

// A command line split into fields: `count` fields (quoted when they hold blanks), then the rest of the
// line as it stands. Fails when fewer fields than `count` are there.
std::vector<std::string> SplitFields(std::string_view line, std::size_t count, bool with_rest) {
    std::vector<std::string> fields;
    std::size_t i = 0;
    auto skip_blanks = [&] {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    };
    for (std::size_t f = 0; f < count; ++f) {
        skip_blanks();
        if (i >= line.size()) throw ScriptFailure{"mancano dei campi: ne servono " + std::to_string(count)};
        std::string field;
        if (line[i] == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) throw ScriptFailure{"virgolette non chiuse"};
            field = std::string(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            const std::size_t end = line.find_first_of(" \t", i);
            field = std::string(line.substr(i, end == std::string_view::npos ? line.size() - i : end - i));
            i = end == std::string_view::npos ? line.size() : end;
        }
        fields.push_back(std::move(field));
    }
    if (with_rest) {
        // One separating blank; the rest stands as it is (trailing line-end characters aside).
        if (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        std::string rest(line.substr(std::min(i, line.size())));
        while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n')) rest.pop_back();
        fields.push_back(std::move(rest));
    } else {
        skip_blanks();
        if (i < line.size()) throw ScriptFailure{"campi in più: " + std::string(line.substr(i))};
    }
    return fields;
}

std::vector<std::string> AllFields(std::string_view line) {
    std::vector<std::string> fields;
    std::istringstream in{std::string(line)};
    std::string f;
    while (in >> f) fields.push_back(f);
    return fields;
}

// A value of a query result as text, the same on both engines: Null as NULL, fixed-width text without
// its padding, decimals without trailing zeros, in the regional format the window shows.
std::string ValueText(const kv::Variant& v) {
    if (v.IsNull()) return "NULL";
    if (v.IsEmpty()) return "";
    std::string s = RTrim(kv::CStr(v));
    if (v.Type() == kv::VarType::Decimal || v.Type() == kv::VarType::Double) {
        const auto comma = s.find(',');
        if (comma != std::string::npos && s.find_first_of("eE") == std::string::npos) {
            while (!s.empty() && s.back() == '0') s.pop_back();
            if (!s.empty() && s.back() == ',') s.pop_back();
        }
    }
    return s;
}

class ScriptRunner {
public:
    ScriptRunner(const ScriptOptions& options, std::ostream& out)
        : options_(options), out_(out), session_(options.company, options.connection), global_(session_.global) {
        dialogs_ = std::make_shared<ScriptDialogs>();
        global_->SetErrorDisplayFactory([d = dialogs_] { return std::make_shared<ScriptErrorDisplay>(d); });
        global_->SetMessageServiceFactory([d = dialogs_] { return std::make_shared<ScriptMessageService>(d); });
        loader_.AddSearchDirectory(options.components_dir);
        global_->SetToday(options.today);
        global_->SetUserName(options.user);
    }

    ~ScriptRunner() { Close(); }

    void Perform(std::string_view line) {
        std::string_view body = line;
        while (!body.empty() && (body.front() == ' ' || body.front() == '\t')) body.remove_prefix(1);
        const std::size_t end = body.find_first_of(" \t");
        const std::string command = Lower(body.substr(0, end));
        const std::string_view args = end == std::string_view::npos ? std::string_view() : body.substr(end);

        if (command == "answer") {
            const auto codes = AllFields(args);
            if (codes.empty()) throw ScriptFailure{"answer vuole almeno un codice"};
            for (const auto& c : codes) {
                static const int kValid[] = {1, 2, 3, 4, 5, 6, 7};
                int code = 0;
                try {
                    code = std::stoi(c);
                } catch (const std::exception&) {
                    throw ScriptFailure{"risposta non valida: " + c};
                }
                if (std::find(std::begin(kValid), std::end(kValid), code) == std::end(kValid))
                    throw ScriptFailure{"risposta non valida: " + c + " (1 OK, 2 Annulla, 3 Interrompi, 4 Riprova, "
                                        "5 Ignora, 6 Sì, 7 No)"};
                dialogs_->Queue(code);
            }
            return;
        }
        if (command == "sql" || command.rfind("sql@", 0) == 0) {
            const auto f = SplitFields(args, 0, true);
            Sql(command, f[0]);
            return;
        }

        if (command == "write") {
            const auto f = SplitFields(args, 1, true);
            WriteFile(f[0], Unescape(f[1]));
            return;
        }
        if (command == "print") {
            const auto f = SplitFields(args, 1, false);
            PrintFile(f[0]);
            return;
        }

        OpenWindow();
        if (command == "paste") {
            const auto f = SplitFields(args, 3, true);
            Paste(f[0], f[1], f[2], Unescape(f[3]));
            return;
        }
        if (command == "copy") {
            const auto f = SplitFields(args, 5, false);
            Copy(f[0], f[1], f[2], f[3], f[4]);
            return;
        }
        if (command == "export" || command == "import") {
            const auto f = SplitFields(args, 1, true);
            auto grid = PriceGrid(f[0]);
            RequireUsable(*grid);  // the keys work in the grid that has the focus
            Window()->Command(command == "export" ? "EsportaCsv" : "ImportaCsv",
                              {kv::Variant(grid->Name()), kv::Variant(RTrim(f[1]))});
            return;
        }
        if (command == "undo" || command == "redo") {
            if (!AllFields(args).empty()) throw ScriptFailure{command + " non vuole campi"};
            UndoRedo(command == "undo");
            return;
        }
        if (command == "period") {
            Period(AllFields(args));
            return;
        }
        if (command == "margin") {
            // Sets the toolbar's toggle "Margine %" as asked, pressing it only when it is the other way.
            const auto f = AllFields(args);
            if (f.size() != 1 || (f[0] != "on" && f[0] != "off")) throw ScriptFailure{"margin vuole on oppure off"};
            if (ControlAs<ctl::Toolbar>("INTERNAV")->ButtonChecked("MARGINE") != (f[0] == "on")) Click("MARGINE");
            return;
        }
        if (command == "adjust") {
            const auto f = SplitFields(args, 4, true);
            Adjust(f[0], f[1], f[2], f[3], AllFields(f[4]));
            return;
        }
        if (command == "type") {
            const auto f = SplitFields(args, 1, true);
            Type(f[0], f[1]);
        } else if (command == "side") {
            const auto f = SplitFields(args, 2, false);
            Side(f[0], f[1]);
        } else if (command == "cell") {
            const auto f = SplitFields(args, 3, true);
            Cell(f[0], f[1], f[2], f[3]);
        } else if (command == "click") {
            const auto f = SplitFields(args, 0, true);
            // "Da periodo" asks its question in a dialog of its own, which a script answers with `period`.
            if (Lower(RTrim(f[0])) == Lower(kDaPeriodoKey)) throw ScriptFailure{"per \"Da periodo\" usare period ACQ VEN"};
            Click(RTrim(f[0]));
        } else if (command == "dump") {
            const auto f = AllFields(args);
            if (f.size() == 1 && (Lower(f[0]) == "acq" || Lower(f[0]) == "ven"))
                Dump(PriceGrid(f[0]));
            else if (f.size() == 2 && Lower(f[0]) == "side")
                Dump(SideGrid(f[1]));
            else
                throw ScriptFailure{"dump vuole acq, ven oppure side N"};
        } else if (command == "close") {
            if (!AllFields(args).empty()) throw ScriptFailure{"close non vuole campi"};
            CloseByUser();
        } else if (command == "screenshot") {
            Screenshot(RTrim(SplitFields(args, 0, true)[0]), false);
        } else if (command == "screenshot-message") {
            Screenshot(RTrim(SplitFields(args, 0, true)[0]), true);
        } else if (command == "detail") {
            const auto f = SplitFields(args, 2, true);
            std::string column = RTrim(f[2]);
            if (column.size() >= 2 && column.front() == '"' && column.back() == '"') column = column.substr(1, column.size() - 2);
            Detail(f[0], f[1], column, ctl::keys::kF2, "F2 non ha mostrato il dettaglio del prezzo");
        } else if (command == "history") {
            const auto f = SplitFields(args, 2, true);
            std::string column = RTrim(f[2]);
            if (column.size() >= 2 && column.front() == '"' && column.back() == '"') column = column.substr(1, column.size() - 2);
            Detail(f[0], f[1], column, ctl::keys::kF4, "F4 non ha mostrato lo storico del prezzo");
        } else if (command == "where") {
            const auto f = AllFields(args);
            if (f.empty() || f.size() > 2) throw ScriptFailure{"where vuole un controllo e, per la barra, un pulsante"};
            Where(f[0], f.size() == 2 ? f[1] : std::string());
        } else if (command == "messages") {
            if (!AllFields(args).empty()) throw ScriptFailure{"messages non vuole campi"};
            Messages();
        } else if (command == "tooltip") {
            const auto f = AllFields(args);
            if (f.size() != 1) throw ScriptFailure{"tooltip vuole acq oppure ven"};
            out_ << OneLine(PriceGrid(f[0])->ToolTipText()) << '\n';
        } else if (command == "status") {
            if (!AllFields(args).empty()) throw ScriptFailure{"status non vuole campi"};
            const auto& bar = *session_.status_bar;
            for (int i = 1; i <= bar.PanelCount(); ++i) out_ << (i > 1 ? "\t" : "") << OneLine(bar.PanelText(i));
            out_ << '\n';
        } else if (command == "postsave") {
            if (!AllFields(args).empty()) throw ScriptFailure{"postsave non vuole campi"};
            const auto log = global_->PostSaves();
            for (const auto& e : log->Entries()) out_ << e.option_code << '\n';
            log->Clear();
        } else {
            throw ScriptFailure{"comando sconosciuto: " + command};
        }
    }

    // A message that came up during the line and had no answer.
    std::optional<std::string> TakeDialogFailure() { return dialogs_->TakeFailure(); }

    void Close() {
        if (!component_) return;
        dialogs_->SetClosing(true);
        try {
            if (auto window = Window()) window->RequestClose();
            component_->CloseForm();
        } catch (const std::exception&) {
            // Closing at the end reports nothing: the script's own lines have all been judged.
        }
        component_.reset();
    }

private:
    void OpenWindow() {
        if (component_) return;
        auto object = loader_.CreateObject(kProgId);
        auto component = std::dynamic_pointer_cast<svc::Cinterface>(object);
        if (!component) throw ScriptFailure{std::string(kProgId) + " non è un componente dell'host"};
        if (!svc::FillInterface(object, *component, session_, {false, 0, kTitle, options_.article}))
            throw ScriptFailure{"il componente non si apre su un articolo"};
        component_ = component;
        component->ShowForm();
        if (!Window()) {
            // The window says why it did not open (a database that does not open) in an error display
            // the script had no answer for: that reason is the line's.
            if (auto why = dialogs_->TakeFailure()) throw ScriptFailure{*why};
            throw ScriptFailure{"la finestra dei listini non si è aperta"};
        }
    }

    std::shared_ptr<svc::PresentableWindow> Window() const {
        auto presenter = global_->HeadlessPresenter();
        if (!presenter) return nullptr;
        for (const auto& w : presenter->OpenWindows())
            if (w) return w;
        return nullptr;
    }

    template <class C>
    std::shared_ptr<C> ControlAs(const std::string& name) const {
        auto window = Window();
        if (!window) throw ScriptFailure{"la finestra è chiusa"};
        auto control = std::dynamic_pointer_cast<C>(window->Control(name));
        if (!control) throw ScriptFailure{"nessun controllo adatto di nome " + name};
        return control;
    }

    std::shared_ptr<ctl::DataGrid> PriceGrid(const std::string& which) const {
        const std::string w = Lower(which);
        if (w == "acq") return ControlAs<ctl::DataGrid>("GRD_LISACQ");
        if (w == "ven") return ControlAs<ctl::DataGrid>("GRD_LISVEN");
        throw ScriptFailure{"griglia sconosciuta: " + which + " (acq o ven)"};
    }

    std::shared_ptr<ctl::DataGrid> SideGrid(const std::string& n) const {
        if (n == "1") return ControlAs<ctl::DataGrid>("GRD_SIDE");
        if (n == "2") return ControlAs<ctl::DataGrid>("GRD_SIDE1");
        throw ScriptFailure{"lista laterale sconosciuta: " + n + " (1 o 2)"};
    }

    static long RowNumber(const std::string& text, const ctl::DataGrid& grid) {
        long row = 0;
        try {
            std::size_t used = 0;
            row = std::stol(text, &used);
            if (used != text.size()) row = 0;
        } catch (const std::exception&) {
            row = 0;
        }
        if (row < 1 || row > grid.RowCount())
            throw ScriptFailure{"riga " + text + " fuori dalla griglia " + grid.Name() + ", che ne mostra " +
                                std::to_string(grid.RowCount())};
        return row - 1;
    }

    // A user acts on a control only where it is: shown and enabled itself, and, as the window is drawn,
    // inside containers that are shown and enabled, on screen.
    void RequireUsable(const ctl::Control& control, const std::string& item = {}) {
        if (!control.Visible()) throw ScriptFailure{control.Name() + " non è visibile"};
        if (!control.Enabled()) throw ScriptFailure{control.Name() + " non è abilitato"};
        if (!options_.reach) return;
        auto window = Window();
        if (!window) throw ScriptFailure{"la finestra è chiusa"};
        if (auto place = options_.reach(window, ModulePath(), control.Name(), item); !place.problem.empty())
            throw ScriptFailure{place.problem};
    }

    // Where a control is drawn, for a tester who drives the real window with the mouse.
    void Where(const std::string& name, const std::string& item) {
        auto window = Window();
        if (!window) throw ScriptFailure{"la finestra è chiusa"};
        if (!window->Control(name)) throw ScriptFailure{"nessun controllo di nome " + name};
        if (!options_.reach) throw ScriptFailure{"where: questo programma non sa disegnare la finestra"};
        const ControlPlace place = options_.reach(window, ModulePath(), name, item);
        if (!place.problem.empty()) throw ScriptFailure{place.problem};
        out_ << place.x << ' ' << place.y << ' ' << place.width << ' ' << place.height << '\n';
    }

    std::string ModulePath() {
        return loader_.Load(std::string(kProgId).substr(0, std::string_view(kProgId).find('.')))->Path();
    }

    void Type(const std::string& field_name, const std::string& text) {
        auto field = ControlAs<ctl::EntryField>(field_name);
        RequireUsable(*field);
        field->UserType(text);
        field->UserLeave();
    }

    void Side(const std::string& n, const std::string& row_text) {
        auto grid = SideGrid(n);
        RequireUsable(*grid);
        const long row = RowNumber(row_text, *grid);
        grid->UserEnter();
        const long column = std::max(0L, grid->CurrentColumnIndex());
        if (!grid->UserMoveTo(row, column)) throw ScriptFailure{"la riga " + row_text + " non si può scegliere"};
    }

    void Cell(const std::string& which, const std::string& row_text, const std::string& column_name,
              const std::string& text) {
        auto grid = PriceGrid(which);
        RequireUsable(*grid);
        const long row = RowNumber(row_text, *grid);
        long column = -1;
        for (long c = 0; c < grid->Columns().Count(); ++c) {
            const auto& col = grid->Columns().Item(c);
            if (col.Visible() && RTrim(col.Caption()) == RTrim(column_name)) {
                column = c;
                break;
            }
        }
        if (column < 0) column = grid->Columns().IndexOf(column_name);
        if (column < 0) throw ScriptFailure{"la griglia " + grid->Name() + " non ha la colonna " + column_name};
        grid->UserEnter();
        if (!grid->UserMoveTo(row, column)) throw ScriptFailure{"la cella non si può raggiungere"};
        if (!grid->CellEditable(row, column))
            throw ScriptFailure{"la cella " + row_text + ", " + column_name + " non è modificabile"};
        const ctl::EditOutcome outcome = grid->UserEditCell(row, column, text);
        if (!outcome.accepted) {
            // The grid refused the text: the user sees why and the cell keeps its value.
            dialogs_->Note(grid->Name(), outcome.message, svc::style::kExclamation);
            return;
        }
        grid->UserKeyDown(ctl::keys::kReturn, 0);
    }

    // ---- The window's spreadsheet commands.

    static long ColumnNumber(const ctl::DataGrid& grid, const std::string& name) {
        for (long c = 0; c < grid.Columns().Count(); ++c) {
            const auto& col = grid.Columns().Item(c);
            if (col.Visible() && RTrim(col.Caption()) == RTrim(name)) return c;
        }
        const long column = grid.Columns().IndexOf(name);
        if (column < 0) throw ScriptFailure{"la griglia " + grid.Name() + " non ha la colonna " + name};
        return column;
    }

    void Paste(const std::string& which, const std::string& row_text, const std::string& column_name,
               const std::string& text) {
        auto grid = PriceGrid(which);
        RequireUsable(*grid);
        const long row = RowNumber(row_text, *grid);
        const long column = ColumnNumber(*grid, column_name);
        grid->UserEnter();
        if (!grid->UserMoveTo(row, column)) throw ScriptFailure{"la cella non si può raggiungere"};
        Window()->Command("IncollaBlocco", {kv::Variant(grid->Name()), kv::Variant(text)});
    }

    void Copy(const std::string& which, const std::string& row1, const std::string& column1,
              const std::string& row2, const std::string& column2) {
        auto grid = PriceGrid(which);
        RequireUsable(*grid);
        const kv::Variant text = Window()->Command(
            "CopiaBlocco", {kv::Variant(grid->Name()), kv::Variant(int32_t(RowNumber(row1, *grid))),
                            kv::Variant(int32_t(ColumnNumber(*grid, column1))),
                            kv::Variant(int32_t(RowNumber(row2, *grid))),
                            kv::Variant(int32_t(ColumnNumber(*grid, column2)))});
        out_ << kv::CStr(text);
    }

    // ROWS: a row (from 1), a range N-M, * for every row, or listino=N for the rows of list N.
    void Adjust(const std::string& which, const std::string& rows_text, const std::string& column_name,
                const std::string& change, const std::vector<std::string>& options) {
        auto grid = PriceGrid(which);
        RequireUsable(*grid);
        const long column = ColumnNumber(*grid, column_name);
        std::vector<kv::Variant> args{kv::Variant(grid->Name()), kv::Variant(int32_t(column)), kv::Variant(change)};
        int16_t bracket = 0;
        if (options.size() == 2 && Lower(options[0]) == "scaglione") {
            try {
                bracket = static_cast<int16_t>(std::stoi(options[1]));
            } catch (const std::exception&) {
                throw ScriptFailure{"scaglione non valido: " + options[1]};
            }
        } else if (!options.empty()) {
            throw ScriptFailure{"adjust accetta in fondo soltanto: scaglione N"};
        }
        args.emplace_back(bracket);
        std::vector<long> rows;
        const std::string r = Lower(rows_text);
        if (r == "*") {
            for (long i = 0; i < grid->RowCount(); ++i) rows.push_back(i);
        } else if (r.rfind("listino=", 0) == 0) {
            const kv::Variant listed = Window()->Command(
                "RigheListino", {kv::Variant(grid->Name()), kv::Variant(r.substr(8))});
            std::istringstream in(kv::CStr(listed));
            for (std::string n; std::getline(in, n, ',');) rows.push_back(std::stol(n));
            if (rows.empty()) throw ScriptFailure{"la griglia " + grid->Name() + " non mostra il listino " + r.substr(8)};
        } else if (const auto dash = r.find('-'); dash != std::string::npos) {
            const long first = RowNumber(r.substr(0, dash), *grid);
            const long last = RowNumber(r.substr(dash + 1), *grid);
            for (long i = first; i <= last; ++i) rows.push_back(i);
        } else {
            rows.push_back(RowNumber(r, *grid));
        }
        for (long row : rows) args.emplace_back(int32_t(row));
        Window()->Command("RettificaPrezzi", args);
    }

    void WriteFile(const std::string& path, const std::string& text) {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << text;
        if (!file) throw ScriptFailure{"il file " + path + " non si può scrivere"};
    }

    void PrintFile(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        if (!file) throw ScriptFailure{"il file " + path + " non si può leggere"};
        std::ostringstream text;
        text << file.rdbuf();
        std::string s = text.str();
        if (!s.empty() && s.back() != '\n') s += '\n';
        out_ << s;
    }

    void Click(const std::string& key) {
        auto window = Window();
        auto bar = ControlAs<ctl::Toolbar>("INTERNAV");
        for (long i = 0; i < bar->ButtonCount(); ++i) {
            const auto& b = bar->Button(i);
            if (Lower(b.key) != Lower(key)) continue;
            if (!bar->Visible() || !bar->Enabled()) throw ScriptFailure{"la barra dei comandi non è abilitata"};
            if (!b.visible || !b.enabled) throw ScriptFailure{"il pulsante " + key + " non è abilitato"};
            RequireUsable(*bar, b.key);
            bar->UserClick(b.key);
            return;
        }
        auto button = std::dynamic_pointer_cast<ctl::CommandButton>(window->Control(key));
        if (!button) throw ScriptFailure{"nessun pulsante " + key};
        RequireUsable(*button);
        button->UserClick();
    }

    // Ctrl+Z or Ctrl+Y in a price grid: the keys reach the grid that has the focus, so one of the two
    // must be usable.
    void UndoRedo(bool undo) {
        auto acq = PriceGrid("acq");
        auto ven = PriceGrid("ven");
        const bool usable = (acq->Visible() && acq->Enabled()) || (ven->Visible() && ven->Enabled());
        if (!usable) throw ScriptFailure{"nessuna griglia dei prezzi è abilitata"};
        RequireUsable(acq->Visible() && acq->Enabled() ? *acq : *ven);
        Window()->Command(undo ? "AnnullaModifica" : "RipetiModifica", {});
    }

    // "Da periodo": prints what the dialog lists, answers it with the periods ACQ and VEN (their place
    // in the list, 0 for none), an optional change and "scaglione N", and presses the toolbar's key.
    void Period(const std::vector<std::string>& f) {
        if (f.size() < 2) throw ScriptFailure{"period vuole ACQ VEN [VARIAZIONE] [scaglione N]"};
        auto number = [](const std::string& t, const char* what) {
            try {
                std::size_t used = 0;
                const long n = std::stol(t, &used);
                if (used == t.size() && n >= 0) return n;
            } catch (const std::exception&) {
            }
            throw ScriptFailure{std::string(what) + " non valido: " + t};
        };
        const long acq = number(f[0], "periodo di acquisto");
        const long ven = number(f[1], "periodo di vendita");
        std::size_t next = 2;
        std::string change;
        if (next < f.size() && Lower(f[next]) != "scaglione") change = f[next++];
        long bracket = 0;
        if (next + 2 == f.size() && Lower(f[next]) == "scaglione") {
            bracket = number(f[next + 1], "scaglione");
        } else if (next != f.size()) {
            throw ScriptFailure{"period accetta in fondo soltanto: scaglione N"};
        }
        const std::string listed = kv::CStr(Window()->Command("PeriodiDaCopiare", {}));
        out_ << listed;
        auto count = [&listed](const std::string& kind) {
            long n = 0;
            for (std::size_t p = 0; (p = listed.find(kind, p)) != std::string::npos; p += kind.size())
                if (p == 0 || listed[p - 1] == '\n') ++n;
            return n;
        };
        if (acq > count("acquisto ")) throw ScriptFailure{"non c'è il periodo di acquisto " + f[0]};
        if (ven > count("vendita ")) throw ScriptFailure{"non c'è il periodo di vendita " + f[1]};
        Window()->Command("ScegliPeriodo", {kv::Variant(int32_t(acq)), kv::Variant(int32_t(ven)), kv::Variant(change),
                                            kv::Variant(int16_t(bracket))});
        Click(kDaPeriodoKey);
    }

    // What a key shows about a cell (F2 the price breakdown, F4 its history): the cell becomes current,
    // the key opens the message, its lines are printed and it is closed with OK.
    void Detail(const std::string& which, const std::string& row_text, const std::string& column_name, int16_t key,
                const char* not_shown) {
        auto grid = PriceGrid(which);
        RequireUsable(*grid);
        const long row = RowNumber(row_text, *grid);
        const long column = ColumnNamed(*grid, column_name);
        grid->UserEnter();
        if (!grid->UserMoveTo(row, column)) throw ScriptFailure{"la cella non si può raggiungere"};
        const std::size_t before = dialogs_->ShownCount();
        dialogs_->QueueFirst(svc::answer::kOk);
        grid->UserKeyDown(key, 0);
        if (dialogs_->ShownCount() == before) {
            dialogs_->WithdrawFirst();
            throw ScriptFailure{not_shown};
        }
        const auto shown = dialogs_->TakeLast();
        std::string_view text = shown->text;
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            out_ << text.substr(0, end) << '\n';
            if (end == std::string_view::npos) break;
            text.remove_prefix(end + 1);
        }
    }

    static long ColumnNamed(const ctl::DataGrid& grid, const std::string& column_name) {
        for (long c = 0; c < grid.Columns().Count(); ++c) {
            const auto& col = grid.Columns().Item(c);
            if (col.Visible() && RTrim(col.Caption()) == RTrim(column_name)) return c;
        }
        const long column = grid.Columns().IndexOf(column_name);
        if (column < 0) throw ScriptFailure{"la griglia " + grid.Name() + " non ha la colonna " + column_name};
        return column;
    }

    void Dump(const std::shared_ptr<ctl::DataGrid>& grid) {
        grid->SyncWithDataSource();
        std::vector<long> columns;
        std::string header;
        for (long c = 0; c < grid->Columns().Count(); ++c) {
            const auto& col = grid->Columns().Item(c);
            if (!col.Visible()) continue;
            if (!columns.empty()) header += '\t';
            header += col.Caption();
            columns.push_back(c);
        }
        out_ << header << '\n';
        for (long r = 0; r < grid->RowCount(); ++r) {
            std::string line;
            for (std::size_t i = 0; i < columns.size(); ++i) {
                if (i) line += '\t';
                line += RTrim(grid->CellDisplayText(r, columns[i]));
            }
            out_ << line << '\n';
        }
    }

    kv::ado::ConnectionPtr SqlConnection() {
        if (component_) {
            if (auto c = component_->Connection(); c && c->State() == kv::ado::adStateOpen) return c;
        }
        if (!own_connection_) {
            own_connection_ = kv::ado::Connection::Create();
            own_connection_->Open(options_.connection);
        }
        return own_connection_;
    }

    void Sql(const std::string& command, const std::string& statement) {
        auto connection = SqlConnection();
        if (command != "sql") {
            const std::string engine = command.substr(4);
            if (engine != "sqlite" && engine != "postgresql")
                throw ScriptFailure{"motore sconosciuto: " + engine + " (sqlite o postgresql)"};
            if (Lower(connection->Provider()) != engine) return;
        }
        long affected = 0;
        kv::ado::RecordsetPtr rs;
        try {
            rs = connection->Execute(statement, &affected);
        } catch (const kv::Error& e) {
            throw ScriptFailure{"l'istruzione SQL non è riuscita: " + e.Description()};
        }
        // A statement for one engine only prepares what the scenario meets there (a trigger): it prints
        // nothing, so both engines print the same.
        if (command != "sql") return;
        if (!rs || rs->State() != kv::ado::adStateOpen) {
            out_ << affected << '\n';
            return;
        }
        const auto& fields = rs->FieldInfos();
        std::string header;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i) header += '\t';
            header += kv::UCase(fields[i].name);
        }
        out_ << header << '\n';
        if (rs->IsBOF() && rs->IsEOF()) return;
        for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
            std::string line;
            for (std::size_t i = 0; i < fields.size(); ++i) {
                if (i) line += '\t';
                line += ValueText(rs->Value(static_cast<int>(i)));
            }
            out_ << line << '\n';
        }
    }

    // The user closes the window; it may ask first and stay open. Once it has closed, the next line that
    // needs it opens it again, as choosing it from the menu does.
    void CloseByUser() {
        auto window = Window();
        if (!window) throw ScriptFailure{"la finestra è chiusa"};
        if (!window->RequestClose()) return;
        component_->CloseForm();
        component_.reset();
    }

    void Screenshot(const std::string& file, bool with_message) {
        if (file.empty()) throw ScriptFailure{"screenshot vuole il nome del file"};
        std::optional<PictureMessage> message;
        if (with_message) {
            const auto* last = dialogs_->Last();
            if (!last) throw ScriptFailure{"screenshot-message: nessun messaggio mostrato dopo l'ultimo messages"};
            message = PictureMessage{last->title, last->text, last->style, last->error};
        }
        if (!options_.picture) throw ScriptFailure{"screenshot: questo programma non sa disegnare la finestra"};
        const std::string module = ModulePath();
        auto window = Window();
        if (!window) throw ScriptFailure{"la finestra è chiusa"};
        if (auto problem = options_.picture(window, module, file, message ? &*message : nullptr); !problem.empty())
            throw ScriptFailure{"screenshot: " + problem};
    }

    void Messages() {
        for (const auto& m : dialogs_->TakeShown())
            out_ << OneLine(m.title) << '\t' << OneLine(m.text) << '\t' << m.style << '\t' << m.answer << '\n';
    }

    ScriptOptions options_;
    std::ostream& out_;
    svc::HostSession session_;
    std::shared_ptr<svc::HostGlobalServices> global_;
    std::shared_ptr<ScriptDialogs> dialogs_;
    svc::ComponentLoader loader_;
    std::shared_ptr<svc::Cinterface> component_;
    kv::ado::ConnectionPtr own_connection_;
};

// The wall-clock time since `since` in milliseconds, as an Italian reads it: "12,345".
std::string Milliseconds(std::chrono::steady_clock::time_point since) {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - since);
    const long long n = us.count();
    std::string frac = std::to_string(n % 1000);
    frac.insert(0, 3 - frac.size(), '0');
    return std::to_string(n / 1000) + "," + frac;
}

}  // namespace

int RunScriptText(const std::string& text, const std::string& name, const ScriptOptions& options,
                  std::ostream& out, std::ostream& err) {
    std::istringstream lines(text);
    std::string line;
    long number = 0;
    try {
        ScriptRunner runner(options, out);
        while (std::getline(lines, line)) {
            ++number;
            const std::string trimmed = RTrim(line);
            const auto first = trimmed.find_first_not_of(" \t");
            if (first == std::string::npos || trimmed[first] == '#') continue;
            const auto started = std::chrono::steady_clock::now();
            // The time a line took is told whether it ran or failed, before the reason of a failure.
            auto tell_time = [&] {
                if (options.timings) err << name << ":" << number << ": " << Milliseconds(started) << " ms\n";
            };
            try {
                runner.Perform(trimmed.substr(first));
            } catch (const ScriptFailure& f) {
                tell_time();
                err << name << ":" << number << ": " << f.reason << '\n';
                return 1;
            } catch (const kv::Error& e) {
                tell_time();
                err << name << ":" << number << ": " << e.Description() << '\n';
                return 1;
            }
            tell_time();
            if (auto failure = runner.TakeDialogFailure()) {
                err << name << ":" << number << ": " << *failure << '\n';
                return 1;
            }
            out.flush();
        }
        runner.Close();
    } catch (const std::exception& e) {
        err << name << ": " << e.what() << '\n';
        return 1;
    }
    return 0;
}

std::optional<int> RunScriptFromArguments(int argc, char** argv, const std::string& default_connection,
                                          const std::string& components_dir, std::ostream& out, std::ostream& err,
                                          WindowPicture picture, WindowReach reach) {
    std::optional<std::string> script;
    ScriptOptions options;
    options.components_dir = components_dir;
    options.picture = std::move(picture);
    options.reach = std::move(reach);
    std::string problem;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                problem = std::string(arg) + " vuole un valore";
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        if (arg == "--script") {
            script = value();
        } else if (arg == "--connection") {
            if (auto v = value()) options.connection = *v;
        } else if (arg == "--company") {
            if (auto v = value()) {
                try {
                    std::size_t used = 0;
                    options.company = std::stoi(*v, &used);
                    if (used != v->size() || options.company <= 0) throw std::invalid_argument(*v);
                } catch (const std::exception&) {
                    problem = "--company vuole il numero di una ditta, non " + *v;
                }
            }
        } else if (arg == "--article") {
            if (auto v = value()) options.article = *v;
        } else if (arg == "--timings") {
            options.timings = true;
        } else if (arg == "--today") {
            if (auto v = value()) {
                options.today = kv::Date::ParseLocal(*v, kv::RegionalSettings::Italian());
                if (!options.today) problem = "--today vuole una data reale nella forma gg/mm/aaaa, non " + *v;
            }
        } else if (arg == "--user") {
            if (auto v = value()) options.user = *v;
        } else {
            // Arguments of the windowed host (--modal, --size, --screenshot) have no meaning here.
            if (problem.empty()) problem = "argomento non previsto con --script: " + std::string(arg);
        }
    }
    if (!script) return std::nullopt;
    if (!problem.empty()) {
        err << "erp-host: " << problem << '\n';
        return 1;
    }
    if (options.connection.empty()) options.connection = default_connection;
    return RunScript(*script, options, out, err);
}

int RunScript(const std::string& path, const ScriptOptions& options, std::ostream& out, std::ostream& err) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        err << path << ": il file non si può leggere\n";
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return RunScriptText(text.str(), path, options, out, err);
}

}  // namespace kv::host
