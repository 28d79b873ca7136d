#pragma once
// Host services over an in-memory SQLite session holding the currency and rounding-bracket tables.

#include <memory>

#include "platform/services/global_services.h"
#include "platform/variant/decimal.h"

namespace kv::services::testing {

inline kv::Decimal Dec(const char* s) { return *kv::Decimal::Parse(s); }

struct PricingHost {
    explicit PricingHost(int32_t company = 1) {
        session->Open("Provider=SQLite;Data Source=:memory:");
        session->Execute("CREATE TABLE CG08_VALUTE (CG08_CODICE CHAR(4) NOT NULL PRIMARY KEY, CG08_DESCR VARCHAR(40), "
                         "CG08_DECPRZUNIT INTEGER, CG08_DECIMPORTI INTEGER)");
        session->Execute("INSERT INTO CG08_VALUTE VALUES ('EURO', 'Euro', 2, 2)");
        session->Execute("INSERT INTO CG08_VALUTE VALUES ('LIT', 'Lire', 0, 0)");
        session->Execute("INSERT INTO CG08_VALUTE VALUES ('KWD', 'Dinaro', 3, 3)");
        session->Execute("INSERT INTO CG08_VALUTE VALUES ('BAD', 'No decimals', NULL, 2)");
        session->Execute("CREATE TABLE MG02_SCAGLARROT (MG02_DITTA_CG18 INTEGER NOT NULL, MG02_CODSCAGL INTEGER NOT NULL, "
                         "MG02_PREZZOLIM NUMERIC, MG02_ARROTOND NUMERIC, MG02_INDDIREZ INTEGER)");
        global = std::make_shared<HostGlobalServices>(company, "");
        global->SetHostConnection(session);
    }
    void Bracket(int company, int code, const char* limit, const char* step, int direction) const {
        session->Execute("INSERT INTO MG02_SCAGLARROT VALUES (" + std::to_string(company) + ", " + std::to_string(code) +
                         ", " + limit + ", " + step + ", " + std::to_string(direction) + ")");
    }

    kv::ado::ConnectionPtr session = kv::ado::Connection::Create();
    std::shared_ptr<HostGlobalServices> global;
};

}  // namespace kv::services::testing
