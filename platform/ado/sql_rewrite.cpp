#include "platform/ado/sql_rewrite.h"

#include <algorithm>
#include <cstddef>

namespace kv::ado {
namespace {

bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9') || c == '$' || c == '#' || c == '@'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

// One change to the text: `erase` characters at `pos` give way to `text`.
struct Edit {
    std::size_t pos;
    std::size_t erase;
    std::string text;
    std::size_t order;  // keeps insertions at one position in the order they were found
};

}  // namespace

std::string RewriteSql(std::string_view sql, const std::vector<SqlFunctionRule>& rules) {
    std::vector<Edit> edits;
    // Open parentheses; each remembers the suffix its matching ')' must write (empty for plain ones).
    struct Open {
        const SqlFunctionRule* rule;
    };
    std::vector<Open> open;
    std::size_t order = 0;
    const std::size_t n = sql.size();
    std::size_t i = 0;
    while (i < n) {
        char c = sql[i];
        if (c == '\'' || c == '"' || c == '[') {
            char close = c == '[' ? ']' : c;
            ++i;
            while (i < n) {
                if (sql[i] == close) {
                    if (close != ']' && i + 1 < n && sql[i + 1] == close) {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            ++i;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            std::size_t end = sql.find("*/", i + 2);
            i = end == std::string_view::npos ? n : end + 2;
        } else if (c == '(') {
            open.push_back({nullptr});
            ++i;
        } else if (c == ')') {
            if (!open.empty()) {
                if (open.back().rule && !open.back().rule->suffix.empty())
                    edits.push_back({i + 1, 0, open.back().rule->suffix, order++});
                open.pop_back();
            }
            ++i;
        } else if (IsIdentStart(c)) {
            std::size_t start = i;
            while (i < n && IsIdentChar(sql[i])) ++i;
            std::string_view word = sql.substr(start, i - start);
            bool qualified = start > 0 && sql[start - 1] == '.';
            if (qualified) continue;
            const SqlFunctionRule* rule = nullptr;
            for (const auto& r : rules) {
                if (SameNoCase(word, r.name)) {
                    rule = &r;
                    break;
                }
            }
            if (!rule) continue;
            std::size_t j = i;
            while (j < n && IsBlank(sql[j])) ++j;
            if (j >= n || sql[j] != '(') continue;
            if (!rule->prefix.empty()) edits.push_back({start, 0, rule->prefix, order++});
            edits.push_back({start, word.size(), rule->replacement, order++});
            open.push_back({rule});
            i = j + 1;
        } else if (c >= '0' && c <= '9') {
            // Numbers such as 1e5 must not start an identifier halfway.
            while (i < n && (IsIdentChar(sql[i]) || sql[i] == '.')) ++i;
        } else {
            ++i;
        }
    }
    if (edits.empty()) return std::string(sql);
    std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
        return a.pos != b.pos ? a.pos < b.pos : a.order < b.order;
    });
    std::string out;
    std::size_t extra = 0;
    for (const auto& e : edits) extra += e.text.size();
    out.reserve(sql.size() + extra);
    std::size_t at = 0;
    for (const auto& e : edits) {
        out.append(sql.substr(at, e.pos - at));
        out.append(e.text);
        at = e.pos + e.erase;
    }
    out.append(sql.substr(at));
    return out;
}

}  // namespace kv::ado
