// Copying a gross price downwards: into the current row from the row above it, or into the current row
// and every row below it, in whatever the grid shows (the matrix, or the grid-type-4 pivot).

#include <string>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"
#include "matrix/stored_price_rows.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

using kv::Variant;
using kv::ado::RecordsetPtr;

namespace {

constexpr const char* kPrezzoLordo = "Prezzo lordo";
// The fields of a pivot row before its BLT_1 ... BLT_n columns.
constexpr int kCampiFissiPivot = 11;

}  // namespace

// Both copies share the walk; `tutte` goes on to the last row.
static void CopiaPrezzo(CLSMG_SETUPVARIANTI& d, const RecordsetPtr& matrice, const RecordsetPtr& pivot,
                        const std::shared_ptr<kv::controls::DataGrid>& grid, int16_t tipo, const std::string& elem,
                        bool tutte) {
    if (tipo != 4) {
        auto& rs = Matrice(matrice);
        if (rs.IsBOF() || rs.AbsolutePosition() == 1) return;
        Griglia(grid).SetDataSource(nullptr);
        rs.MovePrevious();
        Griglia(grid).SetDataSource(matrice);
        if (rs.IsBOF()) return;
        if (kv::CDbl(NZ(rs.Value("LI10_PREZZO"))) == 0) return;
        const Variant prezzo = rs.Value("LI10_PREZZO");
        rs.MoveNext();
        if (rs.IsBOF() || rs.IsEOF()) return;
        do {
            rs.SetValue("LI10_PREZZO", prezzo);
            d.AggiornaPrezzoNetto();
            rs.Update();
            if (!tutte) return;
            rs.MoveNext();
        } while (!rs.IsEOF());
        return;
    }
    if (!pivot) return;
    auto& p = *pivot;
    if (p.IsBOF() || elem != kPrezzoLordo || p.AbsolutePosition() == 1) return;
    const int n = p.GetFields().Count() - kCampiFissiPivot;
    Griglia(grid).SetDataSource(nullptr);
    p.MovePrevious();
    Griglia(grid).SetDataSource(pivot);
    std::vector<Variant> valori;
    for (int k = 1; k <= n; ++k) valori.push_back(p.Value("BLT_" + std::to_string(k)));
    p.MoveNext();
    // The copied values stay in the pivot until it is written back into the matrix.
    while (!p.IsEOF()) {
        for (int k = 1; k <= n; ++k) {
            p.SetValue("BLT_" + std::to_string(k), valori[static_cast<std::size_t>(k - 1)]);
            if (tutte) d.AggiornaPrezzoNetto();
        }
        p.Update();
        if (!tutte) {
            d.AggiornaPrezzoNetto();
            return;
        }
        p.MoveNext();
    }
}

void CLSMG_SETUPVARIANTI::CopiaPrezzoSuRiga() {
    schema::Trap(core_, [&] {
        CopiaPrezzo(*this, recordset_, m_eSalPur == VarPurchase ? rsPivotAcq : m_eSalPur == VarSale ? rsPivotVen : nullptr,
                    grid_, m_iTipoGriglia, Elem(), false);
    });
}

void CLSMG_SETUPVARIANTI::CopiaPrezzoSuTutteLeRighe() {
    schema::Trap(core_, [&] {
        CopiaPrezzo(*this, recordset_, m_eSalPur == VarPurchase ? rsPivotAcq : m_eSalPur == VarSale ? rsPivotVen : nullptr,
                    grid_, m_iTipoGriglia, Elem(), true);
    });
}

}  // namespace qmx
