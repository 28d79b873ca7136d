#pragma once
// Function-call rewriting of statement text, the one place where a backend adapts the component's SQL
// dialect to its engine. Private to platform/ado.
//
// The scanner knows string literals ('it''s'), quoted identifiers ("x", [x]) and comments (-- and
// /* */) and never rewrites inside them. A rule matches a function call: the name as a whole word
// (any case, not after a '.'), optional blanks, then '('. It renames the function and may wrap the
// whole call, up to its matching ')', between a prefix and a suffix. Calls nested in the arguments
// are rewritten too.

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

// Returns the text with every matching call rewritten; the text unchanged when nothing matches.
// Unbalanced parentheses leave an unclosed call's suffix out (the engine reports the syntax error).
std::string RewriteSql(std::string_view sql, const std::vector<SqlFunctionRule>& rules);

}  // namespace kv::ado
