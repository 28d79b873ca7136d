// Save, delete and cancel of the matrix.
//
// A save writes every matrix row to LI10_LISTARTIC: an UPDATE when a stored row with its key exists, an
// INSERT otherwise. The stored rows are read with one query per article and kind, inside the save's
// transaction, and compared with those the matrix was loaded with (clsmg_setupvarianti_conflicts.cpp):
// a row edited here whose stored row another desktop changed stops the save before anything is
// written, and a row not edited here whose stored row changed is left to the stored values. The rows
// go through statements prepared once with their values bound (a quote in an article or option code is
// just a character), and they travel to the server without waiting for each answer. Where the engine
// lets another connection commit between the check and the writes (PostgreSQL), an UPDATE also
// matches the values the check read, so a change that slips in between finds no row and undoes the
// save; SQLite keeps what a transaction read as read until it ends. The rows are written in one transaction - a savepoint when the window already holds one, so its
// own save decides - so a refused row leaves the database as it was; the matrix is then left exactly
// as before the call, State is 99, and the user can correct the row and save again. The deletes work
// the same way.

#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <unordered_set>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"
#include "matrix/matrix_recordset.h"
#include "matrix/stored_price_rows.h"
#include "platform/ado/command.h"
#include "platform/services/cinterface.h"
#include "platform/services/global_services.h"
#include "platform/variant/strings.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

using kv::Variant;
using kv::ado::Command;
using kv::ado::CommandPtr;
using kv::ado::RecordsetPtr;

namespace {

const Variant kNoFilter(int32_t{kv::ado::adFilterNone});
constexpr long kQueued = kv::ado::adExecuteNoRecords | kv::ado::adAsyncExecute;

// Positions in the matrix of the first column an INSERT writes (LI10_DITTA_CG18) and the first an
// UPDATE sets (LI10_FLGLIST); both go on to the last column. An UPDATE leaves the key alone: its WHERE
// holds the very same values, and a key column set again costs the engine its index entry. Columns up
// to kUltimoPrezzo (LI10_MAGIMP) are prices, discounts and markups.
constexpr int kPrimaInsert = 9;
constexpr int kPrimaUpdate = 19;
constexpr int kUltimoPrezzo = 30;

// The number of the error a save stops with when rows were changed by another desktop (past the
// platform's object-error base, as the component's own errors are).
constexpr long kErroreConflitto = -2147221504 + 1101;

const char* const kChiave[] = {"LI10_DITTA_CG18",  "LI10_FLGUSODECOR",  "LI10_FLGVENDACQ", "LI10_INDTIPOLIS",
                               "LI10_CODART_MG66", "LI10_OPZIONE_MG5E", "LI10_DEPOS_MG58", "LI10_NUMLIST",
                               "LI10_DATAINIZIOVAL", "LI10_DATAFINEVAL"};

bool AtBofOrEof(const RecordsetPtr& rs) { return rs->IsBOF() || rs->IsEOF(); }

// A date column's value: the day of a date (or of text that reads as one), NULL when blank; anything
// else goes to the database as it is and is refused there.
Variant Data(const Variant& v) {
    if (kv::IsBlank(v)) return Variant::Null();
    if (const auto* d = v.TryGet<kv::Date>()) return Variant(kv::Date::FromYmd(d->Year(), d->Month(), d->Day()));
    if (v.IsString()) {
        const std::string t = kv::Trim(v.StringValue());
        if (t.empty()) return Variant::Null();
        if (auto d = kv::Date::ParseLocal(t, kv::RegionalSettings::Italian())) return Variant(*d);
    }
    return v;
}

// A number written as SqlNumero writes it: blank as 0.
Variant Numero(const Variant& v) { return NZ(v); }

// A value written as SqlValore writes it: blank as NULL, numbers exactly, text without trailing blanks.
Variant Valore(const Variant& v, bool text_column) {
    if (kv::IsBlank(v)) return Variant::Null();
    const std::string s = kv::CStr(SqlValore(v));
    if (text_column) return Variant(s);
    if (auto d = kv::Decimal::Parse(s)) return Variant(*d);
    return Variant(s);
}

Variant Testo(const Variant& v) { return NS(v); }

// The key condition of the row's stored row, as UPDATE and DELETE compare it. The key's fields are
// found once; a save of thousands of rows asks for every row's key.
class CampiChiave {
public:
    explicit CampiChiave(kv::ado::Recordset& rs) {
        for (std::size_t i = 0; i < std::size(kChiave); ++i) indici_[i] = rs.GetFields().Item(kChiave[i]).Index();
    }
    void Valori(kv::ado::Recordset& rs, std::vector<Variant>& out) const {
        std::array<Variant, std::size(kChiave)> v;
        rs.Values(indici_.data(), indici_.size(), v.data());
        for (std::size_t i = 0; i < v.size(); ++i) {
            const std::string_view n = kChiave[i];
            if (n == "LI10_CODART_MG66" || n == "LI10_OPZIONE_MG5E" || n == "LI10_DEPOS_MG58") {
                out.push_back(Testo(v[i]));
            } else if (n == "LI10_DATAINIZIOVAL" || n == "LI10_DATAFINEVAL") {
                out.push_back(Data(v[i]));
            } else {
                out.push_back(std::move(v[i]));
            }
        }
    }

private:
    std::array<int, std::size(kChiave)> indici_{};
};

void ValoriChiave(kv::ado::Recordset& rs, std::vector<Variant>& out) { CampiChiave(rs).Valori(rs, out); }

std::string CondizioneChiave() {
    std::string s;
    for (const char* name : kChiave) s += std::string(s.empty() ? "" : " AND ") + name + " = ?";
    return s;
}

CommandPtr Prepara(const kv::ado::ConnectionPtr& conn, const std::string& sql, std::size_t parametri) {
    auto cmd = Command::Create();
    cmd->SetActiveConnection(conn);
    cmd->SetCommandText(sql);
    for (std::size_t i = 0; i < parametri; ++i) cmd->GetParameters().Append(cmd->CreateParameter());
    return cmd;
}

void Esegui(Command& cmd, const std::vector<Variant>& valori) {
    auto& p = cmd.GetParameters();
    for (std::size_t i = 0; i < valori.size(); ++i) p[static_cast<int>(i)].SetValue(valori[i]);
    cmd.Execute(nullptr, kQueued);
}

// The values of an SQL list of literals as the delete command builds it ('R', 'BLU'), one per
// placeholder. Raises 5 when the text is not such a list, so nothing is deleted on a malformed one.
std::vector<Variant> ElencoValori(const std::string& elenco) {
    std::vector<Variant> out;
    std::size_t i = 0;
    const std::size_t n = elenco.size();
    auto blanks = [&] {
        while (i < n && (elenco[i] == ' ' || elenco[i] == '\t')) ++i;
    };
    auto fail = [&] {
        throw kv::Error(kv::err::kInvalidCall, "Elenco opzioni non valido: " + elenco, "DeleteRecordsTipo2");
    };
    blanks();
    while (i < n) {
        std::string value;
        if (elenco[i] == '\'') {
            ++i;
            bool closed = false;
            while (i < n) {
                if (elenco[i] == '\'') {
                    if (i + 1 < n && elenco[i + 1] == '\'') {
                        value.push_back('\'');
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                value.push_back(elenco[i++]);
            }
            if (!closed) fail();
        } else {
            while (i < n && elenco[i] != ',') value.push_back(elenco[i++]);
            value = kv::Trim(value);
            if (value.empty()) fail();
        }
        out.emplace_back(value);
        blanks();
        if (i < n) {
            if (elenco[i] != ',') fail();
            ++i;
            blanks();
            if (i >= n) fail();
        }
    }
    if (out.empty()) fail();
    return out;
}

// Where the matrix and the pivot stood, to put them back after a failed save or delete.
struct Posizione {
    Variant filtro;
    Variant bookmark;  // Empty when there was no current row
    bool bof = false;
    bool eof = false;

    static Posizione Di(kv::ado::Recordset& rs) {
        Posizione p;
        p.filtro = rs.Filter();
        p.bof = rs.IsBOF();
        p.eof = rs.IsEOF();
        if (!p.bof && !p.eof) {
            try {
                p.bookmark = rs.Bookmark();
            } catch (const kv::Error&) {
                // The current row was just deleted: there is no row to come back to.
            }
        }
        return p;
    }
    void Ripristina(kv::ado::Recordset& rs) const {
        rs.SetFilter(filtro);
        if (!bookmark.IsEmpty()) {
            rs.SetBookmark(bookmark);
        } else if (eof && rs.RecordCount() > 0) {
            rs.MoveLast();
            rs.MoveNext();
        } else if (bof && rs.RecordCount() > 0) {
            rs.MoveFirst();
            rs.MovePrevious();
        }
    }
};

// The cells of one key that a save changed: its stored row before the writes (none: inserted) and
// after them. A key stored more than once is followed by its first row.
void CelleDellaRiga(const std::vector<Variant>& gruppo, const StoredPriceRows& prima, const StoredPriceRows& dopo,
                    const std::string& chiave, std::vector<CellaStorico>& out) {
    const auto p = prima.by_key.find(chiave);
    const auto d = dopo.by_key.find(chiave);
    if (d == dopo.by_key.end() && p == prima.by_key.end()) return;
    const StoredPriceRows& letta = d != dopo.by_key.end() ? dopo : prima;
    letta.rows->SetAbsolutePosition(d != dopo.by_key.end() ? d->second.front() : p->second.front());
    const int k = letta.PrimaColonnaChiave();
    const int campi[] = {k, k + 1, k + 2, k + 3};
    std::array<Variant, 4> chiave_letta;
    letta.rows->Values(campi, chiave_letta.size(), chiave_letta.data());
    RigaListino riga;
    riga.ditta = kv::CLng(gruppo[0]);
    riga.tipo = static_cast<int16_t>(kv::CLng(gruppo[2]));
    riga.articolo = kv::RTrim(kv::CStr(gruppo[4]));
    riga.opzione = kv::RTrim(kv::CStr(NS(chiave_letta[0])));
    riga.lista = kv::CLng(chiave_letta[1]);
    riga.inizio = kv::CDate(chiave_letta[2]);
    riga.fine = kv::CDate(chiave_letta[3]);
    thread_local OriginaliMatrice::Valori vp, vd;
    if (p != prima.by_key.end()) ValoriConfrontatiMemorizzati(prima, p->second.front(), vp);
    if (d != dopo.by_key.end()) ValoriConfrontatiMemorizzati(dopo, d->second.front(), vd);
    auto celle = CelleCambiate(riga, p != prima.by_key.end() ? &vp : nullptr, d != dopo.by_key.end() ? &vd : nullptr);
    out.insert(out.end(), std::make_move_iterator(celle.begin()), std::make_move_iterator(celle.end()));
}

}  // namespace

StoricoPrezzi CLSMG_SETUPVARIANTI::Storico() const {
    std::shared_ptr<kv::services::GlobalServices> global;
    if (core_.ActiveInterface) global = core_.ActiveInterface->ClsGlobal();
    std::string utente = global ? global->UserName() : std::string();
    if (utente.empty()) utente = kv::services::OperatingSystemUser();
    const kv::Date ora = oggi_ ? oggi_() : global ? global->Now() : kv::Date::SystemNow();
    return StoricoPrezzi(core_.ADOConnection, std::move(utente), ora);
}

std::vector<CellaStorico> CLSMG_SETUPVARIANTI::CelleSalvate() const {
    return in_sospeso_ ? in_sospeso_->storico : std::vector<CellaStorico>{};
}

template <class F>
void CLSMG_SETUPVARIANTI::InTransazione(F&& work) {
    auto conn = core_.ADOConnection;
    if (!conn) throw kv::Error(kv::err::kObjectNotSet, "Propriet\u00e0 ADOConnection non impostata!", "CLSMG_SETUPVARIANTI");
    // Inside the window's own transaction this is a savepoint: the window's save commits or undoes it.
    conn->BeginTrans();
    try {
        work(*conn);
        conn->CommitTrans();
    } catch (...) {
        try {
            if (conn->InTransaction()) conn->RollbackTrans();
        } catch (const kv::Error&) {
            // The connection is lost: the server drops the uncommitted rows with it.
        }
        throw;
    }
}

// ---- Save

std::vector<CLSMG_SETUPVARIANTI::RigaCandidata> CLSMG_SETUPVARIANTI::RigheCandidate(
    const std::map<long long, Variant>& da_pivot, int indice_pivot, std::size_t al_piu) {
    std::vector<RigaCandidata> out;
    if (al_piu == 0) return out;
    auto& rs = Matrice(recordset_);
    auto clone = rs.Clone();
    const std::vector<int> campi = CampiConfrontati(rs);
    const auto posto_pivot = std::find(campi.begin(), campi.end(), indice_pivot);
    const std::size_t colonna_pivot = static_cast<std::size_t>(posto_pivot - campi.begin());
    // A row whose values were not stored since they were kept holds them still: only the others can
    // have been edited. The pivot's values reach the matrix only after the save, so its rows are looked at.
    std::vector<long long> bookmarks;
    if (originali_) {
        bookmarks = rs.ChangedSince(originali_->orologio);
        if (posto_pivot != campi.end() && !da_pivot.empty()) {
            std::vector<long long> pivot;
            pivot.reserve(da_pivot.size());
            for (const auto& [bookmark, valore] : da_pivot) pivot.push_back(bookmark);
            std::vector<long long> tutte;
            std::set_union(bookmarks.begin(), bookmarks.end(), pivot.begin(), pivot.end(), std::back_inserter(tutte));
            bookmarks = std::move(tutte);
        }
    } else {
        for (; !clone->IsEOF(); clone->MoveNext()) bookmarks.push_back(clone->BookmarkNumber());
    }
    std::vector<Variant> attuali(campi.size());
    // Every row of a load shares its article and kind: the group is made again only when the row's
    // values of it differ from the row before's.
    const auto campo = [&](const char* nome) { return rs.GetFields().Item(nome).Index(); };
    const std::array<int, 5> campi_gruppo{campo("LI10_DITTA_CG18"), campo("LI10_FLGUSODECOR"), campo("LI10_FLGVENDACQ"),
                                          campo("LI10_INDTIPOLIS"), campo("LI10_CODART_MG66")};
    std::array<Variant, 5> valori_gruppo, valori_prima;
    const std::array<int, 4> campi_chiave{campo("LI10_OPZIONE_MG5E"), campo("LI10_NUMLIST"), campo("LI10_DATAINIZIOVAL"),
                                          campo("LI10_DATAFINEVAL")};
    std::array<Variant, 4> valori_chiave;
    std::vector<std::string> gruppo;
    bool gruppo_fatto = false;
    for (long long bookmark : bookmarks) {
        clone->SetBookmark(Variant(bookmark));
        clone->Values(campi.data(), campi.size(), attuali.data());
        if (posto_pivot != campi.end())
            if (auto it = da_pivot.find(bookmark); it != da_pivot.end())
                attuali[colonna_pivot] = it->second.IsEmpty() ? Variant::Null() : it->second;
        RigaCandidata r;
        clone->Values(campi_gruppo.data(), valori_gruppo.size(), valori_gruppo.data());
        if (!gruppo_fatto || valori_gruppo != valori_prima) {
            gruppo = GruppoDi(*clone);
            valori_prima = valori_gruppo;
            gruppo_fatto = true;
        }
        r.gruppo = gruppo;
        r.nota = originali_ && originali_->gruppo == r.gruppo && originali_->Nota(bookmark);
        if (r.nota && !originali_->Modificata(bookmark, attuali)) continue;
        r.bookmark = bookmark;
        clone->Values(campi_chiave.data(), campi_chiave.size(), valori_chiave.data());
        r.chiave = ChiaveListino(valori_chiave[0], valori_chiave[1], valori_chiave[2], valori_chiave[3]);
        r.opzione = NS(valori_chiave[0]);
        r.attuali = attuali;
        out.push_back(std::move(r));
        if (out.size() >= al_piu) break;
    }
    return out;
}

CLSMG_SETUPVARIANTI::Destino CLSMG_SETUPVARIANTI::DestinoDi(const RigaCandidata& r, const StoredPriceRows& letti) const {
    const auto memorizzate = letti.by_key.find(r.chiave);
    if (memorizzate == letti.by_key.end()) {
        for (int c = 0; c < kColonneConfrontate; ++c) {
            const Variant& v = r.attuali[static_cast<std::size_t>(c)];
            if (kv::IsBlank(v) || (v.IsString() && kv::RTrim(v.StringValue()).empty())) continue;
            // What the loader gave a row with nothing stored (a list's commission) is not something
            // entered; without kept values, only a price is.
            if (r.nota ? !originali_->Uguale(r.bookmark, c, v) : c < kColonnePrezzo) return Destino::kInserisci;
        }
        return Destino::kNiente;
    }
    if (!r.nota && memorizzate->second.size() == 1 &&
        Impronta(r.attuali) == Impronta(ValoriConfrontatiMemorizzati(letti, memorizzate->second.front())))
        return Destino::kNiente;
    return Destino::kAggiorna;
}

std::vector<CLSMG_SETUPVARIANTI::RigaCandidata> CLSMG_SETUPVARIANTI::RigheModificate(std::size_t al_piu) {
    // Grid type 4: the prices typed in the element on screen are still in the pivot, as for the save.
    std::map<long long, Variant> da_pivot;
    int indice_pivot = -1;
    if (m_iTipoGriglia == 4) {
        const RecordsetPtr pivot = m_eSalPur == VarPurchase ? rsPivotAcq : m_eSalPur == VarSale ? rsPivotVen : nullptr;
        if (pivot)
            if (const auto valori = ValoriPivot(pivot, Elem())) {
                indice_pivot = Matrice(recordset_).GetFields().IndexOf(GetCampoElemento(Elem()));
                for (const auto& [bookmark, valore] : *valori) da_pivot[kv::CLngLng(bookmark)] = valore;
            }
    }
    return RigheCandidate(da_pivot, indice_pivot, al_piu);
}

bool CLSMG_SETUPVARIANTI::HaModifiche() {
    bool modifiche = false;
    // One row is enough to know: after a recalculation of thousands of rows the others are not looked at.
    schema::Trap(core_, [&] { modifiche = recordset_ && !RigheModificate(1).empty(); });
    return modifiche;
}

CLSMG_SETUPVARIANTI::PianoSalvataggio CLSMG_SETUPVARIANTI::PianoDiSalvataggio() {
    PianoSalvataggio piano;
    auto candidate = RigheModificate();
    if (candidate.empty()) return piano;
    const std::vector<Variant> gruppo{Variant(core_.CompanyCode()), Variant(int32_t{0}),
                                      Variant(static_cast<int32_t>(m_eSalPur)), Variant(int32_t{0}),
                                      Variant(kv::RTrim(CodArticolo()))};
    std::vector<const RigaCandidata*> righe;
    righe.reserve(candidate.size());
    for (const auto& r : candidate) righe.push_back(&r);
    piano.letti = LeggiListiniDi(gruppo, righe);
    std::unordered_set<std::string> inserite;
    for (auto& r : candidate) {
        const Destino d = DestinoDi(r, *piano.letti);
        if (d == Destino::kNiente) continue;
        // A key the matrix holds twice is inserted by its first row and updated by the later ones.
        piano.insert.push_back(d == Destino::kInserisci && inserite.insert(r.chiave).second);
        piano.righe.push_back(std::move(r));
    }
    return piano;
}

std::shared_ptr<StoredPriceRows> CLSMG_SETUPVARIANTI::LeggiListiniDi(const std::vector<Variant>& gruppo,
                                                                     const std::vector<const RigaCandidata*>& righe,
                                                                     bool solo_confrontati) {
    // A few rows are found by their option codes; many, by reading the article and kind whole.
    constexpr std::size_t kPocheOpzioni = 200;
    std::set<std::string> opzioni;
    for (const RigaCandidata* r : righe) {
        opzioni.insert(kv::CStr(r->opzione));
        if (opzioni.size() > kPocheOpzioni) return LeggiListini(gruppo, nullptr, solo_confrontati);
    }
    const std::vector<std::string> elenco(opzioni.begin(), opzioni.end());
    return LeggiListini(gruppo, &elenco, solo_confrontati);
}

void CLSMG_SETUPVARIANTI::UpdateBatch() {
    conflitti_.clear();
    letti_conflitti_.reset();
    conflitto_sospetto_ = false;
    verifica_completa_ = false;
    in_sospeso_.reset();
    schema::Trap(core_, [&] {
        const bool annidato = core_.ADOConnection && core_.ADOConnection->InTransaction();
        auto& rs = Matrice(recordset_);
        RecordsetPtr pivot;
        if (m_iTipoGriglia == 4) pivot = m_eSalPur == VarPurchase ? rsPivotAcq : m_eSalPur == VarSale ? rsPivotVen : nullptr;
        const Posizione prima = Posizione::Di(rs);
        std::optional<Posizione> prima_pivot;
        if (pivot) prima_pivot = Posizione::Di(*pivot);
        const RecordsetPtr sorgente_prima = grid_ ? grid_->DataSource() : nullptr;
        const std::string elem_prev_prima = ElemPrev();
        const bool insert_prima = Insert();
        try {
            if (solo_verifica_ && rs.Clone()->RecordCount() == 0) {
                verifica_completa_ = true;
                return;
            }
            if (AtBofOrEof(recordset_) && rs.RecordCount() > 0) rs.MoveFirst();
            // Grid type 4: the values of the element on screen are taken from the pivot; they reach the
            // matrix only once the rows are written.
            std::optional<std::vector<std::pair<Variant, Variant>>> valori_pivot;
            std::string campo_pivot;
            int indice_pivot = -1;
            if (m_iTipoGriglia == 4) {
                SetElemPrev(Elem());
                if (pivot) {
                    Griglia(grid_).SetDataSource(nullptr);
                    valori_pivot = ValoriPivot(pivot, ElemPrev());
                    if (valori_pivot) {
                        campo_pivot = GetCampoElemento(ElemPrev());
                        indice_pivot = rs.GetFields().IndexOf(campo_pivot);
                    }
                    if (pivot->RecordCount() > 0) pivot->MoveFirst();
                }
            }
            std::map<long long, Variant> da_pivot;
            if (valori_pivot) {
                for (const auto& [bookmark, valore] : *valori_pivot) da_pivot[kv::CLngLng(bookmark)] = valore;
            }
            const Variant filtro = rs.Filter();
            auto ricollega = [&] {
                if (m_iTipoGriglia == 4) {
                    Griglia(grid_).SetDataSource(pivot);
                } else {
                    Griglia(grid_).SetDataSource(recordset_);
                }
            };

            // The rows edited here; each is written, or is a conflict, once its stored rows are read.
            std::vector<RigaCandidata> candidate = RigheCandidate(da_pivot, indice_pivot);

            // How a row is written: inserted; updated where its stored row still holds the values read
            // (kConfrontato) or wherever its key is (kChiave: a key stored more than once, a later matrix
            // row with a key already written, a row with no kept values).
            enum class Scrittura { kInsert, kConfrontato, kChiave };
            struct Letti;
            struct Riga {
                Scrittura scrittura = Scrittura::kInsert;
                std::vector<Variant> valori;
                RigaCandidata* candidata = nullptr;
                Letti* letti = nullptr;  // of its article and kind
                long attese = 0;  // stored rows the UPDATE must find
                bool insert() const { return scrittura == Scrittura::kInsert; }
            };
            std::vector<Riga> righe;
            const auto& campi = rs.FieldInfos();
            const int ultimo = static_cast<int>(campi.size()) - 1;
            const int campo_provper = rs.GetFields().IndexOf("LI10_PROVPER");
            auto formatter = core_.ActiveInterface && core_.ActiveInterface->ClsGlobal()
                                 ? core_.ActiveInterface->ClsGlobal()->NewValueFormatter()
                                 : nullptr;
            const kv::Date oggi = Oggi();
            // The stored rows of each article and kind the rows belong to, read inside the transaction
            // (only those of the rows' option codes when they are few), and again once written.
            struct Letti {
                std::shared_ptr<StoredPriceRows> righe;
                std::vector<Variant> parametri;
                std::vector<RigaCandidata*> candidate;
                std::unordered_map<std::string, long> scritte;  // keys written so far -> stored rows
            };
            std::map<std::vector<std::string>, Letti> letti;
            for (auto& r : candidate) letti[r.gruppo].candidate.push_back(&r);
            SalvataggioInSospeso fatto;
            fatto.oggi = oggi;
            fatto.articolo = CodArticolo();

            // Where the engine keeps the rows read until the transaction ends, no change can come in
            // between the check and the writes, and an UPDATE need not match the values read again.
            const bool confronta = !core_.ADOConnection || !core_.ADOConnection->ReadsStableInTransaction();
            if (!candidate.empty()) InTransazione([&](kv::ado::Connection&) {
                auto clone = rs.Clone();
                for (auto& [gruppo, gr] : letti) {
                    clone->SetBookmark(Variant(gr.candidate.front()->bookmark));
                    for (int i = 0; i < 4; ++i) gr.parametri.push_back(clone->Value(kChiave[i]));
                    gr.parametri.push_back(Testo(clone->Value("LI10_CODART_MG66")));
                    gr.righe = LeggiListiniDi(gr.parametri, {gr.candidate.begin(), gr.candidate.end()});
                }
                for (auto& [gruppo, gr] : letti) {
                    for (RigaCandidata* candidata : gr.candidate) {
                        const RigaCandidata& cand = *candidata;
                        const auto memorizzate = gr.righe->by_key.find(cand.chiave);
                        const long ora =
                            memorizzate == gr.righe->by_key.end() ? 0 : static_cast<long>(memorizzate->second.size());
                        Riga riga;
                        riga.candidata = candidata;
                        riga.letti = &gr;
                        if (cand.nota) {
                            if (Confronta(gruppo, cand.chiave, cand.bookmark, true, gr.righe) == Confronto::kConflitto) {
                                conflitti_.push_back(cand.bookmark);
                                continue;
                            }
                        }
                        const Destino destino = DestinoDi(cand, *gr.righe);
                        if (destino == Destino::kNiente) continue;
                        if (auto scritta = gr.scritte.find(cand.chiave); scritta != gr.scritte.end()) {
                            // A later row with the same key updates what the first one wrote.
                            riga.scrittura = Scrittura::kChiave;
                            riga.attese = scritta->second;
                        } else if (destino == Destino::kInserisci) {
                            riga.scrittura = Scrittura::kInsert;
                            gr.scritte.emplace(cand.chiave, 1);
                        } else {
                            riga.scrittura =
                                confronta && cand.nota && ora == 1 ? Scrittura::kConfrontato : Scrittura::kChiave;
                            riga.attese = ora;
                            gr.scritte.emplace(cand.chiave, ora);
                        }
                        righe.push_back(std::move(riga));
                    }
                }
                if (!conflitti_.empty()) {
                    // Nothing is written: the user decides first. The rows are found again by the stored
                    // rows read above.
                    letti_conflitti_ = originali_ && letti.count(originali_->gruppo) ? letti.at(originali_->gruppo).righe
                                                                                      : letti.begin()->second.righe;
                    throw kv::Error(kErroreConflitto,
                                    std::to_string(conflitti_.size()) +
                                        " righe sono state modificate da un altro utente dopo il caricamento",
                                    "CLSMG_SETUPVARIANTI");
                }
                if (solo_verifica_) {
                    verifica_completa_ = true;
                    throw kv::Error(kErroreConflitto, "Solo verifica", "CLSMG_SETUPVARIANTI");
                }
                if (righe.empty()) return;

                // The values each row is written with. What each column takes is decided by its name and
                // type once, not again for every one of thousands of rows.
                enum class Ruolo { kOggi, kUno, kZero, kProvvigione, kData, kTesto, kNumero, kRicarico, kNz, kValore };
                auto ruolo = [&](int i, bool inserita) {
                    const auto& f = campi[static_cast<std::size_t>(i)];
                    const std::string nome = kv::UCase(f.name);
                    if (inserita) {
                        if (nome == "LI10_DATACREAZ" || nome == "LI10_DATAULTAGG") return Ruolo::kOggi;
                        if (nome == "LI10_FLGVARIATO") return Ruolo::kUno;
                        if (f.type == kv::ado::adDate) return Ruolo::kData;
                        if (IsText(f.type)) return Ruolo::kTesto;
                        if (nome == "LI10_INDUM" || nome == "LI10_FLGLIST") return Ruolo::kUno;
                        return Ruolo::kNumero;
                    }
                    if (nome == "LI10_FLGLIST" || nome == "LI10_FLGVARIATO" || nome == "LI10_INDUM") return Ruolo::kUno;
                    if (nome == "LI10_INDTIPOVAR" || nome == "LI10_FLGPERSON") return Ruolo::kZero;
                    if (nome == "LI10_FLGPROVV") return Ruolo::kProvvigione;
                    if (nome == "LI10_DATAULTAGG") return Ruolo::kOggi;
                    if (f.type == kv::ado::adDate) return Ruolo::kData;
                    if (i <= kUltimoPrezzo) return Ruolo::kNumero;
                    if (nome == "LI10_PERRICDELTA") return Ruolo::kRicarico;
                    if (nome == "LI10_PROVPER" || nome == "LI10_PROVIMP" || nome == "LI10_INDRICALPR" ||
                        nome == "LI10_INDARROT")
                        return Ruolo::kNz;
                    return Ruolo::kValore;
                };
                std::vector<Ruolo> ruoli_insert, ruoli_update;
                for (int i = kPrimaInsert; i <= ultimo; ++i) ruoli_insert.push_back(ruolo(i, true));
                for (int i = kPrimaUpdate; i <= ultimo; ++i) ruoli_update.push_back(ruolo(i, false));
                const CampiChiave campi_chiave(*clone);
                bool ricarico_fatto = false;
                Variant ricarico_prima, ricarico_scritto;
                for (auto& riga : righe) {
                    const RigaCandidata& cand = *riga.candidata;
                    clone->SetBookmark(Variant(cand.bookmark));
                    auto& c = *clone;
                    auto valore = [&](int i) {
                        if (i == indice_pivot) {
                            auto it = da_pivot.find(cand.bookmark);
                            if (it != da_pivot.end()) return it->second.IsEmpty() ? Variant::Null() : it->second;
                        }
                        return c.Value(i);
                    };
                    if (riga.insert()) {
                        riga.valori.reserve(ruoli_insert.size());
                        for (int i = kPrimaInsert; i <= ultimo; ++i) {
                            switch (ruoli_insert[static_cast<std::size_t>(i - kPrimaInsert)]) {
                                case Ruolo::kOggi: riga.valori.emplace_back(oggi); break;  // created and changed today
                                case Ruolo::kUno: riga.valori.emplace_back(int16_t{1}); break;
                                case Ruolo::kData: riga.valori.push_back(Data(valore(i))); break;
                                case Ruolo::kTesto: riga.valori.push_back(Testo(valore(i))); break;
                                default: riga.valori.push_back(Numero(valore(i))); break;
                            }
                        }
                        continue;
                    }
                    riga.valori.reserve(ruoli_update.size() + 8 + 2 * kColonneConfrontate);
                    for (int i = kPrimaUpdate; i <= ultimo; ++i) {
                        const auto& f = campi[static_cast<std::size_t>(i)];
                        const Ruolo r = ruoli_update[static_cast<std::size_t>(i - kPrimaUpdate)];
                        if (r == Ruolo::kUno) {
                            riga.valori.emplace_back(int16_t{1});
                            continue;
                        }
                        if (r == Ruolo::kZero) {
                            riga.valori.emplace_back(int16_t{0});
                            continue;
                        }
                        if (r == Ruolo::kProvvigione) {
                            const bool provv = kv::CDbl(NZ(valore(campo_provper))) != 0;
                            riga.valori.emplace_back(int16_t{provv ? int16_t{1} : int16_t{0}});
                            continue;
                        }
                        if (r == Ruolo::kOggi) {
                            riga.valori.emplace_back(oggi);  // changed today
                            continue;
                        }
                        const Variant v = valore(i);
                        if (r == Ruolo::kData) {
                            riga.valori.push_back(Data(v));
                        } else if (r == Ruolo::kNumero) {
                            riga.valori.push_back(Numero(v));
                        } else if (r == Ruolo::kRicarico) {
                            // The host's database-value formatter decides how the recharge is written.
                            // Most rows share their recharge: the formatter's answer for the row before
                            // is taken again for the same value.
                            if (ricarico_fatto && v == ricarico_prima) {
                                riga.valori.push_back(ricarico_scritto);
                                continue;
                            }
                            Variant scritto = Valore(v, false);
                            if (formatter) {
                                formatter->DBformat(v);
                                const std::string t = formatter->ValDB();
                                if (t.empty()) {
                                    scritto = Variant(int16_t{0});
                                } else if (kv::UCase(t) == "NULL") {
                                    scritto = Variant::Null();
                                } else if (auto d = kv::Decimal::Parse(t)) {
                                    scritto = Variant(*d);
                                }
                            }
                            ricarico_fatto = true;
                            ricarico_prima = v;
                            ricarico_scritto = scritto;
                            riga.valori.push_back(scritto);
                        } else if (r == Ruolo::kNz) {
                            riga.valori.push_back(NZ(v));
                        } else {
                            riga.valori.push_back(Valore(v, IsText(f.type)));
                        }
                    }
                    campi_chiave.Valori(c, riga.valori);
                    if (riga.scrittura == Scrittura::kConfrontato) {
                        // The stored row must still hold, column by column, the values this check read.
                        const auto& gr = *riga.letti;
                        for (const auto& v :
                             ValoriConfrontatiMemorizzati(*gr.righe, gr.righe->by_key.at(cand.chiave).front())) {
                            const bool vuoto = v.IsNull() || v.IsEmpty();
                            riga.valori.push_back(vuoto ? Variant::Null() : v);
                            riga.valori.emplace_back(int16_t{vuoto ? int16_t{1} : int16_t{0}});
                        }
                    }
                }

                // Rows are inserted first, then updated: a key the matrix holds twice is inserted by
                // its first row and updated by the later ones, which ends where writing them in row
                // order ends.
                std::string colonne, segnaposti, assegnazioni, confronto;
                for (int i = kPrimaInsert; i <= ultimo; ++i) {
                    colonne += (i == kPrimaInsert ? "" : ", ") + campi[static_cast<std::size_t>(i)].name;
                    segnaposti += i == kPrimaInsert ? "?" : ", ?";
                }
                for (int i = kPrimaUpdate; i <= ultimo; ++i)
                    assegnazioni += (i == kPrimaUpdate ? "" : ", ") + campi[static_cast<std::size_t>(i)].name + " = ?";
                for (const char* nome : kNomiConfrontati)
                    confronto += std::string(" AND (") + nome + " = ? OR (" + nome + " IS NULL AND ? = 1))";
                CommandPtr ins;
                try {
                    for (const auto& r : righe) {
                        if (!r.insert()) continue;
                        if (!ins)
                            ins = Prepara(core_.ADOConnection,
                                          "INSERT INTO LI10_LISTARTIC (" + colonne + ") VALUES (" + segnaposti + ")",
                                          r.valori.size());
                        Esegui(*ins, r.valori);
                    }
                    if (ins) ins->Complete();
                } catch (const kv::Error&) {
                    // Perhaps another desktop stored one of these keys after the check: VerificaConflitti tells.
                    conflitto_sospetto_ = true;
                    throw;
                }
                long attese = 0, trovate = 0;
                for (Scrittura s : {Scrittura::kConfrontato, Scrittura::kChiave}) {
                    CommandPtr upd;
                    for (const auto& r : righe) {
                        if (r.scrittura != s) continue;
                        if (!upd)
                            upd = Prepara(core_.ADOConnection,
                                          "UPDATE LI10_LISTARTIC SET " + assegnazioni + " WHERE " + CondizioneChiave() +
                                              (s == Scrittura::kConfrontato ? confronto : std::string()),
                                          r.valori.size());
                        Esegui(*upd, r.valori);
                        attese += r.attese;
                    }
                    if (upd) trovate += upd->Complete();
                }
                if (trovate < attese) {
                    // A stored row changed or went between the check and its UPDATE.
                    conflitto_sospetto_ = true;
                    throw kv::Error(kErroreConflitto,
                                    "Alcune righe sono state modificate da un altro utente durante il salvataggio",
                                    "CLSMG_SETUPVARIANTI");
                }
                // The written keys are read back: what is stored now is what a later change of another
                // desktop is judged against, and what the price history records beside what was read.
                for (auto& [gruppo, gr] : letti) {
                    std::vector<const RigaCandidata*> scritte;
                    for (const auto& r : righe)
                        if (r.letti == &gr) scritte.push_back(r.candidata);
                    if (scritte.empty()) continue;
                    const std::shared_ptr<const StoredPriceRows> dopo = LeggiListiniDi(gr.parametri, scritte, true);
                    std::unordered_set<std::string> registrate;
                    const bool del_caricamento = originali_ && gruppo == originali_->gruppo;
                    if (del_caricamento) fatto.chiavi.reserve(fatto.chiavi.size() + scritte.size());
                    registrate.reserve(scritte.size());
                    for (const RigaCandidata* scritta : scritte) {
                        const RigaCandidata& r = *scritta;
                        if (del_caricamento) {
                            const auto trovata = dopo->by_key.find(r.chiave);
                            fatto.chiavi[r.chiave] = trovata == dopo->by_key.end() ? OriginaliMatrice::Firma{}
                                                                                   : FirmaDi(*dopo, trovata->second);
                        }
                        if (registrate.insert(r.chiave).second)
                            CelleDellaRiga(gr.parametri, *gr.righe, *dopo, r.chiave, fatto.storico);
                    }
                }

                if (!annidato) Storico().Registra(fatto.storico, Operazione::kConferma);
                // The candidates are not looked at again: what the matrix takes after the commit moves over.
                fatto.righe.reserve(righe.size());
                for (const auto& r : righe)
                    fatto.righe.push_back({r.candidata->bookmark, r.insert(), std::move(r.candidata->gruppo),
                                           std::move(r.candidata->attuali), std::move(r.candidata->opzione)});
            });

            // Written: now the pivot's values enter the matrix, as they would have before the rows.
            if (valori_pivot) {
                for (const auto& [bookmark, valore] : *valori_pivot) {
                    rs.SetBookmark(bookmark);
                    rs.SetValue(campo_pivot, valore);
                    rs.Update();
                }
                rs.SetFilter(kNoFilter);
            }
            if (fatto.righe.empty()) {
                rs.SetFilter(kNoFilter);
                ricollega();
            } else {
                SetInsert(fatto.righe.back().insert);
                rs.SetFilter(filtro);
                if (m_iTipoGriglia != 4) {
                    if (rs.RecordCount() > 0) rs.MoveFirst();
                } else if (pivot && pivot->RecordCount() > 0) {
                    pivot->MoveFirst();
                }
                ricollega();
            }
            in_sospeso_ = std::move(fatto);
        } catch (...) {
            // Nothing was written: the matrix, the pivot and the grid go back to where they were.
            in_sospeso_.reset();
            SetElemPrev(elem_prev_prima);
            SetInsert(insert_prima);
            try {
                prima.Ripristina(rs);
                if (pivot && prima_pivot) prima_pivot->Ripristina(*pivot);
                if (grid_) grid_->SetDataSource(sorgente_prima);
            } catch (const kv::Error&) {
                // Positions are a courtesy; the values were never touched.
            }
            throw;
        }
        // Without a transaction of the caller's the rows are committed already. A post-save object that
        // fails leaves them stored; the failure is this call's State all the same.
        if (annidato) return;
        if (auto errore = AccettaSalvataggio()) throw *errore;
    });
}

// ---- Delete

void CLSMG_SETUPVARIANTI::DeleteRecords() {
    schema::Trap(core_, [&] {
        auto& rs = Matrice(recordset_);
        const Posizione prima = Posizione::Di(rs);
        try {
            rs.SetFilter(kNoFilter);
            if (rs.RecordCount() > 0) rs.MoveFirst();
            std::set<std::vector<std::string>> visti;
            std::vector<std::vector<Variant>> righe;
            auto clone = rs.Clone();
            for (; !clone->IsEOF(); clone->MoveNext()) {  // a clone starts on the first row
                std::vector<Variant> valori;
                ValoriChiave(*clone, valori);
                std::vector<std::string> firma;
                for (const auto& v : valori) firma.push_back(kv::DebugString(v));
                if (visti.insert(firma).second) righe.push_back(std::move(valori));
            }
            if (!righe.empty()) {
                InTransazione([&](kv::ado::Connection&) {
                    auto del = Prepara(core_.ADOConnection, "DELETE FROM LI10_LISTARTIC WHERE " + CondizioneChiave(),
                                       std::size(kChiave));
                    for (const auto& r : righe) Esegui(*del, r);
                    del->Complete();
                });
            }
        } catch (...) {
            try {
                prima.Ripristina(rs);
            } catch (const kv::Error&) {
            }
            throw;
        }
        bCaricato = false;
        rs.SetFilter(prima.filtro);
        ChiudiMatrice();
    });
}

void CLSMG_SETUPVARIANTI::DeleteRecordsTipo2(const std::string& codVar, const std::string& elencoOpzioni) {
    schema::Trap(core_, [&] {
        auto& rs = Matrice(recordset_);
        const Posizione prima = Posizione::Di(rs);
        try {
            const int32_t ditta = core_.CompanyCode();
            auto somma = Prepara(core_.ADOConnection,
                                 "SELECT sum(MG5F_SIZE) as SOMMA FROM MG5F_DIMECONF WHERE MG5F_DITTA_CG18 = " +
                                     std::to_string(ditta) + " AND MG5F_CODICEVAR < ?",
                                 1);
            somma->GetParameters()[0].SetValue(Variant(codVar));
            auto st = somma->Execute();
            long inizio = 0;
            if (!AtBofOrEof(st)) inizio = kv::CLng(NZ(st->Value("SOMMA"))) + 1;
            auto size = Prepara(core_.ADOConnection,
                                "SELECT MG5F_SIZE FROM MG5F_DIMECONF WHERE MG5F_DITTA_CG18 = " + std::to_string(ditta) +
                                    " AND MG5F_CODICEVAR = ?",
                                1);
            size->GetParameters()[0].SetValue(Variant(codVar));
            auto sz = size->Execute();
            long lunghezza = 0;
            if (!AtBofOrEof(sz)) lunghezza = kv::CLng(NZ(sz->Value("MG5F_SIZE")));
            // The options arrive as an SQL list of literals; each is bound on its own.
            const std::vector<Variant> opzioni = ElencoValori(elencoOpzioni);
            std::string in;
            for (std::size_t i = 0; i < opzioni.size(); ++i) in += i == 0 ? "?" : ", ?";

            rs.SetFilter(kNoFilter);
            std::set<std::vector<std::string>> visti;
            std::vector<std::vector<Variant>> righe;
            auto clone = rs.Clone();
            for (; !clone->IsEOF(); clone->MoveNext()) {  // a clone starts on the first row
                std::vector<Variant> chiave;
                ValoriChiave(*clone, chiave);
                // Company, kind, article, then the options, then warehouse, list and dates; not the code.
                std::vector<Variant> valori(chiave.begin(), chiave.begin() + 5);
                valori.insert(valori.end(), opzioni.begin(), opzioni.end());
                valori.insert(valori.end(), chiave.begin() + 6, chiave.end());
                std::vector<std::string> firma;
                for (const auto& v : valori) firma.push_back(kv::DebugString(v));
                // Rows differing only in other segments make the same statement: it runs once.
                if (visti.insert(firma).second) righe.push_back(std::move(valori));
            }
            if (!righe.empty()) {
                InTransazione([&](kv::ado::Connection&) {
                    auto del = Prepara(core_.ADOConnection,
                                       "DELETE FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = ? AND LI10_FLGUSODECOR = ?"
                                       " AND LI10_FLGVENDACQ = ? AND LI10_INDTIPOLIS = ? AND LI10_CODART_MG66 = ?"
                                       " AND substring(LI10_OPZIONE_MG5E," +
                                           std::to_string(inizio) + "," + std::to_string(lunghezza) + ") in (" + in +
                                           ") AND LI10_DEPOS_MG58 = ? AND LI10_NUMLIST = ?"
                                           " AND LI10_DATAINIZIOVAL = ? AND LI10_DATAFINEVAL = ?",
                                       righe.front().size());
                    for (const auto& r : righe) Esegui(*del, r);
                    del->Complete();
                });
            }
        } catch (...) {
            try {
                prima.Ripristina(rs);
            } catch (const kv::Error&) {
            }
            throw;
        }
        bCaricato = false;
        rs.SetFilter(prima.filtro);
        ChiudiMatrice();
    });
}

void CLSMG_SETUPVARIANTI::ChiudiMatrice() {
    originali_.reset();
    in_sospeso_.reset();
    conflitti_.clear();
    letti_conflitti_.reset();
    if (recordset_ && recordset_->Clone()->RecordCount() > 0) {
        // Every row goes, also those a filter hides: after a delete the matrix is empty.
        auto& rs = Matrice(recordset_);
        const Variant filtro = rs.Filter();
        rs.SetFilter(kNoFilter);
        while (rs.RecordCount() > 0) {
            rs.MoveFirst();
            rs.Delete(kv::ado::adAffectCurrent);
        }
        rs.SetFilter(filtro);
    }
    rsListini.reset();
    rsOpzioni1.reset();
    rsOpzioni2.reset();
    rsPivotAcq.reset();
    rsPivotVen.reset();
}

// ---- Cancel

void CLSMG_SETUPVARIANTI::Annulla() {
    schema::Trap(core_, [&] {
        if (m_iTipoGriglia != 4) return;
        for (const RecordsetPtr& p : {rsPivotAcq, rsPivotVen}) {
            if (!p || AtBofOrEof(p)) continue;
            while (p->RecordCount() > 0) {
                p->MoveFirst();
                p->Delete(kv::ado::adAffectCurrent);
            }
        }
    });
}

}  // namespace qmx
