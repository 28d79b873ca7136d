#include "platform/ado/row_store.h"

#include <algorithm>

#include "platform/variant/strings.h"

namespace kv::ado {

int RowStore::FindField(std::string_view name) const {
    auto it = field_by_name.find(UCase(name));
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

void RowStore::Store(int64_t id, int field, Variant value) {
    Row& row = rows[id];
    const auto& affected = indexes_by_field[field];
    if (affected.empty() || !row.Live()) {
        row.values[field] = std::move(value);
        return;
    }
    for (FieldIndex* index : affected) BucketErase(*index, KeyOf(*index, id), id);
    row.values[field] = std::move(value);
    for (FieldIndex* index : affected) BucketInsert(index->buckets[KeyOf(*index, id)], id);
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

Variant CoerceForField(const FieldInfo& field, const Variant& v, const RegionalSettings& rs) {
    if (v.IsEmpty() || v.IsNull()) return Variant::Null();
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
