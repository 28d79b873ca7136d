#pragma once
// FRMMG_QUENDORMIXAL: the component's window, "Creazione veloce listini in griglia". This class is its
// toolkit-free part: the window's properties, its lifecycle (load, activation, close), its link to the
// host's navigator and script object model, its host service objects, its error reporting, and the
// state its procedures share. Its controls and the four drivers join it as members; the Qt form only
// renders them.
//
// Lifecycle:
//  - the entry object hands over the host interface and the owner, then sets WindowState (the first
//    access to a window property: the window loads, Form_Load runs), the caption, and shows it;
//  - Show hands the window to the host's window presenter (from the global services); the presenter
//    keeps the window alive while it is open, activates it (Form_Activate) and, for a modal show,
//    returns when the window has closed;
//  - Unload runs Form_QueryUnload then Form_Unload; Form_Unload releases everything the window holds
//    and, last, its owner and host interface (which breaks the owner <-> window reference cycle), and
//    the presenter is told that the window has closed.
//
// Controls: every control of the window is a public member, made with the window and registered by
// its name (AddControl), so the Qt form can place their views and the host's models can find them.
// The window subscribes to their events while it is loaded; its unload releases what they hold
// (connections, bound recordsets, host references) and ends the subscriptions. The controls
// themselves live as long as the window object.
//
// Errors: every procedure is a list of steps run by the error trap (shell/error_trap.h) with
// VisualizzaErrore as its reporter; SyncNavigator ignores errors. Optional host objects (navigator,
// its script and layout models, menu entry, frame) that the host did not supply are skipped rather
// than reported: a host without a navigator is not an error the user can do anything about.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include <vector>

#include "matrix/clsmg_setupvarianti.h"
#include "platform/ado/connection.h"
#include "platform/controls/data_grid.h"
#include "platform/controls/date_field.h"
#include "platform/controls/lookup_field.h"
#include "platform/controls/operation_bar.h"
#include "platform/controls/resize_control.h"
#include "platform/controls/simple_controls.h"
#include "platform/controls/splitter.h"
#include "platform/controls/toolbar.h"
#include "platform/services/application.h"
#include "platform/services/article_search.h"
#include "platform/services/cinterface.h"
#include "platform/services/dialogs.h"
#include "platform/services/global_services.h"
#include "platform/services/navigator.h"
#include "platform/services/price_calculation.h"
#include "platform/services/price_rounding.h"
#include "platform/services/window_presenter.h"
#include "platform/variant/variant.h"
#include "pricelist/clsmg_setuplistini.h"
#include "pricing/price_breakdown.h"
#include "pricing/margin.h"
#include "pricing/recalculation.h"
#include "window/edit_history.h"
#include "window/grid_period.h"
#include "window/price_rule.h"

namespace qmx {

class CLSMG_QUENDORMIXAL;

// How an unload was asked for (the platform's unload modes).
inline constexpr int16_t vbFormControlMenu = 0;  // the user closed the window
inline constexpr int16_t vbFormCode = 1;         // the program unloaded it

// The state the window's procedures share between events.
struct FormState {
    bool loading = false;          // True while the window fills grids or side lists; their events wait
    bool activated = false;        // True after the first activation
    bool close_request = false;    // a driver's configuration is not usable: close on first activation
    int16_t grid_type = 0;         // variant grid type of the current article (1 to 4)
    int16_t grid_type_at_load = 0; // the grid type read at load
    std::string active_price_grid; // "ACQ" or "VEN": the price grid last worked on
    bool changes_pending = false;  // a price cell was edited and not yet confirmed or cancelled
    bool new_in_progress = false;  // the command that starts a new key is running
    int16_t layout_mode = 0;       // 1 to 4, follows the grid type
};

// How a list driver proposes a validity date: not computed yet, asked of the user, or taken from the
// lists' configuration.
inline constexpr int16_t kDateProposalVoid = -1;
inline constexpr int16_t kDateProposalAsked = 0;
inline constexpr int16_t kDateProposalFromConfiguration = 1;

class FRMMG_QUENDORMIXAL : public kv::services::PresentableWindow,
                           public std::enable_shared_from_this<FRMMG_QUENDORMIXAL> {
public:
    static constexpr const char* kName = "FRMMG_QUENDORMIXAL";
    static constexpr const char* kTitle = "Creazione veloce listini in griglia";
    static constexpr const char* kComponent = "PEXA_QUENDORMIXAL";
    // Size of a modal window (twips); a modeless one keeps its designed geometry.
    static constexpr int32_t kModalWidth = 12000;
    static constexpr int32_t kModalHeight = 7410;

    struct Token;  // construction goes through Create
    explicit FRMMG_QUENDORMIXAL(const Token&);
    static std::shared_ptr<FRMMG_QUENDORMIXAL> Create();
    ~FRMMG_QUENDORMIXAL() override;

    // ---- References handed over by the entry object.
    std::shared_ptr<kv::services::Cinterface> ActiveInterface() const { return active_interface_; }
    void SetActiveInterface(std::shared_ptr<kv::services::Cinterface> value) { active_interface_ = std::move(value); }
    std::shared_ptr<CLSMG_QUENDORMIXAL> Owner() const { return owner_; }
    void SetOwner(std::shared_ptr<CLSMG_QUENDORMIXAL> value) { owner_ = std::move(value); }

    // ---- Window properties. Setting WindowState or Caption loads the window first.
    int16_t WindowState() const { return window_state_; }
    void SetWindowState(int16_t value);
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string value);
    int32_t Left() const { return left_; }
    int32_t Top() const { return top_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    void SetLeft(int32_t v) { left_ = v; }
    void SetTop(int32_t v) { top_ = v; }
    void SetWidth(int32_t v) { width_ = v; }
    void SetHeight(int32_t v) { height_ = v; }

    // Loads the window (Form_Load) unless it is loaded.
    void Load();
    // Loads the window and hands it to the host's window presenter. kv::Error 91 without a host
    // interface, global services or presenter.
    void Show(bool modal);
    // Runs Form_QueryUnload and Form_Unload; true when the window is unloaded (also when it was not
    // loaded), false when the unload was cancelled.
    bool Unload(int16_t unload_mode = vbFormCode);

    // ---- As the presenter sees it.
    std::string Name() const override { return kName; }
    bool IsLoaded() const override { return loaded_; }
    void Activate() override { Form_Activate(); }
    bool RequestClose() override { return Unload(vbFormControlMenu); }

    // ---- Controls.
    template <class C>
    using Ctl = const std::shared_ptr<C>;
    Ctl<kv::controls::HostContainer> MDIActiveX1;
    Ctl<kv::controls::ResizeControl> KVR_RESIZEFORM;
    Ctl<kv::controls::Toolbar> INTERNAV;
    Ctl<kv::controls::OperationBar> BAR_OPERATION;
    Ctl<kv::controls::Panel> FME_TESTATA;
    Ctl<kv::controls::GroupBox> GRB_HEAD;
    Ctl<kv::controls::LookupField> TXT_CODART;
    Ctl<kv::controls::Label> TXT_CODART_LBL;
    Ctl<kv::controls::TextField> TXT_DESCART;
    Ctl<kv::controls::LookupField> TXT_OPZIONE;
    Ctl<kv::controls::Label> TXT_OPZIONE_LBL;
    Ctl<kv::controls::LookupField> TXT_VARIANTE;
    Ctl<kv::controls::Label> TXT_VARIANTE_LBL;
    Ctl<kv::controls::TextField> TXT_DESCSEGMENTO;
    Ctl<kv::controls::DateField> TXT_DADATA_ACQ;
    Ctl<kv::controls::Label> TXT_DADATA_ACQ_LBL;
    Ctl<kv::controls::DateField> TXT_ADATA_ACQ;
    Ctl<kv::controls::Label> TXT_ADATA_ACQ_LBL;
    Ctl<kv::controls::ComboBox> CBO_DADATA_ACQ;
    Ctl<kv::controls::ComboBox> CBO_ADATA_ACQ;
    Ctl<kv::controls::DateField> TXT_DADATA_VEN;
    Ctl<kv::controls::Label> TXT_DADATA_VEN_LBL;
    Ctl<kv::controls::DateField> TXT_ADATA_VEN;
    Ctl<kv::controls::Label> TXT_ADATA_VEN_LBL;
    Ctl<kv::controls::ComboBox> CBO_DADATA_VEN;
    Ctl<kv::controls::ComboBox> CBO_ADATA_VEN;
    Ctl<kv::controls::Panel> PIC_LEFT;
    Ctl<kv::controls::DataGrid> GRD_SIDE;
    Ctl<kv::controls::DataGrid> GRD_SIDE1;
    Ctl<kv::controls::CommandButton> CMD_COPIASURIGA;
    Ctl<kv::controls::CommandButton> CMD_COPIASUTUTTERIGHE;
    Ctl<kv::controls::GroupBox> GRB_LISACQ;
    Ctl<kv::controls::Label> LBL_HEADLISACQ;
    Ctl<kv::controls::DataGrid> GRD_LISACQ;
    Ctl<kv::controls::GroupBox> GRB_LISVEN;
    Ctl<kv::controls::Label> LBL_HEADLISVEN;
    Ctl<kv::controls::DataGrid> GRD_LISVEN;
    Ctl<kv::controls::Splitter> SPLITVERTICALE;
    Ctl<kv::controls::Splitter> SPLITORIZZONTALE;

    // The toolbar button the window adds next to "Conferma".
    static constexpr const char* kRicalcolaKey = "RICALCOLA";
    static constexpr const char* kRicalcolaCaption = "Rica&lcola ";

    // ---- Controls by name, as the host's models (layout, script) look them up.
    void AddControl(const std::string& name, std::shared_ptr<kv::Object> control);
    // Null when there is no control of that name.
    std::shared_ptr<kv::Object> Control(std::string_view name) const override;
    // The spreadsheet commands (frmmg_quendormixal_sheet.cpp) by name, for a host without a display.
    kv::Variant Command(std::string_view name, const std::vector<kv::Variant>& args) override;

    // ---- Event procedures.
    void Form_Load();
    void Form_Activate();
    void Form_QueryUnload(int16_t& cancel, int16_t unload_mode);
    void Form_Unload(int16_t& cancel);
    void SyncNavigator();
    void ExecuteFormEvent(std::string_view event_name);
    // Brings the window back to an open header (first_time also clears and enables the dates).
    void Reinizializza(bool first_time);
    // Enables or disables the two copy buttons.
    void AbilitazionePulsanti(bool enabled);

    // ---- Price grids and price procedures (frmmg_quendormixal_grids.cpp).
    void GRD_LISACQ_KeyDown(int16_t& KeyCode, int16_t Shift);
    void GRD_LISVEN_KeyDown(int16_t& KeyCode, int16_t Shift);
    void GRD_LISACQ_OnEdited(const kv::controls::GridEdit& edit);
    void GRD_LISVEN_OnEdited(const kv::controls::GridEdit& edit);
    void GRD_LISACQ_RowChanged();
    void GRD_LISVEN_RowChanged();
    void CMD_COPIASURIGA_Click();
    void CMD_COPIASUTUTTERIGHE_Click();
    // The one rule of what a price row may hold (made at its first use): every typed, pasted, adjusted
    // or imported value meets it.
    RegolaPrezzi& Regola();
    // Derives every sales row from its reference purchase list (grid types 1 to 3, and 4).
    void RicalcolaListini();
    void RicalcolaListini4();

    // ---- Control events.
    void MDIActiveX1_FormLoad();
    void KVR_RESIZEFORM_RegisterControls();
    void KVR_RESIZEFORM_AfterResize();
    void SPLITVERTICALE_PositionChanged();
    void SPLITORIZZONTALE_PositionChanged();
    void TXT_CODART_StartLookup(std::string& sql, std::vector<std::string>& headings, std::string& title,
                                std::string& connection_string);
    void TXT_OPZIONE_StartDecode(std::string& sql, kv::controls::DecodeMap& map, std::string& connection_string);

    // ---- Layout procedures.
    // The split controls' panes, minimum sizes, starting positions and colour (once, at load).
    void SetupSplitters();
    // Shows the controls of a layout mode (1 to 4; anything else counts as 1): mode 1 gives the price
    // areas the whole width and hides the side lists, modes 2 and 3 show the first side list and the
    // second-level variant field, mode 4 both side lists.
    void ApplyLayoutMode(int16_t mode);
    // The header labels and price grids as wide as their group boxes less a margin, refreshed.
    void SizePriceAreas();
    // The columns of a side list, defined once at load.
    void SetupSideList(kv::controls::DataGrid& grid);
    // A validity date asked of the user shows its field; one taken from the configuration shows the
    // disabled combo box "Da Configurazione" in the field's place.
    void SetupDateControl(kv::controls::DateField& field, kv::controls::ComboBox& combo, int16_t proposal);
    // Shows error through the error display and returns the user's answer: 4 retry, 2 go on, 3 leave.
    // Without an error display (none could be created) it answers 3.
    int32_t VisualizzaErrore(std::string_view procedure, const kv::Error& error);

    // ---- Header fields (frmmg_quendormixal_header.cpp).
    // True unless a visible date field is empty or invalid, or a period ends before it starts (the user
    // is told which).
    bool KeyDatesValid();
    // Enables the first visible date field and gives it the focus.
    void KeyDatesEnable();
    // Locks the key: the article and the four date fields.
    void DisableKey();
    // The article's grid type; for a type the window can show, the window is reset and both kinds of
    // drivers set up and loaded again.
    void VerifyTipoGrid();
    // Sets up the second-level variant field for the layout mode.
    void GetSegmentoVarianteTestata();
    void TXT_CODART_AfterItem();
    void TXT_OPZIONE_AfterItem();
    void TXT_VARIANTE_AfterItem();
    void TXT_VARIANTE_StartLookup(std::string& sql, std::vector<std::string>& headings, std::string& title,
                                  std::string& connection_string);
    void TXT_VARIANTE_StartDecode(std::string& sql, kv::controls::DecodeMap& map, std::string& connection_string);
    void TXT_DADATA_ACQ_AfterItem() { DateAfterItem("TXT_DADATA_ACQ_AfterItem", *TXT_DADATA_ACQ, true); }
    void TXT_ADATA_ACQ_AfterItem() { DateAfterItem("TXT_ADATA_ACQ_AfterItem", *TXT_ADATA_ACQ, true); }
    void TXT_DADATA_VEN_AfterItem() { DateAfterItem("TXT_DADATA_VEN_AfterItem", *TXT_DADATA_VEN, false); }
    void TXT_ADATA_VEN_AfterItem() { DateAfterItem("TXT_ADATA_VEN_AfterItem", *TXT_ADATA_VEN, false); }

    // ---- Variant side lists (frmmg_quendormixal_side.cpp).
    std::string GetCodiceVariante(const std::string& opzione);
    std::string GetDescrVariante(const std::string& opzione);
    void AddSide(const std::string& value);
    void AddSide1(const std::string& value);
    void LoadSide();
    void AggiornaDaVariante();
    void GRD_SIDE_RowChanged();
    void GRD_SIDE1_RowChanged();
    // The recordsets of the two side lists (null until first used).
    kv::ado::RecordsetPtr SideRecordset() const { return side_rs_; }
    kv::ado::RecordsetPtr SideRecordset1() const { return side_rs1_; }

    // ---- Toolbar commands (frmmg_quendormixal_toolbar.cpp).
    void INTERNAV_ButtonClick(const std::string& key);
    // Saves both kinds in one transaction; true when saved (a failure is reported and changes nothing).
    bool Conferma();
    // Whether the window may close: with changes pending the user is asked whether to save first.
    bool ChiusuraConsentita();

    // ---- Price breakdown, save preview and overlapping periods (frmmg_quendormixal_detail.cpp).
    static constexpr const char* kDettaglioKey = "DETTAGLIO";
    static constexpr const char* kAnteprimaKey = "ANTEPRIMA";
    // The breakdown of the current cell of the price grid `lato` ("ACQ", "VEN"; "" the active one).
    DettaglioPrezzo DettaglioCorrente(std::string_view lato);
    // Shows it as an information message (F2 in a price grid, or "Dettaglio").
    void MostraDettaglio(std::string_view lato);
    // Before "Conferma" writes: the overlap warning and, with "Anteprima" on, the preview. False when
    // the user goes back (nothing has changed then).
    bool VerificheConferma();

    // ---- Price history and undoing the last save (frmmg_quendormixal_history.cpp).
    static constexpr const char* kStoricoKey = "STORICO";
    static constexpr const char* kAnnullaSalvataggioKey = "ANNULLASALVATAGGIO";
    // The lines of the current cell's history in the price grid `lato` ("ACQ", "VEN"; "" the active
    // one): the row and column, then one line per change, newest first.
    std::vector<std::string> StoricoCorrente(std::string_view lato);
    // Shows them as an information message (F4 in a price grid, or "Storico").
    void MostraStorico(std::string_view lato);
    // "Annulla ultimo salvataggio".
    void AnnullaUltimoSalvataggio();

    // ---- The margin of the sales prices (frmmg_quendormixal_margin.cpp).
    static constexpr const char* kMargineKey = "MARGINE";
    // Shows or hides the sales grid's column "Margine %" and keeps the choice for the user.
    void MostraMargine(bool mostra);

    // ---- What the window holds.
    kv::ado::ConnectionPtr ADOConnection() const { return connection_; }
    const std::string& ConnectionString() const { return connection_string_; }
    const std::string& CompanyCode() const { return company_code_; }
    std::shared_ptr<kv::services::ErrorDisplay> ErrorDisplayService() const { return error_display_; }
    std::shared_ptr<kv::services::MessageService> MessageBoxService() const { return messages_; }
    std::shared_ptr<kv::services::ArticleSearch> ArticleSearchService() const { return article_search_; }
    std::shared_ptr<kv::services::PriceCalculation> PriceCalculationService() const { return price_calculation_; }
    std::shared_ptr<kv::services::PriceRounding> PriceRoundingService() const { return price_rounding_; }
    std::shared_ptr<kv::services::Application> ApplicationObject() const { return application_; }
    // The empty recordset with the columns of the price-list parameter table, opened at load.
    kv::ado::RecordsetPtr ParameterTemplate() const { return parameter_template_; }
    // The four drivers, made at load: a price-list and a matrix driver for purchase (GRD_LISACQ) and
    // for sales (GRD_LISVEN); the two of one kind share the matrix recordset. Null after the unload.
    std::shared_ptr<CLSMG_SETUPLISTINI> ListiniAcquisto() const { return listini_acq_; }
    std::shared_ptr<CLSMG_SETUPLISTINI> ListiniVendita() const { return listini_ven_; }
    std::shared_ptr<CLSMG_SETUPVARIANTI> VariantiAcquisto() const { return varianti_acq_; }
    std::shared_ptr<CLSMG_SETUPVARIANTI> VariantiVendita() const { return varianti_ven_; }
    const FormState& State() const { return state_; }
    FormState& MutableState() { return state_; }

    // Grid type 4: shows the driver's element Elem, writing the element shown before (ElemPrev) back
    // into the matrix.
    static void ReFilterKeepingEdits(CLSMG_SETUPVARIANTI& driver);

    // ---- Undo and redo of what the user changed in the grids (frmmg_quendormixal_undo.cpp).
    // Every command that changes prices runs as one action of the history (StoricoModifiche::Azione).
    StoricoModifiche& Storico() { return storico_; }
    // Ctrl+Z and Ctrl+Y: the last change undone, or the last undone done again, net prices included;
    // the changes stay pending while the matrices hold anything else than what was loaded. False when
    // there was nothing to undo or redo.
    bool AnnullaUltimaModifica();
    bool RipetiModifica();

    // ---- "Da periodo" (frmmg_quendormixal_sheet.h): a stored period's prices into the period on screen.
    static constexpr const char* kDaPeriodoKey = "DAPERIODO";
    // Asks the user which stored period of each kind to take, the change and the rounding bracket; set
    // by the host (a dialog). Nullopt: the user went back.
    std::function<std::optional<SceltaPeriodo>(const std::vector<PeriodoMemorizzato>& acquisto,
                                                const std::vector<PeriodoMemorizzato>& vendita)>
        scegli_periodo;
    // One answer to the next "Da periodo" question, given ahead by a script; used once, before the dialog.
    decltype(scegli_periodo) risposta_periodo;
    // The gross prices "Da periodo" wrote, by kind (true: sales) and matrix row, with what the
    // breakdown says of them while the price is still the one written. Emptied when the history
    // starts over (a key loaded, saved or cancelled).
    struct OriginePeriodo {
        kv::Variant lordo;
        std::string testo;
    };
    std::map<std::pair<bool, long long>, OriginePeriodo>& OriginiPeriodo() { return origini_periodo_; }

private:
    // The host objects the procedures need; kv::Error 91 naming the missing one.
    std::shared_ptr<kv::services::Cinterface> RequireInterface() const;
    std::shared_ptr<kv::services::GlobalServices> Global() const;
    // The navigator, null when the host gave none.
    std::shared_ptr<kv::services::Navigator> NavigatorOrNull() const;
    // A placement value (Left, Top) from the host interface: 0 when it is 0 or Empty.
    static int32_t Placement(const kv::Variant& value);
    // A driver of the window; kv::Error 91 when there is none (before the load, after the unload).
    template <class D>
    static D& Driver(const std::shared_ptr<D>& driver) {
        if (!driver)
            throw kv::Error(kv::err::kObjectNotSet, "Object variable not set: the window has no driver",
                            kName);
        return *driver;
    }
    // Adds "Ricalcola" next to "Conferma" unless the bar has it.
    void AddRicalcolaButton();
    // Gives a control the focus when it can take it (enabled and visible); the window's focus moves are
    // wishes, and a control the user cannot reach keeps the focus where it is.
    static void Focus(kv::controls::Control& control) {
        if (control.Enabled() && control.Visible()) control.SetFocus();
    }
    // Whether every driver reports a usable configuration.
    bool ConfigurationUsable() const;
    // The article a caller fixed (IsCalled and the owner's CodiceArticolo); "" when none.
    std::string CalledArticle() const;
    // Load steps of one kind: the drivers get the host, the connection, their grid and kind (and a fixed
    // article), then set up; the matrix driver takes the list driver's recordset.
    void SetupListDriver(CLSMG_SETUPLISTINI& driver, const std::shared_ptr<kv::controls::DataGrid>& grid,
                         KvEnumLisSalPur kind, const std::string& article, bool show_messages);
    void SetupMatrixDriver(CLSMG_SETUPVARIANTI& driver, const std::shared_ptr<kv::controls::DataGrid>& grid,
                           KvEnumVarSalPur kind, const CLSMG_SETUPLISTINI& list_driver,
                           const std::string& article, bool show_messages);
    // Shows the error of a procedure (VisualizzaErrore) and, when the answer leaves it, gives back the
    // pointer and the status it may have shown as busy: a procedure left half way never reaches the
    // step that would.
    int32_t Report(std::string_view procedure, const kv::Error& error);
    // Asks through the host's message service; kv::Error 91 when the window has none, so the
    // procedure's trap reports it instead of the window failing.
    int Chiedi(const std::string& text, int style, const std::string& title);
    // The controls' designed properties: captions, input lengths, the article field's decoding.
    void CreateControls();
    // Registers every control under its name.
    void RegisterControls();
    // Subscribes the window's handlers to its controls' events (while loaded).
    void ConnectControlEvents();
    // The header fields', side lists' and toolbar's events.
    void ConnectKeyEvents();
    // ---- Header, side lists and toolbar helpers.
    // The loading sequence: locks the key, hands it to the drivers (hand_key), checks the grid type and
    // loads the side lists and both matrices.
    void CaricaChiave(std::string_view procedure, const std::function<void()>& hand_key, bool loading_flag,
                      bool focus_only_when_visible);
    void DateAfterItem(std::string_view procedure, kv::controls::DateField& field, bool purchase_date);
    // Puts a freshly loaded grid's current cell on the first cell of its first row the user can type
    // in (the gross price, or the first size of a pivot). Nothing when no cell of that row is editable.
    static void MoveToFirstEditableCell(kv::controls::DataGrid& grid);
    // Tells the user why what was typed into a header field was not taken (the field is not valid and
    // holds more than blanks): `not_taken`, or, for text with control characters, that a code cannot
    // hold them. Nothing when the field took the text.
    void AvvisaTestoRifiutato(const kv::controls::EntryField& field, const std::string& not_taken);
    std::string VariantColumn(std::string_view procedure, const std::string& column, const std::string& opzione);
    void AddElements(CLSMG_SETUPLISTINI& list_driver, bool sales);
    void ApplyElementToGrid(kv::controls::DataGrid& grid, const std::string& element);
    kv::Error DriverFailure(std::string_view what) const;
    // A load that failed inside a matrix driver (State 99) is raised as the window's error, with what
    // the driver stopped on, and the drivers are made ready to load again: a failed load would
    // otherwise only leave a grid empty.
    void VerificaCaricamento();
    bool SalvaListini();
    void SalvaTipi(std::initializer_list<CLSMG_SETUPVARIANTI*> tipi);
    // SalvaListini, asking what to do when rows were changed by another desktop since they were loaded
    // (frmmg_quendormixal_conflicts.cpp). False when nothing was saved.
    bool SalvaSenzaSovrascrivere();
    long RigheModificateAltrove();
    void AnnullaModifiche();
    bool ChiediEliminazione(CLSMG_SETUPVARIANTI& matrix_driver, bool sales);
    void EliminaTipo(CLSMG_SETUPLISTINI& list_driver, CLSMG_SETUPVARIANTI& matrix_driver,
                     kv::controls::DataGrid& grid, bool sales);
    bool ModificheTenute(CLSMG_SETUPVARIANTI& kept);
    void Elimina();
    void Nuovo();
    void Ricalcola();
    // The history starts over on the matrices as they stand (a key loaded, saved or cancelled).
    void RicominciaStorico();
    // After an undo or a redo: the grids show the matrices again, and what is pending follows them.
    void DopoStorico();
    kv::ado::RecordsetPtr side_rs_;
    kv::ado::RecordsetPtr side_rs1_;
    // The price grids' and copy buttons' part of it.
    void ConnectGridEvents();
    // "Dettaglio", "Anteprima" and F2.
    void ConnectDetailEvents();
    // "Storico", "Annulla ultimo salvataggio" and F4.
    void ConnectHistoryEvents();
    // "Margine %": the toggle and the sales grid's computed column.
    void ConnectMarginEvents();
    // The user's choice of the margin column, as kept for the user.
    void LeggiPreferenzaMargine();
    // The user name the window records changes and keeps choices under: the host's, or the operating
    // system's when the host names none.
    std::string Utente() const;
    // The margins of the sales rows, on what the window holds.
    MarginiVendita& Margini();
    // The price history on the window's connection, for the host's user (the operating system's when
    // the host names none) at the host's time.
    StoricoPrezzi StoricoSessione() const;
    void GrigliaKeyDown(kv::controls::DataGrid& grid, std::string_view procedure, int16_t& KeyCode, int16_t Shift);
    void GrigliaOnEdited(kv::controls::DataGrid& grid, const std::shared_ptr<CLSMG_SETUPVARIANTI>& varianti,
                         std::string_view procedure, const kv::controls::GridEdit& edit);
    void GrigliaRowChanged(const char* lato, const std::shared_ptr<CLSMG_SETUPVARIANTI>& varianti);
    void CopiaPrezzo(std::string_view procedure, bool tutte);
    // The price procedures, handed what the window holds now.
    Recalculation& Pricing();
    std::optional<std::string> RegolaCella(kv::controls::DataGrid& grid, long row, long column, kv::Variant& value);
    // The window's width and height in twips as the resize control last saw them (the designed size
    // before the first resize).
    long ScaleWidth() const;
    long ScaleHeight() const;

    std::shared_ptr<kv::services::Cinterface> active_interface_;
    std::shared_ptr<CLSMG_QUENDORMIXAL> owner_;
    std::weak_ptr<kv::services::WindowPresenter> presenter_;

    bool loaded_ = false;
    bool unloading_ = false;
    int16_t window_state_ = 0;
    std::string caption_ = kTitle;
    int32_t left_ = 0;
    int32_t top_ = 0;
    int32_t width_ = kModalWidth;
    int32_t height_ = kModalHeight;

    kv::ado::ConnectionPtr connection_;
    std::string connection_string_;
    std::string company_code_;
    std::shared_ptr<kv::services::ErrorDisplay> error_display_;
    std::shared_ptr<kv::services::MessageService> messages_;
    std::shared_ptr<kv::services::ArticleSearch> article_search_;
    std::shared_ptr<kv::services::PriceCalculation> price_calculation_;
    std::shared_ptr<kv::services::PriceRounding> price_rounding_;
    std::shared_ptr<kv::services::Application> application_;
    kv::ado::RecordsetPtr parameter_template_;
    std::shared_ptr<CLSMG_SETUPLISTINI> listini_acq_;
    std::shared_ptr<CLSMG_SETUPLISTINI> listini_ven_;
    std::shared_ptr<CLSMG_SETUPVARIANTI> varianti_acq_;
    std::shared_ptr<CLSMG_SETUPVARIANTI> varianti_ven_;
    std::map<std::string, std::shared_ptr<kv::Object>, std::less<>> controls_;
    std::vector<kv::services::Subscription> subscriptions_;
    FormState state_;
    std::unique_ptr<Recalculation> pricing_;
    std::unique_ptr<MarginiVendita> margini_;
    std::unique_ptr<RegolaPrezzi> regola_;
    StoricoModifiche storico_;
    std::map<std::pair<bool, long long>, OriginePeriodo> origini_periodo_;
};

}  // namespace qmx
