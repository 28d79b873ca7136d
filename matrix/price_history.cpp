#include "matrix/price_history.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <tuple>

#include "matrix/stored_price_rows.h"
#include "platform/ado/command.h"
#include "platform/variant/error.h"
#include "platform/variant/strings.h"
#include "schema/own_tables.h"

namespace qmx {

using kv::Variant;

namespace {

constexpr const char* kFonte = "StoricoPrezzi";

// The columns a history row is written with, in the order Registra binds them.
constexpr const char* kColonneScritte =
    "QX10_SALVATAGGIO, QX10_INDOPERAZ, QX10_ANNULLA_QX10, QX10_DITTA_CG18, QX10_FLGVENDACQ, QX10_CODART_MG66, "
    "QX10_OPZIONE_MG5E, QX10_NUMLIST, QX10_DATAINIZIOVAL, QX10_DATAFINEVAL, QX10_INDRIGA, QX10_COLONNA, "
    "QX10_VALOREPREC, QX10_VALORENUOVO, QX10_DATAORA, QX10_UTENTE";
constexpr std::size_t kNumeroScritte = 16;

constexpr const char* kColonneLette =
    "QX10_ID, QX10_SALVATAGGIO, QX10_INDOPERAZ, QX10_FLGVENDACQ, QX10_CODART_MG66, QX10_OPZIONE_MG5E, "
    "QX10_NUMLIST, QX10_DATAINIZIOVAL, QX10_DATAFINEVAL, QX10_INDRIGA, QX10_COLONNA, QX10_VALOREPREC, "
    "QX10_VALORENUOVO, QX10_DATAORA, QX10_UTENTE";

kv::ado::CommandPtr Comando(const kv::ado::ConnectionPtr& connection, const std::string& sql,
                            const std::vector<Variant>& valori) {
    auto cmd = kv::ado::Command::Create();
    cmd->SetActiveConnection(connection);
    cmd->SetCommandText(sql);
    for (const auto& v : valori)
        cmd->GetParameters().Append(cmd->CreateParameter({}, kv::ado::adEmpty, kv::ado::adParamInput, 0, v));
    return cmd;
}

void Lega(kv::ado::Command& cmd, const std::vector<Variant>& valori) {
    for (std::size_t i = 0; i < valori.size(); ++i) cmd.GetParameters()[static_cast<int>(i)].SetValue(valori[i]);
}

Variant Testo(const std::optional<std::string>& t) { return t ? Variant(*t) : Variant::Null(); }
std::optional<std::string> Testo(const Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return std::nullopt;
    return kv::RTrim(kv::CStr(v));
}

// The day and time of day as both engines read a timestamp written as text.
std::string Timestamp(kv::Date d) {
    char t[32];
    std::snprintf(t, sizeof t, "%04d-%02d-%02d %02d:%02d:%02d", d.Year(), d.Month(), d.Day(), d.Hour(), d.Minute(),
                  d.Second());
    return t;
}

// The compared column's place (its type decides how a recorded value is written back); -1 for another.
int PostoColonna(const std::string& colonna) {
    for (int c = 0; c < kColonneConfrontate; ++c)
        if (colonna == kNomiConfrontati[c]) return c;
    return -1;
}

// A recorded value as the column stores it.
Variant ValoreColonna(const std::string& colonna, const std::optional<std::string>& testo) {
    if (!testo) return Variant::Null();
    const int posto = PostoColonna(colonna);
    if (posto < 0) throw kv::Error(kv::err::kInvalidCall, "Colonna sconosciuta nello storico: " + colonna, kFonte);
    switch (TipoDi(posto)) {
        case TipoConfrontato::kTesto: return Variant(*testo);
        case TipoConfrontato::kData:
            if (auto d = kv::Date::ParseIso(*testo)) return Variant(*d);
            break;
        case TipoConfrontato::kNumero:
            if (auto d = kv::Decimal::Parse(*testo)) return Variant(*d);
            break;
    }
    throw kv::Error(kv::err::kTypeMismatch, "Valore non leggibile nello storico: " + colonna + " = " + *testo, kFonte);
}

bool Numerica(const std::string& colonna) {
    const int posto = PostoColonna(colonna);
    return posto >= 0 && TipoDi(posto) == TipoConfrontato::kNumero;
}

// Whether two recorded values of a column are the same stored value: numbers compare by value. Null
// differs from 0 and from blank text, as the database keeps them apart: an undo puts back exactly what
// was stored.
bool StessoValore(bool numerica, const std::optional<std::string>& a, const std::optional<std::string>& b) {
    if (a && b && numerica) {
        const auto da = kv::Decimal::Parse(*a);
        const auto db = kv::Decimal::Parse(*b);
        if (da && db) return da->Normalized().ToString() == db->Normalized().ToString();
    }
    return a == b;
}

// Whether a value is nothing worth naming in a row that comes or goes: Null, blank text, a 0.
bool Vuoto(bool numerica, const std::optional<std::string>& v) {
    if (!v || v->empty()) return true;
    if (!numerica) return false;
    const auto d = kv::Decimal::Parse(*v);
    return d && d->IsZero();
}

std::vector<Variant> ValoriChiave(const RigaListino& r) {
    return {Variant(r.ditta),   Variant(int32_t{r.tipo}), Variant(r.articolo), Variant(r.opzione),
            Variant(r.lista),   Variant(r.inizio),        Variant(r.fine)};
}

RigaListino RigaLetta(kv::ado::Recordset& rs, int32_t ditta) {
    RigaListino r;
    r.ditta = ditta;
    r.tipo = static_cast<int16_t>(kv::CLng(rs.Value("QX10_FLGVENDACQ")));
    r.articolo = kv::RTrim(kv::CStr(rs.Value("QX10_CODART_MG66")));
    r.opzione = kv::RTrim(Testo(rs.Value("QX10_OPZIONE_MG5E")).value_or(""));
    r.lista = kv::CLng(rs.Value("QX10_NUMLIST"));
    r.inizio = kv::CDate(rs.Value("QX10_DATAINIZIOVAL"));
    r.fine = kv::CDate(rs.Value("QX10_DATAFINEVAL"));
    return r;
}

}  // namespace

std::strong_ordering RigaListino::operator<=>(const RigaListino& o) const {
    if (auto c = std::tie(ditta, tipo, articolo, opzione, lista) <=> std::tie(o.ditta, o.tipo, o.articolo, o.opzione, o.lista);
        c != 0)
        return c;
    if (auto c = inizio.Days() <=> o.inizio.Days(); c != 0) return c;
    return fine.Days() <=> o.fine.Days();
}

std::optional<std::string> ValoreStorico(const Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return std::nullopt;
    if (const auto* d = v.TryGet<kv::Date>()) return d->ToYmd();
    if (v.IsString()) return kv::RTrim(v.StringValue());
    if (v.IsNumber()) return kv::CDec(v).Normalized().ToString('.');
    return kv::CStr(v);
}

std::vector<CellaStorico> CelleCambiate(const RigaListino& riga, const std::vector<Variant>* prima,
                                        const std::vector<Variant>* dopo) {
    std::vector<CellaStorico> out;
    if (!prima && !dopo) return out;
    const EsitoRiga esito = !prima ? EsitoRiga::kInserita : !dopo ? EsitoRiga::kEliminata : EsitoRiga::kAggiornata;
    for (int c = 0; c < kColonneConfrontate; ++c) {
        // A save of thousands of rows changes a price or two of each: the columns that hold the very same
        // value before and after are passed over without being written out and read back as text.
        if (esito == EsitoRiga::kAggiornata &&
            StessoDato((*prima)[static_cast<std::size_t>(c)], (*dopo)[static_cast<std::size_t>(c)]))
            continue;
        const std::string colonna = kNomiConfrontati[c];
        auto p = prima ? ValoreStorico((*prima)[static_cast<std::size_t>(c)]) : std::nullopt;
        auto d = dopo ? ValoreStorico((*dopo)[static_cast<std::size_t>(c)]) : std::nullopt;
        if (esito == EsitoRiga::kAggiornata) {
            if (StessoValore(TipoDi(c) == TipoConfrontato::kNumero, p, d)) continue;
        } else {
            // A row that comes or goes: its price always, the rest where it holds something.
            if (c != 0 && Vuoto(TipoDi(c) == TipoConfrontato::kNumero, prima ? p : d)) continue;
        }
        out.push_back({riga, esito, colonna, std::move(p), std::move(d)});
    }
    return out;
}

StoricoPrezzi::StoricoPrezzi(kv::ado::ConnectionPtr connection, std::string utente, kv::Date ora)
    : connection_(std::move(connection)), utente_(std::move(utente)), ora_(ora) {
    if (!connection_) throw kv::Error(kv::err::kObjectNotSet, "Connessione dello storico non impostata", kFonte);
}

long StoricoPrezzi::Registra(const std::vector<CellaStorico>& celle, Operazione operazione, long annullato) {
    if (celle.empty()) return 0;
    schema::AssicuraTabella(*connection_, schema::kTabellaStorico);
    std::string segnaposti;
    for (std::size_t i = 0; i < kNumeroScritte; ++i) segnaposti += i == 0 ? "?" : ", ?";
    const std::string insert =
        std::string("INSERT INTO QX10_STORICOPREZZI (") + kColonneScritte + ") VALUES (" + segnaposti + ")";
    const std::string quando = Timestamp(ora_);
    auto valori = [&](const CellaStorico& c, long salvataggio) {
        std::vector<Variant> v{salvataggio ? Variant(int32_t(salvataggio)) : Variant::Null(),
                               Variant(int32_t(operazione)),
                               annullato ? Variant(int32_t(annullato)) : Variant::Null()};
        const auto chiave = ValoriChiave(c.riga);
        v.insert(v.end(), chiave.begin(), chiave.end());
        v.insert(v.end(), {Variant(int32_t(c.esito)), Variant(c.colonna), Testo(c.prima), Testo(c.dopo),
                           Variant(quando), Variant(utente_)});
        return v;
    };
    // The first row is numbered by the database, and its number is the save's.
    auto primo = Comando(connection_, insert + " RETURNING QX10_ID", valori(celle.front(), 0));
    auto numero = primo->Execute();
    const long salvataggio = kv::CLng(numero->Value(0));
    // The others go many to a statement: a save of thousands of prices records thousands of rows, and
    // one statement a row costs more than the rows themselves.
    constexpr std::size_t kPerIstruzione = 64;
    auto istruzione = [&](std::size_t righe) {
        std::string sql = std::string("INSERT INTO QX10_STORICOPREZZI (") + kColonneScritte + ") VALUES ";
        for (std::size_t r = 0; r < righe; ++r) sql += (r == 0 ? "(" : ", (") + segnaposti + ")";
        return sql;
    };
    // Full statements run one after the other without waiting; the shorter last one after they are done.
    kv::ado::CommandPtr pieno;
    for (std::size_t i = 1; i < celle.size();) {
        const std::size_t righe = std::min(kPerIstruzione, celle.size() - i);
        std::vector<Variant> lotto;
        lotto.reserve(righe * kNumeroScritte);
        for (std::size_t r = 0; r < righe; ++r) {
            auto v = valori(celle[i + r], salvataggio);
            lotto.insert(lotto.end(), std::make_move_iterator(v.begin()), std::make_move_iterator(v.end()));
        }
        i += righe;
        if (righe < kPerIstruzione) {
            if (pieno) pieno->Complete();
            pieno.reset();
            Comando(connection_, istruzione(righe), lotto)->Execute(nullptr, kv::ado::adExecuteNoRecords);
            break;
        }
        if (!pieno)
            pieno = Comando(connection_, istruzione(righe), lotto);
        else
            Lega(*pieno, lotto);
        pieno->Execute(nullptr, kv::ado::adExecuteNoRecords | kv::ado::adAsyncExecute);
    }
    if (pieno) pieno->Complete();
    return salvataggio;
}

std::vector<StoricoPrezzi::Voce> StoricoPrezzi::DiCella(const RigaListino& riga, const std::string& colonna) {
    std::vector<Voce> out;
    if (!schema::EsisteTabella(*connection_, schema::kTabellaStorico)) return out;
    auto valori = ValoriChiave(riga);
    valori.emplace_back(colonna);
    auto cmd = Comando(connection_,
                       std::string("SELECT ") + kColonneLette +
                           " FROM QX10_STORICOPREZZI WHERE QX10_DITTA_CG18 = ? AND QX10_FLGVENDACQ = ?"
                           " AND QX10_CODART_MG66 = ? AND QX10_OPZIONE_MG5E = ? AND QX10_NUMLIST = ?"
                           " AND QX10_DATAINIZIOVAL = ? AND QX10_DATAFINEVAL = ? AND QX10_COLONNA = ?"
                           " ORDER BY QX10_ID DESC",
                       valori);
    for (auto rs = cmd->Execute(); !rs->IsEOF(); rs->MoveNext()) {
        Voce v;
        const Variant s = rs->Value("QX10_SALVATAGGIO");
        v.salvataggio = kv::CLng(s.IsNull() ? rs->Value("QX10_ID") : s);
        v.operazione = static_cast<Operazione>(kv::CLng(rs->Value("QX10_INDOPERAZ")));
        v.esito = static_cast<EsitoRiga>(kv::CLng(rs->Value("QX10_INDRIGA")));
        // The value is kept while its date is read: a pointer into a temporary would outlive it.
        const Variant quando = rs->Value("QX10_DATAORA");
        if (const auto* d = quando.TryGet<kv::Date>()) v.quando = *d;
        v.utente = Testo(rs->Value("QX10_UTENTE")).value_or("");
        v.prima = Testo(rs->Value("QX10_VALOREPREC"));
        v.dopo = Testo(rs->Value("QX10_VALORENUOVO"));
        out.push_back(std::move(v));
    }
    return out;
}

StoricoPrezzi::Annullamento StoricoPrezzi::PreparaAnnullamento(int32_t ditta, const std::string& articolo) {
    Annullamento a;
    if (!schema::EsisteTabella(*connection_, schema::kTabellaStorico)) return a;
    const Variant v_ditta(ditta), v_articolo(kv::RTrim(articolo));
    // The user's latest "Conferma" of the article.
    auto ultimo = Comando(connection_,
                          "SELECT ISNULL(QX10_SALVATAGGIO, QX10_ID) AS S FROM QX10_STORICOPREZZI"
                          " WHERE QX10_DITTA_CG18 = ? AND QX10_CODART_MG66 = ? AND QX10_UTENTE = ?"
                          " AND QX10_INDOPERAZ = 1 ORDER BY QX10_ID DESC",
                          {v_ditta, v_articolo, Variant(utente_)})
                      ->Execute();
    if (ultimo->IsEOF()) return a;
    a.salvataggio = kv::CLng(ultimo->Value(0));
    const Variant v_salv(int32_t(a.salvataggio));
    a.gia_annullato = !Comando(connection_, "SELECT QX10_ID FROM QX10_STORICOPREZZI WHERE QX10_ANNULLA_QX10 = ?", {v_salv})
                           ->Execute()
                           ->IsEOF();
    long ultima_riga = 0;
    auto righe = Comando(connection_,
                         std::string("SELECT ") + kColonneLette +
                             " FROM QX10_STORICOPREZZI WHERE QX10_ID = ? OR QX10_SALVATAGGIO = ? ORDER BY QX10_ID",
                         {v_salv, v_salv})
                     ->Execute();
    std::map<RigaListino, EsitoRiga> esiti;
    for (; !righe->IsEOF(); righe->MoveNext()) {
        CellaStorico c;
        c.riga = RigaLetta(*righe, ditta);
        c.esito = static_cast<EsitoRiga>(kv::CLng(righe->Value("QX10_INDRIGA")));
        c.colonna = kv::RTrim(kv::CStr(righe->Value("QX10_COLONNA")));
        c.prima = Testo(righe->Value("QX10_VALOREPREC"));
        c.dopo = Testo(righe->Value("QX10_VALORENUOVO"));
        if (a.celle.empty()) {
            const Variant quando = righe->Value("QX10_DATAORA");
            if (const auto* d = quando.TryGet<kv::Date>()) a.quando = *d;
        }
        ultima_riga = std::max<long>(ultima_riga, kv::CLng(righe->Value("QX10_ID")));
        esiti.emplace(c.riga, c.esito);
        a.celle.push_back(std::move(c));
    }
    for (const auto& [riga, esito] : esiti) (esito == EsitoRiga::kInserita ? a.tolte : a.ripristinate) += 1;

    // Rows a later save (of anyone) changed, unless that save was undone in turn: the undo put back
    // exactly what it had replaced.
    std::set<RigaListino> cambiate;
    auto dopo = Comando(connection_,
                        std::string("SELECT ") + kColonneLette +
                            ", QX10_ANNULLA_QX10 FROM QX10_STORICOPREZZI WHERE QX10_DITTA_CG18 = ?"
                            " AND QX10_CODART_MG66 = ? AND QX10_ID > ?",
                        {v_ditta, v_articolo, Variant(int32_t(ultima_riga))})
                    ->Execute();
    std::set<long> annullati;
    std::vector<std::pair<long, RigaListino>> toccate;  // save -> row
    for (; !dopo->IsEOF(); dopo->MoveNext()) {
        if (kv::CLng(dopo->Value("QX10_INDOPERAZ")) == int(Operazione::kAnnullamento)) {
            annullati.insert(kv::CLng(dopo->Value("QX10_ANNULLA_QX10")));
            continue;
        }
        const Variant s = dopo->Value("QX10_SALVATAGGIO");
        toccate.emplace_back(kv::CLng(s.IsNull() ? dopo->Value("QX10_ID") : s), RigaLetta(*dopo, ditta));
    }
    for (const auto& [salvataggio, riga] : toccate)
        if (!annullati.count(salvataggio) && esiti.count(riga)) cambiate.insert(riga);

    // Rows whose stored values are no longer those the save wrote (changed without the window, deleted).
    std::map<RigaListino, std::map<std::string, std::optional<std::string>>> memorizzate;
    {
        std::string sql = "SELECT LI10_FLGVENDACQ AS QX10_FLGVENDACQ, LI10_CODART_MG66 AS QX10_CODART_MG66, "
                          "LI10_OPZIONE_MG5E AS QX10_OPZIONE_MG5E, LI10_NUMLIST AS QX10_NUMLIST, "
                          "LI10_DATAINIZIOVAL AS QX10_DATAINIZIOVAL, LI10_DATAFINEVAL AS QX10_DATAFINEVAL";
        for (const char* nome : kNomiConfrontati) sql.append(", ").append(nome);
        sql += " FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = ? AND LI10_CODART_MG66 = ? AND LI10_FLGUSODECOR = 0"
               " AND LI10_INDTIPOLIS = 0 AND LI10_DEPOS_MG58 = ''";
        for (auto rs = Comando(connection_, sql, {v_ditta, v_articolo})->Execute(); !rs->IsEOF(); rs->MoveNext()) {
            auto& valori = memorizzate[RigaLetta(*rs, ditta)];
            for (const char* nome : kNomiConfrontati) valori[nome] = ValoreStorico(rs->Value(nome));
        }
    }
    for (const auto& c : a.celle) {
        const auto m = memorizzate.find(c.riga);
        if (c.esito == EsitoRiga::kEliminata) {
            if (m != memorizzate.end()) cambiate.insert(c.riga);
        } else if (m == memorizzate.end() || !StessoValore(Numerica(c.colonna), m->second.at(c.colonna), c.dopo)) {
            cambiate.insert(c.riga);
        }
    }
    a.cambiate.assign(cambiate.begin(), cambiate.end());
    return a;
}

void StoricoPrezzi::Annulla(const Annullamento& a, kv::Date oggi) {
    if (a.salvataggio == 0 || a.gia_annullato || !a.cambiate.empty())
        throw kv::Error(kErroreAnnullamento, "Il salvataggio non si pu\u00f2 annullare", kFonte);
    // The cells of each row, in the save's order of rows.
    std::vector<RigaListino> ordine;
    std::map<RigaListino, std::vector<const CellaStorico*>> per_riga;
    for (const auto& c : a.celle) {
        auto& celle = per_riga[c.riga];
        if (celle.empty()) ordine.push_back(c.riga);
        celle.push_back(&c);
    }
    const std::string chiave =
        "LI10_DITTA_CG18 = ? AND LI10_FLGVENDACQ = ? AND LI10_CODART_MG66 = ? AND LI10_OPZIONE_MG5E = ?"
        " AND LI10_NUMLIST = ? AND LI10_DATAINIZIOVAL = ? AND LI10_DATAFINEVAL = ? AND LI10_FLGUSODECOR = 0"
        " AND LI10_INDTIPOLIS = 0 AND LI10_DEPOS_MG58 = ''";
    std::vector<CellaStorico> fatte;
    for (const auto& riga : ordine) {
        const auto& celle = per_riga.at(riga);
        const EsitoRiga esito = celle.front()->esito;
        if (esito == EsitoRiga::kEliminata)
            throw kv::Error(kErroreAnnullamento, "Un salvataggio non elimina righe: nulla da ripristinare", kFonte);
        // The row must still hold what the save wrote: a change that slipped in since the check finds
        // no row, and the caller's transaction is undone.
        std::string condizione;
        std::vector<Variant> valori_condizione;
        for (const CellaStorico* c : celle) {
            // Only the compared columns are ever recorded; a row that names another is not ours to follow.
            if (PostoColonna(c->colonna) < 0)
                throw kv::Error(kv::err::kInvalidCall, "Colonna sconosciuta nello storico: " + c->colonna, kFonte);
            if (c->dopo) {
                condizione += " AND " + c->colonna + " = ?";
                valori_condizione.push_back(ValoreColonna(c->colonna, c->dopo));
            } else {
                condizione += " AND " + c->colonna + " IS NULL";
            }
        }
        std::string sql;
        std::vector<Variant> valori;
        if (esito == EsitoRiga::kInserita) {
            sql = "DELETE FROM LI10_LISTARTIC WHERE " + chiave + condizione;
        } else {
            sql = "UPDATE LI10_LISTARTIC SET ";
            for (const CellaStorico* c : celle) {
                sql += c->colonna + " = ?, ";
                valori.push_back(ValoreColonna(c->colonna, c->prima));
            }
            sql += "LI10_DATAULTAGG = ? WHERE " + chiave + condizione;
            valori.emplace_back(oggi);
        }
        const auto k = ValoriChiave(riga);
        valori.insert(valori.end(), k.begin(), k.end());
        valori.insert(valori.end(), valori_condizione.begin(), valori_condizione.end());
        long toccate = 0;
        Comando(connection_, sql, valori)->Execute(&toccate);
        if (toccate != 1)
            throw kv::Error(kErroreAnnullamento,
                            "Un prezzo \u00e8 stato modificato da un altro utente durante l'annullamento", kFonte);
        for (const CellaStorico* c : celle)
            fatte.push_back({c->riga, esito == EsitoRiga::kInserita ? EsitoRiga::kEliminata : EsitoRiga::kAggiornata,
                             c->colonna, c->dopo, c->prima});
    }
    Registra(fatte, Operazione::kAnnullamento, a.salvataggio);
}

}  // namespace qmx
