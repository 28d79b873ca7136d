#pragma once
// CLSMG_SETUPVARIANTI: the driver of the variant price matrix of one kind of list (SalPur =
// VarPurchase or VarSale). It fills the matrix recordset it shares with the price-list driver and the
// grid with one row per list taking part and variant option (or pair of options), merges the stored
// price rows, keeps net prices up to date, copies prices, builds the grid-type-4 pivot, saves, deletes
// and cancels, and reports the progress of long operations.
//
// The driver never raises: an error inside a public operation sets State = 99 and the operation
// returns what it had computed. State 1 to 5 with a fixed Message report a missing property.
//
// Sources, by concern (each section below names its file):
//   clsmg_setupvarianti_state.cpp   properties, checks, grid type, option code segments
//   clsmg_setupvarianti_setup.cpp   SetupGrid
//   clsmg_setupvarianti_net.cpp     net prices
//   clsmg_setupvarianti_status.cpp  operation status, field locking
//   clsmg_setupvarianti_load.cpp    matrix loading and filtering
//   clsmg_setupvarianti_pivot.cpp   grid-type-4 pivot
//   clsmg_setupvarianti_copy.cpp    copy price to row / to all rows
//   clsmg_setupvarianti_save.cpp    save, delete, cancel
//   clsmg_setupvarianti_conflicts.cpp  rows another desktop changed since the load

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "matrix/price_history.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/controls/data_grid.h"
#include "platform/controls/operation_bar.h"
#include "platform/services/event.h"
#include "platform/services/price_calculation.h"
#include "platform/variant/variant.h"
#include "schema/price_list_parameters.h"
#include "variants/cinfolivello.h"
#include "variants/option_code.h"
#include "variants/variant_configuration.h"

namespace kv::services {
class Cinterface;
class PriceCalculation;
}  // namespace kv::services

namespace qmx {

struct StoredPriceRows;   // stored_price_rows.h
struct OriginaliMatrice;  // stored_price_rows.h
struct DatiListino;
struct DatiOpzione;

// Kind of price list; the value is written into SQL as is (MG44_FLGVENACQ, LI10_FLGVENDACQ).
enum KvEnumVarSalPur : int16_t { VarVoid = -1, VarSale = 0, VarPurchase = 1 };

// Where the net price's thirteen fields (currency, the eleven figures, the net price) stand in a
// matrix's rows, found by name once for the rows they were found in (a matrix and its clones share
// them); `righe` is 0 while not found.
struct PosizioniPrezzoNetto {
    std::array<int, 13> indici{};
    uint64_t righe = 0;
};

class CLSMG_SETUPVARIANTI : public kv::Object {
public:
    CLSMG_SETUPVARIANTI();
    ~CLSMG_SETUPVARIANTI() override;
    CLSMG_SETUPVARIANTI(const CLSMG_SETUPVARIANTI&) = delete;
    CLSMG_SETUPVARIANTI& operator=(const CLSMG_SETUPVARIANTI&) = delete;

    // ======== Stored properties (clsmg_setupvarianti_state.cpp) ========
    std::shared_ptr<kv::services::Cinterface> ActiveInterface() const { return core_.ActiveInterface; }
    // Also hands the host's global services to the price-calculation object (made on the first call
    // that brings them).
    void SetActiveInterface(std::shared_ptr<kv::services::Cinterface> value);
    kv::ado::ConnectionPtr ADOConnection() const { return core_.ADOConnection; }
    void SetADOConnection(kv::ado::ConnectionPtr value) { core_.ADOConnection = std::move(value); }
    KvEnumVarSalPur SalPur() const { return m_eSalPur; }
    void SetSalPur(KvEnumVarSalPur value) { m_eSalPur = value; }
    int16_t State() const { return core_.State; }
    void SetState(int16_t value) {
        core_.State = value;
        core_.UltimoErrore.reset();
    }
    const std::string& Message() const { return core_.Message; }
    void SetMessage(std::string value) { core_.Message = std::move(value); }
    // The error the last operation that set State 99 stopped on (empty when it recorded none); setting
    // State clears it.
    const std::optional<kv::Error>& UltimoErrore() const { return core_.UltimoErrore; }

    // The price grid the matrix is shown in; setting it attaches the handler that shows the current
    // list's description on the grid.
    std::shared_ptr<kv::controls::DataGrid> grid() const { return grid_; }
    void SetGrid(std::shared_ptr<kv::controls::DataGrid> value);
    // The matrix recordset, shared with the price-list driver and the grid.
    kv::ado::RecordsetPtr Recordset() const { return recordset_; }
    const kv::ado::RecordsetPtr& RecordsetRef() const { return recordset_; }  // without a copy
    void SetRecordset(kv::ado::RecordsetPtr value) { recordset_ = std::move(value); }
    // The window's operation bar, animated by the status operations.
    std::shared_ptr<kv::controls::OperationBar> BarOperation;

    // Grid variant codes and the options chosen for them in the header and side lists.
    const std::string& CodVariante1() const { return cod_variante1_; }
    void SetCodVariante1(std::string value) { cod_variante1_ = std::move(value); }
    const std::string& CodVariante2() const { return cod_variante2_; }
    void SetCodVariante2(std::string value) { cod_variante2_ = std::move(value); }
    const std::string& ValVariante1() const { return val_variante1_; }
    void SetValVariante1(std::string value) { val_variante1_ = std::move(value); }
    const std::string& ValVariante2() const { return val_variante2_; }
    void SetValVariante2(std::string value) { val_variante2_ = std::move(value); }
    // The option code every matrix row starts from (the header's option).
    const std::string& OpzionePreimpostata() const { return opzione_preimpostata_; }
    void SetOpzionePreimpostata(std::string value) { opzione_preimpostata_ = std::move(value); }
    // The header's validity dates, as text.
    const std::string& DataIni() const { return data_ini_; }
    void SetDataIni(std::string value) { data_ini_ = std::move(value); }
    const std::string& DataFin() const { return data_fin_; }
    void SetDataFin(std::string value) { data_fin_ = std::move(value); }
    // Grid type 4: the caption of the element shown in the pivot, and of the one shown before.
    const std::string& Elem() const { return elem_; }
    void SetElem(std::string value) { elem_ = std::move(value); }
    const std::string& ElemPrev() const { return elem_prev_; }
    void SetElemPrev(std::string value) { elem_prev_ = std::move(value); }
    // True after the last row saved was inserted, False after it was updated.
    bool Insert() const { return insert_; }
    void SetInsert(bool value) { insert_ = value; }
    bool Inverti() const { return varianti_.Inverti; }
    void SetInverti(bool value) { varianti_.Inverti = value; }
    const std::string& CodArticolo() const { return varianti_.CodArticolo; }
    void SetCodArticolo(std::string value) { varianti_.CodArticolo = std::move(value); }

    // The kind of list, also readable as a plain member.
    KvEnumVarSalPur m_eSalPur = VarVoid;

    // ---- Flags with which the window coordinates its grid events with the driver.
    bool bEnableRowColChange = false; // False while a loader rebuilds the matrix
    bool bRicalcola = false;          // ReFilterVarianti4 first writes the pivot back into the matrix
    bool bEsciTrasf = false;          // SalvaPivot does nothing

    // ---- State shared by the matrix operations.
    kv::ado::RecordsetPtr rsListini;   // parameter rows of the lists taking part
    kv::ado::RecordsetPtr rsOpzioni1;  // options of the first level (of the second when Inverti)
    kv::ado::RecordsetPtr rsOpzioni2;  // options of the second level (of the first when Inverti)
    kv::ado::RecordsetPtr rsPivotAcq;  // grid-type-4 pivot of a purchase driver
    kv::ado::RecordsetPtr rsPivotVen;  // grid-type-4 pivot of a sales driver
    bool bCaricato = false;            // the matrix of grid types 2 to 4 is loaded
    int16_t m_iTipoGriglia = 0;        // the grid type cached by SetupGrid and the loaders

    // ======== Configuration, grid type, option code segments (clsmg_setupvarianti_state.cpp) ========
    // The property check, then whether the company has grid variants (sets CodVariante1/2).
    bool ConfigurationOk();
    // Grid type of CodArticolo (0 to 4); reopens rsOpzioni1/rsOpzioni2 and sets Inverti where the
    // article uses only the second level.
    int16_t GetIndTipoGriglia();
    // The options queries of the article's first and second grid level.
    std::string GetSql_ParConfVar1();
    std::string GetSql_ParConfVar2();
    // Segment start and length of a grid level (1 first, > 1 second; GetLen with <= 0: all segments).
    int16_t GetStart(int16_t TipoGriglia);
    int16_t GetStart1Liv();
    int16_t GetStart2Liv();
    int16_t GetLen(int16_t TipoGriglia);
    int16_t GetLen1Liv();
    int16_t GetLen2Liv();
    // Variant code of the level; Empty unless exactly one variant has it.
    kv::Variant GetSegmento(int16_t IndGriglia);
    // Lookup list of the level's options for the article, and decode of one option.
    std::string GetSqlLkpSegmenti(int16_t IndGriglia);
    std::string GetSqlDecSegmenti(const std::string& fstrOpzione, int16_t IndGriglia);
    // Why `opzione`, typed in the header for `articolo`, is not an option code of the article: longer
    // than the company's segments together, or a segment that is not an option of its variant or of a
    // variant the article manages. "" when it is one (blank segments are left to the grid and the
    // preset); the reason otherwise, in Italian, naming the option. A database error leaves State 99
    // and gives its own reason.
    std::string VerificaOpzione(const std::string& articolo, const std::string& opzione);
    // The option code of the current matrix row, and an option code with opz in the first-level segment.
    std::string LoadTxtOpzione();
    std::string ComposeOpzione(const std::string& opz);
    // The article's segment records (rebuilt by the matrix loading).
    const std::vector<std::shared_ptr<CInfoLivello>>& Livelli() const { return varianti_.Livelli; }

    // ======== Grid setup (clsmg_setupvarianti_setup.cpp) ========
    void SetupGrid(bool VisualizzaMsg);

    // ======== Matrix loading and filtering (clsmg_setupvarianti_load.cpp) ========
    void ReLoadVarianti();
    void ReLoadVarianti2();
    void ReLoadVarianti4();
    void ReFilterVarianti();
    void ReFilterVarianti4();
    // Grid type 4: the element the pivot shows written into the matrix, the pivot left as it is (with
    // the grid's current cell); and the pivot drawn again from the matrix, nothing written back.
    void ScriviPivot();
    void RidisegnaPivot();
    void ClearVarianti();
    // The stored rows of the article and kind (of every validity period, or of the one from `inizio` to
    // `fine`): list, option, period (left out when one is asked for), gross price, discounts, markups and
    // recharge. What a new period may start from.
    kv::ado::RecordsetPtr RigheMemorizzate(const kv::Date* inizio = nullptr, const kv::Date* fine = nullptr);
    // Matrix rows regardless of the current filter.
    long RecordCount();
    // The day the loaders take as today (proposed dates, creation dates): the system date unless set.
    void SetOggi(std::function<kv::Date()> oggi) { oggi_ = std::move(oggi); }

    // ======== Net prices (clsmg_setupvarianti_net.cpp) ========
    void AggiornaPrezzoNetto();
    void AggiornaPrezzoNetto4();
    // How the net price of the matrix's current row comes about: the same hand-over to the
    // price-calculation object as AggiornaPrezzoNetto, with the object's intermediate figures, and
    // nothing written. `riga`: a clone of the matrix standing on the row wanted (the matrix itself when
    // null). nullopt at BOF/EOF or when the calculation fails.
    std::optional<kv::services::NetPriceSteps> PassiPrezzoNetto(kv::ado::Recordset* riga = nullptr);
    // Whether the net price of the matrix's current row is known to be the one its inputs give: nobody
    // stored into the row since the load or since AggiornaPrezzoNetto last worked it out. False when
    // not known (no load finished since the rows or the price calculation were replaced). A
    // recalculation works out the others only: for these the figure would come out the same.
    bool NettoGiusto() const;

    // ======== Before a save (clsmg_setupvarianti_preview.cpp) ========
    // The rows UpdateBatch will write, in the order it reads them (whatever the filter), and how:
    // inserted, or updating the stored row with its key, whose values of `colonne` come with it (the
    // stored columns a matrix row takes over). Rows it leaves alone are not listed. One query.
    struct EsitoRiga {
        kv::Variant bookmark;
        bool insert = true;
        std::vector<kv::Variant> memorizzati;  // the stored values of `colonne` (update only)
    };
    std::vector<EsitoRiga> EsitoSalvataggio(const std::vector<std::string>& colonne);
    // The rows UpdateBatch will write whose validity period shares days with another stored period of
    // the same list, article and option (a stored row with the very same period is the row the save
    // updates, and a period that ends the day before the other starts only touches it). One query.
    struct PeriodoSovrapposto {
        kv::Variant lista;
        std::string opzione;
        kv::Date inizio, fine;                  // the period being saved
        kv::Date inizio_memorizzato, fine_memorizzato;
    };
    std::vector<PeriodoSovrapposto> PeriodiSovrapposti();

    // ======== Copy price (clsmg_setupvarianti_copy.cpp) ========
    void CopiaPrezzoSuRiga();
    void CopiaPrezzoSuTutteLeRighe();

    // ======== Save, delete, cancel (clsmg_setupvarianti_save.cpp) ========
    // Writes the matrix rows that carry something to write: a row edited here since it was loaded or
    // last saved (typed, pasted, imported, copied, adjusted, recalculated) whose values differ from
    // what it held then. An edited row with no stored row is inserted when it holds a price or
    // something else entered, never as an empty row at price 0; an edited stored row is updated. A
    // matrix the loader did not fill (no kept values) writes every row that holds a price or differs
    // from its stored row.
    void UpdateBatch();
    // Whether any row holds values other than those it was loaded or last saved with (the pivot's of
    // grid type 4 included): there is something a "Conferma" would write. Reads no database.
    bool HaModifiche();
    void DeleteRecords();
    void DeleteRecordsTipo2(const std::string& codVar, const std::string& elencoOpzioni);
    void Annulla();

    // ======== Rows another desktop changed (clsmg_setupvarianti_conflicts.cpp) ========
    // A loader keeps, for the matrix it builds, the stored rows of the article and kind as they were and
    // the values each matrix row had. UpdateBatch writes only the rows edited here since (see
    // UpdateBatch); it reads their stored rows again inside its transaction and compares: a row edited
    // here whose stored row another desktop changed, stored (where there was none) or deleted since is
    // a conflict, and the save writes nothing (State 99, RigheInConflitto() > 0). Each UPDATE also
    // matches the stored row's compared values, and an INSERT that fails or an UPDATE that finds fewer
    // rows than the check read marks the save ConflittoSospetto(): a change that came in between,
    // which VerificaConflitti then finds.
    long RigheInConflitto() const { return static_cast<long>(conflitti_.size()); }
    bool ConflittoSospetto() const { return conflitto_sospetto_; }
    // Reads the stored rows again and finds the rows in conflict, writing nothing. Returns their count.
    long VerificaConflitti();
    // The rows in conflict take the stored values (their originals too); other rows keep their edits.
    void RicaricaConflitti();
    // The stored values of the rows in conflict become their originals: the next save writes over them.
    void SovrascriviConflitti();
    // The transaction that held the last UpdateBatch was committed: the rows it wrote become the new
    // originals, take the dates they were stored with, and are told to the host's post-save object
    // (only now, so the host never hears of rows a rollback took back). UpdateBatch outside a
    // transaction of the caller does this itself. Returns the post-save object's error, if it raised
    // one: the rows are stored all the same.
    std::optional<kv::Error> AccettaSalvataggio();
    // The cells the last UpdateBatch changed inside the caller's transaction (until AccettaSalvataggio),
    // as the stored rows read before and after the writes show them: the caller records them in the
    // price history in that transaction. UpdateBatch outside a transaction of the caller records them
    // itself, in its own.
    std::vector<CellaStorico> CelleSalvate() const;

    // ======== Operation status and field locking (clsmg_setupvarianti_status.cpp) ========
    void SetStatusOperationInProgress();
    void SetStatusOperationCompleted();
    void SetStatusOperationError();
    void LockFields();

private:
    // ======== Configuration, grid type, option code segments (clsmg_setupvarianti_state.cpp) ========
    void VerificaProprieta();
    std::string GetSql_ParListini();
    void CaricaConfigurazioneVariantiPerArticolo();
    std::string OpzioneCalcolata(const std::string& opz1, const std::string& opz2);
    // Closes and reopens rsOpzioni1 with the options query of the second level (inverti) or the first.
    void RiapriOpzioni1(bool inverti);
    // Grid event: shows "Listino n - description" of the current row on the grid; for a list saved with
    // dates of its own (proposed by its configuration, not the header's), also that period, and in the
    // status bar.
    void MostraDescrizioneListino();
    // "prezzi validi dal … al … (date proposte dal listino)" when the rows of the list are saved with a
    // period other than the header's; "" otherwise. `riga`: the matrix on a row of the list, or null to
    // look the list up.
    std::string PeriodoProposto(const kv::ado::RecordsetPtr& riga, const kv::Variant& lista);
    bool periodo_in_barra_ = false;  // the status bar shows a list's period, written by this driver

    // ======== Matrix loading (clsmg_setupvarianti_load.cpp) ========
    void ReLoadVarianti1();
    // A new matrix row of the current list and option(s), from what they give every row of theirs.
    void AggiungiRigaTipo1(const DatiListino& listino, const DatiOpzione& opzione);
    void AggiungiRigaTipo2(const DatiListino& listino, const DatiOpzione& opzione1, const DatiOpzione& opzione2,
                           const std::string& codice_opzione);
    DatiListino LeggiListino();
    DatiOpzione LeggiOpzione(kv::ado::Recordset& rs, int codvar, int opz, int descr);
    // Merges the row's stored row into it, computes its net price and appends it to the matrix.
    void AggiungiRiga();
    // Merges the row's stored row into `riga`. True when the key is stored once: the stored rows are
    // left on that row, and the columns the matrix row takes over as they are stored are left for
    // AggiungiRiga to copy cell by cell.
    bool CaricaDatiListino(std::vector<kv::Variant>& riga);
    // The net price of a new matrix row's values (Null when it cannot be computed); the inputs are
    // left converted as the matrix stores them.
    kv::Variant PrezzoNettoRiga(std::vector<kv::Variant>& riga);
    // Reads the stored rows of the article and kind once per load, so that CaricaDatiListino finds a
    // new matrix row's stored row in memory instead of asking the database once per row.
    void CaricaListiniEsistenti();
    std::string PropDataInizio(const kv::ado::RecordsetPtr& rsList);
    std::string PropDataFine(const kv::ado::RecordsetPtr& rsList);
    void SvuotaRecordset();
    kv::Date Oggi() const;
    // The price history on the driver's connection, stamped with the host's user (the operating
    // system's when the host names none) and the host's time (the day SetOggi fixes, when fixed).
    StoricoPrezzi Storico() const;
    std::shared_ptr<StoredPriceRows> listini_esistenti_;  // only while a loader runs
    std::function<kv::Date()> oggi_;

    // ======== Grid-type-4 pivot (clsmg_setupvarianti_pivot.cpp) ========
    kv::ado::RecordsetPtr CreaRecordsetTipo4();
    std::string GetCampoElemento(const std::string& caption);
    bool EsisteRigaPivot(const kv::ado::RecordsetPtr& rsPivot, double numList, const std::string& opzione);
    void SalvaPivot(const kv::ado::RecordsetPtr& rsPivot);
    // The values of the pivot's cells for the matrix field of `elemento`, as SalvaPivot writes them,
    // without writing them: nullopt when there is nothing to write back (bEsciTrasf, no element, an
    // empty matrix or pivot), else (matrix bookmark, value)
    // in its order. The matrix and the pivot keep their filter and row.
    std::optional<std::vector<std::pair<kv::Variant, kv::Variant>>> ValoriPivot(const kv::ado::RecordsetPtr& rsPivot,
                                                                                const std::string& elemento);

    // ======== Save, delete (clsmg_setupvarianti_save.cpp) ========
    void ChiudiMatrice();
    // Runs work as one transaction on ADOConnection (a savepoint inside the caller's transaction);
    // on failure rolls it back, puts the matrix back where it was and sets State = 99.
    template <class F>
    void InTransazione(F&& work);

    // ======== Rows another desktop changed (clsmg_setupvarianti_conflicts.cpp) ========
    enum class Confronto { kNonNoto, kInvariata, kSuperata, kConflitto };
    // Keeps the stored rows the loader read and each matrix row's compared values (at a loader's end).
    void RegistraOriginali();
    // How a matrix row stands against the stored rows read now: kNonNoto when the matrix has no
    // originals for its article and kind (it is written as before), kInvariata when its stored rows are
    // as they were, else kConflitto when it was edited here and kSuperata when it was not.
    Confronto Confronta(const std::vector<std::string>& gruppo, const std::string& chiave, long long bookmark,
                        bool modificata, const std::shared_ptr<const StoredPriceRows>& ora) const;
    // The matrix row at the bookmark takes the stored values read in `letti` (a key no longer stored
    // empties its prices) and counts as not edited.
    void RicaricaRiga(long long bookmark, const std::shared_ptr<const StoredPriceRows>& letti);
    // The compared values of the current matrix row as its fields hold them.
    static std::vector<kv::Variant> ValoriCorrenti(kv::ado::Recordset& rs);
    // Grid type 4: the pivot shown is built again from the matrix.
    void RicostruisciPivot();
    std::shared_ptr<OriginaliMatrice> originali_;
    // What the last UpdateBatch wrote inside the caller's transaction, until AccettaSalvataggio.
    struct RigaScritta {
        long long bookmark = 0;
        bool insert = false;
        std::vector<std::string> gruppo;
        std::vector<kv::Variant> valori;  // the compared values written
        kv::Variant opzione;              // as the post-save object is told it
    };
    struct SalvataggioInSospeso {
        std::vector<RigaScritta> righe;  // in the order they were written
        std::unordered_map<std::string, std::vector<std::string>> chiavi;  // key -> Firma stored now
        kv::Date oggi;
        std::string articolo;
        std::vector<CellaStorico> storico;  // the cells changed, for the price history
    };
    std::optional<SalvataggioInSospeso> in_sospeso_;
    std::vector<long long> conflitti_;                         // bookmarks of the rows in conflict
    std::shared_ptr<const StoredPriceRows> letti_conflitti_;  // the stored rows they were found with
    bool conflitto_sospetto_ = false;
    bool solo_verifica_ = false;      // UpdateBatch stops after the check (VerificaConflitti)
    bool verifica_completa_ = false;  // ... and got that far
    // The stored rows of one article and kind (of those option codes only, when given), with their
    // columns' places in the matrix.
    std::shared_ptr<StoredPriceRows> LeggiListini(const std::vector<kv::Variant>& gruppo,
                                                  const std::vector<std::string>* opzioni = nullptr,
                                                  bool solo_confrontati = false);
    // A matrix row a save may write: edited here since its values were kept (any row, for a matrix
    // without kept values).
    struct RigaCandidata {
        long long bookmark = 0;
        std::vector<std::string> gruppo;  // its article and kind (GruppoDi)
        std::string chiave;               // ChiaveListino
        kv::Variant opzione;              // its option code without trailing blanks
        std::vector<kv::Variant> attuali; // the compared values (the pivot's where it holds the row's)
        bool nota = false;                // its values were kept, so it is known to be edited
    };
    // The rows a save may write, in row order, the first `al_piu` of them; `da_pivot` holds values of the
    // field `indice_pivot` by bookmark that the matrix does not hold yet. Reads no database.
    std::vector<RigaCandidata> RigheCandidate(const std::map<long long, kv::Variant>& da_pivot, int indice_pivot,
                                              std::size_t al_piu = SIZE_MAX);
    // The candidates of the next save, the values typed in the pivot of grid type 4 included.
    std::vector<RigaCandidata> RigheModificate(std::size_t al_piu = SIZE_MAX);
    // What a save does with a candidate, its stored rows being `letti` as read now (a conflict aside):
    // nothing (a row with no stored row that holds nothing entered - an empty cell is not a price of 0
    // - or, without kept values, a row as stored), insert it, or update its stored rows.
    enum class Destino { kNiente, kInserisci, kAggiorna };
    Destino DestinoDi(const RigaCandidata& r, const StoredPriceRows& letti) const;
    // The rows the next save writes, decided as UpdateBatch decides (conflicts aside), with the stored
    // rows of their option codes; one query. For the preview and the overlap warning.
    struct PianoSalvataggio {
        std::vector<RigaCandidata> righe;
        std::vector<bool> insert;  // per row: inserted (true) or updating its stored rows
        std::shared_ptr<StoredPriceRows> letti;
    };
    PianoSalvataggio PianoDiSalvataggio();
    // The stored rows of the candidates' article and kind: of their option codes when they are few.
    std::shared_ptr<StoredPriceRows> LeggiListiniDi(const std::vector<kv::Variant>& gruppo,
                                                    const std::vector<const RigaCandidata*>& righe,
                                                    bool solo_confrontati = false);

    // ======== Members ========
    // Interface, connection, State and Message; CompanyCode() and Execute(sql) for the driver's queries.
    // Public operations run their work as schema::Trap(core_, [&] { ... }) so nothing escapes.
    schema::DriverCore core_;
    // CodArticolo, Inverti, the article's segment records and the grid-type decision.
    variants::VariantConfiguration varianti_{core_};
    // Segment positions of the option code and the lookup/decode queries of a level's options.
    variants::OptionCode segmenti_{core_, varianti_.CodArticolo};
    std::shared_ptr<kv::controls::DataGrid> grid_;
    kv::services::Subscription grid_subscription_;
    kv::ado::RecordsetPtr recordset_;
    // The host's price-calculation object the net prices are computed with.
    std::shared_ptr<kv::services::PriceCalculation> price_calculation_;
    // Where the net price's fields stand in the matrix's rows.
    PosizioniPrezzoNetto posizioni_netto_;
    // Which rows hold the net price of their inputs, in the rows `netti_righe_` (Recordset::Rows; 0:
    // none known): every row stored into last at or before the clock `netti_clock_` (a load that
    // finished worked out each one's), and each row whose clock is still the one netti_riga_ (by
    // bookmark from netti_base_) noted when AggiornaPrezzoNetto worked it out.
    uint64_t netti_righe_ = 0;
    uint64_t netti_clock_ = 0;
    long long netti_base_ = 0;
    std::vector<uint64_t> netti_riga_;
    void NettiCalcolati();  // after a load: every row's net price was worked out
    void NettiIgnoti() {
        netti_righe_ = 0;
        netti_riga_.clear();
    }
    void RicordaNetto();  // the current row's net price was just worked out
    std::string cod_variante1_;
    std::string cod_variante2_;
    std::string val_variante1_;
    std::string val_variante2_;
    std::string opzione_preimpostata_;
    std::string data_ini_;
    std::string data_fin_;
    std::string elem_;
    std::string elem_prev_;
    bool insert_ = false;
};

}  // namespace qmx
