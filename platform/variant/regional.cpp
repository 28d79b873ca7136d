#include "platform/variant/regional.h"

namespace kv {

const RegionalSettings& RegionalSettings::Italian() {
    static const RegionalSettings rs{',', '.', '/', DateOrder::DayMonthYear};
    return rs;
}

const RegionalSettings& RegionalSettings::English() {
    static const RegionalSettings rs{'.', ',', '/', DateOrder::MonthDayYear};
    return rs;
}

}  // namespace kv
