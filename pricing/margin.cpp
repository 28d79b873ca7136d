#include "pricing/margin.h"

#include <cstdio>
#include <tuple>

#include "platform/variant/strings.h"
#include "schema/own_tables.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

namespace {

using kv::Decimal;
using kv::Variant;

Decimal SenzaIva(const Decimal& prezzo, bool con_iva, const Decimal& aliquota) {
    if (!con_iva) return prezzo;
    return prezzo * Decimal(100) / (Decimal(100) + aliquota);
}

std::string Valuta(const Variant& v) { return kv::UCase(kv::Trim(kv::CStr(NS(v)))); }

std::string DataSql(kv::Date d) {
    char t[16];
    std::snprintf(t, sizeof t, "'%04d%02d%02d'", d.Year(), d.Month(), d.Day());
    return t;
}

}  // namespace

std::optional<Margine> CalcolaMargine(const CifreMargine& c) {
    Margine m;
    // Through the company's currency: units of the sales currency per unit of the purchase currency.
    m.acquisto_convertito = c.netto_acq * c.cambio_ven / c.cambio_acq;
    m.vendita = SenzaIva(c.netto_ven, c.iva_ven, c.aliquota);
    m.acquisto = SenzaIva(m.acquisto_convertito, c.iva_acq, c.aliquota);
    if (m.vendita.IsZero()) return std::nullopt;
    m.percentuale = (m.vendita - m.acquisto) * Decimal(100) / m.vendita;
    return m;
}

void MarginiVendita::Dimentica() {
    par_ven_.reset();
    par_acq_.reset();
    liste_ven_.clear();
    liste_acq_.clear();
    aliquota_.reset();
    valuta_ditta_.reset();
    tabella_cambi_.reset();
    cambi_.clear();
    righe_ok_ = false;
    acq_.reset();
}

const MarginiVendita::Parametri* MarginiVendita::Lista(const std::shared_ptr<CLSMG_SETUPLISTINI>& driver,
                                                       kv::ado::RecordsetPtr& letti, Tabella& tabella,
                                                       long long lista) {
    if (!driver || !driver->rstParMagLis) return nullptr;
    // The driver reads its parameters again when it sets its grid up: a new recordset, a new table.
    if (letti != driver->rstParMagLis) {
        letti = driver->rstParMagLis;
        tabella.clear();
        // A clone: the parameters keep the filter and the row the driver and the recalculation gave them.
        auto par = letti->Clone();
        for (par->MoveFirst(); !par->IsEOF(); par->MoveNext()) {
            Parametri& p = tabella[static_cast<long long>(kv::CLng(NZ(par->Value("MG44_NUMLIST"))))];
            ++p.righe;
            p.iva = kv::CLng(NZ(par->Value("MG44_FLGIVACOMPR"))) == 1;
            p.valuta = Valuta(par->Value("MG44_VALUTA_CG08"));
            p.riferimento = static_cast<int>(kv::CInt(NZ(par->Value("MG44_NUMLISTACQRIC"))));
        }
    }
    auto it = tabella.find(lista);
    return it == tabella.end() ? nullptr : &it->second;
}

Decimal MarginiVendita::Aliquota() {
    const std::string articolo = kv::CStr(NS(ctx_.article ? ctx_.article() : std::string()));
    if (!aliquota_ || aliquota_->first != articolo) {
        if (!ctx_.connection) throw PricingNotSet("the window's connection");
        aliquota_.emplace(articolo, AliquotaIvaArticolo(*ctx_.connection, ctx_.company, articolo));
    }
    return aliquota_->second;
}

const std::string& MarginiVendita::ValutaDitta() {
    if (!valuta_ditta_) {
        if (!ctx_.connection) throw PricingNotSet("the window's connection");
        auto rs = ctx_.connection->Execute("SELECT CG18_VALUTA_CG08 FROM CG18_DITTE WHERE CG18_CODICE = " +
                                           ctx_.company);
        valuta_ditta_ = rs->IsEOF() ? std::string() : Valuta(rs->Value(0));
        rs->Close();
    }
    return *valuta_ditta_;
}

std::optional<std::pair<Decimal, kv::Date>> MarginiVendita::Cambio(const std::string& valuta, kv::Date giorno) {
    const auto chiave = std::make_pair(valuta, static_cast<double>(giorno.Days()));
    if (auto it = cambi_.find(chiave); it != cambi_.end()) return it->second;
    if (!tabella_cambi_) {
        // A database made before the rates gets their table now, empty: nobody has entered a rate yet.
        // A desktop that may not create it finds none either.
        try {
            if (!ctx_.connection->InTransaction()) schema::AssicuraTabella(*ctx_.connection, schema::kTabellaCambi);
        } catch (const kv::Error&) {
        }
        tabella_cambi_ = schema::EsisteTabella(*ctx_.connection, schema::kTabellaCambi);
    }
    std::optional<std::pair<Decimal, kv::Date>> cambio;
    if (*tabella_cambi_) {
        auto rs = ctx_.connection->Execute(
            "SELECT QX11_CAMBIO, QX11_DATAINIZIO FROM QX11_CAMBI WHERE QX11_DITTA_CG18 = " + ctx_.company +
            " AND QX11_VALUTA_CG08 = '" + RaddoppiaApici(valuta) + "' AND QX11_DATAINIZIO <= " + DataSql(giorno) +
            " ORDER BY QX11_DATAINIZIO DESC");
        // A rate of 0 or less converts nothing: it counts as none.
        if (!rs->IsEOF() && !kv::IsBlank(rs->Value(0)) && kv::CDec(rs->Value(0)).Sign() > 0)
            cambio.emplace(kv::CDec(rs->Value(0)), kv::CDate(rs->Value(1)));
        rs->Close();
    }
    cambi_[chiave] = cambio;
    return cambio;
}

MargineRiga MarginiVendita::Calcola(kv::ado::Recordset& ven) {
    MargineRiga m;
    try {
        Calcola(ven, m);
    } catch (const std::exception&) {
        m.margine.reset();
        m.motivo = "il margine non si pu\u00f2 calcolare (dati non leggibili)";
    }
    return m;
}

void MarginiVendita::Calcola(kv::ado::Recordset& ven, MargineRiga& m) {
    if (ven.IsBOF() || ven.IsEOF()) {
        m.motivo = "nessuna riga";
        return;
    }
    if (kv::IsBlank(ven.Value("LI10_PREZZO"))) {
        m.motivo = "la riga non ha un prezzo di vendita";
        return;
    }
    const long long lista = kv::CLng(NZ(ven.Value("LI10_NUMLIST")));
    const Parametri* pv = Lista(ctx_.listini_ven, par_ven_, liste_ven_, lista);
    if (!pv || pv->righe != 1 || pv->riferimento == 0) {
        m.motivo = "il listino " + std::to_string(lista) + " non ha un listino di acquisto di riferimento";
        return;
    }
    m.lista_acq = pv->riferimento;
    auto acq_matrice = ctx_.varianti_acq ? ctx_.varianti_acq->Recordset() : nullptr;
    if (!acq_matrice) throw PricingNotSet("the purchase matrix");
    if (!righe_ok_ || !acq_ || !(acq_matrice->Rows() == righe_lette_)) {
        righe_ok_ = righe_acq_.Costruisci(*acq_matrice, ven);
        righe_lette_ = acq_matrice->Rows();
        acq_ = acq_matrice->Clone();
        if (!righe_ok_) throw PricingNotSet("the purchase matrix's key fields");
    }
    const auto& trovate = righe_acq_.Trova(ven, static_cast<int16_t>(m.lista_acq));
    const std::string di = "il listino di acquisto " + std::to_string(m.lista_acq);
    if (trovate.empty()) {
        m.motivo = di + " non ha questa opzione";
        return;
    }
    kv::ado::Recordset* acq = acq_.get();
    acq->SetBookmark(Variant(static_cast<long long>(trovate.back())));
    if (kv::IsBlank(acq->Value("LI10_PREZZO"))) {
        m.motivo = di + " non ha un prezzo per questa opzione";
        return;
    }
    const Parametri* pa = Lista(ctx_.listini_acq, par_acq_, liste_acq_, m.lista_acq);

    m.cifre.netto_ven = kv::CDec(NZ(ven.Value("BLT_PREZZONETTO")));
    m.cifre.iva_ven = pv->iva;
    m.cifre.netto_acq = kv::CDec(NZ(acq->Value("BLT_PREZZONETTO")));
    m.cifre.iva_acq = pa && pa->iva;
    if (m.cifre.iva_ven || m.cifre.iva_acq) m.cifre.aliquota = Aliquota();
    m.valuta_ven = Valuta(ven.Value("BLT_VALUTA"));
    m.valuta_acq = Valuta(acq->Value("BLT_VALUTA"));
    const Variant inizio = ven.Value("LI10_DATAINIZIOVAL");
    m.giorno = kv::IsBlank(inizio) ? (oggi_ ? oggi_() : kv::Date::SystemToday()) : kv::CDate(inizio);
    if (m.valuta_ven != m.valuta_acq) {
        m.valuta_ditta = ValutaDitta();
        for (auto [valuta, cambio, dal] : {std::tuple{&m.valuta_ven, &m.cifre.cambio_ven, &m.inizio_cambio_ven},
                                          std::tuple{&m.valuta_acq, &m.cifre.cambio_acq, &m.inizio_cambio_acq}}) {
            if (*valuta == m.valuta_ditta) continue;
            const auto c = Cambio(*valuta, m.giorno);
            if (!c) {
                m.motivo = "manca il cambio di " + *valuta + " al " + m.giorno.ToString();
                return;
            }
            *cambio = c->first;
            *dal = c->second;
        }
    }
    m.margine = CalcolaMargine(m.cifre);
    if (!m.margine) m.motivo = "il prezzo netto di vendita \u00e8 zero";
}

}  // namespace qmx
