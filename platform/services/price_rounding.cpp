#include "platform/services/price_rounding.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>

#include "platform/services/currencies.h"
#include "platform/services/global_services.h"

namespace kv::services {

namespace {
constexpr const char* kSource = "PriceRounding";

std::string BracketText(int16_t bracket) { return "The rounding bracket " + std::to_string(bracket); }
}  // namespace

PriceRounding::~PriceRounding() = default;

double PriceRounding::Round(double price, int16_t bracket, std::string_view currency) {
    return Round(kv::Decimal::FromDouble(price), bracket, currency).ToDouble();
}

namespace {

// The number of whole steps in a price, rounded as `direction` says, worked out with integers when
// that gives what the decimal division and its rounding give: a recalculation rounds thousands of
// prices, and the decimal division of two prices is the costliest figure in it. That is so when the
// step's coefficient has no prime factor but 2 and 5 (0.05, 0.10, 0.50, 1, 5: the quotient ends) and
// the quotient has room for all its digits within the division's 28, so the division is exact and its
// rounding sees what the integers see. nullopt otherwise (a step of 0.3, huge figures).
std::optional<kv::Decimal> WholeSteps(const kv::Decimal& price, const kv::Decimal& step, RoundingDirection direction) {
    constexpr int kMaxScale = 18;
    const auto p = static_cast<__int128>(price.coefficient());
    const auto s = static_cast<__int128>(step.coefficient());
    const __int128 limit = static_cast<__int128>(1) << 62;
    if (s <= 0 || p <= -limit || p >= limit || s >= limit || price.scale() > kMaxScale || step.scale() > kMaxScale)
        return std::nullopt;
    int twos = 0, fives = 0;
    for (__int128 f = s; f > 1;) {
        if (f % 2 == 0) { f /= 2; ++twos; }
        else if (f % 5 == 0) { f /= 5; ++fives; }
        else return std::nullopt;
    }
    unsigned __int128 ten = 1;
    for (int i = 0; i < step.scale(); ++i) ten *= 10;
    const bool negative = p < 0;
    const unsigned __int128 n = static_cast<unsigned __int128>(negative ? -p : p) * ten;
    ten = 1;
    for (int i = 0; i < price.scale(); ++i) ten *= 10;
    const unsigned __int128 d = static_cast<unsigned __int128>(s) * ten;
    unsigned __int128 q = n / d;
    const unsigned __int128 r = n % d;
    int whole_digits = 0;
    for (unsigned __int128 x = q; x > 0; x /= 10) ++whole_digits;
    if (whole_digits + price.scale() + std::max(twos, fives) > 27) return std::nullopt;
    bool away = false;
    switch (direction) {
        case RoundingDirection::Nearest: away = 2 * r >= d && r > 0; break;  // half away from zero
        case RoundingDirection::Up: away = r > 0 && !negative; break;        // toward +infinity
        case RoundingDirection::Down: away = r > 0 && negative; break;       // toward -infinity
    }
    if (away) ++q;
    if (q >= static_cast<unsigned __int128>(1) << 62) return std::nullopt;  // more steps than a count holds
    const auto whole = static_cast<int64_t>(q);
    return kv::Decimal(negative ? -whole : whole);
}

}  // namespace

kv::Decimal RoundToStep(const kv::Decimal& price, const kv::Decimal& step, RoundingDirection direction) {
    if (step.IsZero()) return price;
    if (const auto units = WholeSteps(price, step, direction)) return *units * step;
    const kv::Decimal units = price / step;
    kv::RoundingMode mode = kv::RoundingMode::HalfAwayFromZero;
    if (direction == RoundingDirection::Up) mode = kv::RoundingMode::Ceiling;
    if (direction == RoundingDirection::Down) mode = kv::RoundingMode::Floor;
    return units.Round(0, mode) * step;
}

void HostPriceRounding::SetGlobalServices(std::shared_ptr<GlobalServices> global) {
    global_ = std::move(global);
    cache_.clear();
    last_table_.reset();
}

const std::vector<RoundingRange>& HostPriceRounding::Ranges(int16_t bracket) {
    if (auto it = cache_.find(bracket); it != cache_.end()) return it->second;
    auto connection = global_->HostConnection();
    if (!connection)
        throw kv::Error(kv::err::kObjectNotSet, "The host has no database session to read the rounding brackets",
                        kSource);
    const std::string company = std::to_string(global_->CompanyCode());
    auto rs = connection->Execute(
        "SELECT MG02_PREZZOLIM, MG02_ARROTOND, MG02_INDDIREZ FROM MG02_SCAGLARROT WHERE MG02_DITTA_CG18 = " + company +
        " AND MG02_CODSCAGL = " + std::to_string(bracket));
    std::vector<RoundingRange> ranges;
    for (; !rs->IsEOF(); rs->MoveNext()) {
        RoundingRange r;
        const kv::Variant limit = rs->Value("MG02_PREZZOLIM");
        if (!kv::IsBlank(limit)) r.limit = kv::CDec(limit);
        const kv::Variant step = rs->Value("MG02_ARROTOND");
        r.step = kv::IsBlank(step) ? kv::Decimal(0) : kv::CDec(step);
        const kv::Variant dir = rs->Value("MG02_INDDIREZ");
        const int16_t d = kv::IsBlank(dir) ? int16_t{0} : kv::CInt(dir);
        if (r.step.Sign() < 0 || d < 0 || d > 2)
            throw kv::Error(kv::err::kInvalidCall,
                            BracketText(bracket) + " of company " + company +
                                " has a range with a negative step or an unknown direction (" + std::to_string(d) + ")",
                            kSource);
        r.direction = static_cast<RoundingDirection>(d);
        ranges.push_back(r);
    }
    if (ranges.empty())
        throw kv::Error(kv::err::kInvalidCall, BracketText(bracket) + " does not exist for company " + company,
                        kSource);
    // Ascending limits, the open-ended range last (engines disagree on where ORDER BY puts Null).
    std::stable_sort(ranges.begin(), ranges.end(), [](const RoundingRange& a, const RoundingRange& b) {
        if (!a.limit || !b.limit) return a.limit.has_value() && !b.limit.has_value();
        return *a.limit < *b.limit;
    });
    return cache_.emplace(bracket, std::move(ranges)).first->second;
}

kv::Decimal HostPriceRounding::Round(const kv::Decimal& price, int16_t bracket, std::string_view currency) {
    last_.reset();  // a rounding that fails leaves nothing to be taken for its own
    if (!global_)
        throw kv::Error(kv::err::kObjectNotSet, "The price rounding has not been given the host's global services",
                        kSource);
    auto currencies = global_->Currencies();
    if (!currencies)
        throw kv::Error(kv::err::kObjectNotSet, "The host has no database session to read the currency table",
                        kSource);
    if (!(currencies == last_table_ && currency == last_currency_)) {
        const Currency cur = currencies->Require(currency, kSource);
        last_table_ = currencies;
        last_currency_ = currency;
        last_decimals_ = cur.unit_price_decimals;
    }
    const int decimals = last_decimals_;
    const auto& ranges = Ranges(bracket);
    auto range = std::find_if(ranges.begin(), ranges.end(),
                              [&](const RoundingRange& r) { return !r.limit || *r.limit >= price; });
    if (range == ranges.end())
        throw kv::Error(kv::err::kInvalidCall,
                        "The price " + price.ToString() + " is above every range of " + BracketText(bracket) +
                            " (highest limit " + ranges.back().limit->ToString() + ")",
                        kSource);
    const kv::Decimal rounded = RoundToStep(price, range->step, range->direction)
                                    .Round(decimals, kv::RoundingMode::HalfAwayFromZero);
    RoundingApplied applied;
    applied.bracket = bracket;
    if (range != ranges.begin()) applied.from = std::prev(range)->limit;
    applied.range = *range;
    applied.price = price;
    applied.rounded = rounded;
    applied.decimals = decimals;
    last_ = std::move(applied);
    return rounded;
}

}  // namespace kv::services
