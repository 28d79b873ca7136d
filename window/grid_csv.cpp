#include "window/grid_csv.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <ostream>
#include <tuple>

#include "platform/controls/cell_format.h"
#include "platform/variant/decimal.h"
#include "platform/variant/strings.h"
#include "shell/modmg_quendormixal.h"
#include "window/grid_clipboard.h"
#include "window/grid_edit_rule.h"

namespace qmx {

namespace {

constexpr char kSeparator = ';';

struct CsvColumn {
    const char* caption;
    const char* field;
    bool imported;  // a price the import stores
};

constexpr CsvColumn kColumns[] = {
    {"Listino", "LI10_NUMLIST", false},        {"Opzione 1", "BLT_OPZIONE1", false},
    {"Descrizione 1", "BLT_DESCR1", false},    {"Opzione 2", "BLT_OPZIONE2", false},
    {"Descrizione 2", "BLT_DESCR2", false},    {"Prezzo lordo", "LI10_PREZZO", true},
    {"Sc.%1", "LI10_SC1PER", true},            {"Sc.%2", "LI10_SC2PER", true},
    {"Sc.%3", "LI10_SC3PER", true},            {"Sc.%4", "LI10_SC4PER", true},
    {"Sc.%5", "LI10_SC5PER", true},            {"Sc.%6", "LI10_SC6PER", true},
    {"Sc. importo", "LI10_SCIMP", true},       {"Mg.%1", "LI10_MAG1PER", true},
    {"Mg.%2", "LI10_MAG2PER", true},           {"Mg. importo", "LI10_MAGIMP", true},
    {"Prezzo netto", "BLT_PREZZONETTO", false},
};

std::string Trimmed(const kv::Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return {};
    return kv::Trim(kv::CStr(v));
}

// A stored number with every digit it holds and a decimal comma; blank when there is none.
std::string NumberText(const kv::Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return {};
    return kv::CDec(v).Normalized().ToString(',');
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(";\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

// The records of a CSV text: fields split on ';', quoted fields may hold separators, quotes (doubled)
// and line breaks. Each record with the line it starts on.
std::vector<std::pair<long, std::vector<std::string>>> CsvRecords(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a spreadsheet's byte-order mark
    std::vector<std::pair<long, std::vector<std::string>>> records;
    std::vector<std::string> fields;
    std::string field;
    long line = 1;
    long start = 1;
    bool any = false;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                if (c == '\n') ++line;
                field += c;
            }
            continue;
        }
        if (c == '"' && field.empty()) {
            quoted = any = true;
        } else if (c == kSeparator) {
            fields.push_back(std::move(field));
            field.clear();
            any = true;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            fields.push_back(std::move(field));
            field.clear();
            // A blank line is no record.
            if (any || fields.size() > 1 || !fields.front().empty()) records.emplace_back(start, std::move(fields));
            fields.clear();
            any = false;
            start = ++line;
        } else {
            field += c;
            any = true;
        }
    }
    if (any || !field.empty()) {
        fields.push_back(std::move(field));
        records.emplace_back(start, std::move(fields));
    }
    return records;
}

using RowKey = std::tuple<long, std::string, std::string>;

}  // namespace

void WriteMatrixCsv(kv::ado::Recordset& matrix, std::ostream& out) {
    // A spreadsheet that guesses the encoding takes a file without a byte-order mark for the local
    // code page and garbles every accented description; Italian spreadsheets also expect CR LF.
    constexpr const char* kBom = "\xEF\xBB\xBF";
    constexpr const char* kLineEnd = "\r\n";
    std::string line;
    for (const auto& c : kColumns) {
        if (!line.empty()) line += kSeparator;
        line += c.caption;
    }
    out << kBom << line << kLineEnd;
    auto rows = matrix.Clone();
    if (rows->IsBOF() && rows->IsEOF()) return;
    std::vector<int> indexes;
    for (const auto& c : kColumns) {
        const auto& infos = rows->FieldInfos();
        int index = -1;
        for (std::size_t i = 0; i < infos.size(); ++i)
            if (kv::UCase(infos[i].name) == c.field) index = static_cast<int>(i);
        indexes.push_back(index);
    }
    for (rows->MoveFirst(); !rows->IsEOF(); rows->MoveNext()) {
        line.clear();
        for (std::size_t k = 0; k < std::size(kColumns); ++k) {
            if (k) line += kSeparator;
            if (indexes[k] < 0) continue;
            const kv::Variant v = rows->Value(indexes[k]);
            const bool text = v.IsString();
            line += text ? CsvField(Trimmed(v)) : NumberText(v);
        }
        out << line << kLineEnd;
    }
}

CsvRead ReadMatrixCsv(std::string_view text) {
    CsvRead read;
    auto records = CsvRecords(text);
    if (records.empty()) {
        read.error = "Il file è vuoto: manca anche la riga d'intestazione.";
        return read;
    }
    // Columns by their header caption.
    const auto& header = records.front().second;
    std::vector<const CsvColumn*> by_position(header.size(), nullptr);
    for (std::size_t i = 0; i < header.size(); ++i)
        for (const auto& c : kColumns)
            if (kv::LCase(kv::Trim(header[i])) == kv::LCase(c.caption)) by_position[i] = &c;
    for (const char* required : {"Listino", "Opzione 1", "Opzione 2"}) {
        bool found = false;
        for (const auto* c : by_position) found = found || (c && std::string_view(c->caption) == required);
        if (!found) {
            read.error = std::string("Nella riga d'intestazione manca la colonna \"") + required + "\".";
            return read;
        }
    }
    // The numbers' decimal mark, from the whole file as for a pasted block.
    std::vector<std::vector<std::string>> numbers;
    for (std::size_t r = 1; r < records.size(); ++r) {
        std::vector<std::string> row;
        for (std::size_t i = 0; i < records[r].second.size() && i < by_position.size(); ++i)
            if (by_position[i] && by_position[i]->imported) row.push_back(records[r].second[i]);
        numbers.push_back(std::move(row));
    }
    const auto& rs = kv::RegionalSettings::Italian();
    const bool point = BlockUsesPointDecimals(numbers, rs);

    for (std::size_t r = 1; r < records.size(); ++r) {
        const auto& [number, fields] = records[r];
        CsvLine line;
        line.number = number;
        for (std::size_t i = 0; i < fields.size() && i < by_position.size(); ++i) {
            const CsvColumn* c = by_position[i];
            if (!c) continue;
            const std::string field = c->field;
            const std::string cell = kv::Trim(fields[i]);
            auto refuse = [&](const std::string& why) {
                read.error = "Riga " + std::to_string(number) + ", colonna \"" + c->caption + "\": " + why;
            };
            if (field == "LI10_NUMLIST") {
                auto n = kv::controls::ParseEnteredNumber(cell, rs);
                if (!n.value || !n.value->IsInteger()) {
                    refuse("il listino \"" + cell + "\" non è un numero intero.");
                    return read;
                }
                line.list = static_cast<long>(n.value->ToInt64());
            } else if (field == "BLT_OPZIONE1") {
                line.option1 = cell;
            } else if (field == "BLT_OPZIONE2") {
                line.option2 = cell;
            } else if (c->imported) {
                if (cell.empty()) {
                    line.values.emplace_back(field, kv::Variant::Null());
                    continue;
                }
                auto n = kv::controls::ParseEnteredNumber(GridNumberText(cell, point, rs), rs);
                if (!n.value) {
                    refuse(n.message);
                    return read;
                }
                line.values.emplace_back(field, kv::Variant(*n.value));
            }
        }
        read.lines.push_back(std::move(line));
    }
    // A list and option named twice would be applied twice, the last line winning unseen: the file is
    // refused, naming both lines.
    std::map<RowKey, long> named;
    for (const auto& line : read.lines) {
        const auto [it, added] = named.emplace(RowKey{line.list, line.option1, line.option2}, line.number);
        if (added) continue;
        std::string which = "listino " + std::to_string(line.list) + ", " + line.option1;
        if (!line.option2.empty()) which += " / " + line.option2;
        read.error = "Le righe " + std::to_string(it->second) + " e " + std::to_string(line.number) +
                     " nominano lo stesso listino e la stessa opzione (" + which + ").";
        read.lines.clear();
        return read;
    }
    return read;
}

CsvApplied ApplyMatrixCsv(kv::ado::Recordset& matrix, const CsvRead& read, const std::function<void()>& net_price,
                          const RegolaPrezzi* regola) {
    CsvApplied applied;
    if (matrix.State() != kv::ado::adStateOpen) {
        for (const auto& l : read.lines) applied.unmatched.push_back(l.number);
        return applied;
    }
    const kv::Variant filter = matrix.Filter();
    kv::Variant current;
    if (!matrix.IsBOF() && !matrix.IsEOF()) current = matrix.Bookmark();
    matrix.SetFilter(kv::Variant(int16_t{0}));

    std::map<RowKey, kv::Variant> rows;
    if (!(matrix.IsBOF() && matrix.IsEOF()))
        for (matrix.MoveFirst(); !matrix.IsEOF(); matrix.MoveNext())
            rows.emplace(RowKey{static_cast<long>(kv::CDec(NZ(matrix.Value("LI10_NUMLIST"))).ToInt64()),
                                Trimmed(matrix.Value("BLT_OPZIONE1")), Trimmed(matrix.Value("BLT_OPZIONE2"))},
                         matrix.Bookmark());

    // Every value meets the price rule before anything changes: one that does not refuses the file.
    std::vector<std::vector<std::pair<std::string, kv::Variant>>> values(read.lines.size());
    for (std::size_t l = 0; l < read.lines.size(); ++l) {
        const auto& line = read.lines[l];
        values[l] = line.values;
        auto it = rows.find(RowKey{line.list, line.option1, line.option2});
        if (!regola || it == rows.end()) continue;
        matrix.SetBookmark(it->second);
        CifreRiga cifre = CifreDi(matrix);
        for (auto& [field, value] : values[l]) {
            if (auto why = regola->Applica(field, value, cifre)) {
                std::string caption = field;
                for (const auto& c : kColumns)
                    if (field == c.field) caption = c.caption;
                applied.error = "Riga " + std::to_string(line.number) + ", colonna \"" + caption + "\": " + *why;
                break;
            }
        }
        if (!applied.error.empty()) break;
    }

    for (std::size_t l = 0; l < read.lines.size() && applied.error.empty(); ++l) {
        const auto& line = read.lines[l];
        auto it = rows.find(RowKey{line.list, line.option1, line.option2});
        if (it == rows.end()) {
            applied.unmatched.push_back(line.number);
            continue;
        }
        matrix.SetBookmark(it->second);
        long stored = 0;
        for (const auto& [field, value] : values[l]) {
            const kv::Variant old = matrix.Value(field);
            // A value equal to the stored one is no edit, as a cell confirmed unchanged.
            const bool same = (old.IsNull() || old.IsEmpty()) ? value.IsNull()
                              : !value.IsNull() && kv::CDec(old) == kv::CDec(value);
            if (!same && StoreEdit(matrix, field, value)) ++stored;
        }
        if (stored == 0) continue;
        ++applied.rows;
        applied.cells += stored;
        if (net_price) net_price();
    }

    matrix.SetFilter(filter);
    if (!current.IsEmpty()) {
        try {
            matrix.SetBookmark(current);
        } catch (const kv::Error&) {
            // The row the grid stood on is no longer in the view: the view's first row stays current.
        }
    }
    return applied;
}

std::string CsvReport(const CsvApplied& applied) {
    std::string text = applied.unmatched.empty() ? "Importazione completata: " : "Importazione parziale: ";
    text += std::to_string(applied.rows);
    text += applied.rows == 1 ? " riga modificata (" : " righe modificate (";
    text += std::to_string(applied.cells);
    text += applied.cells == 1 ? " valore)" : " valori)";
    text += ", da confermare con \"Conferma\".";
    if (applied.unmatched.empty()) return text;
    text += '\n';
    text += std::to_string(applied.unmatched.size());
    text += applied.unmatched.size() == 1 ? " riga del file non corrisponde" : " righe del file non corrispondono";
    text += " a nessun listino e opzione e non sono state importate: ";
    const std::size_t shown = std::min<std::size_t>(applied.unmatched.size(), 20);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i) text += ", ";
        text += std::to_string(applied.unmatched[i]);
    }
    if (shown < applied.unmatched.size()) text += " e altre " + std::to_string(applied.unmatched.size() - shown);
    return text + ".";
}

}  // namespace qmx
