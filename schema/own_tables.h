#pragma once
// The window's own tables in a company database (the price history, the exchange rates, the users'
// choices): a database made before them has none, and gets each one the first time the window needs it,
// from the same DDL the demo builder runs (schema_ddl.h). Nothing else in the database is touched: no column of
// an existing table is added or changed.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/connection.h"

namespace qmx::schema {

inline constexpr const char* kTabellaStorico = "QX10_STORICOPREZZI";
inline constexpr const char* kTabellaCambi = "QX11_CAMBI";
inline constexpr const char* kTabellaPreferenze = "QX12_PREFERENZE";

// The statements of the engine's DDL that make `table`: its CREATE TABLE and its CREATE INDEX lines.
// Empty for a table the DDL does not have; kv::Error 5 for an engine it has no DDL for.
std::vector<std::string> IstruzioniTabella(std::string_view provider, std::string_view table);

// Whether the connection's database (its schema, on the server) has the table, whoever may use it.
bool EsisteTabella(kv::ado::Connection& connection, std::string_view table);

// Creates the table when the database lacks it; nothing when it has it. Inside a transaction the
// creation is part of it. A creation the database refuses (a role without the right) raises its error.
void AssicuraTabella(kv::ado::Connection& connection, std::string_view table);

// A user's choice `key` in company `company`, as QX12_PREFERENZE holds it; nullopt when the user never
// made it (or the database has no such table yet: nothing is created by reading).
std::optional<std::string> LeggiPreferenza(kv::ado::Connection& connection, long company, std::string_view user,
                                           std::string_view key);
// Keeps the choice, replacing what the user chose before; the table is created when missing. One
// transaction of its own (or part of the caller's).
void ScriviPreferenza(kv::ado::Connection& connection, long company, std::string_view user, std::string_view key,
                      std::string_view value);

}  // namespace qmx::schema
