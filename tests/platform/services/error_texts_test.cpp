#include "platform/services/error_texts.h"

#include <gtest/gtest.h>

#include "platform/variant/error.h"

namespace kv::services {
namespace {

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(ErrorTexts, ADatabaseThatDoesNotOpenIsToldOnceInItalianWithTheDetailApart) {
    // What the window's load hands the display when the SQLite file is missing: the provider's number,
    // its English description with a developer's hint, and the same message in the connection's errors.
    ErrorReport r;
    r.number = err::kProvider;
    r.description = "The SQLite database file \"x\" does not exist (Mode=Create in the connection string creates it).";
    r.source = "kv.ado.SQLite";
    r.procedure = "Form_Load";
    r.component = "PEXA_QUENDORMIXAL";
    r.connection_errors = {{err::kProvider, r.description, "kv.ado.SQLite", "08001", 14}};
    const UserErrorText t = DescribeForUser(r);
    EXPECT_EQ(t.message.rfind("Impossibile collegarsi al database: il server non è raggiungibile", 0), 0u) << t.message;
    EXPECT_EQ(t.number, "Errore n. 0x80004005");
    const std::string shown = t.message + t.number;
    EXPECT_EQ(shown.find("Mode=Create"), std::string::npos);
    EXPECT_EQ(shown.find("-2147467259"), std::string::npos);
    // The engine's message once, under the detail, with the procedure and the source.
    EXPECT_EQ(Count(t.details, "does not exist"), 1u) << t.details;
    EXPECT_EQ(Count(t.details, "0x80004005"), 0u) << t.details;
    EXPECT_NE(t.details.find("Procedura: Form_Load"), std::string::npos) << t.details;
    EXPECT_NE(t.details.find("Origine: kv.ado.SQLite"), std::string::npos) << t.details;
}

TEST(ErrorTexts, EveryPlatformErrorAUserCanMeetHasAnItalianText) {
    struct Case {
        long number;
        const char* sql_state;
        const char* starts;
    };
    for (const Case& c : {Case{err::kTypeMismatch, "", "Tipo non corrispondente"},
                          Case{err::kObjectNotSet, "", "Variabile oggetto non impostata"},
                          Case{err::kOverflow, "", "Overflow"},
                          Case{err::kInvalidUseOfNull, "", "Uso non valido di Null"},
                          Case{err::kItemNotFound, "", "Elemento non trovato"},
                          Case{err::kNoCurrentRecord, "", "Nessun record corrente"},
                          Case{err::kObjectClosed, "", "Operazione non consentita se l'oggetto è chiuso"},
                          Case{err::kInvalidConnection, "", "La connessione non può"},
                          Case{err::kMultipleStep, "", "Il valore non è stato scritto"},
                          Case{err::kProvider, "42P01", "Il database ha rifiutato l'istruzione"},
                          Case{err::kProvider, "23505", "Il database ha rifiutato i dati"},
                          Case{err::kProvider, "57P01", "Il server del database non è disponibile"},
                          Case{err::kProvider, "55P03", "Un altro utente sta modificando gli stessi dati"},
                          Case{err::kProvider, "42501", "Il database ha rifiutato l'operazione: l'utente"},
                          Case{err::kProvider, "28000", "Accesso al database non riuscito"},
                          Case{err::kProvider, "28P01", "Accesso al database non riuscito"},
                          Case{err::kProvider, "", "Il database ha segnalato un errore"}}) {
        auto d = ItalianErrorDescription(c.number, c.sql_state);
        ASSERT_TRUE(d.has_value()) << c.number;
        EXPECT_EQ(d->rfind(c.starts, 0), 0u) << *d;
    }
    // The component's own errors keep their (Italian) text; the number is shown as it is.
    ErrorReport own;
    own.number = 1001;
    own.description = "Il listino 3 non ha data di inizio validità.";
    const UserErrorText t = DescribeForUser(own);
    EXPECT_EQ(t.message, own.description);
    EXPECT_EQ(t.number, "Errore n. 1001");
    EXPECT_EQ(t.details.find(own.description), std::string::npos);

    // A number past the object-error base is the component's own code: it goes with the detail.
    ErrorReport coded;
    coded.number = -2147221504 + 1001;
    coded.description = "Il salvataggio dei listini non è riuscito.";
    coded.procedure = "INTERNAV_ButtonClick";
    const UserErrorText c = DescribeForUser(coded);
    EXPECT_EQ(c.message, coded.description);
    EXPECT_EQ(c.number, "");
    EXPECT_NE(c.details.find("Numero: 0x800403E9"), std::string::npos) << c.details;
    EXPECT_NE(c.details.find("Procedura: INTERNAV_ButtonClick"), std::string::npos) << c.details;
}

TEST(ErrorTexts, NumbersInTheirOrdinaryForm) {
    EXPECT_EQ(ErrorNumberText(3265), "3265");
    EXPECT_EQ(ErrorNumberText(0), "0");
    EXPECT_EQ(ErrorNumberText(-2147467259), "0x80004005");
    EXPECT_EQ(ErrorNumberText(-2147217887), "0x80040E21");
}

}  // namespace
}  // namespace kv::services
