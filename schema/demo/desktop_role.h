#pragma once
// The database role a desktop connects as on PostgreSQL: it reads the configuration the window reads,
// reads, writes and deletes the price rows, adds to the price history and reads
// it, and nothing else. Whatever it is not granted the server refuses; the window never needs more.
//
// The rights are a table of their own below: a table the window comes to write is one more line
// there, and one more GRANT in the statements.

#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/connection.h"

namespace qmx::demo {

struct TableRights {
    const char* table;
    const char* privileges;  // as GRANT writes them
};

// What a desktop may do, table by table; a table not listed is one a desktop cannot touch.
const std::vector<TableRights>& DesktopRights();

// The statements that create `role` (a login without a password, which the administrator sets apart,
// and no other power) and grant it DesktopRights on the tables of `schema`. With `create_role` false,
// the grants alone (a role that exists, given the rights on another company's schema).
// Raises kv::Error 3001 when `role` is not a plain lower-case name (letters, digits, _) or `schema` is
// empty.
std::vector<std::string> DesktopRoleStatements(std::string_view role, std::string_view schema, bool create_role = true);

// Runs the statements on an open PostgreSQL connection whose user owns the tables, for the connection's
// current schema, in one transaction; a role that exists already keeps its password and gets the grants.
// Raises kv::Error 3001 on another engine, and the server's refusals as they come.
void CreateDesktopRole(kv::ado::Connection& connection, std::string_view role);

}  // namespace qmx::demo
