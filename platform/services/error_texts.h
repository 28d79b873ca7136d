#pragma once
// What the error display tells a user about a trapped error. The platform's and the services' errors
// carry technical descriptions (what a developer needs: the engine's message, the failing value); a
// user gets one Italian message chosen by the error's number, the number once in its ordinary form, and
// the technical part (original description, source, procedure, the database's own messages) as detail
// to open on request. Errors that the component raises with its own Italian text keep that text; when
// their number is the component's own (past the platform's object-error base) it tells the user
// nothing and goes with the detail.

#include <optional>
#include <string>

#include "platform/services/dialogs.h"

namespace kv::services {

struct UserErrorText {
    std::string message;  // shown once, in Italian
    std::string number;   // "Errore n. 3265"; provider codes in hexadecimal, "Errore n. 0x80004005"
    std::string details;  // the technical part, one item per line
};

// The Italian description of a platform or service error number; nullopt for numbers it does not know.
// Provider errors (the database's) are told apart by their SQLSTATE class when one is given.
std::optional<std::string> ItalianErrorDescription(long number, const std::string& sql_state = {});

// The error number as users know it: decimal, except the provider's HRESULT codes (negative numbers),
// which are written in hexadecimal as the platform's documentation lists them.
std::string ErrorNumberText(long number);

UserErrorText DescribeForUser(const ErrorReport& report);

}  // namespace kv::services
