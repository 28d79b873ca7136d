#include "platform/ado/filter.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "platform/variant/strings.h"

namespace kv::ado {
namespace {

[[noreturn]] void Malformed(std::string_view text, const std::string& why) {
    throw Error(err::kInvalidArgument,
                "Invalid filter \"" + std::string(text) + "\": " + why, "Recordset.Filter");
}

struct Token {
    enum Kind { kEnd, kName, kOp, kText, kHashed, kNumber, kLParen, kRParen, kAnd, kOr, kLike, kNull, kNot } kind = kEnd;
    std::string text;
};

class Lexer {
public:
    explicit Lexer(std::string_view s) : s_(s) {}

    Token Next() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n')) ++i_;
        Token t;
        if (i_ >= s_.size()) return t;
        char c = s_[i_];
        if (c == '(') { ++i_; t.kind = Token::kLParen; return t; }
        if (c == ')') { ++i_; t.kind = Token::kRParen; return t; }
        if (c == '\'') {
            ++i_;
            t.kind = Token::kText;
            for (;;) {
                if (i_ >= s_.size()) Malformed(s_, "unterminated text value");
                if (s_[i_] == '\'') {
                    if (i_ + 1 < s_.size() && s_[i_ + 1] == '\'') { t.text += '\''; i_ += 2; continue; }
                    ++i_;
                    break;
                }
                t.text += s_[i_++];
            }
            return t;
        }
        if (c == '#') {
            std::size_t end = s_.find('#', i_ + 1);
            if (end == std::string_view::npos) Malformed(s_, "unterminated #value#");
            t.kind = Token::kHashed;
            t.text = std::string(s_.substr(i_ + 1, end - i_ - 1));
            i_ = end + 1;
            return t;
        }
        if (c == '[') {
            std::size_t end = s_.find(']', i_ + 1);
            if (end == std::string_view::npos) Malformed(s_, "unterminated [field name]");
            t.kind = Token::kName;
            t.text = std::string(s_.substr(i_ + 1, end - i_ - 1));
            i_ = end + 1;
            return t;
        }
        if (c == '<' || c == '>' || c == '=') {
            t.kind = Token::kOp;
            t.text = c;
            ++i_;
            if (i_ < s_.size() && (s_[i_] == '=' || (c == '<' && s_[i_] == '>'))) t.text += s_[i_++];
            return t;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.' || c == '$') {
            std::size_t start = i_;
            if (c == '-' || c == '+') ++i_;
            if (i_ < s_.size() && s_[i_] == '$') ++i_;
            while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '.' ||
                                      ((s_[i_] == '-' || s_[i_] == '+') &&
                                       (s_[i_ - 1] == 'e' || s_[i_ - 1] == 'E'))))
                ++i_;
            t.kind = Token::kNumber;
            t.text = std::string(s_.substr(start, i_ - start));
            return t;
        }
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80) {
            std::size_t start = i_;
            while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_' ||
                                      static_cast<unsigned char>(s_[i_]) >= 0x80))
                ++i_;
            t.text = std::string(s_.substr(start, i_ - start));
            if (EqualsNoCase(t.text, "AND")) t.kind = Token::kAnd;
            else if (EqualsNoCase(t.text, "OR")) t.kind = Token::kOr;
            else if (EqualsNoCase(t.text, "LIKE")) t.kind = Token::kLike;
            else if (EqualsNoCase(t.text, "NULL")) t.kind = Token::kNull;
            else if (EqualsNoCase(t.text, "NOT")) t.kind = Token::kNot;
            else t.kind = Token::kName;
            return t;
        }
        Malformed(s_, std::string("unexpected character '") + c + "'");
    }

private:
    std::string_view s_;
    std::size_t i_ = 0;
};

bool IsExactType(DataTypeEnum t) { return t == adCurrency || t == adDecimal || t == adNumeric; }

bool IsNumericType(DataTypeEnum t) {
    switch (t) {
        case adSmallInt: case adInteger: case adDouble: case adCurrency: case adDecimal:
        case adNumeric: case adBigInt: case adBoolean:
            return true;
        default:
            return false;
    }
}

std::string NormalizeText(std::string_view s) { return UCase(RTrim(s)); }

// Numbers in criteria text always use '.', whatever the process locale says: the desktop host sets
// the user's locale, and strtod would then stop at the point of "12.5" (and also read hex and "inf").
std::optional<double> ParseInvariantNumber(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : Trim(text))
        if (c != '$') s += c;
    std::string_view digits = s;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (!digits.empty() && digits.front() == '-') return std::nullopt;
    }
    double d = 0;
    const char* end = digits.data() + digits.size();
    const auto res = std::from_chars(digits.data(), end, d);
    if (digits.empty() || res.ec != std::errc() || res.ptr != end || !std::isfinite(d)) return std::nullopt;
    return d;
}

// The same text as an exact decimal, for the fields that hold one; nullopt beyond its range.
std::optional<Decimal> ParseInvariantDecimal(std::string_view text) {
    std::string s;
    for (char c : Trim(text))
        if (c != '$') s += c;
    if (s.size() > 1 && s[0] == '+' && s[1] != '-') s.erase(0, 1);
    try {
        return Decimal::Parse(s);
    } catch (const Error&) {
        return std::nullopt;
    }
}

// A date written in a filter: "YYYYMMDD" or ISO, else month/day/year as the criteria language has it.
std::optional<Date> ParseFilterDate(std::string_view text, const RegionalSettings& regional, bool hashed) {
    if (auto d = Date::ParseIso(text)) return d;
    if (hashed) {
        RegionalSettings us = RegionalSettings::English();
        if (auto d = Date::ParseLocal(text, us)) return d;
    }
    return Date::ParseLocal(text, regional);
}

class Parser {
public:
    Parser(std::string_view text, const RowStore& store) : text_(text), lex_(text), store_(store) { Advance(); }

    FilterNode ParseAll() {
        FilterNode n = ParseOr();
        if (tok_.kind != Token::kEnd) Malformed(text_, "unexpected \"" + tok_.text + "\"");
        return n;
    }

private:
    void Advance() { tok_ = lex_.Next(); }

    FilterNode ParseOr() {
        FilterNode first = ParseAnd();
        if (tok_.kind != Token::kOr) return first;
        FilterNode n;
        n.type = FilterNode::kOr;
        n.children.push_back(std::move(first));
        while (tok_.kind == Token::kOr) {
            Advance();
            n.children.push_back(ParseAnd());
        }
        return n;
    }

    FilterNode ParseAnd() {
        FilterNode first = ParseTerm();
        if (tok_.kind != Token::kAnd) return first;
        FilterNode n;
        n.type = FilterNode::kAnd;
        n.children.push_back(std::move(first));
        while (tok_.kind == Token::kAnd) {
            Advance();
            n.children.push_back(ParseTerm());
        }
        return n;
    }

    // Far beyond any filter written by hand or by code; deeper text would exhaust the stack.
    static constexpr int kMaxNesting = 100;

    FilterNode ParseTerm() {
        if (tok_.kind == Token::kLParen) {
            if (++depth_ > kMaxNesting)
                Malformed(text_, "parentheses nested deeper than " + std::to_string(kMaxNesting) + " levels");
            Advance();
            FilterNode n = ParseOr();
            if (tok_.kind != Token::kRParen) Malformed(text_, "missing ')'");
            Advance();
            --depth_;
            return n;
        }
        return ParseClause();
    }

    FilterNode ParseClause() {
        if (tok_.kind == Token::kNot)
            Malformed(text_, "NOT is not part of the filter language (write the opposite comparison)");
        if (tok_.kind != Token::kName) Malformed(text_, tok_.kind == Token::kEnd ? "a condition is missing"
                                                                                 : "a field name was expected");
        FilterNode n;
        n.field = store_.FindField(tok_.text);
        if (n.field < 0)
            throw Error(err::kItemNotFound,
                        "Item cannot be found in the collection: field '" + tok_.text + "' in filter \"" +
                            std::string(text_) + "\"",
                        "Recordset.Filter");
        Advance();
        if (tok_.kind == Token::kLike) {
            n.op = FilterOp::kLike;
        } else if (tok_.kind == Token::kOp) {
            const std::string& o = tok_.text;
            n.op = o == "=" ? FilterOp::kEq : o == "<>" ? FilterOp::kNe : o == "<" ? FilterOp::kLt
                 : o == ">" ? FilterOp::kGt : o == "<=" ? FilterOp::kLe : o == ">=" ? FilterOp::kGe
                 : (Malformed(text_, "unknown operator " + o), FilterOp::kEq);
        } else {
            Malformed(text_, "an operator was expected after " + store_.fields[n.field].name);
        }
        Advance();
        n.value = ConvertValue(n.field, n.op);
        if (n.op == FilterOp::kLike) {
            if (n.value.kind != FilterKey::kText) Malformed(text_, "LIKE needs a text value");
            n.like_pattern = n.value.text;
        }
        Advance();
        return n;
    }

    FilterKey ConvertValue(int field, FilterOp op) {
        const FieldInfo& f = store_.fields[field];
        FilterKey k;
        switch (tok_.kind) {
            case Token::kNull:
                if (op != FilterOp::kEq && op != FilterOp::kNe) Malformed(text_, "NULL only goes with = or <>");
                k.kind = FilterKey::kNull;
                return k;
            case Token::kText:
            case Token::kHashed:
            case Token::kNumber:
                break;
            default:
                Malformed(text_, "a value was expected for " + f.name);
        }
        const bool hashed = tok_.kind == Token::kHashed;
        const std::string& raw = tok_.text;
        if (op == FilterOp::kLike) {
            k.kind = FilterKey::kText;
            k.text = NormalizeText(raw);
            return k;
        }
        if (IsNumericType(f.type)) {
            std::optional<double> d = ParseInvariantNumber(raw);
            std::optional<Decimal> exact;
            if (d && IsExactType(f.type)) exact = ParseInvariantDecimal(raw);
            if (!d && tok_.kind != Token::kNumber) {
                if (auto dec = ParseNumber(raw, store_.regional)) {
                    d = dec->ToDouble();
                    exact = *dec;
                }
            }
            if (!d) Malformed(text_, "'" + raw + "' is not a number for field " + f.name);
            k.kind = FilterKey::kNumber;
            k.number = *d;
            if (exact && IsExactType(f.type)) {
                k.has_exact = true;
                k.exact = *exact;
            }
            return k;
        }
        if (f.type == adDate) {
            if (tok_.kind == Token::kNumber) {
                auto d = ParseInvariantNumber(raw);
                if (!d) Malformed(text_, "'" + raw + "' is not a date for field " + f.name);
                k.kind = FilterKey::kDate;
                k.number = *d;
                return k;
            }
            auto d = ParseFilterDate(raw, store_.regional, hashed);
            if (!d) Malformed(text_, "'" + raw + "' is not a date for field " + f.name);
            k.kind = FilterKey::kDate;
            k.number = d->Serial();
            return k;
        }
        k.kind = FilterKey::kText;
        k.text = NormalizeText(raw);
        return k;
    }

    std::string_view text_;
    Lexer lex_;
    const RowStore& store_;
    Token tok_;
    int depth_ = 0;
};

// '*' and '%' stand for any run of characters; everything else matches itself.
bool LikeMatch(std::string_view s, std::string_view p) {
    std::size_t si = 0, pi = 0, star = std::string_view::npos, mark = 0;
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == '*' || p[pi] == '%')) {
            star = pi++;
            mark = si;
        } else if (pi < p.size() && p[pi] == s[si]) {
            ++pi;
            ++si;
        } else if (star != std::string_view::npos) {
            pi = star + 1;
            si = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && (p[pi] == '*' || p[pi] == '%')) ++pi;
    return pi == p.size();
}

bool ClauseMatches(const FilterNode& n, const Row& row) {
    FilterKey v = MakeFilterKey(row.values[n.field]);
    if (n.value.kind == FilterKey::kNull) {
        return n.op == FilterOp::kEq ? v.kind == FilterKey::kNull : v.kind != FilterKey::kNull;
    }
    if (v.kind == FilterKey::kNull) return false;
    if (n.op == FilterOp::kLike) return v.kind == FilterKey::kText && LikeMatch(v.text, n.like_pattern);
    if (v.kind != n.value.kind) return n.op == FilterOp::kNe;
    int c;
    if (v.kind == FilterKey::kText) {
        c = v.text.compare(n.value.text);
        c = c < 0 ? -1 : (c > 0 ? 1 : 0);
    } else if (v.has_exact && n.value.has_exact) {
        c = v.exact < n.value.exact ? -1 : (v.exact > n.value.exact ? 1 : 0);
    } else {
        c = v.number < n.value.number ? -1 : (v.number > n.value.number ? 1 : 0);
    }
    switch (n.op) {
        case FilterOp::kEq: return c == 0;
        case FilterOp::kNe: return c != 0;
        case FilterOp::kLt: return c < 0;
        case FilterOp::kGt: return c > 0;
        case FilterOp::kLe: return c <= 0;
        case FilterOp::kGe: return c >= 0;
        default: return false;
    }
}

}  // namespace

FilterKey MakeFilterKey(const Variant& v) {
    FilterKey k;
    switch (v.Type()) {
        case VarType::Empty:
        case VarType::Null:
            k.kind = FilterKey::kNull;
            break;
        case VarType::String:
            k.kind = FilterKey::kText;
            k.text = NormalizeText(v.StringValue());
            break;
        case VarType::Date:
            k.kind = FilterKey::kDate;
            k.number = v.TryGet<Date>()->Serial();
            break;
        case VarType::Decimal:
            k.kind = FilterKey::kNumber;
            k.exact = *v.TryGet<Decimal>();
            k.has_exact = true;
            k.number = k.exact.ToDouble();
            break;
        case VarType::Double:
            k.kind = FilterKey::kNumber;
            k.number = *v.TryGet<double>();
            break;
        case VarType::Object:
            k.kind = FilterKey::kNull;
            break;
        default:
            k.kind = FilterKey::kNumber;
            k.number = CDbl(v);
            break;
    }
    return k;
}

std::size_t HashKey(const FilterKey& k) {
    switch (k.kind) {
        case FilterKey::kNull: return 0x9e3779b9u;
        case FilterKey::kText: return std::hash<std::string>{}(k.text);
        default: {
            double d = k.number == 0 ? 0.0 : k.number;  // -0 and 0 are one key
            return std::hash<double>{}(d) ^ (k.kind == FilterKey::kDate ? 0x5bd1e995u : 0u);
        }
    }
}

ParsedFilter ParseFilter(std::string_view text, const RowStore& store) {
    ParsedFilter pf;
    pf.root = Parser(text, store).ParseAll();

    std::vector<const FilterNode*> clauses;
    if (pf.root.type == FilterNode::kClause) {
        clauses.push_back(&pf.root);
    } else if (pf.root.type == FilterNode::kAnd) {
        for (const auto& c : pf.root.children) {
            if (c.type != FilterNode::kClause) return pf;
            clauses.push_back(&c);
        }
    } else {
        return pf;
    }
    std::vector<std::pair<int, const FilterKey*>> eq;
    for (const FilterNode* c : clauses) {
        if (c->op != FilterOp::kEq) return pf;
        eq.emplace_back(c->field, &c->value);
    }
    std::sort(eq.begin(), eq.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < eq.size(); ++i)
        if (eq[i].first == eq[i - 1].first) return pf;  // the same field twice: scan
    for (const auto& [field, key] : eq) {
        pf.index_fields.push_back(field);
        pf.index_key.push_back(*key);
    }
    pf.indexable = true;
    return pf;
}

bool FilterMatches(const FilterNode& node, const Row& row) {
    switch (node.type) {
        case FilterNode::kClause:
            return ClauseMatches(node, row);
        case FilterNode::kAnd:
            for (const auto& c : node.children)
                if (!FilterMatches(c, row)) return false;
            return true;
        case FilterNode::kOr:
            for (const auto& c : node.children)
                if (FilterMatches(c, row)) return true;
            return false;
    }
    return false;
}

}  // namespace kv::ado
