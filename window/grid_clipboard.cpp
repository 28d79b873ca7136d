#include "window/grid_clipboard.h"

#include <algorithm>

namespace qmx {

namespace ctl = kv::controls;

namespace {

// How a number is written, as far as the cell itself tells.
enum class Way { kNone, kComma, kPoint, kEither };

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The cell without blanks (also no-break ones), a currency sign and a percent sign around it.
std::string Bare(std::string_view cell) {
    std::string s(cell);
    auto strip = [&](std::string_view piece) {
        for (std::size_t at; (at = s.find(piece)) != std::string::npos;) s.erase(at, piece.size());
    };
    strip("\xC2\xA0");      // no-break space
    strip("\xE2\x80\xAF");  // narrow no-break space
    strip("\xE2\x82\xAC");  // euro sign
    strip("%");
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    return s;
}

// Digits with at most one leading sign and the two marks; anything else is no number.
bool LooksNumeric(const std::string& s) {
    bool digit = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (IsDigit(c)) {
            digit = true;
        } else if ((c == '-' || c == '+') && i == 0) {
        } else if (c != ',' && c != '.') {
            return false;
        }
    }
    return digit;
}

// A single mark with one to three digits before it and exactly three after: a thousands mark as much
// as a decimal one ("1.234", "1,234").
bool GroupsThree(const std::string& s, std::size_t mark) {
    std::size_t before = 0;
    for (std::size_t i = mark; i > 0 && IsDigit(s[i - 1]); --i) ++before;
    return before >= 1 && before <= 3 && s.size() - mark - 1 == 3;
}

Way WayOf(const std::string& s) {
    const std::size_t comma = s.rfind(',');
    const std::size_t point = s.rfind('.');
    if (comma != std::string::npos && point != std::string::npos) return comma > point ? Way::kComma : Way::kPoint;
    if (point != std::string::npos) {
        if (s.find('.') != point) return Way::kComma;  // "1.234.567": points group thousands
        return GroupsThree(s, point) ? Way::kEither : Way::kPoint;
    }
    if (comma != std::string::npos) {
        if (s.find(',') != comma) return Way::kPoint;  // "1,234,567"
        return GroupsThree(s, comma) ? Way::kEither : Way::kComma;
    }
    return Way::kNone;
}

std::string Quoted(const std::string& text) {
    if (text.find_first_of("\t\r\n\"") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

PasteOutcome Refusal(std::string message) {
    PasteOutcome out;
    out.message = "Nessuna cella è stata incollata: " + std::move(message);
    return out;
}

}  // namespace

std::vector<std::vector<std::string>> ReadSheetBlock(std::string_view text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string cell;
    bool in_row = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        in_row = true;
        if (c == '"' && cell.empty()) {
            // A quoted cell: up to the quote that is not doubled.
            ++i;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        cell += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                cell += text[i++];
            }
            continue;
        }
        if (c == '\t') {
            row.push_back(std::move(cell));
            cell.clear();
        } else if (c == '\n' || c == '\r') {
            row.push_back(std::move(cell));
            cell.clear();
            rows.push_back(std::move(row));
            row.clear();
            in_row = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            cell += c;
        }
        ++i;
    }
    if (in_row) {
        row.push_back(std::move(cell));
        rows.push_back(std::move(row));
    }
    return rows;
}

bool BlockUsesPointDecimals(const std::vector<std::vector<std::string>>& block, const kv::RegionalSettings& rs) {
    bool comma = false;
    bool point = false;
    for (const auto& row : block)
        for (const auto& cell : row) {
            const std::string s = Bare(cell);
            if (!LooksNumeric(s)) continue;
            const Way w = WayOf(s);
            comma = comma || w == Way::kComma;
            point = point || w == Way::kPoint;
        }
    if (point != comma) return point;
    return rs.decimal_separator == '.';
}

std::string GridNumberText(std::string_view cell, bool point_decimals, const kv::RegionalSettings& rs) {
    const std::string s = Bare(cell);
    if (s.empty() || !LooksNumeric(s)) return std::string(cell);
    Way w = WayOf(s);
    if (w == Way::kEither) w = point_decimals ? Way::kPoint : Way::kComma;
    const char decimal = w == Way::kPoint ? '.' : ',';
    std::string out;
    for (char c : s) {
        if (c == decimal) {
            out += rs.decimal_separator;
        } else if (c != ',' && c != '.') {
            out += c;
        }
        // the other mark only groups thousands: dropped
    }
    return out;
}

PasteOutcome PasteBlock(ctl::DataGrid& grid, long row, long column, std::string_view text) {
    const auto block = ReadSheetBlock(text);
    if (block.empty()) return Refusal("negli appunti non c'è testo da incollare.");
    const std::size_t width = block.front().size();
    for (std::size_t r = 1; r < block.size(); ++r)
        if (block[r].size() != width)
            return Refusal("il blocco non è rettangolare: la riga " + std::to_string(r + 1) + " ha " +
                           std::to_string(block[r].size()) + " celle invece di " + std::to_string(width) + ".");
    if (row < 0 || row >= grid.RowCount() || column < 0 || column >= grid.Columns().Count())
        return Refusal("scegliere prima la cella da cui incollare.");

    // The block's columns are the grid's visible columns from the starting one.
    std::vector<long> columns;
    for (long c = column; c < grid.Columns().Count() && columns.size() < width; ++c)
        if (grid.Columns()[c].Visible()) columns.push_back(c);
    const std::string from_column = "\"" + grid.Columns()[column].Caption() + "\"";
    if (columns.size() < width)
        return Refusal("il blocco ha " + std::to_string(width) + " colonne, ma dalla colonna " + from_column +
                       " la griglia ne ha solo " + std::to_string(columns.size()) + ".");
    const long rows = static_cast<long>(block.size());
    if (row + rows > grid.RowCount())
        return Refusal("il blocco ha " + std::to_string(rows) + " righe, ma dalla riga " + std::to_string(row + 1) +
                       " la griglia ne mostra solo " + std::to_string(grid.RowCount() - row) + ".");

    // Every cell is checked before any is edited.
    const bool point = BlockUsesPointDecimals(block, grid.Regional());
    std::vector<std::string> texts;
    texts.reserve(block.size() * width);
    for (long r = 0; r < rows; ++r)
        for (std::size_t k = 0; k < width; ++k) {
            const long c = columns[k];
            const std::string& cell = block[static_cast<std::size_t>(r)][k];
            std::string typed = grid.ColumnIsNumeric(c) ? GridNumberText(cell, point, grid.Regional()) : cell;
            const ctl::EditOutcome check = grid.CheckCellText(row + r, c, typed);
            if (!check.accepted)
                return Refusal("riga " + std::to_string(row + r + 1) + ", colonna \"" + grid.Columns()[c].Caption() +
                               "\" (riga " + std::to_string(r + 1) + ", colonna " + std::to_string(k + 1) +
                               " del blocco): " + check.message);
            texts.push_back(std::move(typed));
        }

    PasteOutcome out;
    std::size_t i = 0;
    for (long r = 0; r < rows; ++r)
        for (std::size_t k = 0; k < width; ++k, ++i) {
            const ctl::EditOutcome done = grid.UserEditCell(row + r, columns[k], texts[i]);
            if (!done.accepted) {
                // Only a handler changing the grid under the paste gets here; what was typed stays typed.
                out.message = "Incollate " + std::to_string(out.cells) + " celle; la riga " +
                              std::to_string(row + r + 1) + ", colonna \"" + grid.Columns()[columns[k]].Caption() +
                              "\" e le seguenti no: " + done.message;
                return out;
            }
            ++out.cells;
        }
    grid.UserMoveTo(row, column);
    out.applied = true;
    return out;
}

std::string CopyBlock(const ctl::DataGrid& grid, const CellRange& range) {
    std::string out;
    const long last_row = std::min(range.last_row, grid.RowCount() - 1);
    const long last_column = std::min(range.last_column, grid.Columns().Count() - 1);
    for (long r = std::max(0L, range.first_row); r <= last_row; ++r) {
        bool first = true;
        for (long c = std::max(0L, range.first_column); c <= last_column; ++c) {
            if (!grid.Columns()[c].Visible()) continue;
            if (!first) out += '\t';
            first = false;
            std::string text = grid.CellText(r, c);
            while (!text.empty() && text.back() == ' ') text.pop_back();
            out += Quoted(text);
        }
        out += '\n';
    }
    return out;
}

}  // namespace qmx
