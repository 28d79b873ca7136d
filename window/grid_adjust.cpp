#include "window/grid_adjust.h"

#include <algorithm>

#include "platform/controls/cell_format.h"
#include "platform/variant/variant.h"
#include "window/grid_clipboard.h"

namespace qmx {

namespace ctl = kv::controls;

std::optional<Adjustment> ReadAdjustment(std::string_view text, std::string& error) {
    std::string s(text);
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    Adjustment a;
    if (!s.empty() && s.back() == '%') {
        a.percent = true;
        s.pop_back();
    }
    const auto& rs = kv::RegionalSettings::Italian();
    // A lone point is a decimal point here ("-0.50"), as in a pasted cell.
    const std::string number = GridNumberText(s, s.find(',') == std::string::npos, rs);
    auto n = ctl::ParseEnteredNumber(number, rs);
    if (s.empty() || !n.value) {
        error = "La variazione \"" + std::string(text) +
                "\" non si legge: scrivere una percentuale (+3%, -2,5%) o un importo (+0,50, -1).";
        return std::nullopt;
    }
    a.amount = *n.value;
    return a;
}

kv::Decimal Adjusted(const kv::Decimal& value, const Adjustment& adjustment) {
    if (adjustment.percent) return value + value * adjustment.amount / kv::Decimal(100);
    return value + adjustment.amount;
}

AdjustOutcome AdjustCells(ctl::DataGrid& grid, const std::vector<long>& rows, long column,
                          const Adjustment& adjustment, const AdjustRounding& rounding) {
    AdjustOutcome out;
    auto refuse = [&](std::string why) {
        out.message = "Nessun prezzo è stato modificato: " + std::move(why);
        return out;
    };
    if (column < 0 || column >= grid.Columns().Count() || !grid.ColumnIsNumeric(column))
        return refuse("scegliere una colonna di prezzi.");
    const std::string caption = "\"" + grid.Columns()[column].Caption() + "\"";
    const ctl::NumberFormat format = grid.ColumnNumberFormat(column);

    std::vector<std::pair<long, std::string>> edits;
    for (long row : rows) {
        const kv::Variant v = grid.CellValue(row, column);
        if (v.IsNull() || v.IsEmpty()) continue;  // an empty cell stays empty
        kv::Decimal value = Adjusted(kv::CDec(v), adjustment);
        if (rounding) {
            value = rounding(row, value);
        } else if (format.max_decimals >= 0) {
            value = value.Round(format.max_decimals);
        }
        // What the value may be is the price rule's to say, through the grid's check of the cell, as
        // for a typed or pasted one.
        const std::string where = "riga " + std::to_string(row + 1) + ", colonna " + caption;
        std::string text = value.Normalized().ToString(grid.Regional().decimal_separator);
        const ctl::EditOutcome check = grid.CheckCellText(row, column, text);
        if (!check.accepted) return refuse(where + ": " + check.message);
        edits.emplace_back(row, std::move(text));
    }
    for (const auto& [row, text] : edits) {
        if (text == grid.CellEditText(row, column)) continue;  // unchanged after rounding
        if (!grid.UserEditCell(row, column, text).accepted) continue;
        ++out.cells;
    }
    out.applied = true;
    return out;
}

}  // namespace qmx
