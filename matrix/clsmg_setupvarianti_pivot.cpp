// The grid-type-4 pivot: one row per list and first-level option, one column per second-level option,
// showing one element (gross price, a discount, the net price...) of the matrix rows behind it; and the
// way back, writing the pivot's values into the matrix.

#include <string>

#include "matrix/clsmg_setupvarianti.h"
#include "matrix/stored_price_rows.h"
#include "platform/variant/strings.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

using kv::Variant;
using kv::ado::RecordsetPtr;

namespace {

const Variant kNoFilter(int32_t{kv::ado::adFilterNone});

bool AtBofOrEof(const RecordsetPtr& rs) { return rs->IsBOF() || rs->IsEOF(); }

// The option code of a pivot row: its caption up to the first " - ".
std::string OpzioneDi(const Variant& caption) {
    const std::string text = kv::CStr(NS(caption));
    const auto at = text.find(" - ");
    return at == std::string::npos ? text : text.substr(0, at);
}

// A list number as filter criteria read it.
std::string Numero(const Variant& v) { return kv::CDec(NZ(v)).ToString('.'); }

// The matrix rows of one list and first-level option; the option is put between apostrophes with its
// own doubled, so an option holding "'" finds its rows.
std::string FiltroRiga(const std::string& opzione, const Variant& num_list) {
    return "BLT_OPZIONE1 ='" + RaddoppiaApici(opzione) + "' AND LI10_NUMLIST = " + Numero(num_list);
}

}  // namespace

void CLSMG_SETUPVARIANTI::ReFilterVarianti4() {
    schema::Trap(core_, [&] {
        Griglia(grid_).SetEnabled(true);
        Griglia(grid_).SetDataSource(nullptr);
        auto& rs = Matrice(recordset_);
        rs.SetFilter(kNoFilter);
        if (!bRicalcola) {
            for (RecordsetPtr* p : {&rsPivotAcq, &rsPivotVen}) {
                if (*p && (*p)->State() == kv::ado::adStateOpen) (*p)->Close();
                p->reset();
            }
        }
        RecordsetPtr* pivot = m_eSalPur == VarPurchase ? &rsPivotAcq : m_eSalPur == VarSale ? &rsPivotVen : nullptr;
        if (pivot) {
            if (*pivot) {
                SalvaPivot(*pivot);
                if ((*pivot)->State() == kv::ado::adStateOpen) (*pivot)->Close();
                pivot->reset();
            }
            *pivot = CreaRecordsetTipo4();
            if ((*pivot)->State() != kv::ado::adStateOpen) (*pivot)->Open();
            auto& p = **pivot;
            if (!AtBofOrEof(recordset_)) rs.MoveFirst();
            const std::string campo = GetCampoElemento(Elem());
            // The walk numbers the pivot rows by the matrix rows it has visited. After each new pivot row
            // the described walk starts again from the top and revisits every row up to the current
            // one, all of which already have their pivot row; the walk here jumps straight back to the
            // current row and counts those visits, so the numbers are the same at a cost linear in the
            // number of matrix rows.
            long long visite = 0;
            long riga = 0;  // 0-based position of the current matrix row
            while (!rs.IsEOF()) {
                ++visite;
                const std::string chiave =
                    kv::CStr(NS(rs.Value("BLT_OPZIONE1"))) + " - " + kv::CStr(NS(rs.Value("BLT_DESCR1")));
                if (!EsisteRigaPivot(*pivot, kv::CDbl(NZ(rs.Value("LI10_NUMLIST"))), chiave)) {
                    p.AddNew();
                    p.SetValue("ID", Variant(visite));
                    p.SetValue("BLT_CODICEVAR1", NS(rs.Value("BLT_CODICEVAR1")));
                    p.SetValue("BLT_OPZIONE1", Variant(chiave));
                    p.SetValue("BLT_CODOPZIONE1", NS(rs.Value("BLT_OPZIONE1")));
                    for (const char* name : {"BLT_DESCR1", "BLT_CODICEVAR2", "BLT_OPZIONE2", "BLT_DESCR2",
                                             "LI10_NUMLIST", "BLT_VALUTA"})
                        p.SetValue(name, NS(rs.Value(name)));
                    rs.SetFilter(Variant(FiltroRiga(OpzioneDi(p.Value("BLT_OPZIONE1")), p.Value("LI10_NUMLIST"))));
                    long k = 0;
                    // An empty cell stays empty, as in the other grids: read as 0 and written back on the
                    // next change of element, it would turn every price never typed into a price of 0.
                    for (; !rs.IsEOF(); rs.MoveNext()) p.SetValue("BLT_" + std::to_string(++k), rs.Value(campo));
                    rs.SetFilter(kNoFilter);
                    p.Update();
                    visite += riga;
                    rs.SetAbsolutePosition(riga + 1);
                }
                rs.MoveNext();
                ++riga;
            }
            if (!AtBofOrEof(recordset_)) rs.MoveFirst();
            if (p.RecordCount() > 0) p.MoveFirst();
            Griglia(grid_).SetDataSource(*pivot);
        }
        LockFields();
    });
}

bool CLSMG_SETUPVARIANTI::EsisteRigaPivot(const RecordsetPtr& rsPivot, double numList, const std::string& opzione) {
    auto& p = *rsPivot;
    if (p.IsBOF() && p.IsEOF()) return false;
    p.SetFilter(Variant(" BLT_OPZIONE1 ='" + RaddoppiaApici(opzione) + "' AND LI10_NUMLIST = " +
                        Numero(Variant(numList))));
    const bool esiste = !(p.IsBOF() && p.IsEOF());
    p.SetFilter(kNoFilter);
    return esiste;
}

std::optional<std::vector<std::pair<Variant, Variant>>> CLSMG_SETUPVARIANTI::ValoriPivot(const RecordsetPtr& rsPivot,
                                                                                      const std::string& elemento) {
    if (bEsciTrasf || elemento.empty() || !recordset_ || recordset_->Clone()->RecordCount() == 0 || !rsPivot ||
        (rsPivot->IsBOF() && rsPivot->IsEOF()))
        return std::nullopt;
    const std::string campo = GetCampoElemento(elemento);
    Matrice(recordset_).GetFields().Item(campo);  // an element with no field fails before anything is written
    // Read through clones: the matrix and the pivot the grid shows keep their filter and their row.
    auto rs = recordset_->Clone();
    auto p = rsPivot->Clone();
    std::vector<std::pair<Variant, Variant>> valori;
    for (; !p->IsEOF(); p->MoveNext()) {
        rs->SetFilter(Variant(FiltroRiga(OpzioneDi(p->Value("BLT_OPZIONE1")), p->Value("LI10_NUMLIST"))));
        long k = 0;
        for (; !rs->IsEOF(); rs->MoveNext()) valori.emplace_back(rs->Bookmark(), p->Value("BLT_" + std::to_string(++k)));
    }
    return valori;
}

void CLSMG_SETUPVARIANTI::ScriviPivot() {
    schema::Trap(core_, [&] {
        if (m_iTipoGriglia != 4 || Elem().empty()) return;
        const RecordsetPtr pivot = m_eSalPur == VarPurchase ? rsPivotAcq : m_eSalPur == VarSale ? rsPivotVen : nullptr;
        if (!pivot) return;
        SetElemPrev(Elem());
        SalvaPivot(pivot);
    });
}

void CLSMG_SETUPVARIANTI::RidisegnaPivot() {
    if (m_iTipoGriglia != 4 || Elem().empty()) return;
    const bool esci = bEsciTrasf, ricalcola = bRicalcola;
    bEsciTrasf = true;
    bRicalcola = true;
    SetElemPrev(Elem());
    ReFilterVarianti4();
    bEsciTrasf = esci;
    bRicalcola = ricalcola;
}

void CLSMG_SETUPVARIANTI::SalvaPivot(const RecordsetPtr& rsPivot) {
    if (!recordset_ || AtBofOrEof(recordset_)) return;
    const auto valori = ValoriPivot(rsPivot, ElemPrev());
    if (!valori) return;
    auto& rs = Matrice(recordset_);
    const std::string campo = GetCampoElemento(ElemPrev());
    for (const auto& [bookmark, valore] : *valori) {
        rs.SetBookmark(bookmark);
        rs.SetValue(campo, valore);
        rs.Update();
    }
    rs.SetFilter(kNoFilter);
}

}  // namespace qmx
