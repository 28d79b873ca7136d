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
#include <optional>
#include <cmath>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"
#include "matrix/stored_price_rows.h"
#include "platform/variant/strings.h"
#include "platform/services/cinterface.h"
#include "platform/services/global_services.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

using kv::Variant;
using Valori = OriginaliMatrice::Valori;

namespace {

// A stored compared value as the save writes it: a blank number as 0, a number exactly (trailing zeros
// do not count), a text without its trailing blanks, a date by its day.
std::string Testo(int colonna, const Variant& v) {
    switch (TipoDi(colonna)) {
        case TipoConfrontato::kTesto:
            if (kv::IsBlank(v)) return {};
            return std::string(1, '\x03').append(kv::RTrim(kv::CStr(v)));
        case TipoConfrontato::kData:
            if (const auto* d = v.TryGet<kv::Date>()) return d->ToYmd();
            if (kv::IsBlank(v)) return {};
            return std::string(1, '\x02').append(kv::DebugString(v));
        case TipoConfrontato::kNumero:
            break;
    }
    if (kv::IsBlank(v)) return "0";
    // Prices read as doubles need only their shortest exact text, much cheaper than a decimal conversion.
    if (const auto* d = v.TryGet<double>()) {
        if (*d == 0) return "0";
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, *d);
        return std::string(buf, r.ptr);
    }
    if (auto d = kv::TryCDec(v)) return d->ToString('.');
    return std::string(1, '\x02').append(kv::DebugString(v));
}

bool TestoVuoto(const Variant& v) { return kv::IsBlank(v) || (v.IsString() && kv::RTrim(v.StringValue()).empty()); }

}  // namespace

std::string Impronta(const Valori& valori) {
    std::string out;
    for (std::size_t c = 0; c < valori.size(); ++c) {
        out += Testo(static_cast<int>(c), valori[c]);
        out += '\x1f';
    }
    return out;
}

bool StessiListini(const OriginaliMatrice::Firma& prima, const OriginaliMatrice::Firma& ora) {
    if (prima == ora) return true;
    // A key with no stored row counts as one holding nothing, which is what an empty row was stored as
    // when every row of the matrix was saved: such a row stored, or deleted, elsewhere has not changed.
    static const OriginaliMatrice::Firma kVuota{Impronta(Valori(kColonneConfrontate, Variant::Null()))};
    return (prima.empty() && ora == kVuota) || (ora.empty() && prima == kVuota);
}

OriginaliMatrice::Firma FirmaDi(const StoredPriceRows& letti, const PosizioniChiave& posizioni) {
    OriginaliMatrice::Firma firma;
    firma.reserve(posizioni.size());
    for (long i : posizioni) firma.push_back(Impronta(ValoriConfrontatiMemorizzati(letti, i)));
    std::sort(firma.begin(), firma.end());
    return firma;
}

bool StessoDato(const Variant& a, const Variant& b) {
    const bool a_vuoto = a.IsNull() || a.IsEmpty(), b_vuoto = b.IsNull() || b.IsEmpty();
    if (a_vuoto || b_vuoto) return a_vuoto && b_vuoto;
    return a == b;  // equal values of one type
}

bool StessiListini(const RigheDiChiave& prima, const RigheDiChiave& ora) {
    // Most keys have one stored row on either side, holding the very same values as before: those are
    // told apart without writing each row out as text. Anything else is judged by the Firme.
    if (prima.posizioni.size() == 1 && ora.posizioni.size() == 1) {
        thread_local Valori a, b;
        ValoriConfrontatiMemorizzati(*prima.letti, prima.posizioni.front(), a);
        ValoriConfrontatiMemorizzati(*ora.letti, ora.posizioni.front(), b);
        bool stessi = true;
        for (std::size_t c = 0; c < a.size() && stessi; ++c) stessi = StessoDato(a[c], b[c]);
        if (stessi) return true;
    }
    const auto firma = [](const RigheDiChiave& r) {
        return r.posizioni.empty() ? OriginaliMatrice::Firma{} : FirmaDi(*r.letti, r.posizioni);
    };
    return StessiListini(firma(prima), firma(ora));
}

void OriginaliMatrice::Metti(std::size_t posto, const Variant& v) {
    if (!testi.empty()) testi.erase(posto);
    double& d = righe[posto];
    d = std::numeric_limits<double>::quiet_NaN();
    if (kv::IsBlank(v)) return;
    if (const auto* x = v.TryGet<double>()) {
        d = *x;
    } else if (const auto* day = v.TryGet<kv::Date>()) {
        d = day->Serial();
    } else if (v.IsString()) {
        std::string t = kv::RTrim(v.StringValue());
        if (!t.empty()) testi.emplace(posto, std::move(t));
    } else if (auto n = kv::TryCDbl(v)) {
        d = *n;
    }
}

bool OriginaliMatrice::UgualePosto(std::size_t posto, const Variant& v) const {
    const double d = righe[posto];
    if (const auto t = testi.find(posto); t != testi.end()) return v.IsString() && kv::RTrim(v.StringValue()) == t->second;
    if (TestoVuoto(v)) return std::isnan(d);
    if (std::isnan(d)) return false;
    if (const auto* x = v.TryGet<double>()) return *x == d;
    if (const auto* day = v.TryGet<kv::Date>()) return day->Serial() == d;
    const auto x = kv::TryCDbl(v);
    return x && *x == d;
}

bool OriginaliMatrice::Nota(long long bookmark) const {
    return bookmark >= primo && bookmark - primo < static_cast<long long>(presenti.size()) &&
           presenti[static_cast<std::size_t>(bookmark - primo)];
}

bool OriginaliMatrice::Modificata(long long bookmark, const Valori& attuali) const {
    if (!Nota(bookmark)) return true;
    const auto inizio = static_cast<std::size_t>(bookmark - primo) * kColonneConfrontate;
    for (std::size_t c = 0; c < attuali.size(); ++c)
        if (!UgualePosto(inizio + c, attuali[c])) return true;
    return false;
}

bool OriginaliMatrice::Uguale(long long bookmark, int colonna, const Variant& v) const {
    return Nota(bookmark) &&
           UgualePosto(static_cast<std::size_t>(bookmark - primo) * kColonneConfrontate + static_cast<std::size_t>(colonna), v);
}



std::vector<std::string> GruppoDi(kv::ado::Recordset& riga) {
    return {kv::CStr(NZ(riga.Value("LI10_DITTA_CG18"))), kv::CStr(NZ(riga.Value("LI10_FLGUSODECOR"))),
            kv::CStr(NZ(riga.Value("LI10_FLGVENDACQ"))), kv::CStr(NZ(riga.Value("LI10_INDTIPOLIS"))),
            kv::RTrim(kv::CStr(NS(riga.Value("LI10_CODART_MG66"))))};
}

std::vector<int> CampiConfrontati(kv::ado::Recordset& rs) {
    std::vector<int> campi;
    campi.reserve(kColonneConfrontate);
    for (const char* nome : kNomiConfrontati) campi.push_back(rs.GetFields().Item(nome).Index());
    return campi;
}

std::vector<Variant> CLSMG_SETUPVARIANTI::ValoriCorrenti(kv::ado::Recordset& rs) {
    const std::vector<int> campi = CampiConfrontati(rs);
    Valori valori(campi.size());
    rs.Values(campi.data(), campi.size(), valori.data());
    return valori;
}

void CLSMG_SETUPVARIANTI::RegistraOriginali() {
    originali_.reset();
    in_sospeso_.reset();
    conflitti_.clear();
    letti_conflitti_.reset();
    conflitto_sospetto_ = false;
    if (!listini_esistenti_ || !recordset_) return;
    // Each row's values were kept as the loader added it (AggiungiRiga); the stored rows are kept as
    // read, their Firme are worked out when a save needs them.
    auto o = std::move(listini_esistenti_->originali);
    if (!o) o = std::make_shared<OriginaliMatrice>();
    o->letti = listini_esistenti_;
    o->orologio = recordset_->ChangeClock();
    originali_ = std::move(o);
}

CLSMG_SETUPVARIANTI::Confronto CLSMG_SETUPVARIANTI::Confronta(const std::vector<std::string>& gruppo,
                                                              const std::string& chiave, long long bookmark,
                                                              bool modificata,
                                                              const std::shared_ptr<const StoredPriceRows>& ora) const {
    if (!originali_ || originali_->gruppo != gruppo || !originali_->Nota(bookmark)) return Confronto::kNonNoto;
    const auto adesso = ora->by_key.find(chiave);
    const RigheDiChiave righe_ora = adesso == ora->by_key.end() ? RigheDiChiave{} : RigheDiChiave{ora, adesso->second};
    bool invariata = false;
    if (const auto presa = originali_->per_chiave.find(chiave); presa != originali_->per_chiave.end()) {
        invariata = StessiListini(presa->second, righe_ora.posizioni.empty() ? OriginaliMatrice::Firma{}
                                                                             : FirmaDi(*ora, righe_ora.posizioni));
    } else {
        // As loaded: the load's read is kept anyway, and its rows are compared where they lie.
        RigheDiChiave prima;
        if (const auto& letti = originali_->letti)
            if (const auto trovata = letti->by_key.find(chiave); trovata != letti->by_key.end())
                prima = {letti, trovata->second};
        invariata = StessiListini(prima, righe_ora);
    }
    if (invariata) return Confronto::kInvariata;
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
        for (int c = 0; c < kColonnePrezzo; ++c) rs.SetValue(kNomiConfrontati[c], Variant::Null());
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
    schema::Trap(core_, [&] {
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
    schema::Trap(core_, [&] {
        if (conflitti_.empty() || !letti_conflitti_ || !originali_) return;
        const auto& ora = letti_conflitti_->by_key;
        auto clone = Matrice(recordset_).Clone();
        for (long long bookmark : conflitti_) {
            clone->SetBookmark(Variant(bookmark));
            const std::string chiave =
                ChiaveListino(clone->Value("LI10_OPZIONE_MG5E"), clone->Value("LI10_NUMLIST"),
                              clone->Value("LI10_DATAINIZIOVAL"), clone->Value("LI10_DATAFINEVAL"));
            const auto it = ora.find(chiave);
            originali_->per_chiave[chiave] =
                it == ora.end() ? OriginaliMatrice::Firma{} : FirmaDi(*letti_conflitti_, it->second);
        }
        conflitti_.clear();
        letti_conflitti_.reset();
    });
}

std::optional<kv::Error> CLSMG_SETUPVARIANTI::AccettaSalvataggio() {
    if (!in_sospeso_) return std::nullopt;
    SalvataggioInSospeso fatto = std::move(*in_sospeso_);
    in_sospeso_.reset();
    // What was written is what another desktop's later change is judged against, and the row shows the
    // dates it was stored with.
    try {
        auto& rs = Matrice(recordset_);
        auto clone = rs.Clone();
        const int creaz = rs.GetFields().IndexOf("LI10_DATACREAZ");
        const int ultagg = rs.GetFields().IndexOf("LI10_DATAULTAGG");
        const int variato = rs.GetFields().IndexOf("LI10_FLGVARIATO");
        for (const auto& r : fatto.righe) {
            clone->SetBookmark(Variant(r.bookmark));
            if (r.insert && creaz >= 0) clone->SetValue(creaz, Variant(fatto.oggi));
            if (ultagg >= 0) clone->SetValue(ultagg, Variant(fatto.oggi));
            if (variato >= 0) clone->SetValue(variato, Variant(int16_t{1}));
            clone->Update();
            if (originali_ && r.gruppo == originali_->gruppo)
                originali_->Registra(r.bookmark, [&](int c) { return r.valori[static_cast<std::size_t>(c)]; });
        }
        if (originali_) {
            for (auto& [chiave, firma] : fatto.chiavi) originali_->per_chiave[chiave] = std::move(firma);
            originali_->orologio = rs.ChangeClock();
        }
    } catch (const kv::Error&) {
        // The rows are stored; a matrix that cannot take the dates only shows older ones.
    }
    // The host hears of the rows once they are committed, in the order they were written.
    try {
        if (core_.ActiveInterface && core_.ActiveInterface->ClsGlobal()) {
            auto global = core_.ActiveInterface->ClsGlobal();
            if (auto post = global->NewPostSave()) {
                post->SetContext(core_.ActiveInterface, core_.ADOConnection, global, Variant(core_.CompanyCode()),
                                 Variant(fatto.articolo), true);
                for (const auto& r : fatto.righe) {
                    post->SetOptionCode(r.opzione);
                    post->ApplyRow();
                    post->EndRow();
                }
                post->Release();
            }
        }
    } catch (const kv::Error& e) {
        return e;
    }
    return std::nullopt;
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
