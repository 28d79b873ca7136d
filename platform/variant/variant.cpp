#include <charconv>
#include <ostream>

#include "platform/variant/variant.h"
#include "platform/variant/variant_internal.h"

namespace kv {

VarType Variant::Type() const {
    // Indexed by the alternatives of v_, in their declaration order.
    static constexpr VarType kTypes[] = {VarType::Empty,   VarType::Null,    VarType::Boolean, VarType::Integer,
                                         VarType::Long,    VarType::BigInt,  VarType::Double,  VarType::Decimal,
                                         VarType::Date,    VarType::String,  VarType::Object};
    static_assert(std::size(kTypes) == std::variant_size_v<decltype(v_)>);
    return kTypes[v_.index()];
}

bool Variant::IsNumber() const {
    switch (Type()) {
        case VarType::Boolean:
        case VarType::Integer:
        case VarType::Long:
        case VarType::BigInt:
        case VarType::Double:
        case VarType::Decimal:
            return true;
        default:
            return false;
    }
}

const std::string& Variant::StringValue() const {
    if (const auto* s = std::get_if<std::string>(&v_)) return *s;
    throw Error(err::kTypeMismatch, "Type mismatch: " + DebugString(*this) + " is not a String");
}

std::shared_ptr<Object> Variant::ObjectValue() const {
    if (const auto* o = std::get_if<std::shared_ptr<Object>>(&v_)) return *o;
    throw Error(err::kTypeMismatch, "Type mismatch: " + DebugString(*this) + " is not an Object");
}

bool IsBlank(const Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return true;
    const auto* s = v.TryGet<std::string>();
    return s != nullptr && s->empty();
}

std::string DebugString(const Variant& v) {
    auto exact_double = [](double d) {  // every digit, so that tests show what differs
        char buf[40];
        const auto res = std::to_chars(buf, buf + sizeof buf, d);
        return std::string(buf, res.ptr);
    };
    switch (v.Type()) {
        case VarType::Empty: return "Empty";
        case VarType::Null: return "Null";
        case VarType::Boolean: return v.TryGet<Variant::Boolean>()->value != 0 ? "Boolean(True)" : "Boolean(False)";
        case VarType::Integer: return "Integer(" + std::to_string(*v.TryGet<int16_t>()) + ")";
        case VarType::Long: return "Long(" + std::to_string(*v.TryGet<int32_t>()) + ")";
        case VarType::BigInt: return "BigInt(" + std::to_string(*v.TryGet<int64_t>()) + ")";
        case VarType::Double: return "Double(" + exact_double(*v.TryGet<double>()) + ")";
        case VarType::Decimal: return "Decimal(" + v.TryGet<Decimal>()->ToString() + ")";
        case VarType::Date: {
            const Date& d = *v.TryGet<Date>();
            return "Date(" + d.ToString() + ", serial " + exact_double(d.Serial()) + ")";
        }
        case VarType::String: {
            std::string out = "String(\"";
            for (const char c : *v.TryGet<std::string>()) {
                if (c == '"' || c == '\\') {
                    out += '\\';
                    out += c;
                } else if (static_cast<unsigned char>(c) < 0x20) {
                    static constexpr char kHex[] = "0123456789abcdef";
                    out += "\\x";
                    out += kHex[(c >> 4) & 0xf];
                    out += kHex[c & 0xf];
                } else {
                    out += c;
                }
            }
            return out + "\")";
        }
        case VarType::Object: return v.TryGet<std::shared_ptr<Object>>()->get() ? "Object" : "Object(Nothing)";
    }
    return "?";
}

void PrintTo(const Variant& v, std::ostream* os) { *os << DebugString(v); }

}  // namespace kv
