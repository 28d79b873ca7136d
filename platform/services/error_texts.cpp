#include "platform/services/error_texts.h"

#include <cstdint>
#include <cstdio>

#include "platform/variant/error.h"

namespace kv::services {

namespace {

// The database's messages grouped by the class of their SQLSTATE (its first two characters).
std::optional<std::string> ProviderDescription(const std::string& sql_state) {
    // States that say more than their class.
    if (sql_state == "55P03")
        return "Un altro utente sta modificando gli stessi dati: l'operazione ha atteso il tempo stabilito ed è "
               "stata annullata. Riprovare tra poco.";
    if (sql_state == "42501")
        return "Il database ha rifiutato l'operazione: l'utente del database non ha il permesso di farla.";
    const std::string cls = sql_state.substr(0, 2);
    if (cls == "08")
        return "Impossibile collegarsi al database: il server non è raggiungibile o non accetta la connessione "
               "(anche per la cifratura richiesta), oppure il database non esiste. Il motivo è nei Dettagli.";
    if (cls == "28")
        return "Accesso al database non riuscito: il server chiede una password che non è stata data o che non è "
               "corretta. Il motivo è nei Dettagli.";
    if (cls == "23") return "Il database ha rifiutato i dati: violano un vincolo (per esempio un codice già presente).";
    if (cls == "22") return "Il database ha rifiutato un valore: non è valido per la colonna in cui va scritto.";
    if (cls == "40") return "Il database ha annullato la transazione: nessuna modifica è stata salvata.";
    if (cls == "42") return "Il database ha rifiutato l'istruzione: la tabella, la colonna o la sintassi non sono valide.";
    if (cls == "25") return "Operazione non consentita nello stato attuale della transazione.";
    if (cls == "53" || cls == "57" || cls == "58")
        return "Il server del database non è disponibile: la connessione è stata interrotta.";
    return std::nullopt;
}

// A component raises its own errors past the platform's object-error base, with a text of its own
// that says all the user needs; their number means something to the component's developer only.
bool ComponentOwnNumber(long number) {
    constexpr long kObjectErrorBase = -2147221504;
    return number >= kObjectErrorBase && number < kObjectErrorBase + 0x10000;
}

}  // namespace

std::optional<std::string> ItalianErrorDescription(long number, const std::string& sql_state) {
    switch (number) {
        case err::kInvalidCall: return "Chiamata di routine o argomento non validi.";
        case err::kOverflow: return "Overflow: il valore è fuori dall'intervallo consentito.";
        case 9: return "Indice non compreso nell'intervallo.";
        case err::kDivisionByZero: return "Divisione per zero.";
        case err::kTypeMismatch: return "Tipo non corrispondente: il valore non è del tipo richiesto.";
        case err::kObjectNotSet: return "Variabile oggetto non impostata: un oggetto necessario non è disponibile.";
        case err::kInvalidUseOfNull: return "Uso non valido di Null: manca un valore obbligatorio.";
        case 380: return "Valore della proprietà non valido.";
        case 381: return "Indice della matrice di proprietà non valido.";
        case 429: return "Impossibile creare l'oggetto: il componente non è installato o non si carica.";
        case err::kInvalidArgument:
            return "Argomenti di tipo errato, fuori dall'intervallo consentito o in conflitto tra loro.";
        case err::kNoCurrentRecord:
            return "Nessun record corrente: la posizione è all'inizio o alla fine dei dati, oppure il record è "
                   "stato eliminato.";
        case err::kIllegalOperation: return "Operazione non consentita in questo contesto.";
        case err::kInTransaction: return "Operazione non consentita durante una transazione.";
        case err::kItemNotFound: return "Elemento non trovato nell'insieme con il nome o il numero richiesto.";
        case err::kObjectInCollection: return "L'oggetto è già presente nell'insieme.";
        case err::kDataConversion: return "Il valore non è del tipo richiesto dall'operazione.";
        case err::kObjectClosed: return "Operazione non consentita se l'oggetto è chiuso.";
        case err::kObjectOpen: return "Operazione non consentita se l'oggetto è aperto.";
        case err::kInvalidConnection:
            return "La connessione non può essere usata per questa operazione: è chiusa o non valida.";
        case 35600: return "Indice non compreso nell'intervallo.";
        case 35601: return "Elemento non trovato.";
        case 35602: return "Chiave non univoca nell'insieme.";
        case err::kMultipleStep: return "Il valore non è stato scritto: non è accettato dal campo.";
        case err::kProvider:
            if (auto d = ProviderDescription(sql_state)) return d;
            return "Il database ha segnalato un errore: l'operazione non è stata eseguita.";
        default: return std::nullopt;
    }
}

std::string ErrorNumberText(long number) {
    if (number >= 0) return std::to_string(number);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(static_cast<uint32_t>(number)));
    return hex;
}

UserErrorText DescribeForUser(const ErrorReport& report) {
    UserErrorText out;
    // The SQLSTATE of the database's message for the same error tells a provider error's kind.
    std::string sql_state;
    for (const auto& e : report.connection_errors)
        if (e.number == report.number && !e.sql_state.empty()) {
            sql_state = e.sql_state;
            break;
        }
    const std::optional<std::string> italian = ItalianErrorDescription(report.number, sql_state);
    out.message = italian ? *italian : report.description;
    const bool own = !italian && ComponentOwnNumber(report.number);
    if (report.number != 0 && !own) out.number = "Errore n. " + ErrorNumberText(report.number);

    auto line = [&](const std::string& label, const std::string& text) {
        if (text.empty()) return;
        if (!out.details.empty()) out.details += '\n';
        out.details += label + ": " + text;
    };
    if (own) line("Numero", ErrorNumberText(report.number));
    line("Procedura", report.procedure);
    line("Componente", report.component);
    line("Origine", report.source);
    if (italian && report.description != *italian) line("Descrizione tecnica", report.description);
    // The database's own messages, each once, and not again when it is the description shown above.
    std::vector<std::string> seen{report.description};
    for (const auto& e : report.connection_errors) {
        bool repeated = false;
        for (const auto& s : seen) repeated = repeated || s == e.description;
        if (repeated || e.description.empty()) continue;
        seen.push_back(e.description);
        std::string text = e.description;
        if (e.number != report.number) text += " (" + ErrorNumberText(e.number) + ")";
        line("Messaggio del database", text);
    }
    if (!sql_state.empty()) line("SQLSTATE", sql_state);
    return out;
}

}  // namespace kv::services
