#pragma once
// Dispatch: an object's own properties reached by name, the way a host reaches the members of a
// component class whose declaration it does not have (the host knows Cinterface; a component's own
// interface, such as the article a window is opened on, is late-bound). Names compare without regard
// to case.

#include <string_view>

#include "platform/variant/variant.h"

namespace kv::services {

// The platform's error for a name the object does not have.
inline constexpr long kMemberNotSupported = 438;

class Dispatch {
public:
    virtual ~Dispatch();
    // kv::Error 438 when the object has no property of that name; otherwise the property's own rules.
    virtual void PropertyLet(std::string_view name, const kv::Variant& value) = 0;
    virtual kv::Variant PropertyGet(std::string_view name) const = 0;
};

// The error a Dispatch raises for an unknown name.
kv::Error MemberNotSupported(std::string_view name, std::string_view source);

}  // namespace kv::services
