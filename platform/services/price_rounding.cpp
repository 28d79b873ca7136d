#include "platform/services/price_rounding.h"

#include <algorithm>
#include <iterator>
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

kv::Decimal RoundToStep(const kv::Decimal& price, const kv::Decimal& step, RoundingDirection direction) {
    if (step.IsZero()) return price;
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
