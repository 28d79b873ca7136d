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

// Where a literal, quoted name or comment starting at `i` ends (the index just past it); `i` itself
// when none starts there. An unterminated one runs to the end of the text.
std::size_t SkipQuoted(std::string_view sql, std::size_t i, SqlDialect dialect) {
    const std::size_t n = sql.size();
    const bool pg = dialect == SqlDialect::kPostgres;
    const char c = sql[i];
    const bool after_word = i > 0 && IsIdentChar(sql[i - 1]);
    if (pg && (c == 'E' || c == 'e') && !after_word && i + 1 < n && sql[i + 1] == '\'') {
        // E'...': a backslash escapes the next character, a doubled quote is one quote.
        std::size_t k = i + 2;
        while (k < n) {
            if (sql[k] == '\\') {
                k += 2;
            } else if (sql[k] == '\'') {
                if (k + 1 < n && sql[k + 1] == '\'') {
                    k += 2;
                } else {
                    return k + 1;
                }
            } else {
                ++k;
            }
        }
        return n;
    }
    if (c == '\'' || c == '"' || (c == '[' && !pg)) {
        const char close = c == '[' ? ']' : c;
        std::size_t k = i + 1;
        while (k < n) {
            if (sql[k] == close) {
                if (close != ']' && k + 1 < n && sql[k + 1] == close) {
                    k += 2;
                    continue;
                }
                return k + 1;
            }
            ++k;
        }
        return n;
    }
    if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
        std::size_t end = sql.find('\n', i);
        return end == std::string_view::npos ? n : end;
    }
    if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
        if (!pg) {
            std::size_t end = sql.find("*/", i + 2);
            return end == std::string_view::npos ? n : end + 2;
        }
        int depth = 0;
        std::size_t k = i;
        while (k < n) {
            if (sql[k] == '/' && k + 1 < n && sql[k + 1] == '*') {
                ++depth;
                k += 2;
            } else if (sql[k] == '*' && k + 1 < n && sql[k + 1] == '/') {
                k += 2;
                if (--depth == 0) return k;
            } else {
                ++k;
            }
        }
        return n;
    }
    if (pg && c == '$' && !after_word) {
        // $tag$ ... $tag$, the tag empty or a name ($1 is a parameter, not a quote).
        std::size_t k = i + 1;
        if (k < n && IsIdentStart(sql[k])) {
            while (k < n && IsIdentChar(sql[k]) && sql[k] != '$') ++k;
        }
        if (k >= n || sql[k] != '$') return i;
        const std::string_view tag = sql.substr(i, k - i + 1);
        std::size_t end = sql.find(tag, k + 1);
        return end == std::string_view::npos ? n : end + tag.size();
    }
    return i;
}

// A LIKE pattern as the SIMILAR TO pattern that matches the same texts followed by any blanks.
// The literal's own quote doubling is kept; backslash escapes mean the same in both.
std::string SimilarPattern(std::string_view body) {
    std::string out;
    out.reserve(body.size() + 8);
    for (std::size_t k = 0; k < body.size(); ++k) {
        const char ch = body[k];
        if (ch == '\\' && k + 1 < body.size()) {
            out += ch;
            out += body[++k];
            continue;
        }
        if (std::string_view("|*+?{}()[]").find(ch) != std::string_view::npos) out += '\\';
        out += ch;
    }
    out += " *";
    return out;
}

// One change to the text: `erase` characters at `pos` give way to `text`.
struct Edit {
    std::size_t pos;
    std::size_t erase;
    std::string text;
    std::size_t order;  // keeps insertions at one position in the order they were found
};

}  // namespace

std::string RewriteSql(std::string_view sql, const std::vector<SqlFunctionRule>& rules, SqlDialect dialect) {
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
        if (std::size_t past = SkipQuoted(sql, i, dialect); past != i) {
            i = past;
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
            if (dialect == SqlDialect::kPostgres && SameNoCase(word, "LIKE")) {
                std::size_t j = i;
                while (j < n && IsBlank(sql[j])) ++j;
                if (j >= n || sql[j] != '\'') continue;
                const std::size_t lit_end = SkipQuoted(sql, j, dialect);
                if (lit_end > n || sql[lit_end - 1] != '\'' || lit_end - j < 2) continue;
                std::size_t k = lit_end;
                while (k < n && IsBlank(sql[k])) ++k;
                std::size_t w = k;
                while (w < n && IsIdentChar(sql[w])) ++w;
                if (SameNoCase(sql.substr(k, w - k), "ESCAPE")) continue;
                edits.push_back({start, word.size(), "SIMILAR TO", order++});
                edits.push_back({j + 1, lit_end - j - 2, SimilarPattern(sql.substr(j + 1, lit_end - j - 2)), order++});
                i = lit_end;
                continue;
            }
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

std::vector<std::string> StatementFirstWords(std::string_view sql, SqlDialect dialect) {
    std::vector<std::string> words;
    bool in_statement = false;
    const std::size_t n = sql.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = sql[i];
        const bool comment = (c == '-' && i + 1 < n && sql[i + 1] == '-') || (c == '/' && i + 1 < n && sql[i + 1] == '*');
        if (std::size_t past = SkipQuoted(sql, i, dialect); past != i) {
            if (!comment && !in_statement) {
                words.emplace_back();
                in_statement = true;
            }
            i = past;
        } else if (c == ';') {
            in_statement = false;
            ++i;
        } else if (IsBlank(c)) {
            ++i;
        } else if (!in_statement) {
            in_statement = true;
            std::string word;
            while (i < n && IsIdentStart(sql[i])) {
                char u = sql[i++];
                word.push_back(u >= 'a' && u <= 'z' ? static_cast<char>(u - 32) : u);
            }
            if (word.empty()) ++i;
            words.push_back(std::move(word));
        } else if (IsIdentChar(c)) {
            while (i < n && IsIdentChar(sql[i])) ++i;  // a word inside the statement ($ may belong to it)
        } else {
            ++i;
        }
    }
    return words;
}

bool IsTransactionControlWord(std::string_view word) {
    // VACUUM, PRAGMA, ATTACH and DETACH cannot run (or do nothing) inside a transaction on one engine
    // or the other: they are not wrapped in one of ours either.
    for (std::string_view w : {"BEGIN", "START", "COMMIT", "END", "ROLLBACK", "ABORT", "SAVEPOINT", "RELEASE",
                               "PREPARE", "VACUUM", "PRAGMA", "ATTACH", "DETACH"})
        if (SameNoCase(word, w)) return true;
    return false;
}

}  // namespace kv::ado
