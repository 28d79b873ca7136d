#pragma once
// The filter criteria language of recordsets: parsing and evaluation. Private to platform/ado.
//
//   criteria := or
//   or       := and { OR and }
//   and      := term { AND term }
//   term     := "(" or ")" | clause
//   clause   := field op value
//   field    := name | "[" name with blanks "]"
//   op       := = | <> | < | > | <= | >= | LIKE
//   value    := 'text' ('' inside) | #date or text# | number | NULL
//
// Keywords ignore case. AND binds tighter than OR. Field names are resolved when parsing, so an
// unknown field is reported (3265) before anything changes; any other fault in the text is 3001.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/row_store.h"

namespace kv::ado {

enum class FilterOp { kEq, kNe, kLt, kGt, kLe, kGe, kLike };

struct FilterNode {
    enum Type { kClause, kAnd, kOr } type = kClause;
    // A clause.
    int field = -1;
    FilterOp op = FilterOp::kEq;
    FilterKey value;  // already converted to the field's kind
    std::string like_pattern;  // upper-case, for LIKE
    // And / Or.
    std::vector<FilterNode> children;
};

struct ParsedFilter {
    FilterNode root;
    // When the whole filter is an AND of equalities on distinct fields: the fields (ascending) and the
    // key to look up, so the rows come from an index instead of a scan.
    std::vector<int> index_fields;
    IndexKey index_key;
    bool indexable = false;
};

ParsedFilter ParseFilter(std::string_view text, const RowStore& store);
bool FilterMatches(const FilterNode& node, const Row& row);

}  // namespace kv::ado
