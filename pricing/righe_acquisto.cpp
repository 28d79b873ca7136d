#include "pricing/righe_acquisto.h"

#include <cmath>

#include "platform/variant/strings.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

namespace {

using kv::Variant;
using namespace kv::ado;

constexpr const char* kLista = "LI10_NUMLIST";
constexpr const char* kNomiTesti[] = {"BLT_CODICEVAR1", "BLT_OPZIONE1", "BLT_CODICEVAR2", "BLT_OPZIONE2"};

bool Testo(DataTypeEnum t) {
    switch (t) {
        case adBSTR: case adChar: case adWChar: case adVarChar: case adLongVarChar: case adVarWChar:
        case adLongVarWChar:
            return true;
        default:
            return false;
    }
}

bool Numero(DataTypeEnum t) {
    switch (t) {
        case adSmallInt: case adInteger: case adBigInt: case adDouble: case adDecimal: case adNumeric:
        case adCurrency:
            return true;
        default:
            return false;
    }
}

bool Esatto(DataTypeEnum t) { return t == adDecimal || t == adNumeric || t == adCurrency; }

// The field's position when it exists with a type of the wanted kind, else -1.
int Posizione(Recordset& rs, const char* nome, bool (*tipo)(DataTypeEnum)) {
    const int i = rs.GetFields().IndexOf(nome);
    return i >= 0 && tipo(rs.FieldInfos()[i].type) ? i : -1;
}

// The purchase row's list as a whole number; false when it is Null or no whole number, which no
// reference list (a whole number) equals.
bool ListaAcquisto(const Variant& v, bool esatto, int64_t& n) {
    if (v.IsNull() || v.IsEmpty()) return false;
    if (const auto* d = v.TryGet<kv::Decimal>(); d && esatto) {
        if (!d->IsInteger()) return false;
        n = d->ToInt64();
        return true;
    }
    const double x = kv::CDbl(v);
    if (!std::isfinite(x) || std::trunc(x) != x || std::fabs(x) > 9.0e18) return false;
    n = static_cast<int64_t>(x);
    return true;
}

}  // namespace

std::size_t RigheAcquisto::HashChiave::operator()(const Chiave& c) const {
    uint64_t h = static_cast<uint64_t>(c.lista);
    for (const int32_t t : c.testi) h = (h ^ static_cast<uint32_t>(t)) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(h ^ (h >> 29));
}

int32_t RigheAcquisto::Testi::Numero(std::string_view letto, bool aggiungi) {
    // Consecutive rows mostly share their variant codes and options: a text read again is not
    // compared anew.
    if (ultimo_numero != Testi::kNessuno && letto == ultimo) return ultimo_numero;
    int32_t n = -1;
    if (auto letta = letti.find(letto); letta != letti.end()) {
        n = letta->second;  // read before, as it stands
    } else {
        // As the filter compares: without regard to case or trailing blanks.
        std::string testo = kv::UCase(kv::RTrim(letto));
        if (auto it = numeri.find(testo); it != numeri.end()) {
            n = it->second;
        } else if (aggiungi) {
            n = static_cast<int32_t>(numeri.size());
            numeri.emplace(std::move(testo), n);
        }
        // A text no purchase row has stays unknown only while nothing is added.
        if (n >= 0 || !aggiungi) letti.emplace(std::string(letto), n);
    }
    ultimo.assign(letto);
    ultimo_numero = n;
    return n;
}

bool RigheAcquisto::LeggiChiaveAcquisto(Recordset& acq, bool esatto, Chiave& chiave) {
    // The usual matrix holds its list as a Double and its codes as text: read in place, nothing copied.
    std::string_view testi[kTesti];
    double lista = 0;
    if (lista_double_ && acq.Texts(acq_testi_, kTesti, testi)) {
        if (!acq.Numbers(&acq_lista_, 1, &lista)) return false;
        if (lista == 0 && acq.Value(acq_lista_).IsNull()) return false;  // Null reads 0: no list at all
        if (!std::isfinite(lista) || std::trunc(lista) != lista || std::fabs(lista) > 9.0e18) return false;
        chiave.lista = static_cast<int64_t>(lista);
        for (int t = 0; t < kTesti; ++t) chiave.testi[t] = testi_[t].Numero(testi[t], true);
        return true;
    }
    const int campi[1 + kTesti] = {acq_lista_, acq_testi_[0], acq_testi_[1], acq_testi_[2], acq_testi_[3]};
    Variant valori[1 + kTesti];
    acq.Values(campi, 1 + kTesti, valori);
    if (!ListaAcquisto(valori[0], esatto, chiave.lista)) return false;
    for (int t = 0; t < kTesti; ++t) {
        const Variant& v = valori[1 + t];
        // A level the row has no option of (Null, as a one-level grid leaves the other) is blank,
        // as the filter finds it.
        chiave.testi[t] = testi_[t].Numero(v.IsString() ? std::string_view(v.StringValue()) : std::string_view(), true);
    }
    return true;
}

RigheAcquisto::Catena* RigheAcquisto::Cerca(const Chiave& chiave, bool aggiungi) {
    const std::size_t maschera = catene_.size() - 1;
    for (std::size_t i = HashChiave{}(chiave) & maschera;; i = (i + 1) & maschera) {
        Catena& c = catene_[i];
        if (c.prima < 0) {
            if (!aggiungi) return nullptr;
            c.chiave = chiave;
            return &c;
        }
        if (c.chiave == chiave) return &c;
    }
}

bool RigheAcquisto::Costruisci(Recordset& acq, Recordset& ven) {
    catene_.clear();
    segnalibri_.clear();
    seguente_.clear();
    chiavi_.clear();
    prima_.clear();
    ultima_trovata_ = -1;
    for (auto& t : testi_) t = Testi{};
    acq_lista_ = Posizione(acq, kLista, Numero);
    bool ok = acq_lista_ >= 0;
    for (int t = 0; t < kTesti; ++t) {
        acq_testi_[t] = Posizione(acq, kNomiTesti[t], Testo);
        ven_testi_[t] = Posizione(ven, kNomiTesti[t], Testo);
        ok = ok && acq_testi_[t] >= 0 && ven_testi_[t] >= 0;
    }
    if (!ok) return false;
    const bool esatto = Esatto(acq.FieldInfos()[acq_lista_].type);
    lista_double_ = acq.FieldInfos()[acq_lista_].type == adDouble;
    auto copia = acq.Clone();
    const auto righe = static_cast<std::size_t>(std::max(0L, copia->RecordCount()));
    std::size_t posti = 16;
    while (posti < 2 * righe) posti *= 2;
    catene_.assign(posti, Catena{});
    segnalibri_.reserve(righe);
    seguente_.reserve(righe);
    for (copia->MoveFirst(); !copia->IsEOF(); copia->MoveNext()) {
        Chiave chiave;
        if (!LeggiChiaveAcquisto(*copia, esatto, chiave)) continue;
        const auto riga = static_cast<int32_t>(segnalibri_.size());
        segnalibri_.push_back(copia->BookmarkNumber());
        seguente_.push_back(-1);
        chiavi_.push_back(chiave);
        Catena& c = *Cerca(chiave, true);
        if (c.ultima >= 0) {
            seguente_[static_cast<std::size_t>(c.ultima)] = riga;
            prima_.push_back(0);
        } else {
            c.prima = riga;
            prima_.push_back(1);
        }
        c.ultima = riga;
    }
    return true;
}

const std::vector<int64_t>& RigheAcquisto::Trova(Recordset& ven, int16_t lista) {
    trovate_.clear();
    Chiave chiave;
    chiave.lista = lista;
    std::string_view testi[kTesti];
    if (ven.Texts(ven_testi_, kTesti, testi)) {
        // Text, or nothing: the filter holds the sales value as NS gives it, blank or Null as "".
        for (int t = 0; t < kTesti; ++t) {
            chiave.testi[t] = testi_[t].Numero(testi[t], false);
            if (chiave.testi[t] < 0) return trovate_;  // a text no purchase row has
        }
    } else {
        Variant valori[kTesti];
        ven.Values(ven_testi_, kTesti, valori);
        for (int t = 0; t < kTesti; ++t) {
            const Variant& v = valori[t];
            if (v.IsString())
                chiave.testi[t] = testi_[t].Numero(v.StringValue(), false);
            else
                chiave.testi[t] = testi_[t].Numero(v.IsNull() || v.IsEmpty() ? std::string() : kv::CStr(NS(v)), false);
            if (chiave.testi[t] < 0) return trovate_;  // a text no purchase row has
        }
    }
    int32_t prima = ultima_trovata_ + 1;
    if (prima <= 0 || prima >= static_cast<int32_t>(chiavi_.size()) || !prima_[static_cast<std::size_t>(prima)] ||
        !(chiavi_[static_cast<std::size_t>(prima)] == chiave)) {
        const Catena* c = catene_.empty() ? nullptr : Cerca(chiave, false);
        if (!c) return trovate_;
        prima = c->prima;
    }
    ultima_trovata_ = prima;
    for (int32_t r = prima; r >= 0; r = seguente_[static_cast<std::size_t>(r)])
        trovate_.push_back(segnalibri_[static_cast<std::size_t>(r)]);
    return trovate_;
}

}  // namespace qmx
