// Matrix loading and filtering: one matrix row per list taking part and option (or pair of options),
// merged with the price-list rows already stored for the article.
//
// The stored rows of the article and kind are read with one query per load and matched to the new
// matrix rows in memory, by the key the database itself would compare: the option code equal up to
// trailing blanks (it is fixed-width text), the list number as a number, the validity dates by day.
// A load therefore costs one round trip, whatever the number of lists and options.

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"
#include "matrix/matrix_recordset.h"
#include "matrix/stored_price_rows.h"
#include "platform/ado/command.h"
#include "platform/services/cinterface.h"
#include "platform/services/global_services.h"
#include "platform/variant/strings.h"
#include "shell/modmg_quendormixal.h"
#include "shell/msgbox.h"

namespace qmx {

using kv::Variant;
using kv::ado::RecordsetPtr;

namespace {

// List numbers are whole numbers: their digits need no decimal conversion.
bool NumeroIntero(double n) { return n == static_cast<double>(static_cast<long long>(n)) && n > -1e15 && n < 1e15; }

// The key's part after the option code, for a whole list number.
void AggiungiResto(std::string& key, double num_list, const kv::Date& data_ini, const kv::Date& data_fine) {
    char cifre[24];
    const auto fine = std::to_chars(cifre, cifre + sizeof cifre, static_cast<long long>(num_list)).ptr;
    key += '\x1f';
    key.append(cifre, fine);
    key += '\x1f';
    data_ini.AppendYmd(key);
    key += '\x1f';
    data_fine.AppendYmd(key);
}

}  // namespace

std::string ChiaveListino(const Variant& opzione, const Variant& num_list, const Variant& data_ini,
                          const Variant& data_fine) {
    auto day = [](const Variant& v) -> const kv::Date& {
        if (const auto* d = v.TryGet<kv::Date>()) return *d;
        throw kv::Error(kv::err::kTypeMismatch, "Data di validit\u00e0 non valida", "CLSMG_SETUPVARIANTI");
    };
    std::string key = kv::CStr(NS(opzione));
    const double n = kv::CDbl(num_list);
    if (NumeroIntero(n)) {
        AggiungiResto(key, n, day(data_ini), day(data_fine));
        return key;
    }
    key += '\x1f';
    key += kv::CDec(num_list).ToString('.');
    key += '\x1f';
    key += day(data_ini).ToYmd();
    key += '\x1f';
    key += day(data_fine).ToYmd();
    return key;
}

namespace {

void MoveFirstIfAny(const RecordsetPtr& rs) {
    if (rs && rs->RecordCount() > 0) rs->MoveFirst();
}

bool AtBofOrEof(const RecordsetPtr& rs) { return rs->IsBOF() || rs->IsEOF(); }

kv::Date FirstOfMonth(kv::Date d) { return kv::Date::FromYmd(d.Year(), d.Month(), 1); }

}  // namespace

kv::Date CLSMG_SETUPVARIANTI::Oggi() const {
    if (oggi_) return oggi_();
    // The host's day, which a scripted session fixes; the machine's date when there is no host.
    if (core_.ActiveInterface)
        if (auto global = core_.ActiveInterface->ClsGlobal()) return global->Today();
    return kv::Date::SystemToday();
}

// ---- Loaders

void CLSMG_SETUPVARIANTI::ReLoadVarianti() {
    schema::Trap(core_, [&] {
        bCaricato = false;
        m_iTipoGriglia = GetIndTipoGriglia();
        CaricaConfigurazioneVariantiPerArticolo();
        switch (m_iTipoGriglia) {
            case 1: ReLoadVarianti1(); break;
            case 2:
            case 3: ReLoadVarianti2(); break;
            case 4: ReLoadVarianti4(); break;
            default: break;
        }
    });
}

void CLSMG_SETUPVARIANTI::ReLoadVarianti1() {
    schema::Trap(core_, [&] {
        if (core_.State != schema::kStateOk) return;
        bEnableRowColChange = false;
        if (Matrice(recordset_).RecordCount() > 0) Matrice(recordset_).MoveFirst();
        SvuotaRecordset();
        Griglia(grid_).SetDataSource(nullptr);
        MoveFirstIfAny(rsListini);
        MoveFirstIfAny(rsOpzioni1);
        CaricaListiniEsistenti();
        const auto& ix = listini_esistenti_->indici;
        // What a list or an option gives each of its rows is read at its first row and kept: the
        // options are walked in the same order for every list.
        std::vector<DatiOpzione> opzioni;
        for (; !rsListini->IsEOF(); rsListini->MoveNext()) {
            std::optional<DatiListino> listino;
            if (!AtBofOrEof(rsOpzioni1)) {
                std::size_t k = 0;
                for (rsOpzioni1->MoveFirst(); !rsOpzioni1->IsEOF(); rsOpzioni1->MoveNext(), ++k) {
                    if (k == opzioni.size()) opzioni.push_back(LeggiOpzione(*rsOpzioni1, ix.o_codvar, ix.o_opz, ix.o_descr));
                    if (!listino) listino = LeggiListino();
                    AggiungiRigaTipo1(*listino, opzioni[k]);
                }
            }
            if (rsOpzioni1->IsEOF()) MoveFirstIfAny(rsOpzioni1);
        }
        RegistraOriginali();
        listini_esistenti_.reset();
        if (BarOperation) BarOperation->SetVisible(false);
        if (!AtBofOrEof(recordset_)) Matrice(recordset_).MoveFirst();
        Griglia(grid_).SetDataSource(recordset_);
        bEnableRowColChange = true;
    });
    listini_esistenti_.reset();
}

namespace {

// The options of both levels as the rows of a list walk them, read once for the whole load, and the
// option code of each pair.
class OpzioniCaricate {
public:
    template <class Leggi>
    const DatiOpzione& Opzione2(std::size_t k2, Leggi&& leggi) {
        if (k2 == opzioni2_.size()) {
            opzioni2_.push_back(leggi());
            codici_.emplace_back();
        }
        return opzioni2_[k2];
    }
    template <class Leggi>
    const DatiOpzione& Opzione1(std::size_t k1, Leggi&& leggi) {
        if (k1 == opzioni1_.size()) opzioni1_.push_back(leggi());
        return opzioni1_[k1];
    }
    template <class Calcola>
    const std::string& Codice(std::size_t k2, std::size_t k1, Calcola&& calcola) {
        auto& codici = codici_[k2];
        if (k1 == codici.size()) codici.push_back(calcola(kv::CStr(opzioni1_[k1].opzione), kv::CStr(opzioni2_[k2].opzione)));
        return codici[k1];
    }

private:
    std::vector<DatiOpzione> opzioni1_, opzioni2_;
    std::vector<std::vector<std::string>> codici_;
};

}  // namespace

void CLSMG_SETUPVARIANTI::ReLoadVarianti2() {
    schema::Trap(core_, [&] {
        if (bCaricato || kv::Trim(CodArticolo()).empty() || core_.State != schema::kStateOk) return;
        bEnableRowColChange = false;
        if (Matrice(recordset_).RecordCount() > 0) Matrice(recordset_).MoveFirst();
        SvuotaRecordset();
        const Variant filtro = Matrice(recordset_).Filter();
        Matrice(recordset_).SetFilter(Variant(int32_t{kv::ado::adFilterNone}));
        Griglia(grid_).SetDataSource(nullptr);
        MoveFirstIfAny(rsListini);
        MoveFirstIfAny(rsOpzioni1);
        MoveFirstIfAny(rsOpzioni2);
        // The options query of every grid variant the described loader ran here had no use for its
        // result, so it is not run.
        CaricaListiniEsistenti();
        listini_esistenti_->righe_attese = std::max(0L, rsListini->RecordCount()) *
                                           std::max(0L, rsOpzioni1->RecordCount()) *
                                           std::max(0L, rsOpzioni2->RecordCount());
        const auto& ix = listini_esistenti_->indici;
        OpzioniCaricate opzioni;
        auto leggi1 = [&] { return LeggiOpzione(*rsOpzioni1, ix.o_codvar, ix.o_opz, ix.o_descr); };
        auto leggi2 = [&] { return LeggiOpzione(*rsOpzioni2, ix.o_codvar, ix.o_opz, ix.o_descr); };
        auto codice = [&](const std::string& o1, const std::string& o2) { return OpzioneCalcolata(o1, o2); };
        for (; !rsListini->IsEOF(); rsListini->MoveNext()) {
            if (rsOpzioni2->RecordCount() == 0) continue;
            std::optional<DatiListino> listino;
            std::size_t k2 = 0;
            for (rsOpzioni2->MoveFirst(); !rsOpzioni2->IsEOF(); rsOpzioni2->MoveNext(), ++k2) {
                const DatiOpzione& o2 = opzioni.Opzione2(k2, leggi2);
                if (rsOpzioni1->RecordCount() == 0) continue;
                std::size_t k1 = 0;
                for (rsOpzioni1->MoveFirst(); !rsOpzioni1->IsEOF(); rsOpzioni1->MoveNext(), ++k1) {
                    const DatiOpzione& o1 = opzioni.Opzione1(k1, leggi1);
                    if (!listino) listino = LeggiListino();
                    AggiungiRigaTipo2(*listino, o1, o2, opzioni.Codice(k2, k1, codice));
                }
            }
        }
        RegistraOriginali();
        listini_esistenti_.reset();
        // Each row was added with the net price of its inputs: a recalculation need not work out again
        // those of the rows nobody stores into from now on.
        NettiCalcolati();
        if (!AtBofOrEof(recordset_)) Matrice(recordset_).MoveFirst();
        if (kv::CStr(filtro) != "0") Matrice(recordset_).SetFilter(filtro);
        Griglia(grid_).SetDataSource(recordset_);
        bEnableRowColChange = true;
        bCaricato = true;
    });
    listini_esistenti_.reset();
}

void CLSMG_SETUPVARIANTI::ReLoadVarianti4() {
    schema::Trap(core_, [&] {
        if (bCaricato || kv::Trim(CodArticolo()).empty() || core_.State != schema::kStateOk) return;
        bEnableRowColChange = false;
        if (Matrice(recordset_).RecordCount() > 0) Matrice(recordset_).MoveFirst();
        SvuotaRecordset();
        Matrice(recordset_).SetFilter(Variant(int32_t{kv::ado::adFilterNone}));
        Griglia(grid_).SetDataSource(nullptr);
        MoveFirstIfAny(rsListini);
        MoveFirstIfAny(rsOpzioni1);
        MoveFirstIfAny(rsOpzioni2);
        CaricaListiniEsistenti();
        const auto& ix = listini_esistenti_->indici;
        OpzioniCaricate opzioni;
        auto leggi1 = [&] { return LeggiOpzione(*rsOpzioni1, ix.o_codvar, ix.o_opz, ix.o_descr); };
        auto leggi2 = [&] { return LeggiOpzione(*rsOpzioni2, ix.o_codvar, ix.o_opz, ix.o_descr); };
        auto codice = [&](const std::string& o1, const std::string& o2) { return OpzioneCalcolata(o1, o2); };
        for (; !rsListini->IsEOF(); rsListini->MoveNext()) {
            std::optional<DatiListino> listino;
            if (!AtBofOrEof(rsOpzioni2)) {
                std::size_t k2 = 0;
                for (rsOpzioni2->MoveFirst(); !rsOpzioni2->IsEOF(); rsOpzioni2->MoveNext(), ++k2) {
                    const DatiOpzione& o2 = opzioni.Opzione2(k2, leggi2);
                    if (rsOpzioni1->RecordCount() == 0) continue;
                    std::size_t k1 = 0;
                    for (rsOpzioni1->MoveFirst(); !rsOpzioni1->IsEOF(); rsOpzioni1->MoveNext(), ++k1) {
                        const DatiOpzione& o1 = opzioni.Opzione1(k1, leggi1);
                        if (!listino) listino = LeggiListino();
                        AggiungiRigaTipo2(*listino, o1, o2, opzioni.Codice(k2, k1, codice));
                    }
                }
            }
            MoveFirstIfAny(rsOpzioni1);
            MoveFirstIfAny(rsOpzioni2);
        }
        RegistraOriginali();
        listini_esistenti_.reset();
        if (!AtBofOrEof(recordset_)) Matrice(recordset_).MoveFirst();
        if (m_iTipoGriglia == 4 || !kv::Trim(ValVariante2()).empty()) {
            Griglia(grid_).SetDataSource(recordset_);
        } else {
            Griglia(grid_).SetDataSource(nullptr);
        }
        bEnableRowColChange = true;
        bCaricato = true;
    });
    listini_esistenti_.reset();
}

DatiListino CLSMG_SETUPVARIANTI::LeggiListino() {
    auto& rs = Matrice(recordset_);
    const auto& ix = listini_esistenti_->indici;
    auto& list = *rsListini;
    DatiListino l;
    l.numlist = rs.ConvertValue(ix.m_numlist, list.Value(ix.l_numlist));
    l.valuta = list.Value(ix.l_valuta);
    const Variant provv = NZ(list.Value(ix.l_percprov));
    if (kv::IsTrue(kv::Ne(provv, Variant(int16_t{0})))) l.provper = provv;
    l.data_ini = rs.ConvertValue(ix.m_dataini, Variant(PropDataInizio(rsListini)));
    l.data_fine = rs.ConvertValue(ix.m_datafine, Variant(PropDataFine(rsListini)));
    l.chiave = ChiaveListino(Variant(""), l.numlist, l.data_ini, l.data_fine);
    return l;
}

DatiOpzione CLSMG_SETUPVARIANTI::LeggiOpzione(kv::ado::Recordset& rs, int codvar, int opz, int descr) {
    return DatiOpzione{NS(rs.Value(codvar)), NS(rs.Value(opz)), rs.Value(descr)};
}

void CLSMG_SETUPVARIANTI::AggiungiRigaTipo1(const DatiListino& listino, const DatiOpzione& opz) {
    auto& c = *listini_esistenti_;
    const auto& ix = c.indici;
    auto& riga = c.riga;
    riga[ix.m_numlist] = listino.numlist;
    if (!Inverti()) {
        riga[ix.m_codvar1] = Variant(CodVariante1());
        riga[ix.m_opz1] = opz.opzione;
        riga[ix.m_descr1] = opz.descr;
    } else {
        riga[ix.m_codvar2] = Variant(CodVariante2());
        riga[ix.m_opz2] = opz.opzione;
        riga[ix.m_descr2] = opz.descr;
    }
    riga[ix.m_valuta] = listino.valuta;
    riga[ix.m_provper] = listino.provper;
    riga[ix.m_ditta] = c.ditta;
    riga[ix.m_decor] = Variant(int16_t{0});
    riga[ix.m_vendacq] = c.vendacq;
    riga[ix.m_tipolis] = Variant(int16_t{0});
    riga[ix.m_codart] = c.articolo;
    // With Inverti the row's option belongs to the second-level variant. When the article keeps that
    // level beside the first one (only the reading configuration made the grid single-level), the option
    // goes into the second-level segment; written into the first-level one it would store a size where
    // the code holds a colour. When it is the article's only grid level (numbered 1), it goes there.
    const std::string opzione = kv::CStr(opz.opzione);
    bool secondo_livello = false;
    if (Inverti())
        for (const auto& l : Livelli())
            if (l && l->IsLivelloGriglia && l->LivelloGrigla > 1) secondo_livello = true;
    riga[ix.m_opzione] = Variant(secondo_livello ? OpzioneCalcolata("", opzione) : OpzioneCalcolata(opzione, ""));
    riga[ix.m_dataini] = listino.data_ini;
    riga[ix.m_datafine] = listino.data_fine;
    c.chiave = kv::CStr(NS(riga[ix.m_opzione])) + listino.chiave;
    AggiungiRiga();
}

void CLSMG_SETUPVARIANTI::AggiungiRigaTipo2(const DatiListino& listino, const DatiOpzione& opz1,
                                            const DatiOpzione& opz2, const std::string& codice_opzione) {
    auto& c = *listini_esistenti_;
    const auto& ix = c.indici;
    auto& riga = c.riga;
    // The row's ordinal in the matrix, as AbsolutePosition gives it once the row is added.
    riga[ix.m_id] = Variant(static_cast<long long>(Matrice(recordset_).RecordCount()) + 1);
    riga[ix.m_numlist] = listino.numlist;
    riga[ix.m_codvar1] = opz1.codvar;
    riga[ix.m_opz1] = opz1.opzione;
    riga[ix.m_descr1] = opz1.descr;
    riga[ix.m_codvar2] = opz2.codvar;
    riga[ix.m_opz2] = opz2.opzione;
    riga[ix.m_descr2] = opz2.descr;
    riga[ix.m_valuta] = listino.valuta;
    riga[ix.m_ditta] = c.ditta;
    riga[ix.m_decor] = Variant(int16_t{0});
    riga[ix.m_vendacq] = c.vendacq;
    riga[ix.m_tipolis] = Variant(int16_t{0});
    riga[ix.m_codart] = c.articolo;
    riga[ix.m_opzione] = Variant(codice_opzione);
    riga[ix.m_dataini] = listino.data_ini;
    riga[ix.m_datafine] = listino.data_fine;
    riga[ix.m_provper] = listino.provper;
    // The code without its trailing blanks, as every key has it; made in the text the previous row's
    // key was made in: a load makes thousands of them.
    const std::size_t fine = codice_opzione.find_last_not_of(' ');
    c.chiave.assign(codice_opzione, 0, fine == std::string::npos ? 0 : fine + 1).append(listino.chiave);
    AggiungiRiga();
}

namespace {

// The stored columns a matrix row takes over from its one stored row, in the order they are read and
// copied; the key columns are read after them.
enum Copiato : std::size_t {
    kFlgList, kPrezzo, kSc1, kSc2, kSc3, kSc4, kSc5, kSc6, kScImp, kMag1, kMag2, kMagImp, kPerRicDelta,
    kIndRicalPr, kIndArrot, kScaglMg02, kProvPer, kFlgProvv, kProvImp, kProvvScPa10, kDataCreaz, kDataUltAgg,
    kFlgVariato, kIndTipoVar, kDataStLis, kNumPagSt, kBvmBase, kBvmVar, kBvmMolt, kFlgPerson, kLiberoVal,
    kIdMediaCg99, kIndUm, kNote, kCopiati
};
const char* const kNomiCopiati[kCopiati] = {
    "LI10_FLGLIST",    "LI10_PREZZO",       "LI10_SC1PER",     "LI10_SC2PER",       "LI10_SC3PER",
    "LI10_SC4PER",     "LI10_SC5PER",       "LI10_SC6PER",     "LI10_SCIMP",        "LI10_MAG1PER",
    "LI10_MAG2PER",    "LI10_MAGIMP",       "LI10_PERRICDELTA", "LI10_INDRICALPR",  "LI10_INDARROT",
    "LI10_SCAGL_MG02", "LI10_PROVPER",      "LI10_FLGPROVV",   "LI10_PROVIMP",      "LI10_PROVVSC_PA10",
    "LI10_DATACREAZ",  "LI10_DATAULTAGG",   "LI10_FLGVARIATO", "LI10_INDTIPOVAR",   "LI10_DATASTLIS",
    "LI10_NUMPAGST",   "LI10_BVMBASE",      "LI10_BVMVAR",     "LI10_BVMMOLT",      "LI10_FLGPERSON",
    "LI10_LIBEROVAL",  "LI10_IDMEDIA_CG99", "LI10_INDUM",      "LI10_NOTE"};
enum ColonnaChiave : int { kOpzione = kCopiati, kNumList, kDataIni, kDataFine };

// The copied columns a matrix row takes over exactly as they are stored; the others are worked out
// from the stored row (MettiDerivati).
constexpr Copiato kDiretti[] = {kFlgList, kPrezzo, kSc1, kSc2, kSc3, kSc4, kSc5, kSc6, kScImp, kMag1, kMag2, kMagImp,
                                kPerRicDelta, kIndRicalPr, kIndArrot, kProvImp, kFlgVariato, kIndTipoVar,
                                kDataStLis, kNumPagSt, kBvmBase, kBvmVar, kBvmMolt, kFlgPerson, kLiberoVal,
                                kIdMediaCg99, kIndUm, kNote};
constexpr Copiato kDerivati[] = {kScaglMg02, kProvPer, kProvvScPa10, kDataCreaz, kDataUltAgg};
static_assert(std::size(kDiretti) + std::size(kDerivati) + 1 == kCopiati);  // and kFlgProvv, from kProvPer
// As column positions of a read of stored rows (the copied columns come first, in Copiato's order).
constexpr auto kColonneDirette = [] {
    std::array<int, std::size(kDiretti)> a{};
    for (std::size_t i = 0; i < a.size(); ++i) a[i] = static_cast<int>(kDiretti[i]);
    return a;
}();

// The compared columns among the copied ones, in the order of kNomiConfrontati.
constexpr Copiato kConfrontati[kColonneConfrontate] = {
    kPrezzo,    kSc1,        kSc2,         kSc3,      kSc4,     kSc5,       kSc6,     kScImp,  kMag1,
    kMag2,      kMagImp,     kPerRicDelta, kIndRicalPr, kIndArrot, kScaglMg02, kProvPer, kProvImp, kProvvScPa10,
    kDataStLis, kNumPagSt,   kBvmBase,     kBvmVar,   kBvmMolt, kLiberoVal, kIdMediaCg99, kNote};

}  // namespace

const char* const kNomiConfrontati[kColonneConfrontate] = {
    "LI10_PREZZO",     "LI10_SC1PER",       "LI10_SC2PER",  "LI10_SC3PER",     "LI10_SC4PER",  "LI10_SC5PER",
    "LI10_SC6PER",     "LI10_SCIMP",        "LI10_MAG1PER", "LI10_MAG2PER",    "LI10_MAGIMP",  "LI10_PERRICDELTA",
    "LI10_INDRICALPR", "LI10_INDARROT",     "LI10_SCAGL_MG02", "LI10_PROVPER", "LI10_PROVIMP", "LI10_PROVVSC_PA10",
    "LI10_DATASTLIS",  "LI10_NUMPAGST",     "LI10_BVMBASE", "LI10_BVMVAR",     "LI10_BVMMOLT", "LI10_LIBEROVAL",
    "LI10_IDMEDIA_CG99", "LI10_NOTE"};

void CLSMG_SETUPVARIANTI::AggiungiRiga() {
    auto& c = *listini_esistenti_;
    // What the row took from its stored row goes back to Null whatever happens, ready for the next
    // row. The rest (list, options, key) is written anew for every row a loader adds, mostly with the
    // values the row before had: left in place, a text is written over in the room it has.
    struct Svuota {
        StoredPriceRows& c;
        ~Svuota() {
            for (int campo : c.matrix_fields) c.riga[static_cast<std::size_t>(campo)] = Variant::Null();
            if (c.indici.m_netto >= 0) c.riga[static_cast<std::size_t>(c.indici.m_netto)] = Variant::Null();
        }
    } svuota{c};
    const bool copia = CaricaDatiListino(c.riga);
    auto& matrice = Matrice(recordset_);
    if (copia) {
        // The stored row's prices, discounts and own data go into the new row as the matrix stores
        // them, without a value being made of each; the net price is worked out from the row then.
        if (c.campi_diretti.empty())
            for (int k : kColonneDirette) c.campi_diretti.push_back(c.matrix_fields[static_cast<std::size_t>(k)]);
        matrice.AddNew(c.riga, *c.rows, kColonneDirette.data(), c.campi_diretti.data(), kColonneDirette.size());
        if (c.indici.m_netto >= 0) {
            AggiornaPrezzoNetto();
            matrice.Update();
        }
    } else {
        if (c.indici.m_netto >= 0) c.riga[c.indici.m_netto] = PrezzoNettoRiga(c.riga);
        matrice.AddNew(c.riga);
    }
    // The row's compared values as the matrix holds them, kept now: a save tells by them whether the row
    // was edited here. The compared columns are the copied ones from the gross price on.
    if (!c.originali) {
        c.originali = std::make_shared<OriginaliMatrice>();
        c.originali->gruppo = GruppoDi(matrice);
        c.originali->Riserva(c.righe_attese);
    }
    RegistraRigaCaricata(c, matrice, copia);
}

void RegistraRigaCaricata(StoredPriceRows& c, kv::ado::Recordset& matrice, bool copiata) {
    // The values as the matrix holds them: a value it holds as given (nothing, a Double in a Double
    // field, a date in a date field) is taken from the row as it was added, a decimal going into a
    // Double field as the matrix converts it, anything else (a text the field pads) read back from
    // the matrix.
    if (c.campi_confrontati.empty()) {
        for (int i = 0; i < kColonneConfrontate; ++i) {
            const int campo = c.matrix_fields[kConfrontati[i]];
            c.campi_confrontati.push_back(campo);
            c.tipi_confrontati.push_back(matrice.FieldInfos()[static_cast<std::size_t>(campo)].type);
        }
    }
    if (copiata) {
        // Most of them were copied cell by cell: they are read back, together, the row found once; as
        // plain numbers, texts and blanks when they all are, as values otherwise.
        std::array<kv::ado::Recordset::Scalar, kColonneConfrontate> scalari;
        if (matrice.Scalars(c.campi_confrontati.data(), scalari.size(), scalari.data())) {
            c.originali->RegistraScalari(matrice.BookmarkNumber(), scalari.data());
            return;
        }
        std::array<Variant, kColonneConfrontate> valori;
        matrice.Values(c.campi_confrontati.data(), valori.size(), valori.data());
        c.originali->Registra(matrice.BookmarkNumber(), [&](int i) -> const Variant& { return valori[i]; });
        return;
    }
    static const Variant niente = Variant::Null();
    std::array<Variant, kColonneConfrontate> convertiti;
    c.originali->Registra(matrice.BookmarkNumber(), [&](int i) -> const Variant& {
        const auto k = static_cast<std::size_t>(i);
        const Variant& v = c.riga[static_cast<std::size_t>(c.campi_confrontati[k])];
        if (v.IsNull() || v.IsEmpty()) return niente;
        const kv::ado::DataTypeEnum tipo = c.tipi_confrontati[k];
        if (tipo == kv::ado::adDouble) {
            if (v.TryGet<double>()) return v;
            if (const kv::Decimal* d = v.TryGet<kv::Decimal>()) return convertiti[k] = Variant(d->ToDouble());
        } else if (tipo == kv::ado::adDate && v.TryGet<kv::Date>()) {
            return v;
        }
        return convertiti[k] = matrice.Value(c.campi_confrontati[k]);
    });
}

TipoConfrontato TipoDi(int colonna) {
    switch (kConfrontati[colonna]) {
        case kProvvScPa10:
        case kNote: return TipoConfrontato::kTesto;
        case kDataStLis: return TipoConfrontato::kData;
        default: return TipoConfrontato::kNumero;
    }
}

std::shared_ptr<StoredPriceRows> LeggiListiniArticolo(const kv::ado::ConnectionPtr& connection,
                                                      const std::vector<Variant>& gruppo,
                                                      const std::vector<std::string>* opzioni, bool solo_confrontati) {
    // The part of the key every row of the article and kind shares is bound; the rest is matched in
    // memory. Only the columns a matrix row may take over and the rest of the key are read, and the
    // rows stay in the result: a row is read from it when a matrix row or a save needs it.
    std::string sql = "SELECT ";
    if (solo_confrontati) {
        for (const char* name : kNomiConfrontati) sql.append(name).append(", ");
    } else {
        for (const char* name : kNomiCopiati) sql.append(name).append(", ");
    }
    sql += "LI10_OPZIONE_MG5E, LI10_NUMLIST, LI10_DATAINIZIOVAL, LI10_DATAFINEVAL FROM LI10_LISTARTIC"
           " WHERE LI10_DITTA_CG18 = ? AND LI10_FLGUSODECOR = ? AND LI10_FLGVENDACQ = ? AND LI10_INDTIPOLIS = ?"
           " AND LI10_CODART_MG66 = ? AND LI10_DEPOS_MG58 = ''";
    if (opzioni) {
        sql += " AND LI10_OPZIONE_MG5E IN (";
        for (std::size_t i = 0; i < opzioni->size(); ++i) sql += i == 0 ? "?" : ", ?";
        sql += ")";
    }
    auto cmd = kv::ado::Command::Create();
    cmd->SetActiveConnection(connection);
    cmd->SetCommandText(sql);
    auto& p = cmd->GetParameters();
    for (const auto& v : gruppo) p.Append(cmd->CreateParameter({}, kv::ado::adEmpty, kv::ado::adParamInput, 0, v));
    if (opzioni)
        for (const auto& o : *opzioni)
            p.Append(cmd->CreateParameter({}, kv::ado::adEmpty, kv::ado::adParamInput, 0, Variant(o)));
    auto stored = std::make_shared<StoredPriceRows>();
    stored->solo_confrontati = solo_confrontati;
    stored->rows = cmd->Execute();
    auto& rs = *stored->rows;
    const int k = stored->PrimaColonnaChiave();
    const int chiave[] = {k, k + 1, k + 2, k + 3};
    std::array<Variant, 4> v;
    std::string_view opzione;
    std::array<kv::ado::Recordset::Scalar, 3> resto;
    std::string testo;
    stored->by_key.reserve(static_cast<std::size_t>(std::max(0L, rs.RecordCount())));
    long posizione = 0;
    for (; !rs.IsEOF(); rs.MoveNext()) {  // a fresh result stands on its first row
        // As ChiaveListino makes it, read from the row's cells when they hold what a stored key holds
        // (text, a whole list number, two dates), in the text the row before's key was made in.
        using S = kv::ado::Recordset::Scalar;
        if (rs.Texts(chiave, 1, &opzione) && rs.Scalars(chiave + 1, resto.size(), resto.data()) &&
            resto[0].kind == S::kNumber && NumeroIntero(resto[0].number) && resto[1].kind == S::kDate &&
            resto[2].kind == S::kDate) {
            testo.assign(opzione);
            AggiungiResto(testo, resto[0].number, kv::Date(resto[1].number), kv::Date(resto[2].number));
        } else {
            rs.Values(chiave, v.size(), v.data());
            testo = ChiaveListino(v[0], v[1], v[2], v[3]);
        }
        stored->by_key[testo].push_back(++posizione);
    }
    return stored;
}

int StoredPriceRows::PrimaColonnaChiave() const { return solo_confrontati ? kColonneConfrontate : kOpzione; }

OriginaliMatrice::Valori ValoriConfrontatiMemorizzati(const StoredPriceRows& letti, long posizione) {
    OriginaliMatrice::Valori out(kColonneConfrontate);
    ValoriConfrontatiMemorizzati(letti, posizione, out);
    return out;
}

void ValoriConfrontatiMemorizzati(const StoredPriceRows& letti, long posizione, OriginaliMatrice::Valori& out) {
    auto& rs = *letti.rows;
    rs.SetAbsolutePosition(posizione);
    // Read together: a save of thousands of rows reads them twice a row.
    static const std::array<int, kColonneConfrontate> tra_copiati = [] {
        std::array<int, kColonneConfrontate> a{};
        for (int i = 0; i < kColonneConfrontate; ++i) a[static_cast<std::size_t>(i)] = static_cast<int>(kConfrontati[i]);
        return a;
    }();
    static const std::array<int, kColonneConfrontate> soli = [] {
        std::array<int, kColonneConfrontate> a{};
        for (int i = 0; i < kColonneConfrontate; ++i) a[static_cast<std::size_t>(i)] = i;
        return a;
    }();
    const auto& indici = letti.solo_confrontati ? soli : tra_copiati;
    out.resize(kColonneConfrontate);
    rs.Values(indici.data(), indici.size(), out.data());
}

std::shared_ptr<StoredPriceRows> CLSMG_SETUPVARIANTI::LeggiListini(const std::vector<Variant>& gruppo,
                                                                    const std::vector<std::string>* opzioni,
                                                                    bool solo_confrontati) {
    auto stored = LeggiListiniArticolo(core_.ADOConnection, gruppo, opzioni, solo_confrontati);
    stored->oggi = Oggi();
    if (solo_confrontati) return stored;
    auto& matrice = Matrice(recordset_);
    for (const char* name : kNomiCopiati) stored->matrix_fields.push_back(matrice.GetFields().Item(name).Index());
    return stored;
}

kv::ado::RecordsetPtr CLSMG_SETUPVARIANTI::RigheMemorizzate(const kv::Date* inizio, const kv::Date* fine) {
    // Only the columns a new period takes, and only the period asked for: on an article of thousands of
    // rows the fetch is most of the work.
    // The rows of one period leave their dates out: the query chose them.
    const bool periodo = inizio && fine;
    std::string sql = "SELECT LI10_NUMLIST, LI10_OPZIONE_MG5E, ";
    if (!periodo) sql += "LI10_DATAINIZIOVAL, LI10_DATAFINEVAL, ";
    sql += "LI10_PREZZO, LI10_SC1PER, LI10_SC2PER, LI10_SC3PER, LI10_SC4PER, LI10_SC5PER, LI10_SC6PER, LI10_SCIMP,"
           " LI10_MAG1PER, LI10_MAG2PER, LI10_MAGIMP, LI10_PERRICDELTA FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = ?"
           " AND LI10_FLGUSODECOR = 0 AND LI10_FLGVENDACQ = ? AND LI10_INDTIPOLIS = 0 AND LI10_CODART_MG66 = ?"
           " AND LI10_DEPOS_MG58 = ''";
    if (periodo) sql += " AND LI10_DATAINIZIOVAL = ? AND LI10_DATAFINEVAL = ?";
    auto cmd = kv::ado::Command::Create();
    cmd->SetActiveConnection(core_.ADOConnection);
    cmd->SetCommandText(sql);
    auto& p = cmd->GetParameters();
    auto aggiungi = [&](const Variant& v) {
        p.Append(cmd->CreateParameter({}, kv::ado::adEmpty, kv::ado::adParamInput, 0, v));
    };
    aggiungi(Variant(core_.CompanyCode()));
    aggiungi(Variant(static_cast<int32_t>(m_eSalPur)));
    aggiungi(Variant(kv::RTrim(CodArticolo())));
    if (periodo) {
        aggiungi(Variant(*inizio));
        aggiungi(Variant(*fine));
    }
    return cmd->Execute();
}

void CLSMG_SETUPVARIANTI::CaricaListiniEsistenti() {
    auto stored = LeggiListini({Variant(core_.CompanyCode()), Variant(int32_t{0}), Variant(static_cast<int32_t>(m_eSalPur)),
                                Variant(int32_t{0}), Variant(kv::RTrim(CodArticolo()))});
    auto& matrice = Matrice(recordset_);
    // Every field a loader names must exist (3265 otherwise, as a lookup by name would raise).
    auto in = [](kv::ado::Recordset& r, const char* name) { return r.GetFields().Item(name).Index(); };
    auto& ix = stored->indici;
    ix = {in(matrice, "ID"), in(matrice, "LI10_NUMLIST"), in(matrice, "BLT_CODICEVAR1"), in(matrice, "BLT_OPZIONE1"),
          in(matrice, "BLT_DESCR1"), in(matrice, "BLT_CODICEVAR2"), in(matrice, "BLT_OPZIONE2"),
          in(matrice, "BLT_DESCR2"), in(matrice, "BLT_VALUTA"), in(matrice, "LI10_PROVPER"),
          in(matrice, "LI10_DITTA_CG18"), in(matrice, "LI10_FLGUSODECOR"), in(matrice, "LI10_FLGVENDACQ"),
          in(matrice, "LI10_INDTIPOLIS"), in(matrice, "LI10_CODART_MG66"), in(matrice, "LI10_OPZIONE_MG5E"),
          in(matrice, "LI10_DATAINIZIOVAL"), in(matrice, "LI10_DATAFINEVAL"),
          matrice.GetFields().IndexOf("BLT_PREZZONETTO"), -1, -1, -1, -1, -1, -1};
    if (rsListini) {
        ix.l_numlist = in(*rsListini, "MG44_NUMLIST");
        ix.l_valuta = in(*rsListini, "MG44_VALUTA_CG08");
        ix.l_percprov = in(*rsListini, "MG44_PERCPROV");
    }
    if (rsOpzioni1) {
        ix.o_codvar = in(*rsOpzioni1, "MG5E_CODICEVAR_MG5F");
        ix.o_opz = in(*rsOpzioni1, "MG5E_OPZIONE");
        ix.o_descr = in(*rsOpzioni1, "MG5E_DESCR");
    }
    stored->ditta = Variant(core_.CompanyCode());
    stored->vendacq = Variant(static_cast<int16_t>(m_eSalPur));
    stored->articolo = Variant(CodArticolo());
    stored->riga.assign(matrice.FieldInfos().size(), Variant::Null());
    listini_esistenti_ = std::move(stored);
}

bool CLSMG_SETUPVARIANTI::CaricaDatiListino(std::vector<Variant>& riga) {
    // Every row a loader adds has the load's article, kind and company, so only the rest of the key
    // needs matching.
    return CopiaDerivati(*listini_esistenti_, listini_esistenti_->chiave, riga);
}

namespace {

// Whether NS makes the empty text of a value: nothing, or blanks. A date or a number always reads as
// something, and is not written out to find that out.
bool NienteTesto(const Variant& v) {
    if (kv::IsBlank(v)) return true;
    if (v.IsString()) return v.StringValue().find_first_not_of(' ') == std::string::npos;
    if (v.TryGet<kv::Date>() || v.TryGet<double>() || v.TryGet<kv::Decimal>()) return false;
    return kv::CStr(NS(v)).empty();
}

}  // namespace

namespace {

// The columns of a stored row a matrix row does not take as they are: the bracket as a number, the
// commission flag from its percentage, the conditions as text, and the creation and update dates
// (today when the row has none). `st` stands on the stored row.
void MettiDerivati(kv::ado::Recordset& st, const std::vector<int>& campo, const kv::Date& oggi,
                   std::vector<Variant>& riga) {
    static constexpr auto kIndici = [] {
        std::array<int, std::size(kDerivati)> a{};
        for (std::size_t i = 0; i < a.size(); ++i) a[i] = static_cast<int>(kDerivati[i]);
        return a;
    }();
    std::array<Variant, std::size(kDerivati)> letti;
    st.Values(kIndici.data(), letti.size(), letti.data());
    auto set = [&](Copiato c, Variant v) { riga[static_cast<std::size_t>(campo[c])] = std::move(v); };
    set(kScaglMg02, NZ(letti[0]));
    const Variant& provper = letti[1];
    set(kFlgProvv, Variant(kv::CDbl(NZ(provper)) != 0 ? int16_t{1} : int16_t{0}));
    set(kProvPer, provper);
    set(kProvvScPa10, NS(letti[2]));
    for (std::size_t i : {std::size_t{3}, std::size_t{4}}) {
        Variant& v = letti[i];
        set(kDerivati[i], NienteTesto(v) ? Variant(oggi) : std::move(v));
    }
}

// The same key stored more than once: the row gets the defaults of a new stored row, its prices stay
// as they are.
void MettiPredefiniti(const std::vector<int>& campo, const kv::Date& oggi, std::vector<Variant>& riga) {
    auto set = [&](Copiato c, Variant v) { riga[static_cast<std::size_t>(campo[c])] = std::move(v); };
    const Variant zero(int16_t{0});
    const Variant one(int16_t{1});
    set(kFlgList, one);
    set(kIndRicalPr, zero);
    set(kIndArrot, zero);
    set(kScaglMg02, zero);
    set(kFlgProvv, zero);
    set(kProvPer, zero);
    set(kProvImp, zero);
    set(kProvvScPa10, zero);
    set(kDataCreaz, Variant(oggi));
    set(kDataUltAgg, Variant(oggi));
    set(kFlgVariato, one);
    for (Copiato c : {kIndTipoVar, kNumPagSt, kBvmBase, kBvmVar, kBvmMolt, kFlgPerson, kLiberoVal, kIdMediaCg99,
                      kIndUm, kNote})
        set(c, zero);
}

}  // namespace

void CopiaListinoMemorizzato(const StoredPriceRows& esistenti, const std::string& chiave, std::vector<Variant>& riga) {
    if (!CopiaDerivati(esistenti, chiave, riga)) return;
    // The columns taken over as they are, read together, the row found once.
    std::array<Variant, std::size(kDiretti)> letti;
    auto& st = *esistenti.rows;
    st.Values(kColonneDirette.data(), letti.size(), letti.data());
    for (std::size_t i = 0; i < letti.size(); ++i)
        riga[static_cast<std::size_t>(esistenti.matrix_fields[kDiretti[i]])] = std::move(letti[i]);
}

bool CopiaDerivati(const StoredPriceRows& esistenti, const std::string& chiave, std::vector<Variant>& riga) {
    const auto it = esistenti.by_key.find(chiave);
    if (it == esistenti.by_key.end()) return false;
    if (it->second.size() != 1) {
        MettiPredefiniti(esistenti.matrix_fields, esistenti.oggi, riga);
        return false;
    }
    auto& st = *esistenti.rows;
    st.SetAbsolutePosition(it->second.front());
    MettiDerivati(st, esistenti.matrix_fields, esistenti.oggi, riga);
    return true;
}

// ---- Dates

std::string CLSMG_SETUPVARIANTI::PropDataInizio(const RecordsetPtr& rsList) {
    const kv::Date oggi = Oggi();
    switch (kv::CLng(NZ(rsList->Value("MG44_INDPROPDATAINI")))) {
        case 0: return DataIni().empty() ? oggi.ToString() : DataIni();
        case 1: return FirstOfMonth(oggi).ToString();
        case 2: return kv::Date::FromYmd(oggi.Year(), 1, 1).ToString();
        case 3: return oggi.ToString();
        case 4: return kv::CStr(rsList->Value("MG44_PROPDATAINI"));
        default: return {};
    }
}

std::string CLSMG_SETUPVARIANTI::PropDataFine(const RecordsetPtr& rsList) {
    const kv::Date oggi = Oggi();
    switch (kv::CLng(NZ(rsList->Value("MG44_INDPROPDATAFINE")))) {
        case 0: return DataFin().empty() ? oggi.ToString() : DataFin();
        case 1: return FirstOfMonth(oggi).AddMonths(1).AddDays(-1).ToString();
        case 2: return kv::Date::FromYmd(oggi.Year(), 12, 31).ToString();
        case 3: return kv::Date::FromYmd(2099, 12, 31).ToString();
        case 4: return kv::CStr(rsList->Value("MG44_PROPDATAFINE"));
        default: return {};
    }
}

// ---- Filter, clear, count

void CLSMG_SETUPVARIANTI::ReFilterVarianti() {
    schema::Trap(core_, [&] {
        Griglia(grid_).SetEnabled(true);
        Griglia(grid_).SetDataSource(nullptr);
        Matrice(recordset_).SetFilter(Variant(int32_t{kv::ado::adFilterNone}));
        // The codes are put between apostrophes with theirs doubled, so an option holding "'" filters.
        std::string filtro;
        if (Inverti()) {
            filtro = "BLT_CODICEVAR1='" + RaddoppiaApici(kv::CStr(NS(Variant(CodVariante1())))) + "'" +
                     " AND BLT_OPZIONE1='" + RaddoppiaApici(kv::CStr(NS(Variant(ValVariante1())))) + "'";
        } else {
            filtro = "BLT_CODICEVAR2='" + RaddoppiaApici(kv::CStr(NS(Variant(CodVariante2())))) + "'" +
                     " AND BLT_OPZIONE2='" + RaddoppiaApici(kv::CStr(NS(Variant(ValVariante2())))) + "'";
        }
        Matrice(recordset_).SetFilter(Variant(filtro));
        if (core_.ActiveInterface && core_.ActiveInterface->ClsGlobal()) core_.ActiveInterface->ClsGlobal()->DoEvents();
        Griglia(grid_).SetDataSource(recordset_);
    });
}

void CLSMG_SETUPVARIANTI::ClearVarianti() {
    schema::Trap(core_, [&] {
        core_.State = schema::kStateOk;
        Griglia(grid_).SetDataSource(nullptr);
        auto& rs = Matrice(recordset_);
        if (Matrice(recordset_).Clone()->RecordCount() > 0) {
            rs.SetFilter(Variant(int32_t{kv::ado::adFilterNone}));
            rs.MoveFirst();
            const auto& fields = rs.FieldInfos();
            auto global = core_.ActiveInterface ? core_.ActiveInterface->ClsGlobal() : nullptr;
            // What each field becomes is worked out once: a text field a blank, any other a 0. A field that
            // holds that already is not written again, so blanking a matrix that is blank (a new key after
            // "Nuovo") reads its rows and writes nothing.
            struct Svuota {
                int indice;
                bool testo;
                Variant bianco;  // " " as the text field stores it
                std::string_view bianco_senza;  // that text less the blanks that end it
                std::size_t bianco_spazi = 0;   // and how many they are
            };
            std::vector<Svuota> piano;
            for (std::size_t i = 6; i < fields.size(); ++i) {
                const auto& f = fields[i];
                if (kv::EqualsNoCase(f.name, "BLT_VALUTA") || kv::EqualsNoCase(f.name, "LI10_NUMLIST")) continue;
                const int indice = static_cast<int>(i);
                if (IsText(f.type))
                    piano.push_back({indice, true, rs.ConvertValue(indice, Variant(" "))});
                else
                    piano.push_back({indice, false, Variant()});
            }
            std::vector<int> indici;
            for (Svuota& c : piano) {  // the plan is made: the views into its values stay where they are
                indici.push_back(c.indice);
                if (!c.testo || !c.bianco.IsString()) continue;
                const std::string_view b = c.bianco.StringValue();
                const std::size_t fine = b.find_last_not_of(' ');
                c.bianco_senza = b.substr(0, fine == std::string_view::npos ? 0 : fine + 1);
                c.bianco_spazi = b.size() - c.bianco_senza.size();
            }
            const Variant zero(int16_t{0});
            // Whether a field holds what it becomes, from its value as a Variant.
            auto gia_svuotato = [&](const Svuota& c, const Variant& v) {
                if (c.testo) return v.IsString() && c.bianco.IsString() && v.StringValue() == c.bianco.StringValue();
                if (const double* d = v.TryGet<double>()) return *d == 0;
                return v.IsNull() || kv::IsTrue(kv::Eq(v, zero));
            };
            // The same from the field read as plain data, without a Variant a field (a matrix has
            // thousands of rows of dozens of fields): a blank text is the text it becomes when its
            // blanks are as many; nothing stays nothing, a number or a date (by its serial, as it compares
            // with a number) a 0. Anything else is read as a value.
            using S = kv::ado::Recordset::Scalar;
            auto svuotato = [&](const Svuota& c, const S& s) -> std::optional<bool> {
                if (c.testo) {
                    if (s.kind != S::kText || !c.bianco.IsString()) return std::nullopt;
                    return s.text == c.bianco_senza && s.blanks == c.bianco_spazi;
                }
                if (s.kind == S::kBlank) return true;
                if (s.kind == S::kNumber || s.kind == S::kDate) return s.number == 0;
                return std::nullopt;
            };
            std::vector<S> letti(piano.size());
            std::vector<std::size_t> da_scrivere;
            for (; !rs.IsEOF(); rs.MoveNext()) {
                // What to write is settled before anything is written: a write changes the row read.
                da_scrivere.clear();
                const bool semplici = rs.Scalars(indici.data(), indici.size(), letti.data());
                for (std::size_t k = 0; k < piano.size(); ++k) {
                    std::optional<bool> fatto;
                    if (semplici) fatto = svuotato(piano[k], letti[k]);
                    if (!fatto) fatto = gia_svuotato(piano[k], rs.Value(piano[k].indice));
                    if (!*fatto) da_scrivere.push_back(k);
                }
                for (std::size_t k : da_scrivere) rs.SetValue(piano[k].indice, piano[k].testo ? Variant(" ") : zero);
                rs.Update();
                if (global) global->DoEvents();
            }
            rs.MoveFirst();
        }
        m_iTipoGriglia = GetIndTipoGriglia();
        if (m_iTipoGriglia == 1) Griglia(grid_).SetDataSource(recordset_);
        bCaricato = false;
    });
}

void CLSMG_SETUPVARIANTI::SvuotaRecordset() {
    // The rows go, and with them what they were loaded with.
    NettiIgnoti();
    originali_.reset();
    in_sospeso_.reset();
    conflitti_.clear();
    letti_conflitti_.reset();
    try {
        auto& rs = Matrice(recordset_);
        const Variant filtro = rs.Filter();
        rs.SetFilter(Variant(int32_t{kv::ado::adFilterNone}));
        // Every row, each as deleting it alone would; the deletions are accepted at once, so the rows of
        // the earlier load are gone for good and give back their memory: nothing brings them back, and
        // a window that loads article after article all day would otherwise hold every load it made.
        rs.Delete(kv::ado::adAffectGroup);
        rs.UpdateBatch(kv::ado::adAffectAll);
        rs.SetFilter(filtro);
    } catch (const kv::Error& e) {
        try {
            MsgBox(core_.ActiveInterface, e.Description(), 0, "");
        } catch (const kv::Error&) {
            // The host could not show it either; the loader goes on with what the matrix holds.
        }
    }
}

long CLSMG_SETUPVARIANTI::RecordCount() {
    long n = 0;
    schema::Trap(core_, [&] {
        auto& rs = Matrice(recordset_);
        const Variant filtro = rs.Filter();
        rs.SetFilter(Variant(int32_t{kv::ado::adFilterNone}));
        n = rs.RecordCount();
        rs.SetFilter(filtro);
    });
    return n;
}

}  // namespace qmx
