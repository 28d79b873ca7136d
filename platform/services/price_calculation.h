#pragma once
// The host's price calculation: from a gross unit price, six discount percentages, a discount amount,
// two markup percentages and a markup amount, the net unit price in a currency:
//
//   net = gross × (1 − d1/100) × … × (1 − d6/100) − discount amount
//   net = net × (1 + m1/100) × (1 + m2/100) + markup amount
//
// rounded half away from zero to the currency's unit-price decimals (CG08_DECPRZUNIT). With every
// discount and markup 0 the net price is the gross price at the currency's precision. All arithmetic is
// exact decimal (28 significant digits); a negative result is returned as it is.
//
// Use: hand the object the host's global services once (they give the currency table), then per price
// set the currency, the gross price and the ten inputs, Calculate, and read NetPrice. Inputs keep
// their values between calculations; one never set counts as 0.
//
// What bad input gives:
//  - an input that is Null: NetPrice is Null (no number can be computed; Null propagates as in the
//    platform's arithmetic) and Calculate raises nothing;
//  - Empty counts as 0;
//  - an input that is not a number (text such as "abc", an object): Calculate raises kv::Error 13 naming
//    the input, and NetPrice is Null;
//  - a blank currency, or one without a row in the currency table: Calculate raises kv::Error 5 naming
//    the currency, and NetPrice is Null;
//  - no global services (or a host without a database session): kv::Error 91, NetPrice Null;
//  - a discount or markup index out of range: the setter raises kv::Error 9 and changes nothing.
// NetPrice is Null before the first calculation. A failed Calculate never leaves the previous price
// readable, so a caller that skips the error cannot store another row's price by mistake.

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "platform/variant/decimal.h"
#include "platform/variant/variant.h"

namespace kv::services {

class GlobalServices;
struct NetPriceSteps;
class CurrencyTable;

class PriceCalculation : public kv::Object {
public:
    static constexpr int kDiscounts = 6;
    static constexpr int kMarkups = 2;

    ~PriceCalculation() override;
    virtual void SetGlobalServices(std::shared_ptr<GlobalServices> global) = 0;
    virtual void SetCurrency(const kv::Variant& code) = 0;
    virtual void SetGrossPrice(const kv::Variant& price) = 0;
    virtual void SetDiscount(int index, const kv::Variant& percent) = 0;  // index 1 to 6
    virtual void SetDiscountAmount(const kv::Variant& amount) = 0;
    virtual void SetMarkup(int index, const kv::Variant& percent) = 0;  // index 1 to 2
    virtual void SetMarkupAmount(const kv::Variant& amount) = 0;
    virtual void Calculate() = 0;
    // Everything at once: the currency and the eleven inputs in the order above (gross price, discounts
    // 1 to 6, discount amount, markups 1 and 2, markup amount) set as Doubles, then Calculate. A price
    // run calculates thousands of rows; an implementation may do it without the eleven calls.
    static constexpr int kInputs = 1 + kDiscounts + 1 + kMarkups + 1;
    virtual void Calculate(const kv::Variant& currency, const std::array<double, kInputs>& inputs);
    // A Decimal after a successful calculation; Null otherwise.
    virtual kv::Variant NetPrice() const = 0;
    // How the last successful calculation reached its net price, step by step (NetPriceSteps below);
    // nullopt when there was none or the object does not tell.
    virtual std::optional<NetPriceSteps> LastSteps() const;
};

struct PriceInputs {
    kv::Decimal gross;
    std::array<kv::Decimal, PriceCalculation::kDiscounts> discounts{};
    kv::Decimal discount_amount;
    std::array<kv::Decimal, PriceCalculation::kMarkups> markups{};
    kv::Decimal markup_amount;
};

// The figures the formula goes through: the gross price, the figure after each discount, after the
// discount amount, after each markup and after the markup amount, and the net price rounded to the
// currency's decimals. A zero rate leaves the figure as it was.
struct NetPriceSteps {
    PriceInputs inputs;
    std::array<kv::Decimal, PriceCalculation::kDiscounts> after_discount{};
    kv::Decimal after_discount_amount;
    std::array<kv::Decimal, PriceCalculation::kMarkups> after_markup{};
    kv::Decimal after_markup_amount;
    int decimals = 0;
    kv::Decimal net;
};

// The formula above, rounded to `decimals` places.
kv::Decimal NetPriceOf(const PriceInputs& in, int decimals);
// The same calculation with every intermediate figure kept; its `net` is NetPriceOf's result.
NetPriceSteps NetPriceStepsOf(const PriceInputs& in, int decimals);

class HostPriceCalculation : public PriceCalculation {
public:
    void SetGlobalServices(std::shared_ptr<GlobalServices> global) override { global_ = std::move(global); }
    void SetCurrency(const kv::Variant& code) override { currency_ = code; }
    void SetGrossPrice(const kv::Variant& price) override {
        TakeDoubles();
        gross_ = price;
    }
    void SetDiscount(int index, const kv::Variant& percent) override;
    void SetDiscountAmount(const kv::Variant& amount) override {
        TakeDoubles();
        discount_amount_ = amount;
    }
    void SetMarkup(int index, const kv::Variant& percent) override;
    void SetMarkupAmount(const kv::Variant& amount) override {
        TakeDoubles();
        markup_amount_ = amount;
    }
    void Calculate() override;
    void Calculate(const kv::Variant& currency, const std::array<double, kInputs>& inputs) override;
    kv::Variant NetPrice() const override { return net_; }
    std::optional<NetPriceSteps> LastSteps() const override;

private:
    // The currency's unit-price decimals (the last currency's, without a lookup, when it is the same).
    int Decimals(const kv::RegionalSettings& rs);
    // Raises 91 without global services.
    const kv::RegionalSettings& Regional() const;
    // The inputs last given as Doubles become the inputs the setters and Calculate() work on. A price
    // run hands over thousands of rows as Doubles and never sets one by one in between: the eleven
    // Variants are written only when a setter or Calculate() is about to use them.
    void TakeDoubles();
    std::optional<std::array<double, kInputs>> doubles_;

    // Net prices already worked out, by currency decimals and the bits of the eleven Doubles: a run
    // computes the same few figures (one cost in many colours, the prices a rounding bracket leaves)
    // over and over, and the net price is a function of them alone.
    struct Kept {
        bool used = false;
        int decimals = 0;
        std::array<double, kInputs> inputs{};
        kv::Decimal net;
    };
    std::array<Kept, 256> kept_{};

    std::shared_ptr<GlobalServices> global_;
    kv::Variant currency_;
    kv::Variant gross_;
    std::array<kv::Variant, kDiscounts> discounts_{};
    kv::Variant discount_amount_;
    std::array<kv::Variant, kMarkups> markups_{};
    kv::Variant markup_amount_;
    kv::Variant net_ = kv::Variant::Null();
    // The inputs of the last successful calculation; its steps are worked out only when asked for.
    // A calculation from Doubles keeps the Doubles (last_doubles_), converted only then.
    std::optional<std::pair<PriceInputs, int>> last_;
    bool last_from_doubles_ = false;
    std::array<double, kInputs> last_doubles_{};
    int last_doubles_decimals_ = 0;
    // The currency found last, by its code as given and the table it came from: a matrix's rows are
    // mostly in one currency, and the table keeps a currency's row for its own life anyway.
    std::shared_ptr<const CurrencyTable> last_table_;
    std::string last_code_;
    int last_decimals_ = 0;
};

}  // namespace kv::services
