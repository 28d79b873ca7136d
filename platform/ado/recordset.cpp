#include "platform/ado/recordset.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <numeric>
#include <utility>

#include "platform/ado/filter.h"
#include "platform/ado/row_store.h"
#include "platform/variant/strings.h"

namespace kv::ado {

// What one Recordset object sees of the shared rows: its filter, the ids of the rows visible through
// it (ascending, which is the rows' order), its position among them and its edit in progress.
namespace {
// A walk through the rows reads each row soon after moving to it, and a view that skips rows (a filter)
// reaches a row no hardware guesses the address of: the next row's cells are asked for when the walk
// moves, so they are in the cache by the time the walk gets there.
void Prefetch(const RowStore& store, int64_t id) {
    if (id < 0 || id >= static_cast<int64_t>(store.rows.size())) return;
    const auto& values = store.rows[static_cast<std::size_t>(id)].values;
    const char* p = reinterpret_cast<const char*>(values.data());
    const std::size_t bytes = values.size() * sizeof(Cell);
    for (std::size_t offset = 0; offset < bytes; offset += 64) __builtin_prefetch(p + offset);
}
}  // namespace

struct Recordset::View {
    std::vector<int64_t> rows;
    long pos = -1;  // -1 before the first row, rows.size() after the last

    Variant filter = Variant(int16_t{0});
    std::shared_ptr<const ParsedFilter> parsed;  // set for a criteria filter

    // A deleted current row stays in `rows` at `pos` until the next move.
    int64_t deleted_current = -1;

    // The edit in progress: the row, whether it was added, the old values of the changed fields, and the
    // row's status and count of accepted values before it (CancelUpdate puts the row back as it was).
    int64_t edit_row = -1;
    bool adding = false;
    std::vector<std::pair<int, Cell>> edit_old;  // the cells the edit's fields had before it
    int edit_status = adRecUnmodified;
    std::size_t edit_original_size = 0;
    uint32_t edit_accepted = 0;
    int64_t row_before_add = -1;
    long pos_before_add = -1;

    uint64_t synced_version = 0;
    uint64_t synced_reset = 0;
    uint64_t stamp = 0;  // bumped whenever `rows` changes

    bool Empty() const { return rows.empty(); }
    bool AtBOF() const { return rows.empty() || pos < 0; }
    bool AtEOF() const { return rows.empty() || pos >= static_cast<long>(rows.size()); }
    long IndexOf(int64_t id) const {
        // A view of every row holds each row at its own id: walks by bookmark over an unfiltered
        // matrix find it there without the search.
        if (id >= 0 && id < static_cast<int64_t>(rows.size()) && rows[static_cast<std::size_t>(id)] == id)
            return static_cast<long>(id);
        auto it = std::lower_bound(rows.begin(), rows.end(), id);
        return (it != rows.end() && *it == id) ? static_cast<long>(it - rows.begin()) : -1;
    }
};

namespace {
// Stamps are unique across all recordsets, so a grid rebound to another recordset (or to this one
// closed and opened again) never mistakes an old stamp for the current one.
uint64_t NextStamp() {
    static std::atomic<uint64_t> counter{0};
    return ++counter;
}

[[noreturn]] void NoCurrent(const char* where) {
    throw Error(err::kNoCurrentRecord,
                "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
                "requires a current record.",
                where);
}
}  // namespace

// ---- Field / Fields

const std::string& Field::Name() const { return rs_->store_->fields.at(index_).name; }
DataTypeEnum Field::Type() const { return rs_->store_->fields.at(index_).type; }
long Field::DefinedSize() const { return rs_->store_->fields.at(index_).defined_size; }
long Field::Attributes() const {
    long a = rs_->store_->fields.at(index_).attributes;
    return a == adFldUnspecified ? 0 : a;
}
Variant Field::Value() const { return rs_->Value(index_); }
void Field::SetValue(const Variant& v) const { rs_->SetValue(index_, v); }

int Fields::Count() const { return static_cast<int>(rs_->store_->fields.size()); }

Field Fields::Item(int index) const {
    if (index < 0 || index >= Count())
        throw Error(err::kItemNotFound,
                    "Item cannot be found in the collection: field number " + std::to_string(index), "Fields");
    return Field(rs_, index);
}

Field Fields::Item(std::string_view name) const { return Field(rs_, rs_->RequireField(name)); }

int Fields::IndexOf(std::string_view name) const { return rs_->store_->FindField(name); }

void Fields::Append(std::string_view name, DataTypeEnum type, long defined_size, long attributes) {
    if (rs_->open_)
        throw Error(err::kIllegalOperation, "Fields cannot be appended to an open recordset", "Fields.Append");
    if (name.empty()) throw Error(err::kInvalidArgument, "A field needs a name", "Fields.Append");
    rs_->store_->AddField(FieldInfo{std::string(name), type, defined_size, attributes});
}

// ---- Recordset

Recordset::Recordset() : store_(std::make_shared<RowStore>()), view_(std::make_unique<View>()) {}
Recordset::~Recordset() = default;

std::shared_ptr<Recordset> Recordset::FromRows(std::vector<FieldInfo> fields,
                                               std::vector<std::vector<Variant>> rows,
                                               const RegionalSettings& rs) {
    auto r = Create();
    r->store_->regional = rs;
    for (auto& f : fields) r->store_->AddField(std::move(f));
    const auto& defs = r->store_->fields;
    r->store_->rows.reserve(rows.size());
    for (auto& values : rows) {
        if (values.size() != defs.size())
            throw Error(err::kInvalidArgument, "A result row has the wrong number of values", "Recordset");
        // Fixed-width text reads back padded, whatever the engine returned.
        for (std::size_t i = 0; i < defs.size(); ++i) {
            if ((defs[i].type == adChar || defs[i].type == adWChar) && defs[i].defined_size > 0 &&
                values[i].IsString()) {
                std::size_t n = Len(values[i].StringValue());
                if (n < static_cast<std::size_t>(defs[i].defined_size))
                    values[i] = Variant(values[i].StringValue() + std::string(defs[i].defined_size - n, ' '));
            }
        }
        Row row;
        row.values.Start(r->store_->cell_blocks, values.size());
        for (const auto& value : values) row.values.emplace_back(value);
        r->store_->rows.push_back(std::move(row));
    }
    r->cursor_location_ = adUseClient;
    r->cursor_type_ = adOpenStatic;
    r->lock_type_ = adLockBatchOptimistic;
    r->Open();
    return r;
}

void Recordset::SetRegionalSettings(const RegionalSettings& rs) { store_->regional = rs; }

void Recordset::Open() {
    if (open_) throw Error(err::kObjectOpen, "Operation is not allowed when the object is open", "Recordset.Open");
    if (store_->fields.empty())
        throw Error(err::kInvalidConnection, "A recordset with no fields cannot be opened", "Recordset.Open");
    // A filter assigned while closed is checked now; when it names no field the recordset stays closed
    // with that filter, as it was.
    std::unique_ptr<View> closed_view = std::exchange(view_, std::make_unique<View>());
    view_->synced_version = store_->version;
    view_->synced_reset = store_->reset_version;
    try {
        ApplyFilter(closed_view->filter);
    } catch (...) {
        view_ = std::move(closed_view);
        throw;
    }
    cursor_location_ = adUseClient;
    open_ = true;
}

void Recordset::Close() {
    RequireOpen();
    open_ = false;
    store_ = std::make_shared<RowStore>();
    view_ = std::make_unique<View>();
}

// Every read and move starts here: the check stays a test and a branch, the error is built out of line.
void Recordset::RequireOpen() const {
    if (open_) [[likely]]
        return;
    []() __attribute__((noinline, cold)) {
        throw Error(err::kObjectClosed, "Operation is not allowed when the object is closed", "Recordset");
    }();
}

int Recordset::RequireField(std::string_view name) const {
    int i = store_->FindField(name);
    if (i < 0)
        throw Error(err::kItemNotFound,
                    "Item cannot be found in the collection corresponding to the requested name or ordinal: "
                    "field '" + std::string(name) + "'",
                    "Fields");
    return i;
}

const std::vector<FieldInfo>& Recordset::FieldInfos() const { return store_->fields; }

void Recordset::Sync() const {
    View& v = *view_;
    // A view is almost always up to date: that test is all most reads pay, and the catching up is out
    // of line, so the reads that start with it stay small.
    if (v.synced_reset == store_->reset_version && v.synced_version == store_->version) [[likely]]
        return;
    [this, &v]() __attribute__((noinline)) {
        if (v.synced_reset != store_->reset_version) {
            // Rows were returned to their accepted state through a clone: show them afresh.
            const_cast<Recordset*>(this)->ApplyFilter(v.filter);
            return;
        }
        int64_t current = (v.pos >= 0 && v.pos < static_cast<long>(v.rows.size())) ? v.rows[v.pos] : -1;
        bool at_eof = !v.rows.empty() && v.pos >= static_cast<long>(v.rows.size());
        std::vector<int64_t> next;
        const bool shows_all = !v.parsed && CInt(v.filter) != adFilterPendingRecords;
        if (shows_all) {
            // With no criteria the view is every row, including those added through clones.
            if (store_->dead_rows == 0) {
                next.resize(store_->rows.size());
                std::iota(next.begin(), next.end(), int64_t{0});
            } else {
                for (int64_t id = 0; id < static_cast<int64_t>(store_->rows.size()); ++id)
                    if (store_->rows[id].Live() || id == current) next.push_back(id);
            }
        } else {
            // A filtered view keeps its rows, less those deleted through clones.
            for (int64_t id : v.rows)
                if (store_->rows[id].Live() || id == current) next.push_back(id);
        }
        v.rows = std::move(next);
        v.stamp = NextStamp();
        if (current >= 0) {
            v.pos = v.IndexOf(current);
            if (!store_->rows[current].Live()) v.deleted_current = current;
        } else {
            v.pos = at_eof ? static_cast<long>(v.rows.size()) : -1;
        }
        v.synced_version = store_->version;
    }();
}

int64_t Recordset::CurrentRowId() const {
    RequireOpen();
    Sync();
    const View& v = *view_;
    if (v.AtBOF() || v.AtEOF()) NoCurrent("Recordset");
    int64_t id = v.rows[v.pos];
    if (id == v.deleted_current) NoCurrent("Recordset");
    return id;
}

Variant Recordset::Value(std::string_view name) const { return Value(RequireField(name)); }

Variant Recordset::Value(int index) const {
    int64_t id = CurrentRowId();
    if (index < 0 || index >= static_cast<int>(store_->fields.size()))
        throw Error(err::kItemNotFound, "Item cannot be found in the collection: field number " +
                                            std::to_string(index), "Fields");
    return store_->rows[id].values[index].Get();
}

namespace {
// 3265 unless every index names one of `count` fields. A load and a recalculation check a few dozen
// fields at a time, thousands of times: the test is one comparison a field (a negative index is a
// large unsigned one), the error built out of line.
void RequireFieldNumbers(const int* indexes, std::size_t n, std::size_t count) {
    bool outside = false;
    for (std::size_t k = 0; k < n; ++k) outside |= static_cast<std::size_t>(static_cast<unsigned>(indexes[k])) >= count;
    if (!outside) [[likely]]
        return;
    [&]() __attribute__((noinline, cold)) {
        for (std::size_t k = 0; k < n; ++k)
            if (static_cast<std::size_t>(static_cast<unsigned>(indexes[k])) >= count)
                throw Error(err::kItemNotFound, "Item cannot be found in the collection: field number " +
                                                    std::to_string(indexes[k]), "Fields");
    }();
}
}  // namespace

// The current row's cells, after checking that every index names a field.
const CellArray& Recordset::CellsOf(const int* indexes, std::size_t n) const {
    const int64_t id = CurrentRowId();
    RequireFieldNumbers(indexes, n, store_->fields.size());
    return store_->rows[id].values;
}

void Recordset::Values(const int* indexes, std::size_t n, Variant* out) const {
    const auto& cells = CellsOf(indexes, n);
    for (std::size_t k = 0; k < n; ++k) out[k] = cells[indexes[k]].Get();
}

bool Recordset::Numbers(const int* indexes, std::size_t n, double* out) const {
    const auto& cells = CellsOf(indexes, n);
    for (std::size_t k = 0; k < n; ++k)
        if (!cells[indexes[k]].Number(out[k])) return false;
    return true;
}

bool Recordset::Scalars(const int* indexes, std::size_t n, Scalar* out) const {
    const auto& cells = CellsOf(indexes, n);
    for (std::size_t k = 0; k < n; ++k)
        if (!cells[indexes[k]].AsScalar(out[k])) return false;
    return true;
}

bool Recordset::Texts(const int* indexes, std::size_t n, std::string_view* out) const {
    const auto& cells = CellsOf(indexes, n);
    for (std::size_t k = 0; k < n; ++k)
        if (!cells[indexes[k]].Text(out[k])) return false;
    return true;
}

void Recordset::SetValue(std::string_view name, const Variant& val) { SetValue(RequireField(name), val); }

void Recordset::SetValue(int index, const Variant& val) {
    int64_t id = CurrentRowId();
    if (index < 0 || index >= static_cast<int>(store_->fields.size()))
        throw Error(err::kItemNotFound, "Item cannot be found in the collection: field number " +
                                            std::to_string(index), "Fields");
    // A Double going into a Double field is what the conversion would give back: it is stored as it
    // is, without a converted copy on the way.
    const double* number = store_->fields[index].type == adDouble ? val.TryGet<double>() : nullptr;
    Variant coerced = number ? Variant() : CoerceForField(store_->fields[index], val, store_->regional);
    View& v = *view_;
    Row& row = store_->rows[id];
    if (v.edit_row != id) {
        FinishEdit();
        v.edit_row = id;
        v.adding = false;
        v.edit_status = row.status;
        v.edit_original_size = row.original.size();
        v.edit_accepted = row.accepted;
    }
    if (!v.adding && std::none_of(v.edit_old.begin(), v.edit_old.end(),
                                  [&](const auto& p) { return p.first == index; }))
        v.edit_old.emplace_back(index, row.values[index]);
    if (!(row.status & adRecNew)) {
        if (std::none_of(row.original.begin(), row.original.end(), [&](const auto& p) { return p.first == index; })) {
            // A row edited is mostly edited in a few fields (a price and what follows from it): room
            // for them at once, rather than the list growing one field at a time.
            if (row.original.empty()) row.original.reserve(4);
            row.original.emplace_back(index, row.values[index]);
        }
        row.status = adRecModified;
    }
    if (number)
        store_->StoreDouble(id, index, *number, val);
    else
        store_->Store(id, index, std::move(coerced));
}

// The edit in progress is kept: moving off a row, adding another or filtering accept it.
void Recordset::FinishEdit() {
    View& v = *view_;
    v.edit_row = -1;
    v.adding = false;
    v.edit_old.clear();
}

// Leaving a deleted current row drops it from the view.
void Recordset::LeaveDeletedRow() {
    View& v = *view_;
    if (v.deleted_current < 0) return;
    long i = v.IndexOf(v.deleted_current);
    if (i >= 0) {
        v.rows.erase(v.rows.begin() + i);
        if (v.pos > i) --v.pos;
        v.stamp = NextStamp();
    }
    v.deleted_current = -1;
}

bool Recordset::IsBOF() const {
    RequireOpen();
    Sync();
    return view_->AtBOF();
}

bool Recordset::IsEOF() const {
    RequireOpen();
    Sync();
    return view_->AtEOF();
}

void Recordset::MoveFirst() {
    RequireOpen();
    Sync();
    View& v = *view_;
    if (v.AtBOF() && v.AtEOF()) NoCurrent("Recordset.MoveFirst");
    FinishEdit();
    LeaveDeletedRow();
    v.pos = v.rows.empty() ? -1 : 0;
}

void Recordset::MoveLast() {
    RequireOpen();
    Sync();
    View& v = *view_;
    if (v.AtBOF() && v.AtEOF()) NoCurrent("Recordset.MoveLast");
    FinishEdit();
    LeaveDeletedRow();
    v.pos = v.rows.empty() ? -1 : static_cast<long>(v.rows.size()) - 1;
}

void Recordset::MoveNext() { Move(1); }
void Recordset::MovePrevious() { Move(-1); }

void Recordset::Move(long n) {
    RequireOpen();
    Sync();
    View& v = *view_;
    if (v.AtBOF() && v.AtEOF()) NoCurrent("Recordset.Move");
    if (n == 0) {
        if (v.AtBOF() || v.AtEOF()) NoCurrent("Recordset.Move");
        return;
    }
    if ((n > 0 && v.AtEOF()) || (n < 0 && v.AtBOF())) NoCurrent("Recordset.Move");
    FinishEdit();
    long target;
    if (v.deleted_current >= 0) {
        // From a deleted row, the next row is the one that followed it, the previous the one before it.
        long at = v.pos;
        LeaveDeletedRow();
        target = n > 0 ? at + n - 1 : at + n;
    } else {
        target = v.pos + n;
    }
    long size = static_cast<long>(v.rows.size());
    if (target < 0) target = -1;
    if (target > size) target = size;
    v.pos = target;
    if (n == 1 && target + 1 < size) Prefetch(*store_, v.rows[static_cast<std::size_t>(target + 1)]);
}

long Recordset::AbsolutePosition() const {
    RequireOpen();
    Sync();
    const View& v = *view_;
    if (v.Empty()) return adPosUnknown;
    if (v.AtBOF()) return adPosBOF;
    if (v.AtEOF()) return adPosEOF;
    return v.pos + 1;
}

void Recordset::SetAbsolutePosition(long position) {
    // Checked against the rows that stay once a deleted current row is left, before anything moves:
    // a refused position leaves the current row, a deleted one included, and the edit in progress.
    const long count = RecordCount();
    if (position < 1 || position > count)
        throw Error(err::kInvalidArgument,
                    "AbsolutePosition " + std::to_string(position) + " is outside the " + std::to_string(count) +
                        " rows of the recordset",
                    "Recordset.AbsolutePosition");
    FinishEdit();
    LeaveDeletedRow();
    view_->pos = position - 1;
}

long Recordset::RecordCount() const {
    RequireOpen();
    Sync();
    const View& v = *view_;
    return static_cast<long>(v.rows.size()) - (v.deleted_current >= 0 ? 1 : 0);
}

Variant Recordset::Bookmark() const { return Variant(BookmarkNumber()); }

long long Recordset::BookmarkNumber() const { return store_->BookmarkOf(CurrentRowId()); }

void Recordset::SetBookmark(const Variant& bookmark) {
    RequireOpen();
    Sync();
    if (bookmark.IsEmpty() || bookmark.IsNull())
        throw Error(err::kInvalidArgument, "The bookmark is empty", "Recordset.Bookmark");
    SetBookmarkNumber(CLngLng(bookmark));
}

void Recordset::SetBookmarkNumber(long long bookmark) {
    RequireOpen();
    Sync();
    int64_t id = bookmark - 1 - store_->released_ids;
    long i = view_->IndexOf(id);
    if (i < 0 || !store_->rows[id].Live())
        throw Error(err::kInvalidArgument, "The bookmark does not name a row of this view", "Recordset.Bookmark");
    FinishEdit();
    View& v = *view_;
    // Leaving a deleted current row takes it out of the view, and the rows after it move up.
    if (v.deleted_current >= 0) {
        LeaveDeletedRow();
        i = v.IndexOf(id);
    }
    v.pos = i;
    // Rows looked up by bookmark are mostly taken in their order: the one after is asked for as well.
    if (v.pos >= 0 && v.pos + 1 < static_cast<long>(v.rows.size()))
        Prefetch(*store_, v.rows[static_cast<std::size_t>(v.pos + 1)]);
}

void Recordset::AddNew() {
    RequireOpen();
    store_->ReleaseIfAllGone();
    Sync();
    View& v = *view_;
    FinishEdit();
    LeaveDeletedRow();
    int64_t before = (!v.AtBOF() && !v.AtEOF()) ? v.rows[v.pos] : -1;
    long pos_before = v.pos;
    store_->CompactCellsIfWorth();
    Row row;
    row.values.Start(store_->cell_blocks, store_->fields.size());
    for (std::size_t i = 0; i < store_->fields.size(); ++i) row.values.emplace_back();  // Null
    row.status = adRecNew;
    row.changed = ++store_->change_clock;
    store_->rows.push_back(std::move(row));
    int64_t id = static_cast<int64_t>(store_->rows.size()) - 1;
    store_->IndexInsert(id);
    ++store_->version;
    v.rows.push_back(id);  // the newest id is the largest, so the view stays ordered
    v.stamp = NextStamp();
    v.pos = static_cast<long>(v.rows.size()) - 1;
    v.synced_version = store_->version;
    v.edit_row = id;
    v.adding = true;
    v.edit_accepted = 0;
    v.row_before_add = before;
    v.pos_before_add = pos_before;
}

void Recordset::AddNew(const std::vector<Variant>& values) { AddNew(values, *this, nullptr, nullptr, 0); }

void Recordset::AddNew(const std::vector<Variant>& values, const Recordset& source, const int* from, const int* to,
                       std::size_t n) {
    RequireOpen();
    store_->ReleaseIfAllGone();
    store_->CompactCellsIfWorth();
    Sync();
    const auto& fields = store_->fields;
    if (values.size() != fields.size())
        throw Error(err::kInvalidArgument,
                    "AddNew was given " + std::to_string(values.size()) + " values for " +
                        std::to_string(fields.size()) + " fields",
                    "Recordset.AddNew");
    // 3021 when there is a field to copy and no row to copy it from.
    const CellArray* copiati = n > 0 ? &source.CellsOf(from, n) : nullptr;
    RequireFieldNumbers(to, n, fields.size());
    Row row;
    row.values.Start(store_->cell_blocks, fields.size());
    if (n == 0) {
        for (std::size_t i = 0; i < fields.size(); ++i)
            row.values.push_back(CellForField(fields[i], values[i], store_->regional));
    } else {
        // Which field each one is copied from (-1: from `values`); on the stack for a row of usual width
        // (a thread's own list would be looked up again at every field: the compiler does not keep its
        // address).
        std::array<int, 128> on_stack;
        std::vector<int> on_heap;
        int* da = on_stack.data();
        if (fields.size() > on_stack.size()) {
            on_heap.resize(fields.size());
            da = on_heap.data();
        }
        std::fill_n(da, fields.size(), -1);
        for (std::size_t k = 0; k < n; ++k) da[static_cast<std::size_t>(to[k])] = from[k];
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (da[i] >= 0)
                row.values.push_back((*copiati)[static_cast<std::size_t>(da[i])].ForField(fields[i], store_->regional));
            else
                row.values.push_back(CellForField(fields[i], values[i], store_->regional));
        }
    }
    Append(std::move(row));
}

void Recordset::Append(Row&& row) {
    row.status = adRecNew;
    row.changed = ++store_->change_clock;
    // From here on nothing can fail: the row is added and kept as a whole.
    View& v = *view_;
    FinishEdit();
    LeaveDeletedRow();
    store_->rows.push_back(std::move(row));
    const int64_t id = static_cast<int64_t>(store_->rows.size()) - 1;
    store_->IndexInsert(id);
    ++store_->version;
    v.rows.push_back(id);
    v.stamp = NextStamp();
    v.pos = static_cast<long>(v.rows.size()) - 1;
    v.synced_version = store_->version;
}

Variant Recordset::ConvertValue(int index, const Variant& v) const {
    if (index < 0 || index >= static_cast<int>(store_->fields.size()))
        throw Error(err::kItemNotFound, "Item cannot be found in the collection: field number " +
                                            std::to_string(index), "Fields");
    return CoerceForField(store_->fields[index], v, store_->regional);
}

void Recordset::Update() {
    RequireOpen();
    FinishEdit();
}

void Recordset::CancelUpdate() {
    RequireOpen();
    Sync();
    View& v = *view_;
    if (v.edit_row < 0) return;
    const int64_t id = v.edit_row;
    Row& row = store_->rows[id];
    if (v.adding) {
        // A clone may have deleted the added row already: then it is out of the indexes and its values
        // are gone, and only this view still lists it.
        if (!row.gone) {
            store_->IndexRemove(id);
            store_->MarkGone(row);
            ++store_->version;
        }
        long i = v.IndexOf(id);
        if (i >= 0) v.rows.erase(v.rows.begin() + i);
        if (v.deleted_current == id) v.deleted_current = -1;
        v.stamp = NextStamp();
        v.synced_version = store_->version;
        long back = v.row_before_add >= 0 ? v.IndexOf(v.row_before_add) : -1;
        v.pos = back >= 0 ? back : std::min<long>(v.pos_before_add, static_cast<long>(v.rows.size()));
    } else if (!row.gone && row.accepted == v.edit_accepted) {
        // Undone only while the edit is still pending: once a clone's UpdateBatch has accepted it (or the
        // row was deleted and the deletion accepted) there is nothing left to undo.
        for (auto it = v.edit_old.rbegin(); it != v.edit_old.rend(); ++it)
            store_->Store(id, it->first, it->second.Get());
        if (row.Live()) {  // not deleted through a clone meanwhile
            if (row.original.size() > v.edit_original_size) row.original.resize(v.edit_original_size);
            row.status = v.edit_status;
        }
    }
    FinishEdit();
}

void Recordset::Delete(AffectEnum affect) {
    if (affect == adAffectGroup) return DeleteGroup();
    if (affect != adAffectCurrent)
        throw Error(err::kInvalidArgument, "Only the current row or the rows of a filter group can be deleted",
                    "Recordset.Delete");
    int64_t id = CurrentRowId();
    FinishEdit();
    Row& row = store_->rows[id];
    store_->IndexRemove(id);
    if (row.status & adRecNew) {
        store_->MarkGone(row);  // never accepted: nothing to restore
    } else {
        store_->MarkDeleted(row);
        row.status = adRecDeleted;
    }
    ++store_->version;
    view_->synced_version = store_->version;
    view_->deleted_current = id;
    view_->stamp = NextStamp();
}

void Recordset::DeleteGroup() {
    RequireOpen();
    Sync();
    if (view_->parsed)
        throw Error(err::kInvalidArgument, "A group of rows is deleted under a filter group, not a criteria text",
                    "Recordset.Delete");
    FinishEdit();
    LeaveDeletedRow();
    View& v = *view_;
    // Each row as Delete leaves it; the indexes are made again when next asked, which costs less than
    // taking thousands of rows out of them one by one.
    bool any = false;
    for (int64_t id : v.rows) {
        Row& row = store_->rows[id];
        if (!row.Live()) continue;
        any = true;
        if (row.status & adRecNew) {
            store_->MarkGone(row);
        } else {
            store_->MarkDeleted(row);
            row.status = adRecDeleted;
        }
    }
    if (!any) return;
    store_->DropIndexes();
    ++store_->version;
    v.rows.clear();
    v.pos = -1;
    v.synced_version = store_->version;
    v.stamp = NextStamp();
}

EditModeEnum Recordset::EditMode() const {
    int64_t id = CurrentRowId();
    if (view_->adding && view_->edit_row == id) return adEditAdd;
    int s = store_->rows[id].status;
    if (s & adRecNew) return adEditAdd;
    if (s & adRecModified) return adEditInProgress;
    return adEditNone;
}

int Recordset::Status() const {
    RequireOpen();
    Sync();
    const View& v = *view_;
    if (v.AtBOF() || v.AtEOF()) NoCurrent("Recordset.Status");
    return store_->rows[v.rows[v.pos]].status;
}

void Recordset::UpdateBatch(AffectEnum affect) {
    RequireOpen();
    Sync();
    FinishEdit();
    auto accept = [&](int64_t id) {
        Row& row = store_->rows[id];
        if (row.gone) return;
        if (row.deleted) store_->MarkGone(row);
        if (row.status != adRecUnmodified || !row.original.empty()) ++row.accepted;
        row.original.clear();
        row.status = adRecUnmodified;
    };
    View& v = *view_;
    if (affect == adAffectCurrent) {
        if (v.AtBOF() || v.AtEOF()) NoCurrent("Recordset.UpdateBatch");
        accept(v.rows[v.pos]);
        return;
    }
    // Every pending change, whatever the filter shows: with no data source behind the recordset,
    // accepting only the visible rows would leave the others to a later CancelBatch, which undoes them.
    for (int64_t id = 0; id < static_cast<int64_t>(store_->rows.size()); ++id) accept(id);
}

void Recordset::CancelBatch(AffectEnum affect) {
    RequireOpen();
    Sync();
    CancelUpdate();
    auto revert = [&](int64_t id) {
        Row& row = store_->rows[id];
        if (row.gone) return;
        if (row.status & adRecNew) {
            store_->MarkGone(row);
            return;
        }
        for (auto it = row.original.rbegin(); it != row.original.rend(); ++it)
            row.values[it->first] = std::move(it->second);
        if (!row.original.empty()) row.changed = ++store_->change_clock;
        row.original.clear();
        store_->MarkUndeleted(row);
        row.status = adRecUnmodified;
    };
    View& v = *view_;
    if (affect == adAffectCurrent) {
        if (v.AtBOF() || v.AtEOF()) NoCurrent("Recordset.CancelBatch");
        revert(v.rows[v.pos]);
    } else {
        for (int64_t id = 0; id < static_cast<int64_t>(store_->rows.size()); ++id) revert(id);
    }
    // Restored rows may belong anywhere in the indexes: rebuild them when next asked.
    store_->DropIndexes();
    ++store_->version;
    ++store_->reset_version;
    ApplyFilter(v.filter);
}

Variant Recordset::Filter() const { return view_->filter; }

std::vector<Variant> Recordset::VisibleBookmarks() const {
    RequireOpen();
    Sync();
    std::vector<Variant> out;
    out.reserve(view_->rows.size());
    for (int64_t id : view_->rows)
        if (id != view_->deleted_current) out.emplace_back(store_->BookmarkOf(id));
    return out;
}

uint64_t Recordset::ViewStamp() const {
    if (!open_) return 0;
    Sync();
    return view_->stamp;
}

uint64_t Recordset::ChangeClock() const {
    RequireOpen();
    return store_->change_clock;
}

uint64_t Recordset::RowClock(long long* bookmark) const {
    const int64_t id = CurrentRowId();
    if (bookmark) *bookmark = store_->BookmarkOf(id);
    return store_->rows[id].changed;
}

std::vector<long long> Recordset::ChangedSince(uint64_t clock) const {
    RequireOpen();
    std::vector<long long> out;
    const auto& rows = store_->rows;
    for (std::size_t id = 0; id < rows.size(); ++id)
        if (rows[id].changed > clock && rows[id].Live()) out.push_back(store_->BookmarkOf(static_cast<int64_t>(id)));
    return out;
}

void Recordset::SetJournal(std::shared_ptr<std::vector<JournalEntry>> journal) {
    RequireOpen();
    store_->journal = std::move(journal);
}

Recordset::RowsStamp Recordset::Rows() const {
    if (!open_ || !store_) return {};
    return {store_->serial, store_->version, store_->reset_version};
}

void Recordset::SetFilter(const Variant& filter) {
    if (!open_) {
        // Kept until Open, as on a closed recordset the text cannot be checked against fields yet.
        if (filter.IsEmpty() || filter.IsNull())
            throw Error(err::kInvalidArgument, "The filter value is empty", "Recordset.Filter");
        view_->filter = filter;
        return;
    }
    ApplyFilter(filter);
}

void Recordset::ApplyFilter(const Variant& filter) {
    if (filter.IsEmpty() || filter.IsNull())
        throw Error(err::kInvalidArgument, "The filter value is empty", "Recordset.Filter");
    std::shared_ptr<const ParsedFilter> parsed;
    Variant stored;
    int group = -1;
    if (filter.IsString()) {
        if (Trim(filter.StringValue()).empty()) {
            group = adFilterNone;
        } else {
            parsed = std::make_shared<ParsedFilter>(ParseFilter(filter.StringValue(), *store_));
            stored = filter;
        }
    } else if (filter.IsNumber()) {
        int d = CInt(filter);
        if (d != adFilterNone && d != adFilterPendingRecords && d != adFilterFetchedRecords)
            throw Error(err::kInvalidArgument, "Unsupported filter value " + CStr(filter), "Recordset.Filter");
        group = d;
    } else {
        throw Error(err::kInvalidArgument, "A filter is a criteria text or a filter group number",
                    "Recordset.Filter");
    }

    // From here on nothing can fail: the view changes as a whole.
    FinishEdit();
    View& v = *view_;
    v.deleted_current = -1;
    v.rows.clear();
    const auto& rows = store_->rows;
    if (parsed && parsed->indexable) {
        FieldIndex& index = store_->IndexOn(parsed->index_fields);
        auto it = index.buckets.find(parsed->index_key);
        if (it != index.buckets.end()) v.rows = it->second;
    } else if (parsed) {
        for (int64_t id = 0; id < static_cast<int64_t>(rows.size()); ++id)
            if (rows[id].Live() && FilterMatches(parsed->root, rows[id])) v.rows.push_back(id);
    } else if (group != adFilterPendingRecords && store_->dead_rows == 0) {
        // Every row, and every row is live: the view is made without reading the rows (a matrix of
        // thousands of rows is shown whole again and again).
        v.rows.resize(rows.size());
        std::iota(v.rows.begin(), v.rows.end(), int64_t{0});
    } else {
        for (int64_t id = 0; id < static_cast<int64_t>(rows.size()); ++id) {
            if (!rows[id].Live()) continue;
            if (group == adFilterPendingRecords && rows[id].status == adRecUnmodified) continue;
            v.rows.push_back(id);
        }
    }
    v.parsed = std::move(parsed);
    v.filter = v.parsed ? stored : Variant(static_cast<int16_t>(group));
    v.pos = v.rows.empty() ? -1 : 0;
    v.synced_version = store_->version;
    v.synced_reset = store_->reset_version;
    v.stamp = NextStamp();
}

std::shared_ptr<Recordset> Recordset::Clone(LockTypeEnum lock_type) {
    RequireOpen();
    if (lock_type != adLockUnspecified && lock_type != adLockReadOnly)
        throw Error(err::kInvalidArgument, "A clone is either read-only or of the original's lock type",
                    "Recordset.Clone");
    auto c = Create();
    c->store_ = store_;
    c->cursor_location_ = cursor_location_;
    c->cursor_type_ = cursor_type_;
    c->lock_type_ = lock_type == adLockUnspecified ? lock_type_ : adLockReadOnly;
    c->open_ = true;
    c->ApplyFilter(Variant(int16_t{0}));
    return c;
}

}  // namespace kv::ado
