#include "shell/modmg_quendormixal.h"

#include "platform/variant/strings.h"

namespace qmx {

using kv::Variant;

namespace {
// The helpers run with errors ignored: a failed conversion leaves their result Empty.
template <class F>
Variant Guarded(F&& f) {
    try {
        return f();
    } catch (const kv::Error&) {
        return Variant();
    }
}
std::string Dotted(std::string s) { return kv::Replace(s, ",", "."); }
}  // namespace

Variant NZ(const Variant& v, const kv::RegionalSettings& rs) {
    return Guarded([&] { return kv::IsBlank(v) ? Variant(int16_t{0}) : Variant(kv::CDec(v, rs)); });
}

Variant NS(const Variant& v, const kv::RegionalSettings& rs) {
    return Guarded([&] { return kv::IsBlank(v) ? Variant("") : Variant(kv::RTrim(kv::CStr(v, rs))); });
}

Variant SqlValore(const Variant& v, const kv::RegionalSettings& rs) {
    return Guarded([&] {
        if (kv::IsBlank(v)) return Variant("NULL");
        if (kv::IsNumeric(v, rs)) return Variant(Dotted(kv::CStr(v, rs)));
        return Variant(kv::RTrim(kv::CStr(v, rs)));
    });
}

Variant SqlNumero(const Variant& v, const kv::RegionalSettings& rs) {
    return Guarded([&] {
        if (kv::IsBlank(v)) return Variant(int16_t{0});
        return Variant(Dotted(kv::CDec(v, rs).ToString(rs.decimal_separator)));
    });
}

std::string RaddoppiaApici(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 4);
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

}  // namespace qmx
