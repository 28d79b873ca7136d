#include "platform/services/price_calculation.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/services/pricing_support.h"

namespace kv::services {
namespace {

using testing::Dec;
using testing::PricingHost;

struct Case {
    const char* name;
    const char* currency;
    const char* gross;
    std::array<const char*, 6> discounts;
    const char* discount_amount;
    std::array<const char*, 2> markups;
    const char* markup_amount;
    const char* net;
};

class PriceCalculationTest : public ::testing::Test {
protected:
    std::shared_ptr<PriceCalculation> Calc() {
        auto c = host.global->NewPriceCalculation();
        c->SetGlobalServices(host.global);
        return c;
    }
    PricingHost host;
};

TEST_F(PriceCalculationTest, Formula) {
    const Case cases[] = {
        // All inputs 0: the gross price at the currency's precision.
        {"zero EURO", "EURO", "10.456", {"0", "0", "0", "0", "0", "0"}, "0", {"0", "0"}, "0", "10.46"},
        {"zero EURO half", "EURO", "10.445", {"0", "0", "0", "0", "0", "0"}, "0", {"0", "0"}, "0", "10.45"},
        {"zero LIT", "LIT", "1234.5", {"0", "0", "0", "0", "0", "0"}, "0", {"0", "0"}, "0", "1235"},
        {"zero KWD", "KWD", "1.23456", {"0", "0", "0", "0", "0", "0"}, "0", {"0", "0"}, "0", "1.235"},
        {"blank-padded code", "EURO", "5", {"0", "0", "0", "0", "0", "0"}, "0", {"0", "0"}, "0", "5"},
        // Discounts compound, then the amount; markups compound, then the amount.
        {"discounts", "EURO", "100", {"10", "5", "0", "0", "0", "0"}, "0", {"0", "0"}, "0", "85.5"},
        {"discount amount", "EURO", "100", {"10", "5", "0", "0", "0", "0"}, "0.5", {"0", "0"}, "0", "85"},
        {"markup", "EURO", "100", {"10", "5", "0", "0", "0", "0"}, "0.5", {"10", "0"}, "0", "93.5"},
        {"everything", "EURO", "100", {"10", "5", "0", "0", "0", "0"}, "0.5", {"10", "0"}, "1", "94.5"},
        {"all six discounts", "KWD", "1000", {"1", "2", "3", "4", "5", "6"}, "0", {"0", "0"}, "0", "806.781"},
        {"two markups", "EURO", "10", {"0", "0", "0", "0", "0", "0"}, "0", {"10", "10"}, "0", "12.1"},
        {"exact decimals", "KWD", "0.1", {"0", "0", "0", "0", "0", "0"}, "0", {"0", "0"}, "0.2", "0.3"},
        {"negative result kept", "EURO", "10", {"0", "0", "0", "0", "0", "0"}, "12", {"0", "0"}, "0", "-2"},
    };
    // Each case on an object of its own, and all of them on one object: a currency is never taken for
    // the one before it.
    const auto shared = Calc();
    for (const Case& c : cases) for (const auto& calc : {Calc(), shared}) {
        calc->SetCurrency(std::string(c.currency) + "  ");
        calc->SetGrossPrice(Dec(c.gross));
        for (int i = 0; i < 6; ++i) calc->SetDiscount(i + 1, Dec(c.discounts[static_cast<std::size_t>(i)]));
        calc->SetDiscountAmount(Dec(c.discount_amount));
        for (int i = 0; i < 2; ++i) calc->SetMarkup(i + 1, Dec(c.markups[static_cast<std::size_t>(i)]));
        calc->SetMarkupAmount(Dec(c.markup_amount));
        calc->Calculate();
        EXPECT_EQ(calc->NetPrice(), Variant(Dec(c.net))) << c.name;
    }
    // The same figures as Doubles in one call, on the host's object and through the setters (what an
    // implementation without its own one-call path does): the same price, and the inputs stay set, so
    // a Calculate after it gives the price again.
    struct PerSetter : PriceCalculation {
        std::shared_ptr<PriceCalculation> inner;
        void SetGlobalServices(std::shared_ptr<GlobalServices> g) override { inner->SetGlobalServices(g); }
        void SetCurrency(const Variant& v) override { inner->SetCurrency(v); }
        void SetGrossPrice(const Variant& v) override { inner->SetGrossPrice(v); }
        void SetDiscount(int i, const Variant& v) override { inner->SetDiscount(i, v); }
        void SetDiscountAmount(const Variant& v) override { inner->SetDiscountAmount(v); }
        void SetMarkup(int i, const Variant& v) override { inner->SetMarkup(i, v); }
        void SetMarkupAmount(const Variant& v) override { inner->SetMarkupAmount(v); }
        void Calculate() override { inner->Calculate(); }
        using PriceCalculation::Calculate;
        Variant NetPrice() const override { return inner->NetPrice(); }
    };
    auto per_setter = std::make_shared<PerSetter>();
    per_setter->inner = Calc();
    for (const Case& c : cases) for (const std::shared_ptr<PriceCalculation>& calc : {Calc(), shared, std::shared_ptr<PriceCalculation>(per_setter)}) {
        std::array<double, PriceCalculation::kInputs> in{};
        in[0] = Dec(c.gross).ToDouble();
        for (int i = 0; i < 6; ++i) in[1 + i] = Dec(c.discounts[static_cast<std::size_t>(i)]).ToDouble();
        in[7] = Dec(c.discount_amount).ToDouble();
        for (int i = 0; i < 2; ++i) in[8 + i] = Dec(c.markups[static_cast<std::size_t>(i)]).ToDouble();
        in[10] = Dec(c.markup_amount).ToDouble();
        calc->Calculate(Variant(std::string(c.currency) + "  "), in);
        EXPECT_EQ(calc->NetPrice(), Variant(Dec(c.net))) << c.name;
        calc->Calculate();
        EXPECT_EQ(calc->NetPrice(), Variant(Dec(c.net))) << c.name;
    }
    // A figure that is not finite is reported as the setters report it, leaving no price.
    auto calc = Calc();
    std::array<double, PriceCalculation::kInputs> in{};
    in[0] = std::numeric_limits<double>::infinity();
    EXPECT_THROW(calc->Calculate(Variant("EURO"), in), kv::Error);
    EXPECT_TRUE(calc->NetPrice().IsNull());
}

TEST_F(PriceCalculationTest, InputsOfOtherTypes) {
    auto calc = Calc();
    calc->SetCurrency("EURO");
    calc->SetGrossPrice(Variant("12,5"));  // regional text
    calc->SetDiscount(1, Variant(int16_t{0}));
    calc->SetMarkup(1, Variant(10.0));
    calc->Calculate();  // never-set inputs count as 0
    EXPECT_EQ(calc->NetPrice(), Variant(Dec("13.75")));
    calc->SetMarkup(1, Variant());  // Empty counts as 0
    calc->Calculate();
    EXPECT_EQ(calc->NetPrice(), Variant(Dec("12.5")));
}

TEST_F(PriceCalculationTest, NullInputGivesNullPrice) {
    auto calc = Calc();
    calc->SetCurrency("EURO");
    calc->SetGrossPrice(Dec("10"));
    calc->Calculate();
    ASSERT_EQ(calc->NetPrice(), Variant(Dec("10")));
    calc->SetDiscount(3, Variant::Null());
    calc->Calculate();
    EXPECT_TRUE(calc->NetPrice().IsNull());
}

TEST_F(PriceCalculationTest, BadInputsRaiseAndClearThePreviousPrice) {
    struct Bad {
        const char* name;
        std::function<void(PriceCalculation&)> spoil;
        long number;
        const char* mentions;
    };
    const Bad bads[] = {
        {"text", [](PriceCalculation& c) { c.SetMarkupAmount("abc"); }, 13, "markup amount"},
        {"unknown currency", [](PriceCalculation& c) { c.SetCurrency("XYZ"); }, 5, "'XYZ'"},
        {"blank currency", [](PriceCalculation& c) { c.SetCurrency(""); }, 5, "No currency"},
        {"Null currency", [](PriceCalculation& c) { c.SetCurrency(Variant::Null()); }, 5, "No currency"},
        {"broken currency row", [](PriceCalculation& c) { c.SetCurrency("BAD"); }, 5, "CG08_DECPRZUNIT"},
        {"no global services", [](PriceCalculation& c) { c.SetGlobalServices(nullptr); }, 91, "global services"},
    };
    for (const Bad& b : bads) {
        auto calc = Calc();
        calc->SetCurrency("EURO");
        calc->SetGrossPrice(Dec("10"));
        calc->Calculate();
        ASSERT_EQ(calc->NetPrice(), Variant(Dec("10")));
        b.spoil(*calc);
        try {
            calc->Calculate();
            ADD_FAILURE() << b.name << ": no error";
        } catch (const kv::Error& e) {
            EXPECT_EQ(e.Number(), b.number) << b.name;
            EXPECT_NE(e.Description().find(b.mentions), std::string::npos) << b.name << ": " << e.Description();
        }
        EXPECT_TRUE(calc->NetPrice().IsNull()) << b.name;
    }
}

TEST_F(PriceCalculationTest, IndexOutOfRange) {
    auto calc = Calc();
    for (int bad : {0, 7}) {
        try {
            calc->SetDiscount(bad, Dec("1"));
            ADD_FAILURE() << bad;
        } catch (const kv::Error& e) {
            EXPECT_EQ(e.Number(), 9);
        }
    }
    EXPECT_THROW(calc->SetMarkup(3, Dec("1")), kv::Error);
}

// Zero rates and amounts are skipped; the result must be the formula's to the last digit and scale,
// mixed with rates that are not zero and figures of every scale.
TEST(NetPriceOf, IsTheWholeFormulasResultWhateverIsZero) {
    auto formula = [](const PriceInputs& in, int decimals) {
        Decimal net = in.gross;
        for (const auto& d : in.discounts) net = net * (Decimal(1) - d / Decimal(100));
        net = net - in.discount_amount;
        for (const auto& m : in.markups) net = net * (Decimal(1) + m / Decimal(100));
        net = net + in.markup_amount;
        return net.Round(decimals, RoundingMode::HalfAwayFromZero);
    };
    const char* const figures[] = {"0", "0.000", "10.125", "-3.5", "19.99", "0.333333333333333", "12.5", "1E-28"};
    int n = 0;
    for (const char* gross : figures) {
        for (int pattern = 0; pattern < 64; ++pattern) {
            PriceInputs in;
            in.gross = Dec(gross);
            for (int i = 0; i < 6; ++i) in.discounts[i] = pattern & (1 << i) ? Dec(figures[(i + n) % 8]) : Decimal();
            in.discount_amount = pattern & 1 ? Decimal::FromParts(0, 4) : Dec("0.05");
            in.markups = {pattern & 2 ? Dec("7.5") : Decimal(), pattern & 4 ? Decimal() : Dec("0.0001")};
            in.markup_amount = pattern & 8 ? Decimal() : Dec(figures[n % 8]);
            ++n;
            for (int decimals : {0, 2, 5, 28}) {
                const Decimal got = NetPriceOf(in, decimals);
                const Decimal want = formula(in, decimals);
                EXPECT_TRUE(got.coefficient() == want.coefficient() && got.scale() == want.scale())
                    << gross << " pattern " << pattern << " decimals " << decimals << ": " << got.ToString()
                    << " (scale " << got.scale() << "), not " << want.ToString() << " (scale " << want.scale() << ")";
            }
        }
    }
}

}  // namespace
}  // namespace kv::services
