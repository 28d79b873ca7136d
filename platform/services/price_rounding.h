#pragma once
// The host's price rounding by brackets. A company's rounding brackets live in MG02_SCAGLARROT: per
// bracket code (MG02_CODSCAGL), price ranges given by their inclusive upper limit (MG02_PREZZOLIM),
// each with a rounding step (MG02_ARROTOND) and a direction (MG02_INDDIREZ: 0 nearest, 1 up, 2 down).
//
// Round(price, bracket, currency):
//  1. the bracket's ranges in ascending order of limit; the first whose limit is >= price applies
//     (a price equal to a limit belongs to that limit's range; a range with a Null limit has no upper
//     limit and comes last);
//  2. the price becomes a multiple of the range's step: the nearest one (a price half way goes away
//     from zero), the next one up (toward +infinity) or the next one down (toward -infinity); a step of
//     0 or Null leaves the price as it is;
//  3. the result is rounded half away from zero to the currency's unit-price decimals (CG08_DECPRZUNIT).
// Arithmetic is exact decimal. The ranges of a bracket are read once per object and bracket code; the
// window keeps one object while it is open.
//
// What bad input gives (never a guess):
//  - a bracket code with no rows for the company: kv::Error 5 "The rounding bracket N does not exist...";
//  - a price above the limit of every range of the bracket: kv::Error 5 naming the price, the bracket and
//    the highest limit (the table does not say how to round it);
//  - a range with a negative step or a direction other than 0, 1, 2: kv::Error 5 naming the bracket;
//  - a blank currency or one without a row in the currency table: kv::Error 5 naming the currency;
//  - no global services / no host database session: kv::Error 91.
// The double form converts the price with its 15 significant digits and the result back to double.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/variant/decimal.h"
#include "platform/variant/variant.h"

namespace kv::services {

class GlobalServices;
class CurrencyTable;

enum class RoundingDirection : int16_t { Nearest = 0, Up = 1, Down = 2 };

struct RoundingRange {
    std::optional<kv::Decimal> limit;  // inclusive upper limit; nullopt: no limit
    kv::Decimal step;                  // 0: no step
    RoundingDirection direction = RoundingDirection::Nearest;
};

// Step 2 alone: price as a multiple of step in the given direction. step 0 returns price.
kv::Decimal RoundToStep(const kv::Decimal& price, const kv::Decimal& step, RoundingDirection direction);

// What the last rounding did: the bracket, the range that applied (above `from`, the limit of the range
// before it, up to `range.limit`; either may be open), the price given and the price returned.
struct RoundingApplied {
    int16_t bracket = 0;
    std::optional<kv::Decimal> from;
    RoundingRange range;
    kv::Decimal price;
    kv::Decimal rounded;
    int decimals = 0;  // the currency's unit-price decimals
};

class PriceRounding : public kv::Object {
public:
    ~PriceRounding() override;
    virtual void SetGlobalServices(std::shared_ptr<GlobalServices> global) = 0;
    virtual kv::Decimal Round(const kv::Decimal& price, int16_t bracket, std::string_view currency) = 0;
    double Round(double price, int16_t bracket, std::string_view currency);
    // The last successful rounding; nullopt when there was none or the object does not tell.
    virtual std::optional<RoundingApplied> LastRounding() const { return std::nullopt; }
};

class HostPriceRounding : public PriceRounding {
public:
    using PriceRounding::Round;
    void SetGlobalServices(std::shared_ptr<GlobalServices> global) override;
    kv::Decimal Round(const kv::Decimal& price, int16_t bracket, std::string_view currency) override;
    std::optional<RoundingApplied> LastRounding() const override { return last_; }

private:
    std::optional<RoundingApplied> last_;
    const std::vector<RoundingRange>& Ranges(int16_t bracket);

    std::shared_ptr<GlobalServices> global_;
    std::map<int16_t, std::vector<RoundingRange>> cache_;
    // The currency found last and the table it came from (see HostPriceCalculation).
    std::shared_ptr<const CurrencyTable> last_table_;
    std::string last_currency_;
    int last_decimals_ = 0;
};

}  // namespace kv::services
