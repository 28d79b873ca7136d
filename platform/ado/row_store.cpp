#include "platform/ado/row_store.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>

#include "platform/variant/strings.h"

namespace kv::ado {

// ---- Cell

Cell::Cell(const Variant& v) {
    if (v.IsNull()) return;
    if (v.IsEmpty()) {
        kind_ = kEmpty;
    } else if (const auto* b = v.TryGet<Variant::Boolean>()) {
        kind_ = kBool;
        bits_.i = b->value;
    } else if (const auto* i16 = v.TryGet<int16_t>()) {
        kind_ = kInt16;
        bits_.i = *i16;
    } else if (const auto* i32 = v.TryGet<int32_t>()) {
        kind_ = kInt32;
        bits_.i = *i32;
    } else if (const auto* i64 = v.TryGet<int64_t>()) {
        kind_ = kInt64;
        bits_.i = *i64;
    } else if (const auto* d = v.TryGet<double>()) {
        kind_ = kDouble;
        bits_.d = *d;
    } else if (const auto* date = v.TryGet<Date>()) {
        kind_ = kDate;
        bits_.d = date->Serial();
    } else if (const auto* s = v.TryGet<std::string>()) {
        std::size_t n = s->size();
        std::size_t blanks = 0;
        while (n > 0 && (*s)[n - 1] == ' ' && blanks < UINT16_MAX) {
            --n;
            ++blanks;
        }
        if (n > UINT32_MAX) {
            kind_ = kOther;
            bits_.other = new Variant(v);
            return;
        }
        blanks_ = static_cast<uint16_t>(blanks);
        SetText(s->data(), n);
    } else if (const auto* dec = v.TryGet<Decimal>()) {
        const Decimal::Coefficient& c = dec->coefficient();
        if (c >= std::numeric_limits<int64_t>::min() && c <= std::numeric_limits<int64_t>::max()) {
            bits_.i = static_cast<int64_t>(c);
            len_ = static_cast<uint32_t>(dec->scale());
            kind_ = kSmallDecimal;
        } else {
            bits_.decimal = new Decimal(*dec);
            kind_ = kDecimal;
        }
    } else {
        bits_.other = new Variant(v);
        kind_ = kOther;
    }
}

namespace {
// The text without the blanks that end it, looked at eight bytes at a time: fixed-width text mostly
// ends in a run of them.
std::string_view WithoutTrailingBlanks(std::string_view s) {
    std::size_t n = s.size();
    constexpr uint64_t kBlanks = 0x2020202020202020ull;
    while (n >= 8) {
        uint64_t word;
        std::memcpy(&word, s.data() + n - 8, 8);
        if (word != kBlanks) break;
        n -= 8;
    }
    while (n > 0 && s[n - 1] == ' ') --n;
    return s.substr(0, n);
}
}  // namespace

Cell::Cell(std::string_view text, std::size_t padding) {
    const std::size_t n = WithoutTrailingBlanks(text).size();
    const std::size_t blanks = padding + (text.size() - n);
    if (blanks > UINT16_MAX || n > UINT32_MAX) {
        *this = Cell(Variant(std::string(text).append(padding, ' ')));
        return;
    }
    blanks_ = static_cast<uint16_t>(blanks);
    SetText(text.data(), n);
}

void Cell::SetText(const char* text, std::size_t n) {
    static_assert(offsetof(Cell, len_) == kInPlaceOffset && offsetof(Cell, bits_) == kInPlaceOffset + 4 &&
                  sizeof(Cell) == kInPlaceOffset + kInPlace);
    if (n <= kInPlace) {
        short_len_ = static_cast<uint8_t>(n);
        std::memcpy(InPlace(), text, n);
        kind_ = kShortText;
    } else {
        bits_.heap_text = new char[n];  // before kind_: a throw leaves a Null cell
        len_ = static_cast<uint32_t>(n);
        kind_ = kText;
        std::copy_n(text, n, bits_.heap_text);
    }
}

void Cell::CopyOwned(const Cell& o) {
    kind_ = kNull;
    switch (o.kind_) {
        case kText:
            bits_.heap_text = new char[len_];
            std::copy_n(o.bits_.heap_text, len_, bits_.heap_text);
            break;
        case kDecimal: bits_.decimal = new Decimal(*o.bits_.decimal); break;
        case kOther: bits_.other = new Variant(*o.bits_.other); break;
        default: break;
    }
    kind_ = o.kind_;
}

Cell& Cell::operator=(const Cell& o) {
    if (this != &o) *this = Cell(o);
    return *this;
}

Cell& Cell::operator=(Cell&& o) noexcept {
    if (this != &o) {
        Release();
        kind_ = o.kind_;
        short_len_ = o.short_len_;
        blanks_ = o.blanks_;
        len_ = o.len_;
        bits_ = o.bits_;
        o.kind_ = kNull;
    }
    return *this;
}

void Cell::Release() noexcept {
    switch (kind_) {
        case kText: delete[] bits_.heap_text; break;
        case kDecimal: delete bits_.decimal; break;
        case kOther: delete bits_.other; break;
        default: break;
    }
    kind_ = kNull;
}

Variant Cell::Get() const {
    switch (kind_) {
        case kEmpty: return Variant();
        case kNull: return Variant::Null();
        case kBool: return Variant(bits_.i != 0);
        case kInt16: return Variant(static_cast<int16_t>(bits_.i));
        case kInt32: return Variant(static_cast<int32_t>(bits_.i));
        case kInt64: return Variant(static_cast<long long>(bits_.i));
        case kDouble: return Variant(bits_.d);
        case kDate: return Variant(Date(bits_.d));
        case kShortText:
        case kText: {
            std::string s;
            std::string_view kept;
            Text(kept);
            s.reserve(kept.size() + blanks_);
            s.append(kept);
            s.append(blanks_, ' ');
            return Variant(std::move(s));
        }
        case kSmallDecimal: return Variant(Decimal::FromParts(Decimal::Coefficient(bits_.i), static_cast<int>(len_)));
        case kDecimal: return Variant(*bits_.decimal);
        case kOther: return *bits_.other;
    }
    return Variant::Null();
}

// ---- RowStore

uint64_t RowStore::NextSerial() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

int RowStore::FindField(std::string_view name) const {
    auto it = field_by_name.find(name);
    if (it != field_by_name.end()) return it->second;  // keys are upper case: so is the name
    it = field_by_name.find(UCase(name));
    return it == field_by_name.end() ? -1 : it->second;
}

void RowStore::AddField(FieldInfo info) {
    std::string key = UCase(info.name);
    if (field_by_name.count(key))
        throw Error(err::kObjectInCollection, "A field named '" + info.name + "' is already in the collection",
                    "Fields.Append");
    field_by_name.emplace(std::move(key), static_cast<int>(fields.size()));
    fields.push_back(std::move(info));
    indexes_by_field.emplace_back();
}

FieldIndex& RowStore::IndexOn(const std::vector<int>& on) {
    auto it = indexes.find(on);
    if (it != indexes.end()) return *it->second;
    auto index = std::make_unique<FieldIndex>();
    index->fields = on;
    for (int64_t id = 0; id < static_cast<int64_t>(rows.size()); ++id) {
        if (!rows[id].Live()) continue;
        index->buckets[KeyOf(*index, id)].push_back(id);  // ids ascend, so buckets stay sorted
    }
    FieldIndex* raw = index.get();
    indexes.emplace(on, std::move(index));
    for (int f : on) indexes_by_field[f].push_back(raw);
    return *raw;
}

FilterKey MakeFilterKey(const Cell& cell) {
    FilterKey k;
    std::string_view text;
    if (cell.IsNull()) {
        k.kind = FilterKey::kNull;
    } else if (cell.Text(text)) {
        k.kind = FilterKey::kText;
        while (!text.empty() && text.back() == ' ') text.remove_suffix(1);  // as NormalizeText
        k.text = UCase(text);
    } else if (cell.IsDouble()) {
        k.kind = FilterKey::kNumber;
        cell.Number(k.number);
    } else {
        return MakeFilterKey(cell.Get());
    }
    return k;
}

IndexKey RowStore::KeyOf(const FieldIndex& index, int64_t id) const {
    IndexKey key;
    key.reserve(index.fields.size());
    for (int f : index.fields) key.push_back(MakeFilterKey(rows[id].values[f]));
    return key;
}

namespace {
void BucketInsert(std::vector<int64_t>& bucket, int64_t id) {
    if (bucket.empty() || bucket.back() < id) {
        bucket.push_back(id);
    } else {
        auto pos = std::lower_bound(bucket.begin(), bucket.end(), id);
        if (pos == bucket.end() || *pos != id) bucket.insert(pos, id);
    }
}
void BucketErase(FieldIndex& index, const IndexKey& key, int64_t id) {
    auto it = index.buckets.find(key);
    if (it == index.buckets.end()) return;
    auto& bucket = it->second;
    auto pos = std::lower_bound(bucket.begin(), bucket.end(), id);
    if (pos != bucket.end() && *pos == id) bucket.erase(pos);
    if (bucket.empty()) index.buckets.erase(it);
}
}  // namespace

void RowStore::IndexInsert(int64_t id) {
    for (auto& [fields_on, index] : indexes) BucketInsert(index->buckets[KeyOf(*index, id)], id);
}

void RowStore::IndexRemove(int64_t id) {
    for (auto& [fields_on, index] : indexes) BucketErase(*index, KeyOf(*index, id), id);
}

namespace {
// Notes in the journal, if one is kept, what the field held before `value` is stored into it.
void Annota(RowStore& store, int64_t id, int field, const Variant& value) {
    if (!store.journal) return;
    Variant before = store.rows[id].values[field].Get();
    if (!(before == value)) store.journal->push_back({store.BookmarkOf(id), field, std::move(before), value});
}
}  // namespace

void RowStore::StoreDouble(int64_t id, int field, double v, const Variant& value) {
    Row& row = rows[id];
    if (!indexes_by_field[field].empty() && row.Live()) return Store(id, field, value);
    row.changed = ++change_clock;
    Annota(*this, id, field, value);
    row.values[field] = Cell::OfDouble(v);
}

void RowStore::Store(int64_t id, int field, Variant value) {
    Row& row = rows[id];
    row.changed = ++change_clock;
    Annota(*this, id, field, value);
    const auto& affected = indexes_by_field[field];
    if (affected.empty() || !row.Live()) {
        row.values[field] = Cell(value);
        return;
    }
    for (FieldIndex* index : affected) BucketErase(*index, KeyOf(*index, id), id);
    row.values[field] = Cell(value);
    for (FieldIndex* index : affected) BucketInsert(index->buckets[KeyOf(*index, id)], id);
}

void CellBlocks::NewBlock(std::size_t at_least) {
    // Each block as large as everything handed out so far, up to a limit: a result of one row takes one
    // row's room, one of thousands a block for every 64 KiB of cells.
    const std::size_t cells = std::max(at_least, std::min(kLargestBlock, taken_));
    if (first_) blocks_.reserve(blocks_.size() + 1);  // a block allocated is always listed, to be let go
    next_ = static_cast<Cell*>(::operator new(cells * sizeof(Cell)));
    if (first_)
        blocks_.push_back(next_);
    else
        first_ = next_;
    room_ = cells;
}

void CellBlocks::Release() noexcept {
    ::operator delete(first_);
    first_ = nullptr;
    for (Cell* block : blocks_) ::operator delete(block);
    blocks_.clear();
    next_ = nullptr;
    room_ = taken_ = dead_ = 0;
}

CellBlocks::CellBlocks(CellBlocks&& o) noexcept
    : first_(o.first_), blocks_(std::move(o.blocks_)), next_(o.next_), room_(o.room_), taken_(o.taken_), dead_(o.dead_) {
    o.first_ = nullptr;
    o.blocks_.clear();
    o.next_ = nullptr;
    o.room_ = o.taken_ = o.dead_ = 0;
}

CellBlocks CellBlocks::TakeOver() noexcept { return CellBlocks(std::move(*this)); }

void RowStore::CompactCells() {
    std::size_t live = 0;
    for (const Row& row : rows) live += row.values.capacity();
    const CellBlocks old = cell_blocks.TakeOver();  // let go at the end, when no row is left in it
    // The room is taken before any row moves: a row is never left in room about to be let go.
    cell_blocks.Reserve(live);
    for (Row& row : rows) row.values.MoveTo(cell_blocks);
}

void RowStore::MarkGone(Row& row) {
    if (row.gone) return;
    if (!row.deleted) ++dead_rows;
    row.gone = true;
    row.values.clear();
    row.original.clear();
    row.original.shrink_to_fit();
    // The last row gone gives the room back at once, not when a row is next added: a matrix emptied
    // and left so does not hold the room of the rows it had.
    if (++gone_rows == rows.size()) cell_blocks.Release();
}

void RowStore::ReleaseIfAllGone() {
    if (rows.empty() || gone_rows != rows.size()) return;
    released_ids += static_cast<int64_t>(rows.size());
    rows.clear();
    rows.shrink_to_fit();
    gone_rows = 0;
    dead_rows = 0;
    DropIndexes();
    serial = NextSerial();
    ++version;
    ++reset_version;
}

void RowStore::DropIndexes() {
    indexes.clear();
    for (auto& list : indexes_by_field) list.clear();
}

namespace {
bool IsTextType(DataTypeEnum t) {
    switch (t) {
        case adBSTR: case adChar: case adWChar: case adVarChar: case adLongVarChar: case adVarWChar:
        case adLongVarWChar:
            return true;
        default:
            return false;
    }
}
}  // namespace

Cell Cell::ForField(const FieldInfo& field, const RegionalSettings& rs) const {
    switch (kind_) {
        case kEmpty:
        case kNull: return Cell();
        case kDouble:
            if (field.type == adDouble) return OfDouble(bits_.d);
            break;
        case kDate:
            if (field.type == adDate) return OfDate(bits_.d);
            break;
        case kSmallDecimal:
            if (field.type == adDouble) {
                // Decimal::ToDouble's own way for a coefficient and a power of ten that are both exact
                // Doubles (a price always is): one division, the correctly rounded quotient.
                static constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
                constexpr int64_t kExact = int64_t{1} << 53;
                if (len_ < std::size(kExactPow10) && bits_.i < kExact && bits_.i > -kExact)
                    return OfDouble(static_cast<double>(bits_.i) / kExactPow10[len_]);
                return OfDouble(Decimal::FromParts(Decimal::Coefficient(bits_.i), static_cast<int>(len_)).ToDouble());
            }
            break;
        case kInt16:
        case kInt32:
        case kInt64: {
            // A flag or a count going into an integer or Double field that holds it, as CInt, CLng,
            // CLngLng and CDbl convert it.
            const int64_t i = bits_.i;
            Cell c;
            c.bits_.i = i;
            switch (field.type) {
                case adSmallInt:
                    if (i < std::numeric_limits<int16_t>::min() || i > std::numeric_limits<int16_t>::max()) break;
                    c.kind_ = kInt16;
                    return c;
                case adInteger:
                    if (i < std::numeric_limits<int32_t>::min() || i > std::numeric_limits<int32_t>::max()) break;
                    c.kind_ = kInt32;
                    return c;
                case adBigInt:
                    c.kind_ = kInt64;
                    return c;
                case adDouble:
                    if (i < -(int64_t{1} << 53) || i > (int64_t{1} << 53)) break;
                    return OfDouble(static_cast<double>(i));
                default: break;
            }
            break;
        }
        default: break;
    }
    return CellForField(field, Get(), rs);
}

Cell CellForField(const FieldInfo& field, const Variant& v, const RegionalSettings& rs) {
    if (v.IsEmpty() || v.IsNull()) return Cell();
    // What a loaded matrix row mostly holds - a Double, a stored Decimal or a flag going into a
    // Double, a date - is stored as CoerceForField stores it (CDbl of a whole number is the number),
    // without the round through another Variant.
    if (field.type == adDouble) {
        if (const double* d = v.TryGet<double>()) return Cell::OfDouble(*d);
        if (const Decimal* d = v.TryGet<Decimal>()) return Cell::OfDouble(d->ToDouble());
        if (const int16_t* i = v.TryGet<int16_t>()) return Cell::OfDouble(*i);
        if (const int32_t* i = v.TryGet<int32_t>()) return Cell::OfDouble(*i);
    } else if (field.type == adDate) {
        if (const Date* d = v.TryGet<Date>()) return Cell::OfDate(d->Serial());
    }
    // A value that already has the field's type is stored as it is, as CoerceForField gives it back.
    switch (field.type) {
        case adSmallInt: if (v.TryGet<int16_t>()) return Cell(v); break;
        case adInteger: if (v.TryGet<int32_t>()) return Cell(v); break;
        case adBigInt: if (v.TryGet<int64_t>()) return Cell(v); break;
        case adDecimal: case adNumeric: if (v.TryGet<Decimal>()) return Cell(v); break;
        case adBoolean: if (v.TryGet<Variant::Boolean>()) return Cell(v); break;
        default: break;
    }
    const std::string* s = v.TryGet<std::string>();
    if (!s || !IsTextType(field.type)) return Cell(CoerceForField(field, v, rs));
    if (field.defined_size <= 0) return Cell(*s, 0);
    // The text's characters are its trailing blanks and those of the rest: a fixed-width value given
    // padded (as the matrix's own codes are) is counted and kept without going through its blanks
    // twice.
    const std::string_view testo = WithoutTrailingBlanks(*s);
    const std::size_t finali = s->size() - testo.size();
    const std::size_t n = Len(testo) + finali;
    if (n > static_cast<std::size_t>(field.defined_size)) return Cell(CoerceForField(field, v, rs));  // raises
    const std::size_t padding =
        field.type == adChar || field.type == adWChar ? static_cast<std::size_t>(field.defined_size) - n : 0;
    return Cell(testo, finali + padding);
}

Variant CoerceForField(const FieldInfo& field, const Variant& v, const RegionalSettings& rs) {
    if (v.IsEmpty() || v.IsNull()) return Variant::Null();
    // A value that already has the field's type is stored as it is: the conversion would give it back.
    switch (field.type) {
        case adSmallInt: if (v.TryGet<int16_t>()) return v; break;
        case adInteger: if (v.TryGet<int32_t>()) return v; break;
        case adBigInt: if (v.TryGet<int64_t>()) return v; break;
        case adDouble:
            if (v.TryGet<double>()) return v;
            if (const Decimal* d = v.TryGet<Decimal>()) return Variant(d->ToDouble());  // as CDbl converts it
            break;
        case adDecimal: case adNumeric: if (v.TryGet<Decimal>()) return v; break;
        case adBoolean: if (v.TryGet<Variant::Boolean>()) return v; break;
        case adDate: if (v.TryGet<Date>()) return v; break;
        default: break;
    }
    try {
        if (IsTextType(field.type)) {
            std::string s = CStr(v, rs);
            if (field.defined_size > 0) {
                std::size_t n = Len(s);
                if (n > static_cast<std::size_t>(field.defined_size))
                    throw Error(err::kMultipleStep,
                                "Multiple-step operation generated errors: the value '" + s + "' (" +
                                    std::to_string(n) + " characters) does not fit field " + field.name +
                                    " (" + std::to_string(field.defined_size) + ")",
                                "Field.Value");
                if ((field.type == adChar || field.type == adWChar) && n < static_cast<std::size_t>(field.defined_size))
                    s.append(field.defined_size - n, ' ');
            }
            return Variant(std::move(s));
        }
        switch (field.type) {
            case adSmallInt: return Variant(CInt(v, rs));
            case adInteger: return Variant(CLng(v, rs));
            case adBigInt: return Variant(static_cast<long long>(CLngLng(v, rs)));
            case adDouble: return Variant(CDbl(v, rs));
            // Currency is a fixed-point amount of four decimals, rounded half to even like the
            // platform's own conversions.
            case adCurrency: return Variant(CDec(v, rs).Round(4, RoundingMode::HalfEven));
            case adDecimal: case adNumeric: return Variant(CDec(v, rs));
            case adBoolean: return Variant(CBool(v, rs));
            case adDate: return Variant(CDate(v, rs));
            default: return v;
        }
    } catch (const Error& e) {
        if (e.Number() == err::kMultipleStep) throw;
        throw Error(e.Number(), "Field " + field.name + ": " + e.Description(), "Field.Value");
    }
}

}  // namespace kv::ado
