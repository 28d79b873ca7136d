#include "platform/services/value_formatter.h"

#include <cstdio>

namespace kv::services {

ValueFormatter::~ValueFormatter() = default;

void HostValueFormatter::DBformat(const kv::Variant& value) {
    text_.clear();
    if (value.IsNull() || value.IsEmpty()) {
        text_ = "NULL";
        return;
    }
    if (const auto* b = value.TryGet<kv::Variant::Boolean>()) {
        text_.assign(1, b->value != 0 ? '1' : '0');
        return;
    }
    if (const auto* d = value.TryGet<kv::Date>()) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "'%04d%02d%02d'", d->Year(), d->Month(), d->Day());
        text_ = buf;
        return;
    }
    if (value.IsObject() || !kv::IsNumeric(value, regional_))
        throw kv::Error(kv::err::kTypeMismatch,
                        "Type mismatch: " + kv::DebugString(value) + " cannot be written into SQL as a number",
                        "ValueFormatter.DBformat");
    text_ = kv::CDec(value, regional_).Normalized().ToString('.');
}

}  // namespace kv::services
