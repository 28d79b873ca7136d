#pragma once
// The platform's string functions. Text is UTF-8; lengths and positions count characters, not bytes,
// so "è" is one character. Positions are 1-based as on the platform. The Variant forms return Null for
// a Null argument where the platform does.

#include <string>
#include <string_view>

#include "platform/variant/variant.h"

namespace kv {

std::size_t Len(std::string_view s);  // characters
std::string Trim(std::string_view s);   // blanks (U+0020) only; tabs and line ends stay
std::string LTrim(std::string_view s);
std::string RTrim(std::string_view s);
std::string UCase(std::string_view s);  // ASCII and Latin-1 letters (à -> À)
std::string LCase(std::string_view s);
std::string Left(std::string_view s, long n);    // n < 0 raises 5
std::string Right(std::string_view s, long n);   // n < 0 raises 5
std::string Mid(std::string_view s, long start, long length = -1);  // start < 1 raises 5; -1: to the end
long InStr(std::string_view s1, std::string_view s2, long start = 1);  // 0 when not found
// Replaces every occurrence (or `count` of them); the result starts at `start`, as on the platform.
std::string Replace(std::string_view s, std::string_view find, std::string_view with, long start = 1,
                    long count = -1);
// Pads with blanks or cuts to exactly `width` characters.
std::string PadRight(std::string_view s, std::size_t width);
std::string Space(long n);

Variant Trim(const Variant& v);
Variant RTrim(const Variant& v);
Variant LTrim(const Variant& v);
Variant UCase(const Variant& v);
Variant LCase(const Variant& v);

// True when the text is well-formed UTF-8 without control characters (U+0000 to U+001F, U+007F): text a
// single-line field can hold. A tab, a line break, a NUL or a stray byte can be pasted or scripted, but
// no code, option or date contains one.
bool IsSingleLineText(std::string_view s);

// Case-insensitive ASCII comparison, as field names are looked up.
bool EqualsNoCase(std::string_view a, std::string_view b);


// Text arguments given as std::string or literals take the text forms (a std::string converts to both
// std::string_view and Variant, so these overloads settle which one is meant).
inline std::string Trim(const std::string& s) { return Trim(std::string_view(s)); }
inline std::string LTrim(const std::string& s) { return LTrim(std::string_view(s)); }
inline std::string RTrim(const std::string& s) { return RTrim(std::string_view(s)); }
inline std::string UCase(const std::string& s) { return UCase(std::string_view(s)); }
inline std::string LCase(const std::string& s) { return LCase(std::string_view(s)); }
inline std::string Trim(const char* s) { return Trim(std::string_view(s)); }
inline std::string LTrim(const char* s) { return LTrim(std::string_view(s)); }
inline std::string RTrim(const char* s) { return RTrim(std::string_view(s)); }
inline std::string UCase(const char* s) { return UCase(std::string_view(s)); }
inline std::string LCase(const char* s) { return LCase(std::string_view(s)); }

}  // namespace kv
