#pragma once
// DataGrid: the host's data grid. It shows the rows of a bound recordset as the recordset's filter
// shows them, in columns the program defines, and lets the user move between cells and edit them.
//
// Columns are defined in one sequence: ClearInit, InitializationClass, GridLoadMode, INIT_ADDColumn
// per column, InitializeSTART, EnableEditing, the MODCOL_ calls, InitializeEND. A MODCOL_ call naming
// a field that has no column is ignored. Arguments whose meaning is the grid's own:
//  - column type (INIT_ADDColumn's third argument) is kept and reported; 1 is an ordinary cell, 12 a
//    narrow key cell; both show and edit the same way;
//  - the fifth argument True makes the column share the free width of the grid (stretch);
//  - alignment: 0 by content (numbers right, text left), 1 right, 2 centre, 3 left;
//  - editing mode 1 makes a column editable, 0 read-only; a column never given one is read-only;
//  - class formats: cell_format.h.
//
// Binding. DataSource holds the recordset (Nothing empties the grid). The grid does not copy rows: it
// remembers the identity (bookmark) of each row of the recordset's view and reads the values through
// a clone when it shows them, so values changed by the program appear at the next paint. The grid's
// selected row is the recordset's current row: the user's moves move the recordset, and a program
// moving the recordset moves the selection. A program that changes which rows the recordset shows
// (filter, rows added or deleted) either binds the grid again, calls RefreshAfterEdit, or lets the
// view's periodic SyncWithDataSource notice it.
//
// Events raised by the user's actions, in this order:
//  - Event0 (event 0): the user starts working in the grid (the view gets the focus);
//  - RowChanged, then RowColChange(last row, last column, new row, new column), when the user moves
//    to another row; RowColChange alone for another column of the same row (rows and columns 0-based,
//    -1 for none);
//  - KeyDown(KeyCode, Shift) for every key; a handler setting KeyCode to 0 discards the key;
//  - for an edited cell: Event66(edit, column) (event 66), then OnEdited(edit), then the value is
//    written into the bound field (when WriteEdits is True).
// A program setting properties or moving the recordset raises none of them.
//
// Edits. The text typed is read as the bound field's type first (numbers and dates with the regional
// settings, a blank cell as Null); text that does not read is refused before any event, and so is a
// value the field then refuses: the cell keeps its old value and the outcome says why. A window that
// stores edits itself in its OnEdited handler sets WriteEdits to False, so the grid does not write a
// second time over what the handler decided.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/recordset.h"
#include "platform/controls/cell_format.h"
#include "platform/controls/control.h"

namespace kv::controls {

class DataGrid;

struct ClassFormat {
    int cls = 0;
    int kind = 0;
    std::string unit;
    bool operator==(const ClassFormat&) const = default;
};

inline constexpr int kAlignByContent = 0;
inline constexpr int kAlignRight = 1;
inline constexpr int kAlignCentre = 2;
inline constexpr int kAlignLeft = 3;

class GridColumn {
  public:
    long Index() const { return index_; }
    const std::string& DataField() const { return data_field_; }
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    int Type() const { return type_; }
    long Width() const { return width_; }  // twips
    void SetWidth(long twips);
    bool Stretch() const { return stretch_; }
    const std::string& Format() const { return format_; }
    void SetFormat(std::string format);
    const std::optional<ClassFormat>& GetClassFormat() const { return class_format_; }
    int Alignment() const { return alignment_; }
    // A locked column cannot be edited; MODCOL_Editing 1 unlocks it, 0 locks it.
    bool Locked() const { return locked_; }
    void SetLocked(bool locked);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);

  private:
    friend class DataGrid;
    friend class GridColumns;
    explicit GridColumn(DataGrid* grid) : grid_(grid) {}
    DataGrid* grid_;
    long index_ = 0;
    std::string data_field_;
    std::string caption_;
    int type_ = 1;
    long width_ = 0;
    bool stretch_ = false;
    Variant extra_;
    std::string format_;
    std::optional<ClassFormat> class_format_;
    // What format_ and class_format_ give, worked out when they change: cells are painted far more
    // often than formats change.
    NumberFormat number_format_;
    int alignment_ = kAlignByContent;
    bool locked_ = true;
    bool visible_ = true;
};

class GridColumns {
  public:
    long Count() const { return static_cast<long>(items_.size()); }
    // 0-based index (35600 outside) or bound field name, case-insensitively (35601 when none).
    GridColumn& Item(long index) const;
    GridColumn& Item(std::string_view data_field) const;
    GridColumn& operator[](long index) const { return Item(index); }
    // -1 when no column is bound to the field.
    long IndexOf(std::string_view data_field) const;

  private:
    friend class DataGrid;
    std::vector<std::unique_ptr<GridColumn>> items_;
};

// The host's grid-initialization object: what a grid keeps of the host (its services object) while a
// program defines its columns. A program makes a new one for each definition and hands it to the grid
// with SetInitializationClass.
class GridInitialization : public Object {
  public:
    explicit GridInitialization(std::shared_ptr<Object> host) : host_(std::move(host)) {}
    const std::shared_ptr<Object>& Host() const { return host_; }

  private:
    std::shared_ptr<Object> host_;
};

// What an edited cell hands the edit events: the cell and its new value.
class GridEdit : public Object {
  public:
    GridEdit(long row, long column, Variant value, std::string text)
        : row_(row), column_(column), value_(std::move(value)), text_(std::move(text)) {}
    // The cell's new value when `column` is the edited column; Empty for any other column.
    Variant Value(long column) const { return column == column_ ? value_ : Variant(); }
    long Row() const { return row_; }
    long Column() const { return column_; }
    // What the user typed.
    const std::string& Text() const { return text_; }

  private:
    long row_;
    long column_;
    Variant value_;
    std::string text_;
};

struct EditOutcome {
    bool accepted = false;
    long error_number = 0;
    std::string message;  // shown to the user when the edit is refused
};

class DataGrid : public Control {
  public:
    explicit DataGrid(std::string name, const RegionalSettings& rs = RegionalSettings::Italian());
    ~DataGrid() override;

    // ---- Column definition.
    void ClearInit();
    const std::shared_ptr<Object>& InitializationClass() const { return init_class_; }
    void SetInitializationClass(std::shared_ptr<Object> init) { init_class_ = std::move(init); }
    int GridLoadMode() const { return load_mode_; }
    void SetGridLoadMode(int mode) { load_mode_ = mode; }
    // a5 True: the column stretches; a6 is kept. Empty Variants stand for omitted arguments.
    void INIT_ADDColumn(std::string data_field, std::string caption, int type, long width,
                        const Variant& a5 = Variant(), const Variant& a6 = Variant(),
                        std::string format = {});
    void InitializeSTART();
    void InitializeEND();
    bool EnableEditing() const { return enable_editing_; }
    void SetEnableEditing(bool enabled);
    void MODCOL_Alignment(std::string_view data_field, int alignment);
    void MODCOL_Editing(std::string_view data_field, int mode);
    void MODCOL_ClassFormat(std::string_view data_field, int cls, int kind, std::string unit);
    // Renames the columns bound to the field (ignored when none is).
    void SetColumnCaption(std::string_view data_field, std::string caption);
    // While False, the views are not told of changes; setting it True again shows everything at once.
    bool Redraw() const { return redraw_; }
    void SetRedraw(bool redraw);

    GridColumns& Columns() { return columns_; }
    const GridColumns& Columns() const { return columns_; }
    // -1 when the grid has no columns. Setting an index outside 0..Count-1 leaves it as it was.
    long CurrentColumnIndex() const { return current_col_; }
    void SetCurrentColumnIndex(long index);
    // Nothing (nullptr) when the grid has no columns.
    GridColumn* CurrentColumn();

    // ---- Binding.
    const ado::RecordsetPtr& DataSource() const { return source_; }
    void SetDataSource(ado::RecordsetPtr recordset);
    long RowCount() const { return static_cast<long>(bookmarks_.size()); }
    // The recordset's current row as a 0-based row of the grid; -1 at BOF/EOF or with no rows.
    long CurrentRow() const;
    // Compares the recordset view's stamp with the one the rows were read from and takes the rows
    // again when they differ. True when the rows were taken again (the
    // views were told); a moved current row only notifies. Never raises.
    bool SyncWithDataSource();

    // ---- Cells (rows and columns 0-based; Empty / "" outside the grid or when the row is gone).
    Variant CellValue(long row, long column) const;
    std::string CellText(long row, long column) const;
    // What an editor starts from: numbers without thousands separators, fixed-width text trimmed.
    std::string CellEditText(long row, long column) const;
    bool CellEditable(long row, long column) const;
    // True when the column's bound field holds numbers.
    bool ColumnIsNumeric(long column) const;
    NumberFormat ColumnNumberFormat(long column) const;

    const RegionalSettings& Regional() const { return regional_; }
    void SetRegionalSettings(const RegionalSettings& rs);
    void SetCurrencyDecimalsProvider(CurrencyDecimalsProvider provider);

    bool WriteEdits() const { return write_edits_; }
    void SetWriteEdits(bool write) { write_edits_ = write; }

    // ---- Busy indicator.
    bool LoadingAnimation() const { return loading_animation_; }
    void SetLoadingAnimation(bool on);
    void StartLoadingAnimation();
    void EndLoadingAnimation();
    bool Animating() const { return animating_ && loading_animation_; }

    // ---- The program's refresh and release.
    // Shows the values again (and takes the rows again if they changed).
    void RefreshAfterEdit();
    // The grid's size changed: the views lay it out again.
    void RefreshAfterResize();
    // Unbinds and drops the columns and the initialization object (the window's unload). Handlers
    // end with the Subscriptions their owner holds.
    void Release();

    // ---- The user's actions. Each does nothing on a disabled or hidden grid.
    void UserEnter();
    // Selects the cell; False when it is outside the grid.
    bool UserMoveTo(long row, long column);
    // Raises KeyDown, then handles what is left of the key: arrows, Home/End (with Ctrl: first/last
    // row), Page Up/Down, Tab and Shift+Tab (the next or previous column of the row; from the last or
    // first column the key is left to the view, which moves to the next or previous control), Enter
    // (the next column, then the next row's first). Returns the key code left: 0 when a handler
    // discarded the key or the grid used it.
    int16_t UserKeyDown(int16_t key_code, int16_t shift);
    // The user typed `text` into the cell and confirmed it: moves there first if needed, then reads the
    // text as the field's type, raises Event66 and OnEdited and writes the value (see the top). Text
    // equal to the cell's edit text is accepted as no edit: nothing is raised or written.
    EditOutcome UserEditCell(long row, long column, const std::string& text);
    // What UserEditCell would say of `text` before raising anything: refused when the cell is not
    // editable or the text does not read as the field's type; accepted otherwise. Raises no event, so
    // a program can check a whole block of cells before it edits any of them.
    EditOutcome CheckCellText(long row, long column, const std::string& text) const;

    // What the owner of the data says of a value a user edit would store, once it reads as the
    // field's type: a reason to refuse it (shown as the edit's message), or nothing, having perhaps
    // brought `value` to what the cell stores (rounded, say). Blank values are not asked about.
    // UserEditCell and CheckCellText both ask, so a typed cell, a pasted block and any command that
    // checks first refuse alike.
    using EditRule = std::function<std::optional<std::string>(long row, long column, Variant& value)>;
    void SetEditRule(EditRule rule) { edit_rule_ = std::move(rule); }
    // The bookmark of a visible row of the data (0-based); Empty when there is no such row.
    Variant RowBookmark(long row) const;

    // ---- Computed columns: cells that are no field of the recordset but are worked out from its row.
    struct ComputedCell {
        Variant value;
        bool marked = false;  // a warning (see CellMarked)
    };
    using CellComputer = std::function<ComputedCell(ado::Recordset& row)>;
    // Columns bound to `data_field` show what `compute` gives for a clone of the recordset standing on
    // their row; they are read-only. A row whose computed cell is marked has its cells of the fields
    // `also_marked` marked as well, whether the computed column is shown or not. Kept across column
    // definitions until Release; an empty function removes it. A computer that raises kv::Error gives
    // an empty, unmarked cell.
    void SetComputedField(std::string data_field, CellComputer compute, std::vector<std::string> also_marked = {});
    // Whether the views draw the cell as a warning: in red, its text followed by " \u25BC".
    bool CellMarked(long row, long column) const;
    // The cell as the views draw it: CellText, and the warning's sign when the cell is marked. What is
    // copied from the grid is CellText: the figure alone.
    std::string CellDisplayText(long row, long column) const;

    Event<> Event0;
    Event<> RowChanged;
    Event<int16_t& /*KeyCode*/, int16_t /*Shift*/> KeyDown;
    Event<const GridEdit& /*edit*/, long /*column*/> Event66;
    Event<const GridEdit& /*edit*/> OnEdited;
    Event<long /*last_row*/, long /*last_column*/, long /*row*/, long /*column*/> RowColChange;

  private:
    friend class GridColumn;
    // Notifies the views unless a definition bracket or Redraw False holds the notifications back.
    void Emit(ControlChange what);
    void Renumber();
    void UpdateNumberFormat(GridColumn& column) const;
    const ado::FieldInfo* FieldOf(long column) const;
    std::optional<std::string> AskEditRule(long row, long column, Variant& value) const;
    bool RowsStale() const;
    struct Computed {
        std::string field;  // in upper case
        CellComputer compute;
        std::vector<std::string> also_marked;  // in upper case
    };
    ComputedCell ComputeCell(const Computed& c, long row) const;
    const Computed* ComputedOf(long column) const;
    // Reads the identities of the rows of the recordset's view, without moving it. False, and nothing
    // taken, while the current row is a deleted row: the view is about to change again.
    bool TakeRows();
    long NextVisibleColumn(long from, int step) const;
    bool MoveBy(long rows, long columns, bool wrap);

    GridColumns columns_;
    std::shared_ptr<Object> init_class_;
    int load_mode_ = 0;
    bool enable_editing_ = true;
    bool initializing_ = false;
    bool redraw_ = true;
    bool held_back_ = false;
    long current_col_ = -1;

    ado::RecordsetPtr source_;
    ado::RecordsetPtr reader_;        // a clone of source_ that the cells are read through
    std::vector<Variant> bookmarks_;  // the rows of source_'s view, in order
    EditRule edit_rule_;
    std::vector<Computed> computed_;
    uint64_t seen_stamp_ = 0;  // the recordset view the rows were read from
    long seen_row_ = -1;

    RegionalSettings regional_;
    CurrencyDecimalsProvider currencies_;
    bool write_edits_ = true;
    bool loading_animation_ = false;
    bool animating_ = false;
};

}  // namespace kv::controls
