#pragma once
// The day the test hosts take as today, so that no expected value follows the calendar (proposed
// validity dates, creation and update dates of saved prices).

#include "platform/variant/date.h"

namespace qmx::testing {

inline const kv::Date kOggiDiProva = kv::Date::FromYmd(2026, 6, 15);

}  // namespace qmx::testing
