#pragma once
// Function-call rewriting of statement text, the one place where a backend adapts the component's SQL
// dialect to its engine. Private to platform/ado.
//
// The scanner knows string literals ('it''s'), quoted identifiers ("x", and [x] on the embedded engine)
// and comments (-- and /* */) and never rewrites inside them. On the server engine it also knows what
// that engine's lexer knows, so that text inside them is never taken for code either: E'...' literals
// with backslash escapes (E'it\'s'), dollar quoting ($$...$$, $tag$...$tag$) and nested comments
// (/* a /* b */ c */). A rule matches a function call: the name as a whole word (any case, not after a
// '.'), optional blanks, then '('. It renames the function and may wrap the whole call, up to its
// matching ')', between a prefix and a suffix. Calls nested in the arguments are rewritten too.

#include <string>
#include <string_view>
#include <vector>

namespace kv::ado {

struct SqlFunctionRule {
    std::string name;         // as the component writes it, matched without case: "ISNULL"
    std::string replacement;  // the engine's function name: "IFNULL"
    std::string prefix;       // written before the call: "("
    std::string suffix;       // written after its closing ')': " COLLATE RTRIM)"
};

enum class SqlDialect {
    kSqlite,
    // The server engine's lexicon, and LIKE adapted: `x LIKE 'pattern'` (a plain literal, no ESCAPE)
    // becomes `x SIMILAR TO 'pattern *'` with the pattern's other SIMILAR TO metacharacters escaped, so
    // that trailing blanks of the value are ignored as in the component's dialect (a blank-padded CHAR(n)
    // value is otherwise matched with its padding there).
    kPostgres,
};

// Returns the text with every matching call rewritten; the text unchanged when nothing matches.
// Unbalanced parentheses leave an unclosed call's suffix out (the engine reports the syntax error).
std::string RewriteSql(std::string_view sql, const std::vector<SqlFunctionRule>& rules,
                       SqlDialect dialect = SqlDialect::kSqlite);

// The first word, upper-cased, of each statement of the text (statements end at ';' outside literals,
// quoted names and comments). Statements of nothing but blanks and comments are left out; a statement
// that starts with no word ("(SELECT 1)") gives "".
std::vector<std::string> StatementFirstWords(std::string_view sql, SqlDialect dialect);

// True for the words that start a statement that ends or shapes a transaction by itself, or that
// cannot run inside one.
bool IsTransactionControlWord(std::string_view word);

}  // namespace kv::ado
