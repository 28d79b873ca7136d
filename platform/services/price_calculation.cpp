#include "platform/services/price_calculation.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "platform/services/currencies.h"
#include "platform/services/global_services.h"

namespace kv::services {

namespace {
constexpr const char* kSource = "PriceCalculation";

const kv::Decimal kHundred(100);

void CheckIndex(int index, int count, const char* what) {
    if (index < 1 || index > count)
        throw kv::Error(9,
                        std::string("Subscript out of range: there is no ") + what + " " + std::to_string(index) +
                            " (1 to " + std::to_string(count) + ")",
                        kSource);
}

// nullopt for Null (the whole result is Null); 0 for Empty; 13 for anything that is not a number.
// The input's name is written only for the error: a matrix load calculates every row.
std::optional<kv::Decimal> Input(const kv::Variant& v, const char* name, int index, const kv::RegionalSettings& rs) {
    // A Double, the matrix's own kind of figure, is converted as CDec converts it, without asking first
    // whether it is a number.
    if (const double* d = v.TryGet<double>(); d && std::isfinite(*d)) return kv::Decimal::FromDouble(*d);
    if (v.IsNull()) return std::nullopt;
    if (v.IsEmpty()) return kv::Decimal(0);
    if (v.IsObject() || !kv::IsNumeric(v, rs))
        throw kv::Error(kv::err::kTypeMismatch,
                        std::string("The ") + name + (index > 0 ? " " + std::to_string(index) : std::string()) +
                            " of the price calculation is not a number: " + kv::DebugString(v),
                        kSource);
    return kv::CDec(v, rs);
}
}  // namespace

PriceCalculation::~PriceCalculation() = default;

namespace {
// The formula once, for both the plain net price and its steps: `see` is told each figure as it is
// reached (index, figure) so the two can never disagree.
template <class See>
kv::Decimal Apply(const PriceInputs& in, int decimals, See&& see) {
    kv::Decimal net = in.gross;
    // A zero rate, or a zero amount of no more decimals than the figure, leaves the figure as it is,
    // scale included, so it is not worked through.
    auto leaves = [&](const kv::Decimal& amount) { return amount.IsZero() && amount.scale() <= net.scale(); };
    for (std::size_t i = 0; i < in.discounts.size(); ++i) {
        if (!in.discounts[i].IsZero()) net = net * (kv::Decimal(1) - in.discounts[i] / kHundred);
        see.Discount(i, net);
    }
    if (!leaves(in.discount_amount)) net = net - in.discount_amount;
    see.DiscountAmount(net);
    for (std::size_t i = 0; i < in.markups.size(); ++i) {
        if (!in.markups[i].IsZero()) net = net * (kv::Decimal(1) + in.markups[i] / kHundred);
        see.Markup(i, net);
    }
    if (!leaves(in.markup_amount)) net = net + in.markup_amount;
    see.MarkupAmount(net);
    return net.Round(decimals, kv::RoundingMode::HalfAwayFromZero);
}

struct SeeNothing {
    void Discount(std::size_t, const kv::Decimal&) {}
    void DiscountAmount(const kv::Decimal&) {}
    void Markup(std::size_t, const kv::Decimal&) {}
    void MarkupAmount(const kv::Decimal&) {}
};

struct SeeAll {
    NetPriceSteps& s;
    void Discount(std::size_t i, const kv::Decimal& v) { s.after_discount[i] = v; }
    void DiscountAmount(const kv::Decimal& v) { s.after_discount_amount = v; }
    void Markup(std::size_t i, const kv::Decimal& v) { s.after_markup[i] = v; }
    void MarkupAmount(const kv::Decimal& v) { s.after_markup_amount = v; }
};
}  // namespace

kv::Decimal NetPriceOf(const PriceInputs& in, int decimals) { return Apply(in, decimals, SeeNothing{}); }

NetPriceSteps NetPriceStepsOf(const PriceInputs& in, int decimals) {
    NetPriceSteps s;
    s.inputs = in;
    s.decimals = decimals;
    s.net = Apply(in, decimals, SeeAll{s});
    return s;
}

std::optional<NetPriceSteps> PriceCalculation::LastSteps() const { return std::nullopt; }

namespace {
PriceInputs InputsOf(const std::array<double, PriceCalculation::kInputs>& inputs) {
    // Most of a row's discounts and markups are 0 (or -0), which FromDouble makes the zero every input
    // starts as: they are left as they are.
    auto da = [](double v, kv::Decimal& out) {
        if (v != 0) out = kv::Decimal::FromDouble(v);
    };
    PriceInputs in;
    da(inputs[0], in.gross);
    for (std::size_t i = 0; i < in.discounts.size(); ++i) da(inputs[1 + i], in.discounts[i]);
    da(inputs[1 + PriceCalculation::kDiscounts], in.discount_amount);
    for (std::size_t i = 0; i < in.markups.size(); ++i) da(inputs[2 + PriceCalculation::kDiscounts + i], in.markups[i]);
    da(inputs[PriceCalculation::kInputs - 1], in.markup_amount);
    return in;
}
}  // namespace

std::optional<NetPriceSteps> HostPriceCalculation::LastSteps() const {
    if (last_from_doubles_) return NetPriceStepsOf(InputsOf(last_doubles_), last_doubles_decimals_);
    if (!last_) return std::nullopt;
    return NetPriceStepsOf(last_->first, last_->second);
}

void HostPriceCalculation::TakeDoubles() {
    if (!doubles_) return;
    const auto& inputs = *doubles_;
    gross_ = inputs[0];
    for (std::size_t i = 0; i < discounts_.size(); ++i) discounts_[i] = inputs[1 + i];
    discount_amount_ = inputs[1 + kDiscounts];
    for (std::size_t i = 0; i < markups_.size(); ++i) markups_[i] = inputs[2 + kDiscounts + i];
    markup_amount_ = inputs[kInputs - 1];
    doubles_.reset();
}

void HostPriceCalculation::SetDiscount(int index, const kv::Variant& percent) {
    CheckIndex(index, kDiscounts, "discount");
    TakeDoubles();
    discounts_[static_cast<std::size_t>(index - 1)] = percent;
}

void HostPriceCalculation::SetMarkup(int index, const kv::Variant& percent) {
    CheckIndex(index, kMarkups, "markup");
    TakeDoubles();
    markups_[static_cast<std::size_t>(index - 1)] = percent;
}

const kv::RegionalSettings& HostPriceCalculation::Regional() const {
    if (!global_)
        throw kv::Error(kv::err::kObjectNotSet, "The price calculation has not been given the host's global services",
                        kSource);
    return global_->Regional();
}

int HostPriceCalculation::Decimals(const kv::RegionalSettings& rs) {
    if (currency_.IsNull() || currency_.IsObject())
        throw kv::Error(kv::err::kInvalidCall, "No currency was given to the price calculation", kSource);
    auto currencies = global_->Currencies();
    if (!currencies)
        throw kv::Error(kv::err::kObjectNotSet, "The host has no database session to read the currency table",
                        kSource);
    const std::string* given = currency_.IsString() ? &currency_.StringValue() : nullptr;
    if (given && currencies == last_table_ && *given == last_code_) return last_decimals_;
    std::string code = currency_.IsEmpty() ? std::string() : kv::CStr(currency_, rs);
    const Currency currency = currencies->Require(code, kSource);
    last_table_.reset();
    if (given) {
        last_code_ = *given;
        last_decimals_ = currency.unit_price_decimals;
        last_table_ = currencies;
    }
    return currency.unit_price_decimals;
}

void HostPriceCalculation::Calculate() {
    TakeDoubles();
    net_ = kv::Variant::Null();
    last_.reset();
    last_from_doubles_ = false;
    const kv::RegionalSettings& rs = Regional();

    PriceInputs in;
    bool null_input = false;
    auto take = [&](const kv::Variant& v, const char* name, int index, kv::Decimal& out) {
        auto d = Input(v, name, index, rs);
        if (d) out = *d; else null_input = true;
    };
    take(gross_, "gross price", 0, in.gross);
    for (int i = 0; i < kDiscounts; ++i)
        take(discounts_[static_cast<std::size_t>(i)], "discount", i + 1, in.discounts[static_cast<std::size_t>(i)]);
    take(discount_amount_, "discount amount", 0, in.discount_amount);
    for (int i = 0; i < kMarkups; ++i)
        take(markups_[static_cast<std::size_t>(i)], "markup", i + 1, in.markups[static_cast<std::size_t>(i)]);
    take(markup_amount_, "markup amount", 0, in.markup_amount);

    const int decimals = Decimals(rs);
    if (null_input) return;  // Null in, Null out
    net_ = kv::Variant(NetPriceOf(in, decimals));
    last_.emplace(in, decimals);
}

void HostPriceCalculation::Calculate(const kv::Variant& currency, const std::array<double, kInputs>& inputs) {
    // The inputs are kept as set, as the setters keep them; a Double that is not finite goes the way
    // of the setters and Calculate, which report it.
    for (double v : inputs) {
        if (!std::isfinite(v)) {
            TakeDoubles();
            return PriceCalculation::Calculate(currency, inputs);
        }
    }
    currency_ = currency;
    doubles_ = inputs;

    net_ = kv::Variant::Null();
    last_.reset();
    last_from_doubles_ = false;
    const kv::RegionalSettings& rs = Regional();
    const int decimals = Decimals(rs);
    uint64_t h = static_cast<uint64_t>(decimals) + 1;
    for (double v : inputs) h = (h ^ std::bit_cast<uint64_t>(v)) * 0x9E3779B97F4A7C15ull;
    Kept& k = kept_[static_cast<std::size_t>(h >> 56)];
    if (!(k.used && k.decimals == decimals && std::memcmp(k.inputs.data(), inputs.data(), sizeof inputs) == 0)) {
        k.net = NetPriceOf(InputsOf(inputs), decimals);
        k.inputs = inputs;
        k.decimals = decimals;
        k.used = true;
    }
    net_ = kv::Variant(k.net);
    last_from_doubles_ = true;
    last_doubles_ = inputs;
    last_doubles_decimals_ = decimals;
}

void PriceCalculation::Calculate(const kv::Variant& currency, const std::array<double, kInputs>& inputs) {
    SetCurrency(currency);
    SetGrossPrice(inputs[0]);
    for (int i = 1; i <= kDiscounts; ++i) SetDiscount(i, inputs[static_cast<std::size_t>(i)]);
    SetDiscountAmount(inputs[1 + kDiscounts]);
    for (int i = 1; i <= kMarkups; ++i) SetMarkup(i, inputs[static_cast<std::size_t>(1 + kDiscounts + i)]);
    SetMarkupAmount(inputs[kInputs - 1]);
    Calculate();
}

}  // namespace kv::services
