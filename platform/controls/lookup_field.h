#pragma once
// LookupField: a key field whose code is checked against the database. Its owner's handlers say how:
//  - StartLookup(sql, headings, title, connection string) when the user asks for the pick list (F3 or
//    the field's button): the handlers fill in the list's query, column headings and window title;
//  - StartDecode(sql, map, connection string) when the text is checked: the handlers give the query
//    that finds the code and a map (target control, column name) naming the control to fill.
// The field runs the query it is handed: the code is valid when the query returns a row; the target
// then shows the named column of the first row. The host may configure a field with its own decoding
// query and map (an article field fills the article's description); the handlers start from them. A code the query does not find, and an empty text,
// make the field not valid and clear the target, and so does text with a control character (tab, line
// break, NUL) or bytes that are not UTF-8, which no code holds: it is never looked up. With no decoding
// query at all the field cannot check and accepts any other non-empty text.
//
// Queries run on the connection given to the field; when it has none (or it is closed) the field opens
// its own from the connection string the handlers hand back (or its ConnectionString) and keeps it
// until Release. Before a query runs, "%CODE%" in its text becomes the field's text (apostrophes
// doubled) and "%COMPANY%" the company code, so a field configured by the host needs no handler. Only
// the query's own text is expanded: the field's text goes in as typed, macros and all.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/controls/entry_field.h"

namespace kv::controls {

// Where a decoded code's details go: the control to fill (a text field, label or entry field) and the
// column of the decoding query to fill it from. An empty target means "fill nothing".
struct DecodeMap {
    std::shared_ptr<Control> target;
    std::string column;
};

// A pick list ready to show: its title, headings and rows (the recordset the lookup query returned).
struct LookupList {
    std::string title;
    std::vector<std::string> headings;
    ado::RecordsetPtr rows;

    long RowCount() const;
    // The text of column `column` (0-based) of row `row` (0-based), trailing blanks removed; "" for Null.
    std::string CellText(long row, long column) const;
    // The code a row stands for: its first column.
    std::string CodeAt(long row) const { return CellText(row, 0); }
};

class LookupField : public EntryField {
  public:
    using EntryField::EntryField;
    ~LookupField() override;

    // ---- What the window hands the field.
    void SetConnection(ado::ConnectionPtr connection) { connection_ = std::move(connection); }
    const ado::ConnectionPtr& Connection() const { return connection_; }
    const std::string& ConnectionString() const { return connection_string_; }
    void SetConnectionString(std::string s) { connection_string_ = std::move(s); }
    const std::string& CompanyCode() const { return company_; }
    void SetCompanyCode(std::string company) { company_ = std::move(company); }
    // The host services object, kept for the host's own field behaviour.
    const std::shared_ptr<Object>& Interface() const { return interface_; }
    void SetInterface(std::shared_ptr<Object> host) { interface_ = std::move(host); }

    // The option field that belongs to this (article) field: when this field decodes a different
    // code, the option field's text is cleared, since an option belongs to one article. Held weakly.
    std::shared_ptr<LookupField> OptionField() const { return option_field_.lock(); }
    void SetOptionField(const std::shared_ptr<LookupField>& field) { option_field_ = field; }

    // ---- What the handlers start from (they may replace any of it).
    const std::string& LookupSql() const { return lookup_sql_; }
    void SetLookupSql(std::string sql) { lookup_sql_ = std::move(sql); }
    const std::vector<std::string>& LookupHeadings() const { return lookup_headings_; }
    void SetLookupHeadings(std::vector<std::string> headings) { lookup_headings_ = std::move(headings); }
    const std::string& LookupTitle() const { return lookup_title_; }
    void SetLookupTitle(std::string title) { lookup_title_ = std::move(title); }
    const std::string& DecodeSql() const { return decode_sql_; }
    void SetDecodeSql(std::string sql) { decode_sql_ = std::move(sql); }
    const DecodeMap& DecodeTarget() const { return decode_map_; }
    void SetDecodeTarget(DecodeMap map) { decode_map_ = std::move(map); }

    // Checks the text now without raising AfterItem (Confirm does both).
    void Decode() { Check(); }

    // The user asks for the pick list: raises StartLookup and runs the query. nullopt when the field
    // is disabled or hidden or no query was given. Query errors reach the caller.
    std::optional<LookupList> UserOpenLookup();
    // The user picked a code from the list: it becomes the text and is confirmed.
    bool UserPick(const std::string& code);

    // Drops the connection, the host object, the option field link and the decoding target: the
    // window's release at unload. (Handlers end with the Subscriptions their owner holds.)
    void Release();

    Event<std::string& /*sql*/, std::vector<std::string>& /*headings*/, std::string& /*title*/,
          std::string& /*connection_string*/>
        StartLookup;
    Event<std::string& /*sql*/, DecodeMap& /*map*/, std::string& /*connection_string*/> StartDecode;

  protected:
    void Check() override;

  private:
    ado::RecordsetPtr Run(const std::string& sql, const std::string& connection_string);
    std::string Expand(const std::string& sql) const;

    ado::ConnectionPtr connection_;
    ado::ConnectionPtr own_connection_;
    std::string connection_string_;
    std::string company_;
    std::shared_ptr<Object> interface_;
    std::weak_ptr<LookupField> option_field_;
    std::string lookup_sql_;
    std::vector<std::string> lookup_headings_;
    std::string lookup_title_;
    std::string decode_sql_;
    DecodeMap decode_map_;
    std::string last_decoded_;
};

// Shows `text` in a control that has one (text field, label caption, entry field text). Controls
// without a text are left alone.
void ShowTextIn(Control& target, const std::string& text);

}  // namespace kv::controls
