// Save, delete and cancel of the matrix.
//
// A save writes every matrix row to LI10_LISTARTIC: an UPDATE when a stored row with its key exists, an
// INSERT otherwise. The stored rows are read with one query per article and kind, inside the save's
// transaction, and compared with those the matrix was loaded with (clsmg_setupvarianti_conflicts.cpp):
// a row edited here whose stored row another desktop changed stops the save before anything is
// written, and a row not edited here whose stored row changed is left to the stored values. The rows
// go through statements prepared once with their values bound (a quote in an article or option code is
// just a character), and they travel to the server without waiting for each answer; an UPDATE also
// matches the values the check read, so a change that slips in between finds no row and undoes the
// save. The rows are written in one transaction - a savepoint when the window already holds one, so its
// own save decides - so a refused row leaves the database as it was; the matrix is then left exactly
// as before the call, State is 99, and the user can correct the row and save again. The deletes work
// the same way.

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <unordered_set>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"
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
// UPDATE sets (LI10_DATAINIZIOVAL); both go on to the last column. Columns up to kUltimoPrezzo
// (LI10_MAGIMP) are prices, discounts and markups.
constexpr int kPrimaInsert = 9;
constexpr int kPrimaUpdate = 18;
constexpr int kUltimoPrezzo = 30;

// The number of the error a save stops with when rows were changed by another desktop (past the
// platform's object-error base, as the component's own errors are).
constexpr long kErroreConflitto = -2147221504 + 1101;

const char* const kChiave[] = {"LI10_DITTA_CG18",  "LI10_FLGUSODECOR",  "LI10_FLGVENDACQ", "LI10_INDTIPOLIS",
                               "LI10_CODART_MG66", "LI10_OPZIONE_MG5E", "LI10_DEPOS_MG58", "LI10_NUMLIST",
                               "LI10_DATAINIZIOVAL", "LI10_DATAFINEVAL"};

bool IsText(kv::ado::DataTypeEnum t) {
    switch (t) {
        case kv::ado::adBSTR:
        case kv::ado::adChar:
        case kv::ado::adWChar:
        case kv::ado::adVarChar:
        case kv::ado::adVarWChar:
        case kv::ado::adLongVarWChar:
            return true;
        default:
            return false;
    }
}

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

// The key condition of the row's stored row, as UPDATE and DELETE compare it.
void ValoriChiave(kv::ado::Recordset& rs, std::vector<Variant>& out) {
    for (const char* name : kChiave) {
        const Variant v = rs.Value(name);
        const std::string n = name;
        if (n == "LI10_CODART_MG66" || n == "LI10_OPZIONE_MG5E" || n == "LI10_DEPOS_MG58") {
            out.push_back(Testo(v));
        } else if (n == "LI10_DATAINIZIOVAL" || n == "LI10_DATAFINEVAL") {
            out.push_back(Data(v));
        } else {
            out.push_back(v);
        }
    }
}

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

}  // namespace

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

void CLSMG_SETUPVARIANTI::UpdateBatch() {
    conflitti_.clear();
    letti_conflitti_.reset();
    conflitto_sospetto_ = false;
    verifica_completa_ = false;
    originali_salvati_.reset();
    schema::Trap(core_.State, [&] {
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
                    valori_pivot = ValoriPivot(pivot);
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
            auto clone = rs.Clone();
            const Variant filtro = rs.Filter();
            auto ricollega = [&] {
                if (m_iTipoGriglia == 4) {
                    Griglia(grid_).SetDataSource(pivot);
                } else {
                    Griglia(grid_).SetDataSource(recordset_);
                }
            };

            // How a row is written: inserted; updated where its stored row still holds the values read
            // (kConfrontato) or wherever its key is (kChiave: a key stored more than once, a later matrix
            // row with a key already written, a matrix the loader did not fill); or not at all, because
            // another desktop changed its stored row and it was not edited here (kRicarica).
            enum class Scrittura { kInsert, kConfrontato, kChiave, kRicarica };
            struct Riga {
                Scrittura scrittura = Scrittura::kInsert;
                std::vector<Variant> valori;
                Variant opzione;
                long long bookmark = 0;
                long attese = 0;  // stored rows the UPDATE must find
                bool insert() const { return scrittura == Scrittura::kInsert; }
            };
            std::vector<Riga> righe;
            const auto& campi = rs.FieldInfos();
            const int ultimo = static_cast<int>(campi.size()) - 1;
            std::vector<int> confrontati;
            for (const char* nome : kNomiConfrontati) confrontati.push_back(rs.GetFields().Item(nome).Index());
            auto formatter = core_.ActiveInterface && core_.ActiveInterface->ClsGlobal()
                                 ? core_.ActiveInterface->ClsGlobal()->NewValueFormatter()
                                 : nullptr;
            const bool annidato = core_.ADOConnection && core_.ADOConnection->InTransaction();
            // The stored rows of each article and kind the matrix holds, read once each inside the
            // transaction, and again once written (they are then what later changes are judged against).
            struct Letti {
                std::shared_ptr<StoredPriceRows> righe;
                ValoriPerChiaveMap valori;
                std::vector<Variant> parametri;
                std::unordered_map<std::string, long> scritte;  // keys written so far -> stored rows
            };
            std::map<std::vector<std::string>, Letti> letti;
            std::vector<long long> da_ricaricare;
            std::vector<std::pair<long long, OriginaliMatrice::Valori>> impronte;

            if (clone->RecordCount() > 0) InTransazione([&](kv::ado::Connection&) {
                for (; !clone->IsEOF(); clone->MoveNext()) {  // a clone starts on the first row
                    auto& c = *clone;
                    const long long bookmark = kv::CLngLng(c.Bookmark());
                    auto valore = [&](int i) {
                        if (i == indice_pivot) {
                            auto it = da_pivot.find(bookmark);
                            if (it != da_pivot.end()) return it->second.IsEmpty() ? Variant::Null() : it->second;
                        }
                        return c.Value(i);
                    };
                    const std::vector<std::string> gruppo = GruppoDi(c);
                    auto found = letti.find(gruppo);
                    if (found == letti.end()) {
                        Letti l;
                        for (int i = 0; i < 4; ++i) l.parametri.push_back(c.Value(kChiave[i]));
                        l.parametri.push_back(Testo(c.Value("LI10_CODART_MG66")));
                        l.righe = LeggiListini(l.parametri);
                        l.valori = FirmePerChiave(*l.righe);
                        found = letti.emplace(gruppo, std::move(l)).first;
                    }
                    auto& gr = found->second;
                    const std::string chiave = ChiaveListino(c.Value("LI10_OPZIONE_MG5E"), c.Value("LI10_NUMLIST"),
                                                             c.Value("LI10_DATAINIZIOVAL"), c.Value("LI10_DATAFINEVAL"));
                    OriginaliMatrice::Valori attuali;
                    for (int i : confrontati) attuali.push_back(valore(i));
                    const std::string impronta = Impronta(attuali);
                    const auto stato = Confronta(gruppo, chiave, bookmark, impronta, gr.valori);
                    if (stato == Confronto::kConflitto) {
                        conflitti_.push_back(bookmark);
                        continue;
                    }
                    if (stato == Confronto::kSuperata) {
                        da_ricaricare.push_back(bookmark);
                        continue;
                    }
                    impronte.emplace_back(bookmark, std::move(attuali));
                    const auto memorizzate = gr.righe->by_key.find(chiave);
                    const long ora = memorizzate == gr.righe->by_key.end() ? 0 : static_cast<long>(memorizzate->second.size());
                    Riga riga;
                    riga.bookmark = bookmark;
                    riga.opzione = NS(c.Value("LI10_OPZIONE_MG5E"));
                    if (auto scritta = gr.scritte.find(chiave); scritta != gr.scritte.end()) {
                        // A later row with the same key updates what the first one wrote.
                        riga.scrittura = Scrittura::kChiave;
                        riga.attese = scritta->second;
                    } else if (ora == 0) {
                        riga.scrittura = Scrittura::kInsert;
                        gr.scritte.emplace(chiave, 1);
                    } else {
                        riga.scrittura = stato == Confronto::kInvariata && ora == 1 ? Scrittura::kConfrontato
                                                                                   : Scrittura::kChiave;
                        riga.attese = ora;
                        gr.scritte.emplace(chiave, ora);
                    }
                    if (riga.insert()) {
                        for (int i = kPrimaInsert; i <= ultimo; ++i) {
                            const auto& f = campi[static_cast<std::size_t>(i)];
                            const Variant v = valore(i);
                            if (f.type == kv::ado::adDate) {
                                riga.valori.push_back(Data(v));
                            } else if (IsText(f.type)) {
                                riga.valori.push_back(Testo(v));
                            } else if (kv::EqualsNoCase(f.name, "LI10_INDUM") || kv::EqualsNoCase(f.name, "LI10_FLGLIST")) {
                                riga.valori.emplace_back(int16_t{1});
                            } else {
                                riga.valori.push_back(Numero(v));
                            }
                        }
                    } else {
                        for (int i = kPrimaUpdate; i <= ultimo; ++i) {
                            const auto& f = campi[static_cast<std::size_t>(i)];
                            const std::string nome = kv::UCase(f.name);
                            const Variant v = valore(i);
                            if (nome == "LI10_FLGLIST" || nome == "LI10_FLGVARIATO" || nome == "LI10_INDUM") {
                                riga.valori.emplace_back(int16_t{1});
                            } else if (nome == "LI10_INDTIPOVAR" || nome == "LI10_FLGPERSON") {
                                riga.valori.emplace_back(int16_t{0});
                            } else if (nome == "LI10_FLGPROVV") {
                                const bool provv = kv::CDbl(NZ(valore(rs.GetFields().IndexOf("LI10_PROVPER")))) != 0;
                                riga.valori.emplace_back(int16_t{provv ? int16_t{1} : int16_t{0}});
                            } else if (f.type == kv::ado::adDate) {
                                riga.valori.push_back(Data(v));
                            } else if (i <= kUltimoPrezzo) {
                                riga.valori.push_back(Numero(v));
                            } else if (nome == "LI10_PERRICDELTA") {
                                // The host's database-value formatter decides how the recharge is written.
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
                                riga.valori.push_back(scritto);
                            } else if (nome == "LI10_PROVPER" || nome == "LI10_PROVIMP" || nome == "LI10_INDRICALPR" ||
                                       nome == "LI10_INDARROT") {
                                riga.valori.push_back(NZ(v));
                            } else {
                                riga.valori.push_back(Valore(v, IsText(f.type)));
                            }
                        }
                        ValoriChiave(c, riga.valori);
                        if (riga.scrittura == Scrittura::kConfrontato) {
                            // The stored row must still hold the values this check read, as the save writes them.
                            for (const auto& v :
                                 ValoriConfrontatiMemorizzati(*gr.righe, memorizzate->second.front())) {
                                const bool zero = kv::IsBlank(v) || kv::CDec(v).IsZero();
                                riga.valori.push_back(zero ? Variant(kv::Decimal(0)) : v);
                                riga.valori.emplace_back(int16_t{zero ? int16_t{1} : int16_t{0}});
                            }
                        }
                    }
                    righe.push_back(std::move(riga));
                }
                if (!conflitti_.empty()) {
                    // Nothing is written: the user decides first. The rows are found again by the stored
                    // rows of the matrix's article and kind, read above.
                    const auto& o = *originali_;
                    letti_conflitti_ = letti.at(o.gruppo).righe;
                    throw kv::Error(kErroreConflitto,
                                    std::to_string(conflitti_.size()) +
                                        " righe sono state modificate da un altro utente dopo il caricamento",
                                    "CLSMG_SETUPVARIANTI");
                }
                if (solo_verifica_) {
                    verifica_completa_ = true;
                    throw kv::Error(kErroreConflitto, "Solo verifica", "CLSMG_SETUPVARIANTI");
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
                // Blank and 0 are the same value to the save; each is bound as what it is (an engine with
                // no types of its own compares a number with the column's affinity only).
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
                // What is stored now is what a later change of another desktop is judged against.
                if (originali_ && letti.count(originali_->gruppo)) {
                    auto salvati = std::make_shared<OriginaliMatrice>(*originali_);
                    auto dopo = LeggiListini(letti.at(originali_->gruppo).parametri);
                    salvati->letti = std::move(dopo);
                    salvati->per_chiave.clear();
                    for (const auto& [bookmark, valori] : impronte)
                        salvati->Registra(bookmark, [&](int c) { return valori[static_cast<std::size_t>(c)]; });
                    originali_salvati_ = std::move(salvati);
                    letti_conflitti_ = letti.at(originali_->gruppo).righe;  // for the rows to take over below
                }
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
            // Rows another desktop changed and this one did not: they show what is stored, and were not
            // written over.
            if (!da_ricaricare.empty() && letti_conflitti_) {
                rs.SetFilter(kNoFilter);
                for (long long bookmark : da_ricaricare) RicaricaRiga(bookmark, letti_conflitti_);
            }
            letti_conflitti_.reset();
            if (righe.empty()) {
                rs.SetFilter(kNoFilter);
                ricollega();
            } else {
                SetInsert(righe.back().insert());
                rs.SetFilter(filtro);
                if (m_iTipoGriglia != 4) {
                    if (rs.RecordCount() > 0) rs.MoveFirst();
                } else if (pivot && pivot->RecordCount() > 0) {
                    pivot->MoveFirst();
                }
                ricollega();
            }
            if (m_iTipoGriglia == 4 && !da_ricaricare.empty()) RicostruisciPivot();
            if (!annidato) AccettaSalvataggio();

            // The host is told of the rows once they are written, in row order.
            if (core_.ActiveInterface && core_.ActiveInterface->ClsGlobal()) {
                auto global = core_.ActiveInterface->ClsGlobal();
                if (auto post = global->NewPostSave()) {
                    post->SetContext(core_.ActiveInterface, core_.ADOConnection, global, Variant(core_.CompanyCode()),
                                     Variant(CodArticolo()), true);
                    for (const auto& r : righe) {
                        post->SetOptionCode(r.opzione);
                        post->ApplyRow();
                        post->EndRow();
                    }
                    post->Release();
                }
            }
        } catch (...) {
            // Nothing was written: the matrix, the pivot and the grid go back to where they were.
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
    });
}

// ---- Delete

void CLSMG_SETUPVARIANTI::DeleteRecords() {
    schema::Trap(core_.State, [&] {
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
    schema::Trap(core_.State, [&] {
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
    originali_salvati_.reset();
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
    schema::Trap(core_.State, [&] {
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
