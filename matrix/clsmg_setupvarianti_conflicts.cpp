// Rows another desktop changed since this matrix was loaded: what the loaders keep to find them, the
// check a save (or the window, to count both kinds) runs, and the two ways out a user is offered -
// take the stored values, or write over them.
//
// A matrix row is judged by its key (option, list, validity dates) and the values this window edits.
// Its stored rows "as they were" are those the loader read (or the last save wrote); "edited here"
// means its values differ from those it had then. The judgement needs no lock: the save reads the
// stored rows inside its own transaction, and each UPDATE matches the values it read, so a change that
// comes in between makes the UPDATE find no row and the whole save is undone.

#include <algorithm>
#include <charconv>
#include <string>
#include <unordered_map>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"
#include "matrix/stored_price_rows.h"
#include "platform/variant/strings.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

using kv::Variant;
using Valori = OriginaliMatrice::Valori;

const char* const kNomiConfrontati[kColonneConfrontate] = {
    "LI10_PREZZO", "LI10_SC1PER",  "LI10_SC2PER",  "LI10_SC3PER", "LI10_SC4PER", "LI10_SC5PER",
    "LI10_SC6PER", "LI10_SCIMP",   "LI10_MAG1PER", "LI10_MAG2PER", "LI10_MAGIMP", "LI10_PERRICDELTA"};

namespace {

// A compared value as the save writes it: blank as 0, a number exactly (trailing zeros do not count).
std::string Testo(const Variant& v) {
    if (kv::IsBlank(v)) return "0";
    // The matrix's prices are doubles, and are only ever compared with the matrix's own: their shortest
    // exact text is enough, and much cheaper than a decimal conversion.
    if (const auto* d = v.TryGet<double>()) {
        if (*d == 0) return "0";
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, *d);
        return std::string(buf, r.ptr);
    }
    if (auto d = kv::TryCDec(v)) return d->ToString('.');
    std::string altro(1, '\x02');
    return altro.append(kv::DebugString(v));
}

}  // namespace

std::string Impronta(const Valori& valori) {
    std::string out;
    for (const auto& v : valori) {
        out += Testo(v);
        out += '\x1f';
    }
    return out;
}

bool StessiListini(const OriginaliMatrice::Firma& prima, const OriginaliMatrice::Firma& ora) {
    if (prima == ora) return true;
    // A key with no stored row counts as one holding no prices, which is what a save stores for a row
    // nobody edited: a row another desktop stored untouched (or deleted holding nothing) has not changed.
    static const OriginaliMatrice::Firma kVuota{Impronta(Valori(kColonneConfrontate, Variant(int16_t{0})))};
    return (prima.empty() && ora == kVuota) || (ora.empty() && prima == kVuota);
}

OriginaliMatrice::Firma FirmaDi(const StoredPriceRows& letti, const std::vector<long>& posizioni) {
    OriginaliMatrice::Firma firma;
    firma.reserve(posizioni.size());
    for (long i : posizioni) firma.push_back(Impronta(ValoriConfrontatiMemorizzati(letti, i)));
    std::sort(firma.begin(), firma.end());
    return firma;
}

std::unordered_map<std::string, OriginaliMatrice::Firma> FirmePerChiave(const StoredPriceRows& letti) {
    std::unordered_map<std::string, OriginaliMatrice::Firma> out;
    for (const auto& [chiave, posizioni] : letti.by_key) out[chiave] = FirmaDi(letti, posizioni);
    return out;
}

void OriginaliMatrice::Metti(std::size_t posto, const Variant& v) {
    if (!altri.empty()) altri.erase(posto);
    if (const auto* d = v.TryGet<double>()) {
        righe[posto] = *d;
    } else if (kv::IsBlank(v)) {
        righe[posto] = 0;  // Testo counts blank as 0
    } else {
        righe[posto] = 0;
        altri.emplace(posto, v);
    }
}

Valori OriginaliMatrice::Riga(long long bookmark) const {
    if (bookmark < primo || bookmark - primo >= static_cast<long long>(presenti.size())) return {};
    const auto i = static_cast<std::size_t>(bookmark - primo);
    if (!presenti[i]) return {};
    Valori out;
    out.reserve(kColonneConfrontate);
    for (std::size_t posto = i * kColonneConfrontate; posto < (i + 1) * kColonneConfrontate; ++posto) {
        const auto altro = altri.find(posto);
        out.push_back(altro == altri.end() ? Variant(righe[posto]) : altro->second);
    }
    return out;
}

OriginaliMatrice::Firma OriginaliMatrice::FirmaDi(const std::string& chiave) const {
    if (const auto presa = per_chiave.find(chiave); presa != per_chiave.end()) return presa->second;
    if (!letti) return {};
    const auto trovata = letti->by_key.find(chiave);
    return trovata == letti->by_key.end() ? Firma{} : qmx::FirmaDi(*letti, trovata->second);
}

std::vector<std::string> GruppoDi(kv::ado::Recordset& riga) {
    return {kv::CStr(NZ(riga.Value("LI10_DITTA_CG18"))), kv::CStr(NZ(riga.Value("LI10_FLGUSODECOR"))),
            kv::CStr(NZ(riga.Value("LI10_FLGVENDACQ"))), kv::CStr(NZ(riga.Value("LI10_INDTIPOLIS"))),
            kv::RTrim(kv::CStr(NS(riga.Value("LI10_CODART_MG66"))))};
}

std::vector<Variant> CLSMG_SETUPVARIANTI::ValoriCorrenti(kv::ado::Recordset& rs) {
    Valori valori;
    valori.reserve(kColonneConfrontate);
    for (const char* nome : kNomiConfrontati) valori.push_back(rs.Value(nome));
    return valori;
}

void CLSMG_SETUPVARIANTI::RegistraOriginali() {
    originali_.reset();
    originali_salvati_.reset();
    conflitti_.clear();
    letti_conflitti_.reset();
    conflitto_sospetto_ = false;
    if (!listini_esistenti_ || !recordset_) return;
    // Each row's values were kept as the loader added it (AggiungiRiga); the stored rows are kept as
    // read, their Firme are worked out when a save needs them.
    auto o = std::move(listini_esistenti_->originali);
    if (!o) o = std::make_shared<OriginaliMatrice>();
    o->letti = listini_esistenti_;
    originali_ = std::move(o);
}

CLSMG_SETUPVARIANTI::Confronto CLSMG_SETUPVARIANTI::Confronta(const std::vector<std::string>& gruppo,
                                                              const std::string& chiave, long long bookmark,
                                                              const std::string& impronta,
                                                              const ValoriPerChiaveMap& ora) const {
    if (!originali_ || originali_->gruppo != gruppo) return Confronto::kNonNoto;
    static const OriginaliMatrice::Firma kNessuna;
    const auto adesso = ora.find(chiave);
    if (StessiListini(originali_->FirmaDi(chiave), adesso == ora.end() ? kNessuna : adesso->second))
        return Confronto::kInvariata;
    const Valori riga = originali_->Riga(bookmark);
    const bool modificata = riga.empty() || Impronta(riga) != impronta;
    return modificata ? Confronto::kConflitto : Confronto::kSuperata;
}

void CLSMG_SETUPVARIANTI::RicaricaRiga(long long bookmark, const std::shared_ptr<const StoredPriceRows>& letti) {
    auto& rs = Matrice(recordset_);
    rs.SetBookmark(Variant(bookmark));
    const std::string chiave = ChiaveListino(rs.Value("LI10_OPZIONE_MG5E"), rs.Value("LI10_NUMLIST"),
                                             rs.Value("LI10_DATAINIZIOVAL"), rs.Value("LI10_DATAFINEVAL"));
    const auto trovata = letti->by_key.find(chiave);
    if (trovata == letti->by_key.end()) {
        // Deleted meanwhile: the row shows no prices, as a row with nothing stored loads.
        for (const char* nome : kNomiConfrontati) rs.SetValue(nome, Variant::Null());
    } else {
        // Empty marks the fields the stored rows leave as they are (a value read is never Empty).
        std::vector<Variant> riga(rs.FieldInfos().size());
        CopiaListinoMemorizzato(*letti, chiave, riga);
        for (std::size_t i = 0; i < riga.size(); ++i)
            if (!riga[i].IsEmpty()) rs.SetValue(static_cast<int>(i), riga[i]);
    }
    AggiornaPrezzoNetto();
    rs.Update();
    const Valori valori = ValoriCorrenti(rs);
    auto valore = [&](int c) { return valori[static_cast<std::size_t>(c)]; };
    if (originali_) {
        originali_->Registra(bookmark, valore);
        originali_->per_chiave[chiave] =
            trovata == letti->by_key.end() ? OriginaliMatrice::Firma{} : FirmaDi(*letti, trovata->second);
    }
    if (originali_salvati_) originali_salvati_->Registra(bookmark, valore);
}

long CLSMG_SETUPVARIANTI::VerificaConflitti() {
    const int16_t prima = core_.State;
    solo_verifica_ = true;
    UpdateBatch();  // stops before writing anything, whatever it finds
    solo_verifica_ = false;
    // The check ends by undoing its transaction on purpose; a real failure keeps its State.
    if (verifica_completa_) core_.State = prima;
    return RigheInConflitto();
}

void CLSMG_SETUPVARIANTI::RicaricaConflitti() {
    schema::Trap(core_.State, [&] {
        if (conflitti_.empty() || !letti_conflitti_) return;
        auto& rs = Matrice(recordset_);
        kv::ado::RecordsetPtr pivot;
        if (m_iTipoGriglia == 4) pivot = m_eSalPur == VarPurchase ? rsPivotAcq : m_eSalPur == VarSale ? rsPivotVen : nullptr;
        Griglia(grid_).SetDataSource(nullptr);
        const Variant filtro = rs.Filter();
        rs.SetFilter(Variant(int32_t{kv::ado::adFilterNone}));
        if (rs.RecordCount() > 0) rs.MoveFirst();
        // Grid type 4: the values edited in the pivot enter the matrix first, so that the other rows keep them.
        if (pivot) {
            SetElemPrev(Elem());
            SalvaPivot(pivot);
        }
        for (long long bookmark : conflitti_) RicaricaRiga(bookmark, letti_conflitti_);
        conflitti_.clear();
        letti_conflitti_.reset();
        rs.SetFilter(filtro);
        if (rs.RecordCount() > 0) rs.MoveFirst();
        if (m_iTipoGriglia == 4) {
            RicostruisciPivot();
        } else {
            Griglia(grid_).SetDataSource(recordset_);
        }
    });
}

void CLSMG_SETUPVARIANTI::SovrascriviConflitti() {
    schema::Trap(core_.State, [&] {
        if (conflitti_.empty() || !letti_conflitti_ || !originali_) return;
        const auto ora = FirmePerChiave(*letti_conflitti_);
        auto clone = Matrice(recordset_).Clone();
        for (long long bookmark : conflitti_) {
            clone->SetBookmark(Variant(bookmark));
            const std::string chiave =
                ChiaveListino(clone->Value("LI10_OPZIONE_MG5E"), clone->Value("LI10_NUMLIST"),
                              clone->Value("LI10_DATAINIZIOVAL"), clone->Value("LI10_DATAFINEVAL"));
            const auto it = ora.find(chiave);
            originali_->per_chiave[chiave] = it == ora.end() ? OriginaliMatrice::Firma{} : it->second;
        }
        conflitti_.clear();
        letti_conflitti_.reset();
    });
}

void CLSMG_SETUPVARIANTI::AccettaSalvataggio() {
    if (originali_salvati_) originali_ = std::move(originali_salvati_);
    originali_salvati_.reset();
}

void CLSMG_SETUPVARIANTI::RicostruisciPivot() {
    kv::ado::RecordsetPtr* pivot = m_eSalPur == VarPurchase ? &rsPivotAcq : m_eSalPur == VarSale ? &rsPivotVen : nullptr;
    if (!pivot) return;
    // Closed first, so that its old values are not written back over the matrix.
    if (*pivot && (*pivot)->State() == kv::ado::adStateOpen) (*pivot)->Close();
    pivot->reset();
    const bool ricalcola = bRicalcola;
    bRicalcola = true;
    ReFilterVarianti4();
    bRicalcola = ricalcola;
}

}  // namespace qmx
