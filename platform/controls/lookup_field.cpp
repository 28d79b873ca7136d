#include "platform/controls/lookup_field.h"

#include <algorithm>

#include "platform/controls/simple_controls.h"
#include "platform/variant/error.h"
#include "platform/variant/strings.h"

namespace kv::controls {

namespace {

std::string QuoteInside(const std::string& s) { return Replace(s, "'", "''"); }

std::string TextOf(const Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return "";
    return RTrim(CStr(v));
}

}  // namespace

void ShowTextIn(Control& target, const std::string& text) {
    if (auto* t = dynamic_cast<TextField*>(&target)) {
        t->SetText(text);
    } else if (auto* l = dynamic_cast<Label*>(&target)) {
        l->SetCaption(text);
    } else if (auto* e = dynamic_cast<EntryField*>(&target)) {
        e->SetText(text);
    }
}

long LookupList::RowCount() const {
    if (!rows || rows->State() != ado::adStateOpen) return 0;
    return rows->RecordCount();
}

std::string LookupList::CellText(long row, long column) const {
    if (row < 0 || row >= RowCount()) return "";
    if (column < 0 || column >= rows->GetFields().Count()) return "";
    rows->SetAbsolutePosition(row + 1);
    return TextOf(rows->Value(static_cast<int>(column)));
}

LookupField::~LookupField() = default;

// One pass over the handler's text: what a macro becomes is never read again, so a typed code that
// holds "%COMPANY%" (or "%CODE%") is searched as typed.
std::string LookupField::Expand(const std::string& sql) const {
    const std::string code = QuoteInside(Text());
    std::string out;
    out.reserve(sql.size() + code.size());
    std::size_t at = 0;
    for (;;) {
        const std::size_t code_at = sql.find("%CODE%", at);
        const std::size_t company_at = sql.find("%COMPANY%", at);
        const std::size_t next = std::min(code_at, company_at);
        if (next == std::string::npos) break;
        out.append(sql, at, next - at);
        if (next == code_at) {
            out += code;
            at = next + 6;
        } else {
            out += company_;
            at = next + 9;
        }
    }
    out.append(sql, at, std::string::npos);
    return out;
}

ado::RecordsetPtr LookupField::Run(const std::string& sql, const std::string& connection_string) {
    ado::ConnectionPtr conn = connection_;
    if (!conn || conn->State() != ado::adStateOpen) {
        const std::string& cs = connection_string.empty() ? connection_string_ : connection_string;
        if (cs.empty())
            throw Error(err::kInvalidConnection, "The field has no connection to run its query on", Name());
        if (!own_connection_ || own_connection_->ConnectionString() != cs ||
            own_connection_->State() != ado::adStateOpen) {
            auto c = ado::Connection::Create();
            c->Open(cs);
            own_connection_ = std::move(c);
        }
        conn = own_connection_;
    }
    return conn->Execute(Expand(sql));
}

void LookupField::Check() {
    std::string sql = decode_sql_;
    DecodeMap map = decode_map_;
    std::string cs = connection_string_;
    StartDecode.Raise(sql, map, cs);

    const std::string code = RTrim(Text());
    auto fill = [&](const std::string& value) {
        if (map.target) ShowTextIn(*map.target, value);
    };
    // A different code makes the linked option field's option meaningless.
    if (code != last_decoded_) {
        if (auto opt = option_field_.lock(); opt && opt.get() != this) opt->SetText("");
        last_decoded_ = code;
    }
    // A code never holds a control character or a stray byte; such text is not looked up at all (a NUL
    // would cut the statement short, and a server refuses malformed UTF-8 as an error).
    if (code.empty() || !IsSingleLineText(code)) {
        fill("");
        SetValid(false);
        return;
    }
    if (sql.empty()) {
        SetValid(true);
        return;
    }
    ado::RecordsetPtr rs;
    try {
        rs = Run(sql, cs);
    } catch (...) {
        fill("");
        throw;
    }
    const bool found = rs && rs->State() == ado::adStateOpen && rs->RecordCount() > 0;
    if (!found) {
        fill("");
        SetValid(false);
        return;
    }
    rs->MoveFirst();
    if (map.target) {
        if (map.column.empty() || rs->GetFields().IndexOf(map.column) < 0) {
            fill("");
            SetValid(false);
            throw Error(err::kItemNotFound, "The decoding query has no column '" + map.column + "'", Name());
        }
        fill(TextOf(rs->Value(map.column)));
    }
    SetValid(true);
}

std::optional<LookupList> LookupField::UserOpenLookup() {
    if (!Enabled() || !Visible()) return std::nullopt;
    std::string sql = lookup_sql_;
    std::vector<std::string> headings = lookup_headings_;
    std::string title = lookup_title_;
    std::string cs = connection_string_;
    StartLookup.Raise(sql, headings, title, cs);
    if (sql.empty()) return std::nullopt;
    LookupList list;
    list.title = std::move(title);
    list.headings = std::move(headings);
    list.rows = Run(sql, cs);
    return list;
}

bool LookupField::UserPick(const std::string& code) {
    if (!Enabled() || !Visible()) return false;
    SetText(RTrim(code));
    Confirm();
    return true;
}

void LookupField::Release() {
    connection_.reset();
    own_connection_.reset();
    interface_.reset();
    option_field_.reset();
    decode_map_ = DecodeMap{};
}

}  // namespace kv::controls
