#pragma once
// Recordset: the platform's client-side cursor over a set of rows. One class serves both kinds the
// component uses:
//  - results of Connection::Execute, fetched whole into the client cursor (exact RecordCount,
//    AbsolutePosition, Filter and Clone all work on them);
//  - fabricated recordsets: Fields().Append(...) on a closed recordset, then Open() with no source;
//    rows are added, edited and deleted locally and UpdateBatch/CancelBatch accept or undo the changes.
//
// Rows live in a store shared by a recordset and its clones; each Recordset object has its own filter,
// view of the rows and current position. Filters that are ANDs of equalities (the way the component
// looks rows up by key, once per row of a loop) are answered from a hash index kept per field set and
// maintained as values change, so such a lookup costs the size of its answer, not of the recordset.
//
// Errors are kv::Error with the platform's numbers: 3021 no current row, 3265 unknown field,
// 3001 bad argument or filter text, 3704 closed, 3705 already open, 3709 opened with no fields,
// 13 type mismatch on assignment, -2147217887 value too long for its field. A failing call leaves the
// recordset as it was.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/enums.h"
#include "platform/variant/regional.h"
#include "platform/variant/variant.h"

namespace kv::ado {

class Recordset;
struct RowStore;
class Cell;
class CellArray;
struct Row;

// A column definition as appended or as reported by a query.
struct FieldInfo {
    std::string name;
    DataTypeEnum type = adVarWChar;
    long defined_size = 0;  // characters for text types; 0 when not applicable
    long attributes = 0;
};

// A field of the current row: a light handle, valid while its recordset lives.
class Field {
public:
    const std::string& Name() const;
    DataTypeEnum Type() const;
    long DefinedSize() const;
    long Attributes() const;
    // The value in the current row (3021 with no current row). adChar/adWChar text comes back padded
    // with blanks to DefinedSize.
    Variant Value() const;
    // Stores the value coerced to the field's type (Empty stores Null). 13 when it does not convert,
    // -2147217887 when text is longer than the field; the row keeps its old value then.
    void SetValue(const Variant& v) const;
    Field& operator=(const Variant& v) { SetValue(v); return *this; }
    operator Variant() const { return Value(); }  // NOLINT(google-explicit-constructor)
    int Index() const { return index_; }

private:
    friend class Fields;
    Field(Recordset* rs, int index) : rs_(rs), index_(index) {}
    Recordset* rs_;
    int index_;
};

class Fields {
public:
    int Count() const;
    // By position (0 .. Count-1) or by name, case-insensitively; 3265 when there is no such field.
    Field Item(int index) const;
    Field Item(std::string_view name) const;
    Field operator[](int index) const { return Item(index); }
    Field operator[](std::string_view name) const { return Item(name); }
    Field operator[](const char* name) const { return Item(std::string_view(name)); }
    // -1 when absent.
    int IndexOf(std::string_view name) const;
    // Only on a closed recordset (3219 otherwise); a duplicate name raises 3367.
    void Append(std::string_view name, DataTypeEnum type, long defined_size = 0,
                long attributes = adFldUnspecified);

private:
    friend class Recordset;
    explicit Fields(Recordset* rs) : rs_(rs) {}
    Recordset* rs_;
};

class Recordset : public Object, public std::enable_shared_from_this<Recordset> {
public:
    Recordset();
    ~Recordset() override;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    static std::shared_ptr<Recordset> Create() { return std::make_shared<Recordset>(); }
    // A static, fully fetched result (what Connection::Execute returns): open, positioned on its first
    // row, read-only for the component's purposes but locally editable like any client cursor.
    static std::shared_ptr<Recordset> FromRows(std::vector<FieldInfo> fields,
                                               std::vector<std::vector<Variant>> rows,
                                               const RegionalSettings& rs = RegionalSettings::Italian());

    // Cursor properties: stored and reported; a client cursor behaves the same whatever they say.
    CursorLocationEnum CursorLocation() const { return cursor_location_; }
    void SetCursorLocation(CursorLocationEnum v) { cursor_location_ = v; }
    CursorTypeEnum CursorType() const { return cursor_type_; }
    void SetCursorType(CursorTypeEnum v) { cursor_type_ = v; }
    LockTypeEnum LockType() const { return lock_type_; }
    void SetLockType(LockTypeEnum v) { lock_type_ = v; }
    // The settings text <-> number conversions use on assignment.
    void SetRegionalSettings(const RegionalSettings& rs);

    // Opens a fabricated recordset (no source). 3705 when open, 3709 with no fields.
    void Open();
    // Discards pending changes and the field definitions of a fabricated recordset. 3704 when closed.
    void Close();
    ObjectStateEnum State() const { return open_ ? adStateOpen : adStateClosed; }

    Fields GetFields() { return Fields(this); }
    Field Item(std::string_view name) { return GetFields().Item(name); }
    Field operator[](std::string_view name) { return Item(name); }
    Field operator[](const char* name) { return Item(std::string_view(name)); }
    // Value of a field of the current row, by name or by index.
    Variant Value(std::string_view name) const;
    Variant Value(int index) const;
    void SetValue(std::string_view name, const Variant& v);
    void SetValue(int index, const Variant& v);
    // The values of fields `indexes[0..n)` of the current row into out[0..n): Value(index) for each,
    // with the row found once. A bad index raises as Value does, leaving out partly written.
    void Values(const int* indexes, std::size_t n, Variant* out) const;
    // The same fields read as numbers, when each holds a Double, Null or Empty (Null and Empty read 0):
    // true then; false, with out partly written, when one holds anything else.
    bool Numbers(const int* indexes, std::size_t n, double* out) const;
    // The same fields read as plain data, each a number (a Double, a whole number), a date (its serial
    // in `number`), a text without the blanks that end it, or nothing (Null, Empty): true then; false,
    // with out partly written, when one holds anything else (a Boolean, a Decimal). The views last until
    // a value of the row changes. Loops over thousands of rows read them this way, without a Variant a
    // field.
    struct Scalar {
        enum Kind : uint8_t { kBlank, kNumber, kDate, kText };
        Kind kind = kBlank;
        double number = 0;
        std::string_view text;
        std::size_t blanks = 0;  // the blanks that end the text, not in `text`
    };
    bool Scalars(const int* indexes, std::size_t n, Scalar* out) const;
    // The same fields read as text without the blanks that end it (those that pad fixed-width text
    // included), when each holds text, Null or Empty (read as ""): true then; false, with out partly
    // written, when one holds anything else. Nothing is copied: the views last until a value of the
    // row changes. Loops that compare keys of thousands of rows read them this way.
    bool Texts(const int* indexes, std::size_t n, std::string_view* out) const;

    // ---- Navigation over the rows visible through the filter.
    // BOF and EOF as the platform names them; EOF is a C library macro, hence the Is prefix.
    bool IsBOF() const;
    bool IsEOF() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    void Move(long n);
    // 1-based ordinal in the view; adPosBOF/adPosEOF at the ends, adPosUnknown when empty.
    long AbsolutePosition() const;
    void SetAbsolutePosition(long position);  // 3001 when out of range, and nothing changes
    long RecordCount() const;
    // An opaque, stable identity of the current row, valid across clones (3021 with no current row).
    Variant Bookmark() const;
    void SetBookmark(const Variant& bookmark);
    // The same bookmark as a whole number, without the Variant: walks over thousands of rows keep
    // and go back to rows this way.
    long long BookmarkNumber() const;
    void SetBookmarkNumber(long long bookmark);

    // ---- Editing.
    // Appends a row whose fields read Null and makes it current (an edit in progress is kept first).
    void AddNew();
    // AddNew with the row's values given, one per field in field order: the row is appended holding
    // them, converted as SetValue converts them, is made current and is kept at once as by Update. A
    // value that does not convert raises SetValue's error and nothing is added. Filling many rows this
    // way costs one step per row instead of one per field.
    void AddNew(const std::vector<Variant>& values);
    // AddNew(values), the fields to[k] taking instead the value of field from[k] of `source`'s current
    // row, converted as SetValue converts it, cell by cell: a loader that copies stored rows into new
    // ones makes no value of what it copies. 3021 when `source` has no current row, and nothing is
    // added; an index out of range raises as a field number does.
    void AddNew(const std::vector<Variant>& values, const Recordset& source, const int* from, const int* to,
                std::size_t n);
    // `v` as field `index` would store it (SetValue's conversion and its errors), storing nothing.
    Variant ConvertValue(int index, const Variant& v) const;
    // Keeps the edit of the current row in the local cache.
    void Update();
    // Undoes the edit in progress; an added row is removed and the row current before AddNew returns.
    // An edit whose row a clone has deleted or whose changes a clone has accepted is left as it is.
    void CancelUpdate();
    // Deletes the current row (adAffectCurrent), or every row visible through this object under a filter
    // group or no filter (adAffectGroup: each as deleting it alone would, and the view is left empty; 3001
    // under a criteria text); other values raise 3001. A deleted current row stays current until the next
    // move; reading its fields raises 3021; MoveNext goes to the row that followed it. Rows that are gone
    // for good (an added row deleted, a deletion accepted) give back their memory; their bookmarks never
    // name another row.
    void Delete(AffectEnum affect = adAffectCurrent);
    EditModeEnum EditMode() const;
    // RecordStatusEnum flags of the current row.
    int Status() const;
    // Accepts every pending change locally (rows become unmodified, deleted rows are gone), whatever the
    // filter shows; adAffectCurrent only the current row's. Edits in progress through clones are
    // accepted with the rest: their CancelUpdate has nothing left to undo.
    void UpdateBatch(AffectEnum affect = adAffectAll);
    // Returns the rows to their last accepted state (added rows vanish, deleted rows return, values
    // revert) and moves to the first row.
    void CancelBatch(AffectEnum affect = adAffectAll);

    // ---- Filter. Reading gives the criteria text, or the Integer 0 when there is none. Assigning 0 or ""
    // removes it; assigning 1 (adFilterPendingRecords) shows the rows with pending changes. Every
    // assignment moves to the first row of the new view. Criteria grammar: clauses `Field op value`
    // (op: = <> < > <= >= LIKE), joined by AND and OR (AND binds tighter), parentheses nest freely;
    // values 'text' (quote doubled inside), #date#, numbers, NULL. Text compares ignoring case and
    // trailing blanks. Rows added or edited after the assignment stay in the view until the next one.
    // A malformed text raises 3001, an unknown field 3265; neither changes the filter or position.
    Variant Filter() const;
    void SetFilter(const Variant& filter);

    // A new recordset over the same rows: its own position (the first row) and no filter.
    // lock_type: adLockUnspecified (the same) or adLockReadOnly; anything else raises 3001.
    std::shared_ptr<Recordset> Clone(LockTypeEnum lock_type = adLockUnspecified);

    // Changes whenever the rows visible through this object change (a filter assigned, a row added,
    // deleted or left after deletion, rows added or removed through a clone), so a view bound to the
    // recordset knows exactly when to read its rows again.
    uint64_t ViewStamp() const;
    // The rows this object shares with its clones, as they stand. Two equal stamps mean the same rows:
    // none added or removed and no batch cancelled in between (their values may have changed). Another
    // recordset, or the same one closed and opened again, never gives an earlier stamp back.
    struct RowsStamp {
        uint64_t rows = 0;  // which rows: a number no other set of rows in the process has
        uint64_t version = 0;
        uint64_t reset = 0;
        bool operator==(const RowsStamp&) const = default;
    };
    RowsStamp Rows() const;
    // A clock of the values stored into the rows this object shares with its clones: it moves on with
    // every value stored (SetValue, AddNew, a CancelBatch that reverts values) and never goes back.
    // UpdateBatch does not move it. 3704 when closed.
    uint64_t ChangeClock() const;
    // The bookmarks (as Bookmark gives them, numbers) of the rows, whatever the filter, whose values
    // were stored after the clock read `clock`, in row order; deleted rows are left out.
    std::vector<long long> ChangedSince(uint64_t clock) const;
    // The clock when a value of the current row was last stored (0: never since the rows were made),
    // and the row's bookmark as a number when `bookmark` is given. 3021 when there is no current row.
    // Whoever works something out from a row can tell by it later whether the row changed since.
    uint64_t RowClock(long long* bookmark = nullptr) const;
    // The bookmarks of the rows visible through this object, in order, without moving it.
    std::vector<Variant> VisibleBookmarks() const;

    // A journal of the values stored into the rows this object shares with its clones, for undo. While
    // one is set, every value stored (by SetValue through any clone, or by a CancelUpdate or CancelBatch
    // putting values back) that differs from the value it replaces is appended to it: the row's
    // bookmark, the field's position, the value before and the value after, as the field holds them.
    // Rows added and rows deleted are not noted. Null stops the noting. The journal is the caller's:
    // the rows only append to it.
    struct JournalEntry {
        long long bookmark;
        int field;
        Variant before;
        Variant after;
    };
    void SetJournal(std::shared_ptr<std::vector<JournalEntry>> journal);

    // Read access to the column definitions without the handle objects.
    const std::vector<FieldInfo>& FieldInfos() const;

private:
    friend class Field;
    friend class Fields;
    struct View;

    void RequireOpen() const;
    int RequireField(std::string_view name) const;
    int64_t CurrentRowId() const;  // 3021 when there is no current row
    const CellArray& CellsOf(const int* indexes, std::size_t n) const;
    void Append(Row&& row);  // a new row made by AddNew, kept at once
    void Sync() const;             // brings this view up to date with changes made through clones
    void FinishEdit();
    void LeaveDeletedRow();
    void DeleteGroup();
    void ApplyFilter(const Variant& filter);

    std::shared_ptr<RowStore> store_;
    std::unique_ptr<View> view_;
    bool open_ = false;
    CursorLocationEnum cursor_location_ = adUseServer;
    CursorTypeEnum cursor_type_ = adOpenForwardOnly;
    LockTypeEnum lock_type_ = adLockReadOnly;
};

using RecordsetPtr = std::shared_ptr<Recordset>;

}  // namespace kv::ado
