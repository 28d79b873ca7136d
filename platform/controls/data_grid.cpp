#include "platform/controls/data_grid.h"

#include <algorithm>

#include "platform/controls/keys.h"
#include "platform/variant/error.h"
#include "platform/variant/strings.h"

namespace kv::controls {

namespace {

constexpr long kPageRows = 10;

bool IsNumericType(ado::DataTypeEnum t) {
    switch (t) {
        case ado::adSmallInt:
        case ado::adInteger:
        case ado::adDouble:
        case ado::adCurrency:
        case ado::adDecimal:
        case ado::adNumeric:
        case ado::adBigInt:
            return true;
        default:
            return false;
    }
}

bool IsFixedText(ado::DataTypeEnum t) { return t == ado::adChar || t == ado::adWChar; }

bool IsTextType(ado::DataTypeEnum t) {
    switch (t) {
        case ado::adBSTR:
        case ado::adChar:
        case ado::adWChar:
        case ado::adVarChar:
        case ado::adLongVarChar:
        case ado::adVarWChar:
        case ado::adLongVarWChar:
            return true;
        default:
            return false;
    }
}

EditOutcome Refused(long number, std::string message) {
    EditOutcome out;
    out.accepted = false;
    out.error_number = number;
    out.message = std::move(message);
    return out;
}

// What the user reads when the recordset refuses a value that read well: the recordset's own
// description is a developer's text, so the message says in the user's terms what went wrong.
std::string WriteRefusedMessage(long number, const std::string& text) {
    const std::string quoted = "\"" + text + "\"";
    switch (number) {
        case err::kOverflow:
            return "Il valore " + quoted + " è fuori dall'intervallo che la colonna ammette.";
        case err::kMultipleStep:
            return "Il valore " + quoted + " non è accettato dalla colonna (per esempio un testo troppo lungo).";
        default:
            return "Il valore " + quoted + " non è stato scritto (errore " + std::to_string(number) + ").";
    }
}

// The typed text as a value of the field's type; a refusal when it does not read as one.
std::optional<Variant> ReadTyped(const std::string& text, const ado::FieldInfo& field,
                                 const RegionalSettings& rs, EditOutcome& refusal) {
    const std::string trimmed = Trim(text);
    if (IsNumericType(field.type)) {
        if (trimmed.empty()) return Variant::Null();
        EnteredNumber n = ParseEnteredNumber(trimmed, rs);
        if (n.value) return Variant(*n.value);
        refusal = Refused(err::kTypeMismatch, n.message);
        return std::nullopt;
    }
    if (field.type == ado::adDate) {
        if (trimmed.empty()) return Variant::Null();
        if (auto d = Date::ParseLocal(trimmed, rs)) return Variant(*d);
        refusal = Refused(err::kTypeMismatch, "Il valore \"" + text + "\" non è una data valida.");
        return std::nullopt;
    }
    if (field.type == ado::adBoolean) {
        if (trimmed.empty()) return Variant::Null();
        try {
            return Variant(CBool(Variant(trimmed), rs));
        } catch (const Error&) {
            refusal = Refused(err::kTypeMismatch, "Il valore \"" + text + "\" non è Vero o Falso.");
            return std::nullopt;
        }
    }
    if (IsTextType(field.type) && field.defined_size > 0 &&
        static_cast<long>(Len(IsFixedText(field.type) ? RTrim(text) : text)) > field.defined_size) {
        refusal = Refused(err::kMultipleStep,
                          "Il testo è più lungo di " + std::to_string(field.defined_size) + " caratteri.");
        return std::nullopt;
    }
    return Variant(text);
}

}  // namespace

// ---- GridColumn / GridColumns

void GridColumn::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    grid_->Emit(ControlChange::Layout);
}

void GridColumn::SetWidth(long twips) {
    if (twips < 0)
        throw Error(kInvalidPropertyValue, "Invalid property value: a column width cannot be negative");
    width_ = twips;
    grid_->Emit(ControlChange::Layout);
}

void GridColumn::SetFormat(std::string format) {
    format_ = std::move(format);
    grid_->UpdateNumberFormat(*this);
    grid_->Emit(ControlChange::Content);
}

void GridColumn::SetLocked(bool locked) {
    locked_ = locked;
    grid_->Emit(ControlChange::Properties);
}

void GridColumn::SetVisible(bool visible) {
    visible_ = visible;
    grid_->Emit(ControlChange::Layout);
}

GridColumn& GridColumns::Item(long index) const {
    if (index < 0 || index >= Count())
        throw Error(35600, "Index out of bounds: column " + std::to_string(index), "Columns");
    return *items_[static_cast<std::size_t>(index)];
}

GridColumn& GridColumns::Item(std::string_view data_field) const {
    long i = IndexOf(data_field);
    if (i < 0) throw Error(35601, "Element not found: column '" + std::string(data_field) + "'", "Columns");
    return *items_[static_cast<std::size_t>(i)];
}

long GridColumns::IndexOf(std::string_view data_field) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (EqualsNoCase(items_[i]->data_field_, data_field)) return static_cast<long>(i);
    return -1;
}

// ---- DataGrid: definition

DataGrid::DataGrid(std::string name, const RegionalSettings& rs) : Control(std::move(name)), regional_(rs) {}
DataGrid::~DataGrid() = default;

void DataGrid::Emit(ControlChange what) {
    if (initializing_ || !redraw_) {
        held_back_ = true;
        return;
    }
    Notify(what);
}

void DataGrid::Renumber() {
    for (std::size_t i = 0; i < columns_.items_.size(); ++i)
        columns_.items_[i]->index_ = static_cast<long>(i);
}

void DataGrid::ClearInit() {
    columns_.items_.clear();
    current_col_ = -1;
    Emit(ControlChange::Layout);
}

void DataGrid::INIT_ADDColumn(std::string data_field, std::string caption, int type, long width,
                              const Variant& a5, const Variant& a6, std::string format) {
    if (width < 0)
        throw Error(kInvalidPropertyValue, "Invalid property value: a column width cannot be negative",
                    Name());
    auto col = std::unique_ptr<GridColumn>(new GridColumn(this));
    col->data_field_ = std::move(data_field);
    col->caption_ = std::move(caption);
    col->type_ = type;
    col->width_ = width;
    if (!a5.IsEmpty() && !a5.IsNull()) {
        try {
            col->stretch_ = CBool(a5, regional_);
        } catch (const Error&) {
            col->stretch_ = false;
        }
    }
    col->extra_ = a6;
    col->format_ = std::move(format);
    UpdateNumberFormat(*col);
    columns_.items_.push_back(std::move(col));
    Renumber();
    if (current_col_ < 0) current_col_ = 0;
    Emit(ControlChange::Layout);
}

void DataGrid::InitializeSTART() { initializing_ = true; }

void DataGrid::InitializeEND() {
    initializing_ = false;
    if (redraw_) {
        held_back_ = false;
        Notify(ControlChange::Layout);
    }
}

void DataGrid::SetEnableEditing(bool enabled) {
    enable_editing_ = enabled;
    Emit(ControlChange::Properties);
}

void DataGrid::MODCOL_Alignment(std::string_view data_field, int alignment) {
    for (auto& c : columns_.items_)
        if (EqualsNoCase(c->data_field_, data_field)) c->alignment_ = alignment;
    Emit(ControlChange::Content);
}

void DataGrid::MODCOL_Editing(std::string_view data_field, int mode) {
    for (auto& c : columns_.items_)
        if (EqualsNoCase(c->data_field_, data_field)) c->locked_ = mode != 1;
    Emit(ControlChange::Properties);
}

void DataGrid::MODCOL_ClassFormat(std::string_view data_field, int cls, int kind, std::string unit) {
    for (auto& c : columns_.items_)
        if (EqualsNoCase(c->data_field_, data_field)) {
            c->class_format_ = ClassFormat{cls, kind, unit};
            UpdateNumberFormat(*c);
        }
    Emit(ControlChange::Content);
}

void DataGrid::SetColumnCaption(std::string_view data_field, std::string caption) {
    for (auto& c : columns_.items_)
        if (EqualsNoCase(c->data_field_, data_field)) c->caption_ = caption;
    Emit(ControlChange::Layout);
}

void DataGrid::SetRedraw(bool redraw) {
    redraw_ = redraw;
    if (redraw_ && !initializing_) {
        held_back_ = false;
        Notify(ControlChange::Layout);
    }
}

void DataGrid::SetCurrentColumnIndex(long index) {
    if (index < 0 || index >= columns_.Count()) return;
    current_col_ = index;
    Emit(ControlChange::Current);
}

GridColumn* DataGrid::CurrentColumn() {
    if (current_col_ < 0 || current_col_ >= columns_.Count()) return nullptr;
    return columns_.items_[static_cast<std::size_t>(current_col_)].get();
}

// ---- Binding

void DataGrid::SetDataSource(ado::RecordsetPtr recordset) {
    source_ = std::move(recordset);
    bookmarks_.clear();
    reader_.reset();
    seen_stamp_ = 0;
    try {
        TakeRows();
    } catch (const Error&) {
        bookmarks_.clear();
        reader_.reset();
    }
    seen_row_ = CurrentRow();
    Emit(ControlChange::Layout);
}

bool DataGrid::TakeRows() {
    if (!source_ || source_->State() != ado::adStateOpen) {
        bookmarks_.clear();
        reader_.reset();
        seen_stamp_ = 0;
        return true;
    }
    // While the current row is a deleted one the view is about to change again: keep the rows shown.
    if (source_->AbsolutePosition() >= 1) {
        try {
            source_->Bookmark();
        } catch (const Error&) {
            return false;
        }
    }
    // The rows are read without moving the recordset, so an edit in progress stays open.
    bookmarks_ = source_->VisibleBookmarks();
    seen_stamp_ = source_->ViewStamp();
    reader_ = source_->Clone();
    return true;
}

bool DataGrid::RowsStale() const {
    if (!source_ || source_->State() != ado::adStateOpen) return !bookmarks_.empty() || reader_ != nullptr;
    if (!reader_) return true;
    return source_->ViewStamp() != seen_stamp_;
}

bool DataGrid::SyncWithDataSource() {
    bool taken = false;
    try {
        if (RowsStale() && TakeRows()) {
            taken = true;
            seen_row_ = CurrentRow();
            Emit(ControlChange::Layout);
        }
        long row = CurrentRow();
        if (!taken && row != seen_row_) {
            seen_row_ = row;
            Emit(ControlChange::Current);
        }
    } catch (const Error&) {
        // The recordset is in a state that cannot be read now; the next sync tries again.
    }
    return taken;
}

long DataGrid::CurrentRow() const {
    if (!source_) return -1;
    try {
        if (source_->State() != ado::adStateOpen) return -1;
        const long pos = source_->AbsolutePosition();
        if (pos < 1 || pos > RowCount()) return -1;
        return pos - 1;
    } catch (const Error&) {
        return -1;
    }
}

const ado::FieldInfo* DataGrid::FieldOf(long column) const {
    if (!source_ || column < 0 || column >= columns_.Count()) return nullptr;
    if (source_->State() != ado::adStateOpen) return nullptr;
    int i = source_->GetFields().IndexOf(columns_.items_[static_cast<std::size_t>(column)]->data_field_);
    if (i < 0) return nullptr;
    return &source_->FieldInfos()[static_cast<std::size_t>(i)];
}

// ---- Computed columns

void DataGrid::SetComputedField(std::string data_field, CellComputer compute, std::vector<std::string> also_marked) {
    data_field = UCase(data_field);
    std::erase_if(computed_, [&](const Computed& c) { return c.field == data_field; });
    for (auto& f : also_marked) f = UCase(f);
    if (compute) computed_.push_back({std::move(data_field), std::move(compute), std::move(also_marked)});
    Emit(ControlChange::Content);
}

const DataGrid::Computed* DataGrid::ComputedOf(long column) const {
    if (computed_.empty() || column < 0 || column >= columns_.Count()) return nullptr;
    const std::string field = UCase(columns_.items_[static_cast<std::size_t>(column)]->data_field_);
    for (const Computed& c : computed_)
        if (c.field == field) return &c;
    return nullptr;
}

DataGrid::ComputedCell DataGrid::ComputeCell(const Computed& c, long row) const {
    if (!reader_ || row < 0 || row >= RowCount()) return ComputedCell{};
    try {
        reader_->SetBookmark(bookmarks_[static_cast<std::size_t>(row)]);
        return c.compute(*reader_);
    } catch (const Error&) {
        return ComputedCell{};  // a row that is gone, or a figure that cannot be worked out: an empty cell
    }
}

bool DataGrid::CellMarked(long row, long column) const {
    if (computed_.empty() || column < 0 || column >= columns_.Count()) return false;
    if (const Computed* c = ComputedOf(column)) return ComputeCell(*c, row).marked;
    const std::string field = UCase(columns_.items_[static_cast<std::size_t>(column)]->data_field_);
    for (const Computed& c : computed_)
        if (std::find(c.also_marked.begin(), c.also_marked.end(), field) != c.also_marked.end() &&
            ComputeCell(c, row).marked)
            return true;
    return false;
}

std::string DataGrid::CellDisplayText(long row, long column) const {
    std::string text = CellText(row, column);
    if (CellMarked(row, column)) text += " \u25BC";
    return text;
}

// ---- Cells

Variant DataGrid::CellValue(long row, long column) const {
    if (!reader_ || row < 0 || row >= RowCount() || column < 0 || column >= columns_.Count())
        return Variant();
    if (const Computed* c = ComputedOf(column)) return ComputeCell(*c, row).value;
    try {
        reader_->SetBookmark(bookmarks_[static_cast<std::size_t>(row)]);
        return reader_->Value(columns_.items_[static_cast<std::size_t>(column)]->data_field_);
    } catch (const Error&) {
        return Variant();
    }
}

void DataGrid::UpdateNumberFormat(GridColumn& c) const {
    c.number_format_ = NumberFormat{};
    if (c.class_format_) {
        const ClassFormat& f = *c.class_format_;
        c.number_format_ = ClassNumberFormat(f.cls, f.kind, f.unit, currencies_);
    } else if (!c.format_.empty()) {
        if (auto f = ParseNumberPattern(c.format_)) c.number_format_ = *f;
    }
}

NumberFormat DataGrid::ColumnNumberFormat(long column) const {
    if (column < 0 || column >= columns_.Count()) return NumberFormat{};
    return columns_.items_[static_cast<std::size_t>(column)]->number_format_;
}

bool DataGrid::ColumnIsNumeric(long column) const {
    const ado::FieldInfo* f = FieldOf(column);
    return f != nullptr && IsNumericType(f->type);
}

std::string DataGrid::CellText(long row, long column) const {
    Variant v = CellValue(row, column);
    if (v.IsEmpty() || v.IsNull()) return "";
    try {
        if (v.IsNumber() && v.Type() != VarType::Boolean) {
            const GridColumn& c = *columns_.items_[static_cast<std::size_t>(column)];
            return FormatNumber(CDec(v, regional_), c.number_format_, regional_);
        }
        if (const Date* d = v.TryGet<Date>()) return d->ToString(regional_);
        if (v.IsString()) {
            const ado::FieldInfo* f = FieldOf(column);
            return (f && IsFixedText(f->type)) ? RTrim(v.StringValue()) : v.StringValue();
        }
        return CStr(v, regional_);
    } catch (const Error&) {
        return "";
    }
}

std::string DataGrid::CellEditText(long row, long column) const {
    Variant v = CellValue(row, column);
    if (v.IsEmpty() || v.IsNull()) return "";
    try {
        if (v.IsNumber() && v.Type() != VarType::Boolean)
            return FormatNumber(CDec(v, regional_), NumberFormat{}, regional_);
        if (const Date* d = v.TryGet<Date>()) return d->ToString(regional_);
        if (v.IsString()) return RTrim(v.StringValue());
        return CStr(v, regional_);
    } catch (const Error&) {
        return "";
    }
}

bool DataGrid::CellEditable(long row, long column) const {
    if (!Enabled() || !enable_editing_) return false;
    if (row < 0 || row >= RowCount() || column < 0 || column >= columns_.Count()) return false;
    const GridColumn& c = *columns_.items_[static_cast<std::size_t>(column)];
    return !c.locked_ && c.visible_ && FieldOf(column) != nullptr;
}

void DataGrid::SetRegionalSettings(const RegionalSettings& rs) {
    regional_ = rs;
    Emit(ControlChange::Content);
}

void DataGrid::SetCurrencyDecimalsProvider(CurrencyDecimalsProvider provider) {
    currencies_ = std::move(provider);
    for (auto& c : columns_.items_) UpdateNumberFormat(*c);
    Emit(ControlChange::Content);
}

// ---- Busy indicator, refresh, release

void DataGrid::SetLoadingAnimation(bool on) {
    loading_animation_ = on;
    if (!on) animating_ = false;
    Emit(ControlChange::Properties);
}

void DataGrid::StartLoadingAnimation() {
    animating_ = true;
    Emit(ControlChange::Properties);
}

void DataGrid::EndLoadingAnimation() {
    animating_ = false;
    Emit(ControlChange::Properties);
}

void DataGrid::RefreshAfterEdit() {
    try {
        if (RowsStale() && TakeRows()) {
            seen_row_ = CurrentRow();
            Emit(ControlChange::Layout);
            return;
        }
    } catch (const Error&) {
    }
    seen_row_ = CurrentRow();
    Emit(ControlChange::Content);
    Emit(ControlChange::Current);
}

void DataGrid::RefreshAfterResize() { Emit(ControlChange::Geometry); }

void DataGrid::Release() {
    computed_.clear();
    source_.reset();
    reader_.reset();
    bookmarks_.clear();
    columns_.items_.clear();
    current_col_ = -1;
    init_class_.reset();
    currencies_ = nullptr;
    Emit(ControlChange::Layout);
}

// ---- The user's actions

void DataGrid::UserEnter() {
    if (!Enabled() || !Visible()) return;
    Event0.Raise();
}

bool DataGrid::UserMoveTo(long row, long column) {
    if (!Enabled() || !Visible()) return false;
    if (columns_.Count() == 0) {
        column = -1;
    } else if (column < 0 || column >= columns_.Count()) {
        return false;
    }
    if (RowCount() == 0) {
        row = -1;
    } else if (row < 0 || row >= RowCount()) {
        return false;
    }
    const long last_row = CurrentRow();
    const long last_col = current_col_;
    if (row >= 0 && row != last_row) {
        try {
            source_->SetBookmark(bookmarks_[static_cast<std::size_t>(row)]);
        } catch (const Error&) {
            SyncWithDataSource();  // the row is gone: show what the recordset holds now
            return false;
        }
    }
    current_col_ = column;
    seen_row_ = row;
    Emit(ControlChange::Current);
    if (row >= 0 && row != last_row) RowChanged.Raise();
    if (row != last_row || column != last_col) RowColChange.Raise(last_row, last_col, row, column);
    return true;
}

long DataGrid::NextVisibleColumn(long from, int step) const {
    for (long c = from + step; c >= 0 && c < columns_.Count(); c += step)
        if (columns_.items_[static_cast<std::size_t>(c)]->visible_) return c;
    return -1;
}

bool DataGrid::MoveBy(long rows, long columns, bool wrap) {
    long row = CurrentRow();
    long col = current_col_;
    const long n = RowCount();
    if (n > 0 && row < 0) row = 0;
    if (rows != 0 && n > 0) row = std::clamp(row + rows, 0L, n - 1);
    if (columns != 0 && columns_.Count() > 0) {
        const int step = columns > 0 ? 1 : -1;
        long next = NextVisibleColumn(col, step);
        if (next < 0 && wrap && n > 0 && row + step >= 0 && row + step < n) {
            row += step;
            next = NextVisibleColumn(step > 0 ? -1 : columns_.Count(), step);
        }
        if (next >= 0) col = next;
    }
    return UserMoveTo(row, col);
}

int16_t DataGrid::UserKeyDown(int16_t key_code, int16_t shift) {
    if (!Enabled() || !Visible()) return 0;
    KeyDown.Raise(key_code, shift);
    if (key_code == 0) return 0;
    const bool ctrl = (shift & keys::kCtrlMask) != 0;
    const bool shifted = (shift & keys::kShiftMask) != 0;
    const long n = RowCount();
    switch (key_code) {
        case keys::kUp:
            MoveBy(-1, 0, false);
            return 0;
        case keys::kDown:
            MoveBy(1, 0, false);
            return 0;
        case keys::kLeft:
            MoveBy(0, -1, false);
            return 0;
        case keys::kRight:
            MoveBy(0, 1, false);
            return 0;
        case keys::kPageUp:
            MoveBy(-kPageRows, 0, false);
            return 0;
        case keys::kPageDown:
            MoveBy(kPageRows, 0, false);
            return 0;
        case keys::kHome: {
            long first = NextVisibleColumn(-1, 1);
            UserMoveTo(ctrl && n > 0 ? 0 : CurrentRow(), first >= 0 ? first : current_col_);
            return 0;
        }
        case keys::kEnd: {
            long last = NextVisibleColumn(columns_.Count(), -1);
            UserMoveTo(ctrl && n > 0 ? n - 1 : CurrentRow(), last >= 0 ? last : current_col_);
            return 0;
        }
        case keys::kTab: {
            // The next column of the row; past the last one (Shift+Tab: the first) Tab belongs to the
            // window, which moves to the next control, the same whether a cell was open or not.
            const long next = NextVisibleColumn(current_col_, shifted ? -1 : 1);
            if (next < 0) return key_code;
            MoveBy(0, shifted ? -1 : 1, false);
            return 0;
        }
        case keys::kReturn:
            MoveBy(0, shifted ? -1 : 1, true);
            return 0;
        default:
            return key_code;
    }
}

EditOutcome DataGrid::CheckCellText(long row, long column, const std::string& text) const {
    if (!Enabled() || !Visible()) return Refused(err::kIllegalOperation, "La griglia non è attiva.");
    if (!CellEditable(row, column)) return Refused(err::kIllegalOperation, "La cella non è modificabile.");
    EditOutcome outcome;
    if (text != CellEditText(row, column)) {
        auto value = ReadTyped(text, *FieldOf(column), regional_, outcome);
        if (!value) return outcome;
        if (auto why = AskEditRule(row, column, *value)) return Refused(err::kInvalidArgument, *why);
    }
    outcome.accepted = true;
    return outcome;
}

Variant DataGrid::RowBookmark(long row) const {
    if (row < 0 || row >= RowCount()) return Variant();
    return bookmarks_[static_cast<std::size_t>(row)];
}

std::optional<std::string> DataGrid::AskEditRule(long row, long column, Variant& value) const {
    if (!edit_rule_ || value.IsNull() || value.IsEmpty()) return std::nullopt;
    return edit_rule_(row, column, value);
}

EditOutcome DataGrid::UserEditCell(long row, long column, const std::string& text) {
    if (!Enabled() || !Visible()) return Refused(err::kIllegalOperation, "La griglia non è attiva.");
    if (!CellEditable(row, column)) return Refused(err::kIllegalOperation, "La cella non è modificabile.");
    // Confirming a cell as it stood is no edit: no events, nothing written.
    if (text == CellEditText(row, column)) {
        EditOutcome unchanged;
        unchanged.accepted = true;
        return unchanged;
    }
    const ado::FieldInfo* field = FieldOf(column);
    const std::string field_name = field->name;
    EditOutcome refusal;
    std::optional<Variant> value = ReadTyped(text, *field, regional_, refusal);
    if (!value) return refusal;
    if (auto why = AskEditRule(row, column, *value)) return Refused(err::kInvalidArgument, *why);

    if (row != CurrentRow() || column != current_col_) {
        if (!UserMoveTo(row, column)) return Refused(err::kNoCurrentRecord, "La riga non esiste più.");
        // The move's handlers may have changed the grid: the edit goes on only if the cell still takes it.
        if (!CellEditable(row, column))
            return Refused(err::kIllegalOperation, "La cella non è modificabile.");
    }
    const Variant bookmark = bookmarks_[static_cast<std::size_t>(row)];
    GridEdit edit(row, column, *value, text);
    Event66.Raise(edit, column);
    OnEdited.Raise(edit);

    if (write_edits_) {
        if (!source_ || source_->State() != ado::adStateOpen)
            return Refused(err::kObjectClosed, "La griglia non è più collegata ai dati.");
        try {
            if (source_->AbsolutePosition() < 1 || !(source_->Bookmark() == bookmark))
                source_->SetBookmark(bookmark);
            source_->SetValue(field_name, *value);
        } catch (const Error& e) {
            Emit(ControlChange::Content);
            return Refused(e.Number(), WriteRefusedMessage(e.Number(), text));
        }
    }
    Emit(ControlChange::Content);
    EditOutcome ok;
    ok.accepted = true;
    return ok;
}

}  // namespace kv::controls
