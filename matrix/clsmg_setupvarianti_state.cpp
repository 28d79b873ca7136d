// CLSMG_SETUPVARIANTI: stored properties, the property and configuration checks, the grid type and
// the option code segments. The decisions themselves live in the variant structure the driver holds
// (variants/); here they are trapped so that no error leaves the driver.

#include <algorithm>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"
#include "platform/ado/command.h"
#include "platform/services/cinterface.h"
#include "platform/services/global_services.h"
#include "platform/services/status_bar.h"
#include "platform/variant/error.h"
#include "platform/variant/strings.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

using schema::Trap;

namespace {

bool HasRows(const kv::ado::RecordsetPtr& rs) { return rs && !(rs->IsBOF() || rs->IsEOF()); }

void CloseAndRelease(kv::ado::RecordsetPtr& rs) {
    if (rs && rs->State() == kv::ado::adStateOpen) rs->Close();
    rs.reset();
}

}  // namespace

CLSMG_SETUPVARIANTI::CLSMG_SETUPVARIANTI() {
    varianti_.OnOpzioni1Level = [this](bool inverti) { RiapriOpzioni1(inverti); };
}

CLSMG_SETUPVARIANTI::~CLSMG_SETUPVARIANTI() = default;

void CLSMG_SETUPVARIANTI::SetActiveInterface(std::shared_ptr<kv::services::Cinterface> value) {
    core_.ActiveInterface = std::move(value);
    Trap(core_, [&] {
        if (!core_.ActiveInterface) return;
        auto global = core_.ActiveInterface->ClsGlobal();
        if (!global) return;
        NettiIgnoti();  // the net prices worked out so far may not be what these services give
        if (!price_calculation_) price_calculation_ = global->NewPriceCalculation();
        if (price_calculation_) price_calculation_->SetGlobalServices(global);
    });
}

void CLSMG_SETUPVARIANTI::SetGrid(std::shared_ptr<kv::controls::DataGrid> value) {
    grid_subscription_ = {};
    grid_ = std::move(value);
    if (grid_)
        grid_subscription_ =
            grid_->RowColChange.Connect([this](long, long, long, long) { MostraDescrizioneListino(); });
}

void CLSMG_SETUPVARIANTI::MostraDescrizioneListino() {
    Trap(core_, [&] {
        if (!grid_) return;
        // The grid shows the matrix, or in grid type 4 the pivot: both hold the row's list.
        const kv::ado::RecordsetPtr riga = grid_->DataSource() ? grid_->DataSource() : recordset_;
        if (!HasRows(riga)) return;
        const kv::Variant lista = riga->Value("LI10_NUMLIST");
        const std::string list = kv::CStr(lista);
        auto rs = core_.Execute("SELECT MG44_DESCLIST FROM MG44_PARMAGLIST WHERE MG44_DITTA_CG18 = " +
                                std::to_string(core_.CompanyCode()) + " AND MG44_FLGVENACQ = " +
                                std::to_string(m_eSalPur) + " AND MG44_NUMLIST = " + list);
        if (rs->RecordCount() != 1) return;
        std::string testo = "Listino " + list + " - " + kv::CStr(NS(rs->Value("MG44_DESCLIST")));
        rs->Close();
        // A list whose dates the configuration proposes is saved with them, not with the header's: the
        // user sees which period the prices of the row will have before saving them.
        const std::string periodo = PeriodoProposto(riga == recordset_ ? recordset_ : nullptr, lista);
        if (!periodo.empty()) testo += " - " + periodo;
        grid_->SetToolTipText(testo);
        auto status_bar = core_.ActiveInterface ? core_.ActiveInterface->StatusBar() : nullptr;
        if (!status_bar) return;
        if (!periodo.empty()) {
            status_bar->SetPanelText(2, "Listino " + list + ": " + periodo);
            periodo_in_barra_ = true;
        } else if (periodo_in_barra_) {
            status_bar->SetPanelText(2, "Pronto");
            periodo_in_barra_ = false;
        }
    });
}

std::string CLSMG_SETUPVARIANTI::PeriodoProposto(const kv::ado::RecordsetPtr& riga, const kv::Variant& lista) {
    kv::ado::RecordsetPtr r = riga;
    if (!r) {
        if (!recordset_) return {};
        r = recordset_->Clone();
        r->SetFilter(kv::Variant("LI10_NUMLIST = " + kv::CStr(lista)));
        if (r->IsEOF()) return {};
    }
    auto giorno = [](const kv::Variant& v) -> std::optional<kv::Date> {
        if (const auto* d = v.TryGet<kv::Date>()) return kv::Date::FromYmd(d->Year(), d->Month(), d->Day());
        return std::nullopt;
    };
    auto testata = [](const std::string& t) { return kv::Date::ParseLocal(kv::Trim(t), kv::RegionalSettings::Italian()); };
    const int campo_inizio = r->GetFields().IndexOf("LI10_DATAINIZIOVAL");
    const int campo_fine = r->GetFields().IndexOf("LI10_DATAFINEVAL");
    if (campo_inizio < 0 || campo_fine < 0) return {};
    const auto inizio = giorno(r->Value(campo_inizio));
    const auto fine = giorno(r->Value(campo_fine));
    if (!inizio || !fine) return {};
    if (inizio == testata(DataIni()) && fine == testata(DataFin())) return {};
    return "prezzi validi dal " + inizio->ToString() + " al " + fine->ToString() + " (date proposte dal listino)";
}

// ---- Checks

void CLSMG_SETUPVARIANTI::VerificaProprieta() {
    core_.VerificaProprieta(m_eSalPur, grid_ != nullptr, recordset_ != nullptr);
}

bool CLSMG_SETUPVARIANTI::ConfigurationOk() {
    bool ok = false;
    Trap(core_, [&] {
        VerificaProprieta();
        if (core_.State >= 1) return;
        ok = core_.VariantiConfigurate(cod_variante1_, cod_variante2_);
    });
    return ok;
}

std::string CLSMG_SETUPVARIANTI::GetSql_ParListini() {
    return schema::GetSql_ParListini(core_.CompanyCode(), m_eSalPur);
}

// ---- Grid type

int16_t CLSMG_SETUPVARIANTI::GetIndTipoGriglia() {
    int16_t result = 0;
    Trap(core_, [&] {
        RiapriOpzioni1(false);
        CloseAndRelease(rsOpzioni2);
        rsOpzioni2 =
            core_.Execute(variants::GetSql_ParConfVar(2, core_.CompanyCode(), varianti_.CodArticolo));
        varianti_.GetIndTipoGriglia(result);
    });
    return result;
}

void CLSMG_SETUPVARIANTI::RiapriOpzioni1(bool inverti) {
    CloseAndRelease(rsOpzioni1);
    rsOpzioni1 = core_.Execute(
        variants::GetSql_ParConfVar(inverti ? 2 : 1, core_.CompanyCode(), varianti_.CodArticolo));
}

void CLSMG_SETUPVARIANTI::CaricaConfigurazioneVariantiPerArticolo() {
    varianti_.CaricaConfigurazioneVariantiPerArticolo();
}

std::string CLSMG_SETUPVARIANTI::GetSql_ParConfVar1() {
    std::string sql;
    Trap(core_.State,
         [&] { sql = variants::GetSql_ParConfVar(1, core_.CompanyCode(), varianti_.CodArticolo); });
    return sql;
}

std::string CLSMG_SETUPVARIANTI::GetSql_ParConfVar2() {
    std::string sql;
    Trap(core_.State,
         [&] { sql = variants::GetSql_ParConfVar(2, core_.CompanyCode(), varianti_.CodArticolo); });
    return sql;
}

// ---- Option code segments

std::string CLSMG_SETUPVARIANTI::VerificaOpzione(const std::string& articolo, const std::string& opzione) {
    std::string motivo;
    const std::string testo = kv::RTrim(opzione);
    Trap(core_, [&] {
        if (testo.empty()) return;
        auto query = [&](const std::string& sql, const std::vector<kv::Variant>& valori) {
            auto cmd = kv::ado::Command::Create();
            cmd->SetActiveConnection(core_.ADOConnection);
            cmd->SetCommandText(sql);
            for (const auto& v : valori)
                cmd->GetParameters().Append(cmd->CreateParameter({}, kv::ado::adEmpty, kv::ado::adParamInput, 0, v));
            return cmd->Execute();
        };
        const kv::Variant ditta(core_.CompanyCode());
        auto varianti = query("SELECT MG5F_CODICEVAR, MG5F_DESCR_VAR, MG5F_SIZE FROM MG5F_DIMECONF WHERE "
                              "MG5F_DITTA_CG18 = ? ORDER BY MG5F_CODICEVAR",
                              {ditta});
        struct Segmento {
            std::string codice, descrizione;
            std::size_t inizio, dimensione;
        };
        std::vector<Segmento> segmenti;
        std::size_t totale = 0;
        for (; !varianti->IsEOF(); varianti->MoveNext()) {
            const auto dimensione = static_cast<std::size_t>(std::max<long>(0, kv::CLng(NZ(varianti->Value(2)))));
            segmenti.push_back({kv::Trim(kv::CStr(NS(varianti->Value(0)))), kv::Trim(kv::CStr(NS(varianti->Value(1)))),
                                totale, dimensione});
            totale += dimensione;
        }
        // Codes are fixed-width in characters, whatever bytes a character takes.
        const std::size_t caratteri = kv::Len(testo);
        if (caratteri > totale) {
            motivo = "L'opzione \"" + testo + "\" \u00e8 pi\u00f9 lunga del codice opzione degli articoli (" +
                     std::to_string(totale) + " caratteri).";
            return;
        }
        for (const auto& s : segmenti) {
            if (s.inizio >= caratteri) break;
            const std::string valore =
                kv::Trim(kv::Mid(testo, static_cast<long>(s.inizio) + 1, static_cast<long>(s.dimensione)));
            if (valore.empty()) continue;
            const bool gestita = !query("SELECT MG6B_FLGGESTVAR FROM MG6B_GESVARART WHERE MG6B_DITTA_CG18 = ? AND "
                                        "MG6B_CODART_MG66 = ? AND MG6B_CODICEVAR_MG5F = ? AND MG6B_FLGGESTVAR = 1",
                                        {ditta, kv::Variant(kv::RTrim(articolo)), kv::Variant(s.codice)})
                                      ->IsEOF();
            const bool prevista = !query("SELECT MG5E_OPZIONE FROM MG5E_OPZIONI WHERE MG5E_DITTA_CG18 = ? AND "
                                         "MG5E_CODICEVAR_MG5F = ? AND MG5E_OPZIONE = ?",
                                         {ditta, kv::Variant(s.codice), kv::Variant(valore)})
                                       ->IsEOF();
            if (gestita && prevista) continue;
            const std::string variante = s.descrizione.empty() ? s.codice : s.descrizione;
            motivo = "L'opzione \"" + testo + "\" non esiste per l'articolo " + kv::RTrim(articolo) + ": " +
                     (gestita ? "\"" + valore + "\" non \u00e8 tra le opzioni di " + variante + "."
                              : "l'articolo non ha la variante " + variante + ".");
            return;
        }
    });
    if (core_.State == schema::kStateTrapped && motivo.empty() && !testo.empty())
        motivo = "L'opzione \"" + testo + "\" non si pu\u00f2 verificare: " +
                 (core_.UltimoErrore ? core_.UltimoErrore->Description() : std::string("errore di accesso ai dati"));
    return motivo;
}

int16_t CLSMG_SETUPVARIANTI::GetStart(int16_t tipo) {
    int16_t r = 0;
    Trap(core_, [&] { r = segmenti_.GetStart(tipo); });
    return r;
}

int16_t CLSMG_SETUPVARIANTI::GetStart1Liv() {
    int16_t r = 0;
    Trap(core_, [&] { r = segmenti_.GetStart1Liv(); });
    return r;
}

int16_t CLSMG_SETUPVARIANTI::GetStart2Liv() {
    int16_t r = 0;
    Trap(core_, [&] { r = segmenti_.GetStart2Liv(); });
    return r;
}

int16_t CLSMG_SETUPVARIANTI::GetLen(int16_t tipo) {
    int16_t r = 0;
    Trap(core_, [&] { r = segmenti_.GetLen(tipo); });
    return r;
}

int16_t CLSMG_SETUPVARIANTI::GetLen1Liv() {
    int16_t r = 0;
    Trap(core_, [&] { r = segmenti_.GetLen1Liv(); });
    return r;
}

int16_t CLSMG_SETUPVARIANTI::GetLen2Liv() {
    int16_t r = 0;
    Trap(core_, [&] { r = segmenti_.GetLen2Liv(); });
    return r;
}

kv::Variant CLSMG_SETUPVARIANTI::GetSegmento(int16_t IndGriglia) {
    kv::Variant r;
    Trap(core_, [&] { r = segmenti_.GetSegmento(IndGriglia); });
    return r;
}

std::string CLSMG_SETUPVARIANTI::GetSqlLkpSegmenti(int16_t IndGriglia) {
    std::string r;
    Trap(core_, [&] { r = segmenti_.GetSqlLkpSegmenti(IndGriglia); });
    return r;
}

std::string CLSMG_SETUPVARIANTI::GetSqlDecSegmenti(const std::string& fstrOpzione, int16_t IndGriglia) {
    std::string r;
    Trap(core_, [&] { r = segmenti_.GetSqlDecSegmenti(fstrOpzione, IndGriglia); });
    return r;
}

std::string CLSMG_SETUPVARIANTI::OpzioneCalcolata(const std::string& opz1, const std::string& opz2) {
    return variants::OpzioneCalcolata(opzione_preimpostata_, varianti_.Livelli, opz1, opz2);
}

std::string CLSMG_SETUPVARIANTI::LoadTxtOpzione() {
    std::string r;
    Trap(core_, [&] {
        if (!HasRows(recordset_)) return;
        // With Inverti the article's only grid level is shown in the second-level columns but fills the
        // segment of the level the segment records mark as the first.
        const std::string opz1 =
            kv::CStr(NS(recordset_->Value(varianti_.Inverti ? "BLT_OPZIONE2" : "BLT_OPZIONE1")));
        const std::string opz2 =
            varianti_.Inverti ? std::string() : kv::CStr(NS(recordset_->Value("BLT_OPZIONE2")));
        r = OpzioneCalcolata(opz1, opz2);
    });
    return r;
}

std::string CLSMG_SETUPVARIANTI::ComposeOpzione(const std::string& opz) {
    std::string r;
    Trap(core_, [&] {
        const std::string base = kv::PadRight(kv::Left(opzione_preimpostata_, variants::kLunghezzaOpzione),
                                              variants::kLunghezzaOpzione);
        r = variants::SostituisciLivello(base, kv::Left(kv::RTrim(opz), segmenti_.GetLen1Liv()),
                                         segmenti_.GetStart1Liv());
    });
    return r;
}

}  // namespace qmx
