#include "platform/controls/date_field.h"

#include "platform/variant/strings.h"

namespace kv::controls {

std::optional<Date> DateField::ReadDate(const std::string& text, const RegionalSettings& rs) {
    std::string t = Trim(text);
    if (t.empty()) return std::nullopt;
    return Date::ParseLocal(t, rs);
}

std::optional<Date> DateField::Value() const { return ReadDate(Text(), regional_); }

void DateField::Check() {
    auto d = Value();
    if (d) ReplaceText(Date(static_cast<double>(d->Days())).ToString(regional_));
    SetValid(d.has_value());
}

}  // namespace kv::controls
