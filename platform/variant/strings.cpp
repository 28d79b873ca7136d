#include "platform/variant/strings.h"

namespace kv {
namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Byte offset of the character with 0-based index `chars`, or s.size() when the text is shorter.
std::size_t ByteOffset(std::string_view s, std::size_t chars) {
    std::size_t i = 0;
    while (i < s.size() && chars > 0) {
        ++i;
        while (i < s.size() && IsContinuation(s[i])) ++i;
        --chars;
    }
    return i;
}

[[noreturn]] void InvalidCall(const char* function, const char* argument, long value) {
    throw Error(err::kInvalidCall, std::string("Invalid procedure call: ") + function + " with " + argument + " " +
                                       std::to_string(value));
}

// Latin-1 letters U+00C0..U+00FE are UTF-8 0xC3 0x80..0xBE; capitals and small letters are 0x20 apart,
// except the multiplication and division signs (0x97, 0xB7); the sharp s (0x9F) has no capital.
std::string MapCase(std::string_view s, bool upper) {
    std::string out(s);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c < 0x80) {
            if (upper && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 0x20);
            if (!upper && c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 0x20);
        } else if (c == 0xC3 && i + 1 < out.size()) {
            const auto n = static_cast<unsigned char>(out[i + 1]);
            if (upper && n >= 0xA0 && n <= 0xBE && n != 0xB7) out[i + 1] = static_cast<char>(n - 0x20);
            if (!upper && n >= 0x80 && n <= 0x9E && n != 0x97) out[i + 1] = static_cast<char>(n + 0x20);
            ++i;
        }
    }
    return out;
}

template <class F>
Variant MapVariant(const Variant& v, F f) {
    if (v.IsNull()) return Variant::Null();
    if (const auto* s = v.TryGet<std::string>()) return Variant(f(*s));
    return Variant(f(CStr(v)));
}

}  // namespace

std::size_t Len(std::string_view s) {
    std::size_t n = 0;
    for (const char c : s) n += !IsContinuation(c);
    return n;
}

bool IsSingleLineText(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F) return false;
        if (c < 0x80) {
            ++i;
            continue;
        }
        // A lead byte, its continuation bytes, and no overlong form, surrogate or value past U+10FFFF.
        std::size_t n;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + n >= s.size()) return false;
        for (std::size_t k = 1; k <= n; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((n == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += n + 1;
    }
    return true;
}

std::string LTrim(std::string_view s) {
    const std::size_t b = s.find_first_not_of(' ');
    return b == std::string_view::npos ? std::string() : std::string(s.substr(b));
}

std::string RTrim(std::string_view s) {
    const std::size_t e = s.find_last_not_of(' ');
    return e == std::string_view::npos ? std::string() : std::string(s.substr(0, e + 1));
}

std::string Trim(std::string_view s) {
    const std::size_t b = s.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    return std::string(s.substr(b, s.find_last_not_of(' ') - b + 1));
}

std::string UCase(std::string_view s) { return MapCase(s, true); }
std::string LCase(std::string_view s) { return MapCase(s, false); }

std::string Left(std::string_view s, long n) {
    if (n < 0) InvalidCall("Left", "length", n);
    return std::string(s.substr(0, ByteOffset(s, static_cast<std::size_t>(n))));
}

std::string Right(std::string_view s, long n) {
    if (n < 0) InvalidCall("Right", "length", n);
    const std::size_t len = Len(s);
    if (static_cast<std::size_t>(n) >= len) return std::string(s);
    return std::string(s.substr(ByteOffset(s, len - static_cast<std::size_t>(n))));
}

std::string Mid(std::string_view s, long start, long length) {
    if (start < 1) InvalidCall("Mid", "start", start);
    if (length < -1) InvalidCall("Mid", "length", length);
    const std::string_view rest = s.substr(ByteOffset(s, static_cast<std::size_t>(start - 1)));
    if (length == -1) return std::string(rest);
    return std::string(rest.substr(0, ByteOffset(rest, static_cast<std::size_t>(length))));
}

long InStr(std::string_view s1, std::string_view s2, long start) {
    if (start < 1) InvalidCall("InStr", "start", start);
    if (s1.empty()) return 0;
    if (s2.empty()) return start;
    const std::size_t from = ByteOffset(s1, static_cast<std::size_t>(start - 1));
    if (from >= s1.size()) return 0;
    const std::size_t found = s1.find(s2, from);
    if (found == std::string_view::npos) return 0;
    return static_cast<long>(Len(s1.substr(0, found))) + 1;
}

std::string Replace(std::string_view s, std::string_view find, std::string_view with, long start, long count) {
    if (start < 1) InvalidCall("Replace", "start", start);
    if (count < -1) InvalidCall("Replace", "count", count);
    // The platform returns the text from `start` on, the characters before it dropped.
    const std::string_view rest = s.substr(ByteOffset(s, static_cast<std::size_t>(start - 1)));
    if (find.empty() || count == 0) return std::string(rest);
    std::string out;
    out.reserve(rest.size());
    std::size_t pos = 0;
    for (long done = 0; count == -1 || done < count; ++done) {
        const std::size_t hit = rest.find(find, pos);
        if (hit == std::string_view::npos) break;
        out.append(rest.substr(pos, hit - pos));
        out.append(with);
        pos = hit + find.size();
    }
    out.append(rest.substr(pos));
    return out;
}

std::string PadRight(std::string_view s, std::size_t width) {
    const std::size_t len = Len(s);
    if (len >= width) return std::string(s.substr(0, ByteOffset(s, width)));
    std::string out(s);
    out.append(width - len, ' ');
    return out;
}

std::string Space(long n) {
    if (n < 0) InvalidCall("Space", "length", n);
    return std::string(static_cast<std::size_t>(n), ' ');
}

Variant Trim(const Variant& v) { return MapVariant(v, [](std::string_view s) { return Trim(s); }); }
Variant RTrim(const Variant& v) { return MapVariant(v, [](std::string_view s) { return RTrim(s); }); }
Variant LTrim(const Variant& v) { return MapVariant(v, [](std::string_view s) { return LTrim(s); }); }
Variant UCase(const Variant& v) { return MapVariant(v, [](std::string_view s) { return UCase(s); }); }
Variant LCase(const Variant& v) { return MapVariant(v, [](std::string_view s) { return LCase(s); }); }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 0x20);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 0x20);
        if (x != y) return false;
    }
    return true;
}

}  // namespace kv
