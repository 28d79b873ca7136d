#pragma once
// Helpers shared by the tests: the number or text of the error a call raises, decimal literals.

#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/variant/variant.h"

namespace kv::testing {

// The number of the kv::Error that f raises, 0 when it raises none.
template <class F>
long ErrorNumber(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.Number();
    }
    return 0;
}

// The description of the kv::Error that f raises, "" when it raises none.
template <class F>
std::string ErrorText(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.Description();
    }
    return {};
}

inline Decimal Dec(std::string_view text) {
    const auto d = Decimal::Parse(text);
    if (!d) throw std::invalid_argument("bad decimal literal in a test: " + std::string(text));
    return *d;
}

}  // namespace kv::testing
