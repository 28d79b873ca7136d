#pragma once
// The DDL of the company database, as schema/sql/generate.py writes it for each engine: built into the
// programs (the demo builder creates every table from it, the window the tables of its own it finds
// missing), so nothing reads it from a file at run time.

namespace qmx::schema {

extern const char* const kSqliteSchema;
extern const char* const kPostgresSchema;

}  // namespace qmx::schema
