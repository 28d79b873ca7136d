#pragma once
// The rows of a recordset, shared by the recordset and its clones, and the hash indexes that answer
// equality filters. Private to platform/ado.

#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/ado/recordset.h"

namespace kv::ado {

// A value as filters compare it: text without case and trailing blanks, numbers as numbers,
// dates by serial, Null (and Empty) as its own kind. A Decimal value keeps its exact form beside the
// double, and two exact numbers compare exactly (0.1 and 0.1000000000000000000000000001 differ); the
// double, equal for both, keeps hashing consistent with equality.
struct FilterKey {
    enum Kind : uint8_t { kNull, kNumber, kText, kDate };
    Kind kind = kNull;
    bool has_exact = false;
    double number = 0;
    Decimal exact;
    std::string text;

    bool operator==(const FilterKey& o) const {
        if (kind != o.kind) return false;
        switch (kind) {
            case kNull: return true;
            case kText: return text == o.text;
            default: return has_exact && o.has_exact ? exact == o.exact : number == o.number;
        }
    }
};

FilterKey MakeFilterKey(const Variant& v);
std::size_t HashKey(const FilterKey& k);

using IndexKey = std::vector<FilterKey>;
struct IndexKeyHash {
    std::size_t operator()(const IndexKey& key) const {
        std::size_t h = 1469598103934665603ull;
        for (const auto& k : key) h = (h ^ HashKey(k)) * 1099511628211ull;
        return h;
    }
};

// Rows of a recordset grouped by the values of a set of fields. Buckets hold row ids in ascending
// order, which is the rows' order in every view.
struct FieldIndex {
    std::vector<int> fields;  // ascending field positions
    std::unordered_map<IndexKey, std::vector<int64_t>, IndexKeyHash> buckets;
};

// One stored value, in 16 bytes instead of a Variant's 64: numbers, dates and Booleans in place, text
// of up to 12 bytes in place (an option code, a short description) and longer text in a buffer of its
// own, trailing blanks counted rather than kept (fixed-width fields are padded to their size, and a
// matrix row has a dozen of them), a Decimal whose digits fit 64 bits in place (a price read from a
// NUMERIC column is one), anything else on the heap. Reading gives back exactly the Variant that was
// stored.
class Cell {
public:
    Cell() = default;  // Null
    explicit Cell(const Variant& v);
    // Cell(Variant(v)) and Cell(Variant(Date(serial))), without the Variant.
    static Cell OfDouble(double v) {
        Cell c;
        c.kind_ = kDouble;
        c.bits_.d = v;
        return c;
    }
    static Cell OfDate(double serial) {
        Cell c;
        c.kind_ = kDate;
        c.bits_.d = serial;
        return c;
    }
    // Text followed by `padding` blanks, without the padded text being built.
    Cell(std::string_view text, std::size_t padding);
    // Cells that hold nothing of their own (nothing, numbers, dates, short text) are copied as they
    // are: a recordset keeps the value a field had before an edit this way, field after field.
    Cell(const Cell& o) : short_len_(o.short_len_), blanks_(o.blanks_), len_(o.len_), bits_(o.bits_) {
        if (Owns(o.kind_))
            CopyOwned(o);
        else
            kind_ = o.kind_;
    }
    Cell(Cell&& o) noexcept
        : kind_(o.kind_), short_len_(o.short_len_), blanks_(o.blanks_), len_(o.len_), bits_(o.bits_) {
        o.kind_ = kNull;
    }
    Cell& operator=(const Cell& o);
    Cell& operator=(Cell&& o) noexcept;
    // Only text kept aside, a wide Decimal or another value hold memory of their own: the cells of a
    // matrix row mostly do not, and are dropped without a call.
    ~Cell() {
        if (Owns(kind_)) Release();
    }

    Variant Get() const;
    // The cell `field` stores for this cell's value: CellForField(field, Get(), rs), made without the
    // Variant for what a stored price row mostly holds (nothing, a Double, a date, a small Decimal going
    // into a Double field).
    Cell ForField(const FieldInfo& field, const RegionalSettings& rs) const;
    // The value as text without the blanks that end it, when it is text (true), or Null or Empty ("",
    // true); false otherwise. The view lasts as long as the cell keeps its value.
    bool Text(std::string_view& out) const {
        switch (kind_) {
            case kShortText: out = std::string_view(InPlace(), short_len_); return true;
            case kText: out = std::string_view(bits_.heap_text, len_); return true;
            case kNull:
            case kEmpty: out = std::string_view(); return true;
            default: return false;
        }
    }
    // The value as Recordset::Scalars reads it (true), or false for a Boolean, a Decimal or another value.
    bool AsScalar(Recordset::Scalar& out) const {
        switch (kind_) {
            case kNull:
            case kEmpty: out.kind = Recordset::Scalar::kBlank; return true;
            case kInt16:
            case kInt32:
            case kInt64:
                out.kind = Recordset::Scalar::kNumber;
                out.number = static_cast<double>(bits_.i);
                return true;
            case kDouble:
            case kDate:
                out.kind = kind_ == kDouble ? Recordset::Scalar::kNumber : Recordset::Scalar::kDate;
                out.number = bits_.d;
                return true;
            case kShortText:
            case kText:
                out.kind = Recordset::Scalar::kText;
                out.text = kind_ == kShortText ? std::string_view(InPlace(), short_len_)
                                               : std::string_view(bits_.heap_text, len_);
                out.blanks = blanks_;
                return true;
            default: return false;
        }
    }
    bool IsNull() const { return kind_ == kNull || kind_ == kEmpty; }
    bool IsDouble() const { return kind_ == kDouble; }
    // The value as a number when it is a Double (true), or Null or Empty (0, true); false otherwise.
    bool Number(double& out) const {
        switch (kind_) {
            case kDouble: out = bits_.d; return true;
            case kNull:
            case kEmpty: out = 0; return true;
            default: return false;
        }
    }

private:
    enum Kind : uint8_t { kEmpty, kNull, kBool, kInt16, kInt32, kInt64, kDouble, kDate, kShortText, kText,
                          kSmallDecimal, kDecimal, kOther };
    static bool Owns(uint8_t kind) { return kind == kText || kind == kDecimal || kind == kOther; }
    void Release() noexcept;
    void CopyOwned(const Cell& o);

    // Short text lies in the twelve bytes of len_ and bits_, its length in short_len_: most texts of a
    // matrix row (codes, descriptions such as "Viola scuro" or "Taglia 82") then need no buffer of their
    // own, which a load of thousands of rows would allocate and the next load free one by one.
    static constexpr std::size_t kInPlace = 12;
    char* InPlace() { return reinterpret_cast<char*>(this) + kInPlaceOffset; }
    const char* InPlace() const { return reinterpret_cast<const char*>(this) + kInPlaceOffset; }
    void SetText(const char* text, std::size_t n);  // n bytes, kept in place or in a buffer

    Kind kind_ = kNull;
    uint8_t short_len_ = 0;  // bytes of short text
    uint16_t blanks_ = 0;    // trailing blanks of the text, not kept
    uint32_t len_ = 0;       // bytes of text kept aside; a small Decimal's scale
    union Bits {
        int64_t i;
        double d;
        char* heap_text;
        Decimal* decimal;
        Variant* other;
    } bits_{0};
    static constexpr std::size_t kInPlaceOffset = 4;
};
static_assert(sizeof(Cell) == 16);

// MakeFilterKey of the cell's value, without making the value first when it is text, a Double or
// nothing (the kinds the keys of a matrix hold).
FilterKey MakeFilterKey(const Cell& cell);

// Room for the cells of a store's rows, handed out from blocks that grow with the store: the rows of a
// result or a matrix of thousands of them cost the allocator a call per 64 KiB rather than one a row, lie
// side by side in memory, and are given back a block at a time when the whole set goes (a result let
// go, a matrix emptied to be loaded again) instead of row by row: freeing tens of thousands of
// scattered blocks, and allocating among the holes they leave, cost a load more than building its rows.
// The room of a row that goes alone is not used again until the store moves its live rows to fresh
// blocks (RowStore::CompactCells), which it does when most of the room is dead.
class CellBlocks {
public:
    CellBlocks() = default;
    CellBlocks(const CellBlocks&) = delete;
    CellBlocks& operator=(const CellBlocks&) = delete;
    ~CellBlocks() { Release(); }

    // Room for `n` cells, not yet made.
    Cell* Take(std::size_t n) {
        if (n > room_) [[unlikely]]
            NewBlock(n);
        Cell* p = next_;
        next_ += n;
        room_ -= n;
        taken_ += n;
        return p;
    }
    // Room for `n` cells in one block, so that as many cells as that are then taken without allocating.
    void Reserve(std::size_t n) {
        if (n > room_) NewBlock(n);
    }
    // `n` cells of room no row uses any more.
    void Gone(std::size_t n) { dead_ += n; }
    // Whether moving the live rows to fresh blocks is worth it: most of a large room is dead.
    bool WorthCompacting() const { return dead_ >= kCompactFrom && dead_ * 2 > taken_; }
    // Every block, once no row holds room in them.
    void Release() noexcept;
    // The blocks, handed over (to be let go once the rows that hold room in them have moved out); this
    // starts again empty.
    CellBlocks TakeOver() noexcept;

private:
    CellBlocks(CellBlocks&& o) noexcept;
    void NewBlock(std::size_t at_least);

    // Cells: 64 KiB, under the size the allocator maps on its own, so that blocks come from the heap
    // and the blocks a load gives back are taken again by the next one, not mapped and unmapped.
    static constexpr std::size_t kLargestBlock = std::size_t{1} << 12;
    static constexpr std::size_t kCompactFrom = std::size_t{1} << 16;
    // The first block, and the others: a result of one row (most of those a save reads) allocates its
    // row's room and nothing else.
    Cell* first_ = nullptr;
    std::vector<Cell*> blocks_;
    Cell* next_ = nullptr;
    std::size_t room_ = 0;   // cells left in the newest block
    std::size_t taken_ = 0;  // cells handed out, dead or not
    std::size_t dead_ = 0;
};

// The cells of one row, in room taken from its store's CellBlocks: as many as the row has fields, made
// one after the other once the room is taken.
class CellArray {
public:
    CellArray() = default;
    CellArray(const CellArray&) = delete;
    CellArray& operator=(const CellArray&) = delete;
    CellArray(CellArray&& o) noexcept
        : cells_(std::exchange(o.cells_, nullptr)), blocks_(std::exchange(o.blocks_, nullptr)),
          size_(std::exchange(o.size_, 0)), capacity_(std::exchange(o.capacity_, 0)) {}
    CellArray& operator=(CellArray&& o) noexcept {
        if (this != &o) {
            clear();
            cells_ = std::exchange(o.cells_, nullptr);
            blocks_ = std::exchange(o.blocks_, nullptr);
            size_ = std::exchange(o.size_, 0);
            capacity_ = std::exchange(o.capacity_, 0);
        }
        return *this;
    }
    ~CellArray() { clear(); }

    // Room for `n` cells from `blocks`; push_back and emplace_back make them, up to `n`.
    void Start(CellBlocks& blocks, std::size_t n) {
        clear();
        cells_ = blocks.Take(n);
        blocks_ = &blocks;
        capacity_ = static_cast<uint32_t>(n);
    }
    void push_back(Cell&& c) { ::new (static_cast<void*>(cells_ + size_)) Cell(std::move(c)); ++size_; }
    template <class... A>
    void emplace_back(A&&... a) {
        ::new (static_cast<void*>(cells_ + size_)) Cell(std::forward<A>(a)...);
        ++size_;
    }
    // The cells go, and the room is told dead to its blocks.
    void clear() noexcept {
        for (; size_ > 0; --size_) cells_[size_ - 1].~Cell();
        if (blocks_) blocks_->Gone(capacity_);
        cells_ = nullptr;
        blocks_ = nullptr;
        capacity_ = 0;
    }
    // The cells, moved to room of `blocks`; the room they leave is not told dead (its blocks are let go
    // as a whole).
    void MoveTo(CellBlocks& blocks) {
        if (!blocks_) return;
        Cell* fresh = blocks.Take(capacity_);
        for (uint32_t i = 0; i < size_; ++i) {
            ::new (static_cast<void*>(fresh + i)) Cell(std::move(cells_[i]));
            cells_[i].~Cell();
        }
        cells_ = fresh;
        blocks_ = &blocks;
    }

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    Cell* data() { return cells_; }
    const Cell* data() const { return cells_; }
    Cell& operator[](std::size_t i) { return cells_[i]; }
    const Cell& operator[](std::size_t i) const { return cells_[i]; }
    Cell* begin() { return cells_; }
    Cell* end() { return cells_ + size_; }
    const Cell* begin() const { return cells_; }
    const Cell* end() const { return cells_ + size_; }

private:
    Cell* cells_ = nullptr;
    CellBlocks* blocks_ = nullptr;
    uint32_t size_ = 0;
    uint32_t capacity_ = 0;
};

struct Row {
    CellArray values;
    // Values as last accepted, for the fields changed since (CancelBatch restores them).
    std::vector<std::pair<int, Cell>> original;
    int status = adRecUnmodified;  // adRecNew / adRecModified / adRecDeleted flags, or adRecUnmodified
    bool deleted = false;          // pending deletion: in no view, restored by CancelBatch
    bool gone = false;             // removed for good (accepted deletion, cancelled addition)
    // Bumped each time the row's changes are accepted, so an edit begun before (through any clone)
    // knows it has nothing left to undo.
    uint32_t accepted = 0;
    // The store's change clock when a value of the row was last stored (see RowStore::change_clock).
    uint64_t changed = 0;

    bool Live() const { return !deleted && !gone; }
};

struct RowStore {
    std::vector<FieldInfo> fields;
    // Upper-case name -> position. Looked up by the caller's text first, without copying it: callers
    // mostly name fields in upper case already.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, int, NameHash, std::equal_to<>> field_by_name;
    // Where the rows' cells are; before the rows, so that it outlives them.
    CellBlocks cell_blocks;
    std::vector<Row> rows;                               // a row's id is its position here
    RegionalSettings regional = RegionalSettings::Italian();
    // Tells this set of rows from every other one made in the process (see Recordset::Rows).
    uint64_t serial = NextSerial();
    // Bumped when rows appear or disappear; views made through other clones catch up lazily.
    uint64_t version = 0;
    // Bumped by CancelBatch: every view applies its filter again.
    uint64_t reset_version = 0;
    // Moves on with every value stored into a row (and every row added); the row keeps the time. Batch
    // acceptance leaves it alone, so "changed since" survives UpdateBatch, unlike a row's status.
    uint64_t change_clock = 0;

    // Where stored values are noted while a journal is kept (Recordset::SetJournal).
    std::shared_ptr<std::vector<Recordset::JournalEntry>> journal;

    std::map<std::vector<int>, std::unique_ptr<FieldIndex>> indexes;
    std::vector<std::vector<FieldIndex*>> indexes_by_field;
    // How many of `rows` are gone for good, and how many are not live (gone, or deleted pending the
    // batch): while none is, a view of every row is made without reading a row.
    std::size_t gone_rows = 0;
    std::size_t dead_rows = 0;

    static uint64_t NextSerial();
    // The row is gone for good: its values and what it was are released (a matrix loaded again and
    // again would otherwise keep every earlier load's rows in memory).
    void MarkGone(Row& row);
    // The row is deleted pending the batch (it was live), or no longer (CancelBatch restored it).
    void MarkDeleted(Row& row) {
        if (row.Live()) ++dead_rows;
        row.deleted = true;
    }
    void MarkUndeleted(Row& row) {
        if (row.deleted && !row.gone) --dead_rows;
        row.deleted = false;
    }
    // When every row is gone, they are dropped: the rows added next start from the first id again.
    // The rows count as another set (a new serial), and every view shows them afresh, as after a
    // CancelBatch. Bookmarks go on from where they were, so none of the rows that went names a row now.
    void ReleaseIfAllGone();
    // The live rows' cells moved to fresh room, and the old room let go, when most of it is dead: a
    // store that keeps adding rows and deleting some does not keep the room of every row it ever had.
    void CompactCellsIfWorth() {
        if (cell_blocks.WorthCompacting()) [[unlikely]]
            CompactCells();
    }
    void CompactCells();
    // Rows dropped so far: a row's bookmark is its id + 1 after them.
    int64_t released_ids = 0;
    long long BookmarkOf(int64_t id) const { return released_ids + id + 1; }
    int FindField(std::string_view name) const;
    void AddField(FieldInfo info);

    // The index on exactly these fields (ascending positions), built on first use.
    FieldIndex& IndexOn(const std::vector<int>& fields);
    IndexKey KeyOf(const FieldIndex& index, int64_t id) const;
    void IndexInsert(int64_t id);
    void IndexRemove(int64_t id);
    // Stores a value that is already of the field's type, keeping the indexes right.
    void Store(int64_t id, int field, Variant value);
    // Store(id, field, value) for a Double `value` (= v) going into a Double field, the cell made
    // without another Variant: what a recalculation writes tens of thousands of times a run.
    void StoreDouble(int64_t id, int field, double v, const Variant& value);
    void DropIndexes();
};

// Converts a value to what a field of that type stores: Empty and Null store Null, text is checked
// against the defined size (fixed-width text is padded), numbers and dates are converted with the
// regional settings. Raises 13 or -2147217887 naming the field.
Variant CoerceForField(const FieldInfo& field, const Variant& v, const RegionalSettings& rs);
// Cell(CoerceForField(field, v, rs)), without padding fixed-width text only to count its blanks again.
Cell CellForField(const FieldInfo& field, const Variant& v, const RegionalSettings& rs);

}  // namespace kv::ado
