#include "schema/demo/demo.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "platform/variant/error.h"
#include "schema/schema_ddl.h"

namespace qmx::demo {

namespace {

using kv::ado::Connection;

// Every table of the schema, parents of the company data first (the order tables are created in);
// dropped in reverse.
const char* const kTables[] = {"KV_SCHEMA",     "CG18_DITTE",      "CG08_VALUTE",     "CG28_TABCODIVA",
                               "MG02_SCAGLARROT", "MG66_ANAGRART",  "MG87_DESCRART",   "MG44_PARMAGLIST",
                               "MG5F_DIMECONF", "MG5E_OPZIONI",    "MG5G_RAGGVAR",    "MG5H_COMPRAGVAR",
                               "MG6B_GESVARART", "MG5L_LETVARIANTI", "LI10_LISTARTIC", "QX10_STORICOPREZZI",
                               "QX11_CAMBI",     "QX12_PREFERENZE"};

// ---- SQL literals

std::string Q(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += "''";
        else out += c;
    }
    out += '\'';
    return out;
}

std::string N(long v) { return std::to_string(v); }

// A money amount in cents as a decimal literal: 1950 -> 19.50.
std::string Cents(long cents) {
    std::string sign = cents < 0 ? "-" : "";
    if (cents < 0) cents = -cents;
    std::string frac = std::to_string(cents % 100);
    if (frac.size() < 2) frac = "0" + frac;
    return sign + std::to_string(cents / 100) + "." + frac;
}

const std::string kNull = "NULL";

std::string Day(int y, int m, int d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "'%04d%02d%02d'", y, m, d);
    return buf;
}

class Writer {
public:
    explicit Writer(Connection& c) : c_(c) {}
    void Insert(std::string_view table, std::string_view columns, const std::vector<std::string>& values) {
        std::string sql = "INSERT INTO ";
        sql.append(table).append(" (").append(columns).append(") VALUES (");
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i) sql += ", ";
            sql += values[i];
        }
        sql += ")";
        c_.Execute(sql);
    }

private:
    Connection& c_;
};

// ---- Company-level tables

struct VariantDef {
    const char* code;
    const char* descr;
    int size;
    int grid;  // MG5F_INDGRIGLIA
};

struct Option {
    std::string code;
    std::string descr;
};

void Variants(Writer& w, int ditta, std::initializer_list<VariantDef> variants) {
    for (const auto& v : variants)
        w.Insert("MG5F_DIMECONF",
                 "MG5F_DITTA_CG18, MG5F_CODICEVAR, MG5F_DESCR_VAR, MG5F_SIZE, MG5F_INDGRIGLIA, MG5F_INDMOSTRACOD",
                 {N(ditta), Q(v.code), Q(v.descr), N(v.size), N(v.grid), N(1)});
}

void Options(Writer& w, int ditta, const char* variant, const std::vector<Option>& options) {
    for (const auto& o : options)
        w.Insert("MG5E_OPZIONI", "MG5E_DITTA_CG18, MG5E_CODICEVAR_MG5F, MG5E_OPZIONE, MG5E_DESCR",
                 {N(ditta), Q(variant), Q(o.code), Q(o.descr)});
}

void Grouping(Writer& w, int ditta, const char* variant, const char* code, const char* descr,
              const std::vector<std::string>& options) {
    w.Insert("MG5G_RAGGVAR", "MG5G_DITTA_CG18, MG5G_CODICEVAR_MG5F, MG5G_CODRAGGVAR, MG5G_DESCR",
             {N(ditta), Q(variant), Q(code), Q(descr)});
    int seq = 1;
    for (const auto& o : options)
        w.Insert("MG5H_COMPRAGVAR",
                 "MG5H_DITTA_CG18, MG5H_CODICEVAR_MG5F, MG5H_RAGGR_MG5G, MG5H_OPZIONE_MG5E, MG5H_SEQOPZIONE",
                 {N(ditta), Q(variant), Q(code), Q(o), N(seq++)});
}

// flags[i] is MG5L_FLGPOSVAR(i+1).
void Reading(Writer& w, int ditta, int element, std::initializer_list<int> flags) {
    std::string cols = "MG5L_DITTA_CG18, MG5L_INDELEMENTO";
    std::vector<std::string> values = {N(ditta), N(element)};
    int i = 1;
    for (int f : flags) {
        cols += ", MG5L_FLGPOSVAR" + std::to_string(i++);
        values.push_back(N(f));
    }
    for (; i <= 10; ++i) {
        cols += ", MG5L_FLGPOSVAR" + std::to_string(i);
        values.push_back(N(0));
    }
    w.Insert("MG5L_LETVARIANTI", cols, values);
}

struct Article {
    const char* code;
    const char* descr;
    int round_flag;      // MG66_FLGARRPRZ
    int bracket;         // MG66_SCAGL_MG02, 0 = none
    const char* vat;     // MG66_ALIVA_CG28
};

void Articles(Writer& w, int ditta, std::initializer_list<Article> articles) {
    for (const auto& a : articles) {
        w.Insert("MG66_ANAGRART", "MG66_DITTA_CG18, MG66_CODART, MG66_FLGARRPRZ, MG66_SCAGL_MG02, MG66_ALIVA_CG28",
                 {N(ditta), Q(a.code), N(a.round_flag), a.bracket ? N(a.bracket) : kNull, Q(a.vat)});
        w.Insert("MG87_DESCRART", "MG87_DITTA_CG18, MG87_CODART_MG66, MG87_DESCART",
                 {N(ditta), Q(a.code), Q(a.descr)});
    }
}

// One MG6B_GESVARART row: the article manages the variant (flag) with an optional grouping.
void Manages(Writer& w, int ditta, const char* article, const char* variant, int flag, const char* grouping = nullptr) {
    w.Insert("MG6B_GESVARART",
             "MG6B_DITTA_CG18, MG6B_CODART_MG66, MG6B_CODICEVAR_MG5F, MG6B_FLGGESTVAR, MG6B_CODRAGGVAR_MG5G",
             {N(ditta), Q(article), Q(variant), N(flag), grouping ? Q(grouping) : kNull});
}

struct List {
    int number;
    int purchase;  // MG44_FLGVENACQ: 1 purchase, 0 sales
    int fast = 1;  // MG44_FLGCREAZVELOCE
    std::string descr;
    std::string currency = "EURO";
    int ask_price = 1;
    int discounts = 0;
    int ask_discount_amount = 0;
    int markups = 0;
    int ask_markup_amount = 0;
    std::string commission = kNull;  // MG44_PERCPROV
    int start_mode = 0;
    std::string start = kNull;
    int end_mode = 0;
    std::string end = kNull;
    std::string recharge = "0";  // MG44_RICDEFAULT
    int vat_included = 0;
    int rounding = 0;  // MG44_INDARRPREZZO: 0 none, 1 article's bracket, 2 list's bracket
    std::string bracket = kNull;
    int zero_recharge_mode = 0;
    std::string reference = kNull;  // MG44_NUMLISTACQRIC
};

void Lists(Writer& w, int ditta, const std::vector<List>& lists) {
    for (const auto& l : lists)
        w.Insert("MG44_PARMAGLIST",
                 "MG44_DITTA_CG18, MG44_NUMLIST, MG44_FLGVENACQ, MG44_FLGCREAZVELOCE, MG44_DESCLIST, "
                 "MG44_VALUTA_CG08, MG44_FLGRICHPREZZO, MG44_NUMSCPERC, MG44_FLGRICHSCIMP, MG44_NUMMAGPERC, "
                 "MG44_FLGRICHMAGIMP, MG44_PERCPROV, MG44_INDPROPDATAINI, MG44_PROPDATAINI, "
                 "MG44_INDPROPDATAFINE, MG44_PROPDATAFINE, MG44_RICDEFAULT, MG44_FLGIVACOMPR, "
                 "MG44_INDARRPREZZO, MG44_SCAGL_MG02, MG44_INDMODRICZERO, MG44_NUMLISTACQRIC",
                 {N(ditta), N(l.number), N(l.purchase), N(l.fast), Q(l.descr), Q(l.currency), N(l.ask_price),
                  N(l.discounts), N(l.ask_discount_amount), N(l.markups), N(l.ask_markup_amount), l.commission,
                  N(l.start_mode), l.start, N(l.end_mode), l.end, l.recharge, N(l.vat_included), N(l.rounding),
                  l.bracket, N(l.zero_recharge_mode), l.reference});
}

struct Bracket {
    const char* limit;
    const char* step;
    int direction;  // 0 nearest, 1 up, 2 down
};

void Brackets(Writer& w, int ditta, int code, std::initializer_list<Bracket> ranges) {
    for (const auto& r : ranges)
        w.Insert("MG02_SCAGLARROT", "MG02_DITTA_CG18, MG02_CODSCAGL, MG02_PREZZOLIM, MG02_ARROTOND, MG02_INDDIREZ",
                 {N(ditta), N(code), r.limit, r.step, N(r.direction)});
}

void StandardBrackets(Writer& w, int ditta) {
    // Retail prices: tenths up to 10 euro, then half euros, whole euros and fives, always upwards
    // above 10 so that a price never drops under its computed value.
    Brackets(w, ditta, 1, {{"10", "0.10", 0}, {"100", "0.50", 1}, {"1000", "1", 1}, {"999999999", "5", 1}});
    Brackets(w, ditta, 2, {{"50", "0.05", 0}, {"999999999", "0.10", 0}});
    Brackets(w, ditta, 3, {{"999999999", "1", 2}});
}

// ---- Stored price rows

struct PriceRow {
    int ditta;
    int purchase;  // LI10_FLGVENDACQ
    std::string article;
    std::string option;
    int list;
    std::string start;
    std::string end;
    long price_cents;
    std::string discount1 = "0";
    std::string discount2 = "0";
    std::string recharge = kNull;  // LI10_PERRICDELTA
    int rounded = 0;               // LI10_INDARROT
    std::string bracket = kNull;   // LI10_SCAGL_MG02
    std::string commission = "0";  // LI10_PROVPER
    std::string note = kNull;
};

const char* const kPriceColumns =
    "LI10_DITTA_CG18, LI10_FLGUSODECOR, LI10_FLGVENDACQ, LI10_INDTIPOLIS, LI10_CODART_MG66, "
    "LI10_OPZIONE_MG5E, LI10_DEPOS_MG58, LI10_NUMLIST, LI10_DATAINIZIOVAL, LI10_DATAFINEVAL, "
    "LI10_FLGLIST, LI10_PREZZO, LI10_SC1PER, LI10_SC2PER, LI10_SC3PER, LI10_SC4PER, LI10_SC5PER, "
    "LI10_SC6PER, LI10_SCIMP, LI10_MAG1PER, LI10_MAG2PER, LI10_MAGIMP, LI10_PERRICDELTA, "
    "LI10_INDRICALPR, LI10_INDARROT, LI10_SCAGL_MG02, LI10_FLGPROVV, LI10_PROVPER, LI10_PROVIMP, "
    "LI10_PROVVSC_PA10, LI10_DATACREAZ, LI10_DATAULTAGG, LI10_FLGVARIATO, LI10_INDTIPOVAR, "
    "LI10_DATASTLIS, LI10_NUMPAGST, LI10_BVMBASE, LI10_BVMVAR, LI10_BVMMOLT, LI10_FLGPERSON, "
    "LI10_LIBEROVAL, LI10_IDMEDIA_CG99, LI10_INDUM, LI10_NOTE";

std::vector<std::string> PriceValues(const PriceRow& r) {
    const bool has_commission = r.commission != "0";
    return {N(r.ditta), "0", N(r.purchase), "0", Q(r.article), Q(r.option), "''", N(r.list), r.start, r.end, "1",
            Cents(r.price_cents), r.discount1, r.discount2, "0", "0", "0", "0", "0", "0", "0", "0", r.recharge,
            "0", N(r.rounded), r.bracket, has_commission ? "1" : "0", r.commission, "0", kNull,
            Day(2024, 12, 15), Day(2025, 1, 10), "0", "0", kNull, kNull, kNull, kNull, kNull, "0", kNull, kNull,
            "1", r.note};
}

void Price(Writer& w, const PriceRow& r) { w.Insert("LI10_LISTARTIC", kPriceColumns, PriceValues(r)); }

// Price rows written a few hundred to a statement: the large article's 24,000 rows would otherwise
// cost 24,000 round trips to a server.
class PriceBatch {
public:
    explicit PriceBatch(Connection& c) : c_(c) {}
    ~PriceBatch() = default;
    void Add(const PriceRow& r) {
        sql_ += rows_ == 0 ? std::string("INSERT INTO LI10_LISTARTIC (") + kPriceColumns + ") VALUES " : ", ";
        sql_ += '(';
        const auto values = PriceValues(r);
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i) sql_ += ", ";
            sql_ += values[i];
        }
        sql_ += ')';
        if (++rows_ == kRowsPerStatement) Flush();
    }
    // Writes what is left; call before the transaction commits.
    void Flush() {
        if (rows_ == 0) return;
        c_.Execute(sql_);
        sql_.clear();
        rows_ = 0;
    }

private:
    static constexpr int kRowsPerStatement = 400;
    Connection& c_;
    std::string sql_;
    int rows_ = 0;
};

// Rounds cents up to a multiple of `step` cents.
long CeilTo(long cents, long step) { return (cents + step - 1) / step * step; }
// Rounds cents to the nearest multiple of `step` cents, halves up.
long NearestTo(long cents, long step) { return (cents + step / 2) / step * step; }

// Generated option codes after the named ones: prefix + two base-36 digits of `index`.
std::string GeneratedCode(char prefix, int index) {
    const char* digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string code(1, prefix);
    code += digits[(index / 36) % 36];
    code += digits[index % 36];
    return code;
}

// ---- The companies

// The exchange rates of a company whose currency is the euro: units of each currency per euro, each
// valid from its day until the currency's next one.
void Rates(Writer& w, int ditta) {
    struct Rate {
        const char* currency;
        std::string from;
        const char* rate;
    };
    for (const Rate& r : {Rate{"USD", Day(2025, 1, 1), "1.0389"}, Rate{"USD", Day(2025, 7, 1), "1.1789"},
                          Rate{"USD", Day(2026, 1, 1), "1.1720"}, Rate{"GBP", Day(2025, 1, 1), "0.8292"},
                          Rate{"GBP", Day(2026, 1, 1), "0.8718"}, Rate{"CHF", Day(2025, 1, 1), "0.9412"},
                          Rate{"CHF", Day(2026, 1, 1), "0.9296"}, Rate{"JPY", Day(2026, 1, 1), "183.76"}})
        w.Insert("QX11_CAMBI", "QX11_DITTA_CG18, QX11_VALUTA_CG08, QX11_DATAINIZIO, QX11_CAMBIO",
                 {N(ditta), Q(r.currency), r.from, r.rate});
}

void Shared(Writer& w) {
    struct Currency {
        const char* code;
        const char* descr;
        int unit;
        int amount;
    };
    for (const Currency& c : {Currency{"EURO", "Euro", 2, 2}, Currency{"USD", "Dollaro statunitense", 2, 2},
                              Currency{"GBP", "Sterlina britannica", 2, 2}, Currency{"CHF", "Franco svizzero", 2, 2},
                              Currency{"JPY", "Yen giapponese", 0, 0}, Currency{"KWD", "Dinaro kuwaitiano", 3, 3}})
        w.Insert("CG08_VALUTE", "CG08_CODICE, CG08_DESCR, CG08_DECPRZUNIT, CG08_DECIMPORTI",
                 {Q(c.code), Q(c.descr), N(c.unit), N(c.amount)});
    struct Vat {
        const char* code;
        const char* descr;
        const char* rate;
    };
    for (const Vat& v : {Vat{"22", "Aliquota ordinaria 22%", "22"}, Vat{"10", "Aliquota ridotta 10%", "10"},
                         Vat{"4", "Aliquota minima 4%", "4"}, Vat{"5", "Aliquota ridotta 5%", "5"},
                         Vat{"64", "Compensazione agricola 6,4%", "6.4"},
                         Vat{"E15", "Escluso art. 15", "0"}})
        w.Insert("CG28_TABCODIVA", "CG28_CODICE, CG28_DESCR, CG28_PERCIVA", {Q(v.code), Q(v.descr), v.rate});
    struct Company {
        int code;
        const char* name;
    };
    for (const Company& c : {Company{kDittaAbbigliamento, "Confezioni Bellini S.p.A."},
                             Company{kDittaCalzature, "Calzaturificio Rossi S.r.l."},
                             Company{kDittaTessuti, "Tessitura Verdi S.n.c."},
                             Company{kDittaFerramenta, "Ferramenta Neri S.a.s."},
                             Company{kDittaSenzaVarianti, "Studio Bianchi"},
                             Company{kDittaSegmenti, "Maglificio Gialli S.r.l."},
                             Company{kDittaLetturaSenzaGriglia, "Calzetteria Viola S.n.c."}})
        w.Insert("CG18_DITTE", "CG18_CODICE, CG18_RAGSOC, CG18_VALUTA_CG08", {N(c.code), Q(c.name), Q("EURO")});
    for (int ditta : {kDittaAbbigliamento, kDittaCalzature, kDittaTessuti}) Rates(w, ditta);
}

void Clothing(Writer& w, const DemoOptions& o) {
    const int d = kDittaAbbigliamento;
    Variants(w, d, {{"A0", "MODELLO", 4, 0}, {"A1", "COLORE", 3, 1}, {"A2", "TAGLIA", 3, 4}});
    Options(w, d, "A0", {{"GIRO", "Girocollo"}, {"SCOV", "Scollo a V"}, {"CARD", "Cardigan"}, {"POLO", "Polo"}});

    std::vector<Option> colours = {{"BLU", "Blu navy"},        {"ROS", "Rosso"},       {"NER", "Nero"},
                                   {"BIA", "Bianco"},          {"VER", "Verde bottiglia"}, {"GRI", "Grigio perla"},
                                   {"BEI", "Beige"},           {"CAM", "Cammello"}};
    colours.resize(static_cast<std::size_t>(std::min<int>(o.colours, static_cast<int>(colours.size()))));
    for (int i = static_cast<int>(colours.size()); i < o.colours; ++i)
        colours.push_back({GeneratedCode('C', i + 1), "Colore " + std::to_string(i + 1)});
    if (o.apostrophe_option) colours.push_back({"D'O", "Giallo d'oro"});
    Options(w, d, "A1", colours);

    std::vector<Option> sizes = {{"XS", "Extra small"}, {"S", "Small"},       {"M", "Medium"},
                                 {"L", "Large"},        {"XL", "Extra large"}, {"XXL", "Doppia extra large"}};
    sizes.resize(static_cast<std::size_t>(std::min<int>(o.sizes, static_cast<int>(sizes.size()))));
    for (int i = static_cast<int>(sizes.size()); i < o.sizes; ++i)
        sizes.push_back({GeneratedCode('T', i + 1), "Taglia " + std::to_string(i + 1)});
    Options(w, d, "A2", sizes);

    Grouping(w, d, "A1", "INVERNO", "Colori autunno/inverno", {"NER", "GRI", "CAM", "BLU"});
    Grouping(w, d, "A1", "ESTATE", "Colori primavera/estate", {"BIA", "BEI", "VER", "ROS"});
    Grouping(w, d, "A2", "ADULTO", "Taglie adulto", {"S", "M", "L", "XL"});
    Grouping(w, d, "A2", "COMPLETA", "Scala taglie completa", {"XS", "S", "M", "L", "XL", "XXL"});

    // Element 0 reads the two grid variants (positions 2 and 3); element 1 reads everything and is
    // ignored by the grid.
    Reading(w, d, 0, {0, 1, 1});
    Reading(w, d, 1, {1, 1, 1});

    Articles(w, d, {{"MAG001", "Maglia girocollo in lana merino", 1, 2, "22"},
                    {"GIA001", "Giacca imbottita con cappuccio", 1, 1, "22"},
                    {"PAN001", "Pantalone chino in cotone", 0, 0, "22"},
                    {"SCI001", "Sciarpa in cashmere", 1, 1, "22"},
                    {"CAL001", "Calzino sportivo in spugna", 0, 0, "22"},
                    {"CIN001", "Cintura in cuoio con fibbia", 1, 3, "22"}});
    for (const char* v : {"A0", "A1", "A2"}) Manages(w, d, "MAG001", v, 1);
    Manages(w, d, "GIA001", "A0", 1);
    Manages(w, d, "GIA001", "A1", 1, "INVERNO");
    Manages(w, d, "GIA001", "A2", 1, "COMPLETA");
    Manages(w, d, "SCI001", "A0", 1);
    Manages(w, d, "SCI001", "A1", 1);
    Manages(w, d, "SCI001", "A2", 0);
    Manages(w, d, "CAL001", "A0", 1);
    Manages(w, d, "CAL001", "A1", 0);
    Manages(w, d, "CAL001", "A2", 1);
    Manages(w, d, "CIN001", "A0", 1);
    Manages(w, d, "CIN001", "A1", 0);
    Manages(w, d, "CIN001", "A2", 0);

    StandardBrackets(w, d);

    std::vector<List> lists;
    lists.push_back({.number = 1, .purchase = 1, .descr = "Fornitore Lanificio Biellese", .discounts = 2});
    lists.push_back({.number = 2, .purchase = 1, .descr = "Fornitore Maglificio Trevigiano", .discounts = 3,
                     .ask_discount_amount = 1, .markups = 1, .ask_markup_amount = 1, .start_mode = 2, .end_mode = 2});
    lists.push_back({.number = 3, .purchase = 1, .descr = "Fornitore estero (dollari)", .currency = "USD",
                     .discounts = 1, .start_mode = 3, .end_mode = 3});
    lists.push_back({.number = 4, .purchase = 1, .fast = 0, .descr = "Listino storico fornitore"});
    lists.push_back({.number = 10, .purchase = 0, .descr = "Vendita al pubblico (IVA compresa)", .discounts = 1,
                     .start_mode = 1, .end_mode = 1, .recharge = "150", .vat_included = 1, .rounding = 2,
                     .bracket = "1", .reference = "1"});
    lists.push_back({.number = 11, .purchase = 0, .descr = "Vendita all'ingrosso", .discounts = 2,
                     .commission = "5", .start_mode = 4, .start = Day(2025, 1, 1), .end_mode = 4,
                     .end = Day(2025, 12, 31), .recharge = "60", .rounding = 1, .reference = "1"});
    lists.push_back({.number = 12, .purchase = 0, .descr = "Vendita outlet", .recharge = "0", .vat_included = 1,
                     .zero_recharge_mode = 1, .reference = "2"});
    lists.push_back({.number = 13, .purchase = 0, .descr = "Esportazione USA", .currency = "USD", .recharge = "80",
                     .rounding = 2, .bracket = "3", .zero_recharge_mode = 2, .reference = "3"});
    lists.push_back({.number = 15, .purchase = 0, .fast = 0, .descr = "Listino rappresentanti", .recharge = "40"});
    for (int i = 1; i <= o.extra_list_pairs; ++i) {
        lists.push_back({.number = 100 + i, .purchase = 1, .descr = "Fornitore aggiuntivo " + std::to_string(i),
                         .discounts = 1});
        lists.push_back({.number = 200 + i, .purchase = 0, .descr = "Vendita aggiuntiva " + std::to_string(i),
                         .recharge = "100", .reference = std::to_string(100 + i)});
    }
    Lists(w, d, lists);

    if (!o.stored_prices) return;
    const std::string y2025 = Day(2025, 1, 1), e2025 = Day(2025, 12, 31);
    const std::string y2026 = Day(2026, 1, 1), e2026 = Day(2026, 12, 31);
    for (std::size_t s = 0; s < sizes.size(); ++s) {
        for (const auto& c : colours) {
            const std::string option = ComposeOption(kPresetOption, {{5, c.code}, {8, sizes[s].code}});
            long cost = 1850 + 50 * static_cast<long>(std::min<std::size_t>(s, 5)) + (c.code == "CAM" ? 200 : 0);
            PriceRow p{d, 1, "MAG001", option, 1, y2025, e2025, cost};
            if (sizes[s].code == "XXL") p.discount1 = "5";
            if (c.code == "CAM") p.note = Q("Prezzo concordato con l'agente");
            Price(w, p);
            p.start = y2026;
            p.end = e2026;
            p.price_cents = (cost * 103 + 50) / 100;
            p.note = kNull;
            Price(w, p);
            for (int extra = 1; extra <= o.extra_list_pairs; ++extra) {
                PriceRow x{d, 1, "MAG001", option, 100 + extra, y2025, e2025, cost + 10 * extra};
                Price(w, x);
            }
            if (c.code == "BLU" || c.code == "NER") {
                PriceRow p2{d, 1, "MAG001", option, 2, y2025, e2025, cost - 120};
                p2.discount1 = "10";
                p2.discount2 = "3";
                Price(w, p2);
            }
            if (c.code == "BLU" || c.code == "NER" || c.code == "BIA") {
                // Retail: cost + 150 % with VAT, rounded up to the half euro (bracket 1, 10 to 100 euro).
                long retail = CeilTo(cost * 250 * 122 / 10000, 50);
                PriceRow r{d, 0, "MAG001", option, 10, y2025, e2025, retail};
                r.recharge = "150";
                r.rounded = 1;
                r.bracket = "1";
                Price(w, r);
            }
            if (c.code == "BLU") {
                // Wholesale: cost + 60 %, to the nearest ten cents (the article's bracket 2 above 50 euro;
                // five cents below).
                long wholesale = cost * 160 / 100;
                wholesale = wholesale > 5000 ? NearestTo(wholesale, 10) : NearestTo(wholesale, 5);
                PriceRow r{d, 0, "MAG001", option, 11, y2025, e2025, wholesale};
                r.recharge = "60";
                r.rounded = 1;
                r.bracket = "2";
                r.commission = "5";
                Price(w, r);
            }
        }
    }
    for (const auto& c : colours) {
        PriceRow p{d, 1, "SCI001", ComposeOption("", {{5, c.code}}), 1, y2025, e2025, 3500};
        Price(w, p);
    }
}

void Shoes(Writer& w, const DemoOptions& o) {
    const int d = kDittaCalzature;
    Variants(w, d, {{"A0", "COLORE", 3, 1}, {"A1", "NUMERO", 2, 2}});
    const std::vector<Option> colours = {{"NER", "Nero"}, {"MAR", "Marrone testa di moro"}, {"CUO", "Cuoio"},
                                         {"BLU", "Blu"}};
    Options(w, d, "A0", colours);
    std::vector<Option> numbers;
    for (int n = 36; n <= 46; ++n) numbers.push_back({std::to_string(n), "Numero " + std::to_string(n)});
    Options(w, d, "A1", numbers);
    Grouping(w, d, "A1", "UOMO", "Numerazione uomo", {"39", "40", "41", "42", "43", "44", "45", "46"});
    Articles(w, d, {{"SCA100", "Scarpa stringata in pelle", 1, 1, "22"},
                    {"MOC200", "Mocassino in camoscio", 1, 1, "22"},
                    {"STI300", "Stivaletto con zip", 0, 0, "22"}});
    Manages(w, d, "SCA100", "A0", 1);
    Manages(w, d, "SCA100", "A1", 1);
    Manages(w, d, "MOC200", "A0", 1);
    Manages(w, d, "MOC200", "A1", 1, "UOMO");
    Manages(w, d, "STI300", "A0", 1);
    Manages(w, d, "STI300", "A1", 0);
    StandardBrackets(w, d);
    Lists(w, d, {{.number = 1, .purchase = 1, .descr = "Fornitore Pellami Toscani", .discounts = 1},
                 {.number = 10, .purchase = 0, .descr = "Vendita negozi (IVA compresa)", .recharge = "120",
                  .vat_included = 1, .rounding = 2, .bracket = "1", .reference = "1"},
                 {.number = 11, .purchase = 0, .descr = "Vendita all'ingrosso", .recharge = "50",
                  .rounding = 1, .reference = "1"}});
    if (!o.stored_prices) return;
    for (const auto& c : colours) {
        for (const auto& n : numbers) {
            long cost = 4200 + (n.code >= "43" ? 300 : 0);
            Price(w, {d, 1, "SCA100", ComposeOption("", {{1, c.code}, {4, n.code}}), 1, Day(2025, 1, 1),
                      Day(2025, 12, 31), cost});
        }
    }
}

void Fabrics(Writer& w, const DemoOptions& o) {
    const int d = kDittaTessuti;
    Variants(w, d, {{"A0", "COLORE", 3, 1}, {"A1", "ALTEZZA", 3, 3}});
    const std::vector<Option> colours = {{"AVO", "Avorio"}, {"BOR", "Bordeaux"}, {"PET", "Blu petrolio"},
                                         {"OTT", "Verde ottanio"}};
    Options(w, d, "A0", colours);
    const std::vector<Option> widths = {{"140", "Altezza 140 cm"}, {"150", "Altezza 150 cm"},
                                        {"280", "Altezza 280 cm (tendaggi)"}};
    Options(w, d, "A1", widths);
    Reading(w, d, 0, {1, 1});
    Articles(w, d, {{"TES010", "Tessuto di seta stampato, al metro", 1, 2, "22"}});
    Manages(w, d, "TES010", "A0", 1);
    Manages(w, d, "TES010", "A1", 1);
    StandardBrackets(w, d);
    Lists(w, d, {{.number = 1, .purchase = 1, .descr = "Fornitore Setificio Comasco", .discounts = 2},
                 {.number = 10, .purchase = 0, .descr = "Vendita al metro", .recharge = "90", .rounding = 2,
                  .bracket = "2", .reference = "1"}});
    if (!o.stored_prices) return;
    for (const auto& c : colours) {
        for (std::size_t i = 0; i < widths.size(); ++i) {
            Price(w, {d, 1, "TES010", ComposeOption("", {{1, c.code}, {4, widths[i].code}}), 1, Day(2025, 1, 1),
                      Day(2025, 12, 31), 1290 + 310 * static_cast<long>(i)});
        }
    }
}

void Hardware(Writer& w) {
    const int d = kDittaFerramenta;
    Variants(w, d, {{"A0", "FINITURA", 3, 0}});
    Options(w, d, "A0", {{"ZIN", "Zincata"}, {"INX", "Acciaio inox"}, {"OTT", "Ottonata"}});
    Articles(w, d, {{"VIT001", "Vite autofilettante 4x30 (conf. 100 pz.)", 1, 3, "22"},
                    {"LEG001", "Legna da ardere di faggio, sacco 15 kg", 0, 0, "10"}});
    Manages(w, d, "VIT001", "A0", 1);
    StandardBrackets(w, d);
    Lists(w, d, {{.number = 1, .purchase = 1, .descr = "Fornitore Viterie Lombarde"},
                 {.number = 10, .purchase = 0, .fast = 0, .descr = "Vendita banco", .recharge = "70",
                  .vat_included = 1, .reference = "1"}});
}

void Segments(Writer& w) {
    const int d = kDittaSegmenti;
    // Codes with a gap (no A1) and grid variants between two others: the second-level segment is
    // neither the first nor the last of the code.
    Variants(w, d, {{"A0", "STAGIONE", 3, 0}, {"A2", "COLORE", 3, 1}, {"A3", "TAGLIA", 4, 2}, {"A4", "FINITURA", 2, 0}});
    Options(w, d, "A0", {{"P25", "Primavera 2025"}, {"A25", "Autunno 2025"}});
    Options(w, d, "A2", {{"ROS", "Rosso"}, {"BLU", "Blu"}, {"D'O", "Giallo d'oro"}, {"VER", "Verde"}});
    Options(w, d, "A3", {{"S", "Small"}, {"M", "Medium"}, {"L", "Large"}, {"XL", "Extra large"}});
    Options(w, d, "A4", {{"LI", "Liscio"}, {"CO", "A coste"}});
    Grouping(w, d, "A2", "AUTUNNO", "Colori d'autunno", {"D'O", "ROS"});
    Grouping(w, d, "A3", "RIDOTTA", "Taglie ridotte", {"XL", "L", "M"});
    // The reading configuration reads only the second-level variant A3 (its column is the fourth).
    Reading(w, d, 0, {0, 0, 0, 1});
    Articles(w, d, {{kArticoloApostrofo, "Polo dell'estate", 0, 0, "22"},
                    {"TOP001", "Top in maglia", 0, 0, "22"},
                    {"FEL001", "Felpa", 0, 0, "22"},
                    {"GIL001", "Gilet", 0, 0, "22"}});
    for (const char* v : {"A0", "A4"}) {
        for (const char* a : {kArticoloApostrofo, "TOP001", "FEL001", "GIL001"}) Manages(w, d, a, v, 1);
    }
    Manages(w, d, kArticoloApostrofo, "A2", 1, "AUTUNNO");
    Manages(w, d, kArticoloApostrofo, "A3", 1, "RIDOTTA");
    Manages(w, d, "TOP001", "A2", 1);
    Manages(w, d, "TOP001", "A3", 1);
    Manages(w, d, "FEL001", "A2", 1);
    Manages(w, d, "FEL001", "A3", 0);
    Manages(w, d, "GIL001", "A2", 0);
    Manages(w, d, "GIL001", "A3", 1);
    StandardBrackets(w, d);
    Lists(w, d, {{.number = 1, .purchase = 1, .descr = "Fornitore Filati dell'Adda", .discounts = 1},
                 {.number = 20, .purchase = 0, .descr = "Vendita diretta", .recharge = "100", .reference = "1"}});
}

void ReadingWithoutGrid(Writer& w) {
    const int d = kDittaLetturaSenzaGriglia;
    Variants(w, d, {{"A0", "COLORE", 3, 1}, {"A1", "TAGLIA", 2, 3}, {"A2", "CONFEZIONE", 2, 0}});
    Options(w, d, "A0", {{"NER", "Nero"}, {"BIA", "Bianco"}});
    Options(w, d, "A1", {{"S", "Small"}, {"M", "Medium"}});
    Options(w, d, "A2", {{"P3", "Confezione da 3"}, {"P6", "Confezione da 6"}});
    // Reading configuration rows that read only the packaging, no grid variant.
    Reading(w, d, 0, {0, 0, 1});
    Articles(w, d, {{"CAL700", "Calza corta", 0, 0, "22"}, {"CAL701", "Calza lunga", 0, 0, "22"}});
    Manages(w, d, "CAL700", "A0", 1);
    Manages(w, d, "CAL700", "A1", 0);
    Manages(w, d, "CAL701", "A0", 1);
    Manages(w, d, "CAL701", "A1", 1);
}

void NoVariants(Writer& w) {
    const int d = kDittaSenzaVarianti;
    Articles(w, d, {{"LIB001", "Manuale di contabilità generale", 0, 0, "4"},
                    {"CON001", "Consulenza oraria", 0, 0, "22"}});
}

// The large article: a shirt made in 60 colours and 25 sizes, priced by 8 suppliers and sold through 8
// sales lists, every combination stored. The prices follow what makes a shirt cost more or less - the
// dye, the shade, the fabric a larger size takes, the supplier - so no two neighbouring rows read alike.
void LargeCompany(Connection& c, bool stored_prices) {
    Writer w(c);
    const int d = kDittaGrande;
    w.Insert("CG18_DITTE", "CG18_CODICE, CG18_RAGSOC, CG18_VALUTA_CG08",
             {N(d), Q("Camiceria Moretti S.p.A."), Q("EURO")});
    Rates(w, d);
    Variants(w, d, {{"A0", "COLORE", 3, 1}, {"A1", "TAGLIA", 2, 2}});

    struct Base {
        const char* code;
        const char* name;
        long dye;  // cents the dye adds to the cost
    };
    const Base bases[] = {{"BI", "Bianco", 0},   {"NE", "Nero", 0},     {"GR", "Grigio", 30}, {"BL", "Blu", 40},
                          {"AZ", "Azzurro", 35}, {"RO", "Rosso", 60},   {"VE", "Verde", 60},  {"GI", "Giallo", 80},
                          {"AR", "Arancio", 80}, {"RS", "Rosa", 70},    {"VI", "Viola", 90},  {"MA", "Marrone", 50}};
    struct Shade {
        const char* name;
        long extra;
    };
    const Shade shades[] = {{"", 0}, {" chiaro", 20}, {" scuro", 20}, {" melange", 55}, {" pastello", 35}};
    struct Colour {
        Option option;
        long dye;
    };
    std::vector<Colour> colours;
    for (const Base& b : bases)
        for (std::size_t s = 0; s < std::size(shades); ++s)
            colours.push_back({{std::string(b.code) + std::to_string(s), std::string(b.name) + shades[s].name},
                               b.dye + shades[s].extra});
    std::vector<Option> sizes;
    for (int n = 0; n < kTaglieGrande; ++n) {
        const std::string code = std::to_string(34 + 2 * n);
        sizes.push_back({code, "Taglia " + code});
    }
    std::vector<Option> colour_options;
    for (const auto& col : colours) colour_options.push_back(col.option);
    Options(w, d, "A0", colour_options);
    Options(w, d, "A1", sizes);
    Articles(w, d, {{kArticoloGrande, "Camicia in popeline di cotone, 60 colori e 25 taglie", 1, 2, "22"}});
    Manages(w, d, kArticoloGrande, "A0", 1);
    Manages(w, d, kArticoloGrande, "A1", 1);
    StandardBrackets(w, d);

    // Eight suppliers, each with its price level over the base cost (list 3 in dollars), and eight
    // sales lists, each derived from one of them. Every list takes the header's validity dates.
    struct Supplier {
        int number;
        const char* name;
        long level;  // cents over the base cost
    };
    const Supplier suppliers[] = {{1, "Tessitura Lombarda", 0},        {2, "Camiceria Veneta", 95},
                                  {3, "Cotton Mills Inc. (dollari)", 180}, {4, "Confezioni Pugliesi", -60},
                                  {5, "Laboratorio Marchigiano", 40},  {6, "Manifattura Toscana", 120},
                                  {7, "Filati del Piemonte", -30},     {8, "Sartoria Campana", 210}};
    std::vector<List> lists;
    for (const Supplier& s : suppliers) {
        List l{.number = s.number, .purchase = 1, .descr = std::string("Fornitore ") + s.name, .discounts = 1};
        if (s.number == 2) {
            l.discounts = 3;
            l.ask_discount_amount = 1;
            l.markups = 1;
            l.ask_markup_amount = 1;
        }
        if (s.number == 3) l.currency = "USD";
        lists.push_back(l);
    }
    lists.push_back({.number = 10, .purchase = 0, .descr = "Vendita al pubblico (IVA compresa)", .discounts = 1,
                     .recharge = "150", .vat_included = 1, .rounding = 2, .bracket = "1", .reference = "1"});
    lists.push_back({.number = 11, .purchase = 0, .descr = "Vendita all'ingrosso", .discounts = 2, .commission = "5",
                     .recharge = "60", .rounding = 1, .reference = "1"});
    lists.push_back({.number = 12, .purchase = 0, .descr = "Vendita outlet", .recharge = "0", .vat_included = 1,
                     .zero_recharge_mode = 1, .reference = "2"});
    lists.push_back({.number = 13, .purchase = 0, .descr = "Esportazione USA", .currency = "USD", .recharge = "80",
                     .rounding = 2, .bracket = "3", .zero_recharge_mode = 2, .reference = "3"});
    for (int i = 0; i < 4; ++i)
        lists.push_back({.number = 14 + i, .purchase = 0, .descr = "Vendita rivenditori zona " + std::to_string(i + 1),
                         .recharge = std::to_string(90 + 10 * i), .reference = std::to_string(5 + i)});
    Lists(w, d, lists);
    if (!stored_prices) return;

    PriceBatch batch(c);
    const std::string from = Day(2025, 1, 1), to = Day(2025, 12, 31);
    for (std::size_t z = 0; z < sizes.size(); ++z) {
        // The larger sizes take more fabric: from the ninth size on, each costs 25 cents more.
        const long fabric = z < 8 ? 0 : static_cast<long>(z - 7) * 25;
        for (const auto& col : colours) {
            const std::string option = ComposeOption("", {{1, col.option.code}, {4, sizes[z].code}});
            long cost[9] = {};
            for (const Supplier& s : suppliers) {
                cost[s.number] = 1400 + col.dye + fabric + s.level;
                const bool discounted = s.number == 2;  // supplier 2 gives 10 % and 3 %
                batch.Add({d, 1, kArticoloGrande, option, s.number, from, to, cost[s.number],
                           discounted ? "10" : "0", discounted ? "3" : "0"});
            }
            // Retail: cost + 150 % with VAT, rounded up to the half euro (bracket 1, 10 to 100 euro).
            PriceRow r{d, 0, kArticoloGrande, option, 10, from, to, CeilTo(cost[1] * 250 * 122 / 10000, 50)};
            r.recharge = "150";
            r.rounded = 1;
            r.bracket = "1";
            batch.Add(r);
            // Wholesale: cost + 60 %, to the nearest five cents below 50 euro (the article's bracket 2).
            PriceRow g{d, 0, kArticoloGrande, option, 11, from, to, NearestTo(cost[1] * 160 / 100, 5)};
            g.recharge = "60";
            g.rounded = 1;
            g.bracket = "2";
            g.commission = "5";
            batch.Add(g);
            // Outlet: supplier 2's net price with VAT, to the five cents.
            const long net2 = cost[2] * 90 * 97 / 10000;
            batch.Add({d, 0, kArticoloGrande, option, 12, from, to, NearestTo(net2 * 122 / 100, 5)});
            // Export: the dollar cost + 80 %, down to the whole dollar (bracket 3).
            PriceRow x{d, 0, kArticoloGrande, option, 13, from, to, cost[3] * 180 / 100 / 100 * 100};
            x.recharge = "80";
            x.rounded = 1;
            x.bracket = "3";
            batch.Add(x);
            for (int i = 0; i < 4; ++i)
                batch.Add({d, 0, kArticoloGrande, option, 14 + i, from, to, cost[5 + i] * (190 + 10 * i) / 100});
        }
    }
    batch.Flush();
}

}  // namespace

std::string ComposeOption(std::string_view preset, std::initializer_list<std::pair<int, std::string_view>> segments) {
    std::string base(preset.substr(0, 20));
    base.resize(20, ' ');
    for (const auto& [start, segment] : segments) {
        if (start < 1 || static_cast<std::size_t>(start - 1) + segment.size() > base.size())
            throw kv::Error(kv::err::kInvalidArgument, "ComposeOption: a segment ends beyond the 20th character",
                            "qmx::demo");
        base.replace(static_cast<std::size_t>(start - 1), segment.size(), segment);
    }
    return base;
}

std::string_view SchemaSql(std::string_view provider) {
    if (provider == "SQLite") return schema::kSqliteSchema;
    if (provider == "PostgreSQL") return schema::kPostgresSchema;
    throw kv::Error(kv::err::kInvalidArgument, "No schema for the provider \"" + std::string(provider) + "\"",
                    "qmx::demo");
}

void CreateSchema(Connection& connection) {
    const std::string_view sql = SchemaSql(connection.Provider());
    connection.BeginTrans();
    try {
        connection.Execute(sql);
        connection.CommitTrans();
    } catch (...) {
        if (connection.InTransaction()) connection.RollbackTrans();
        throw;
    }
}

void DropSchema(Connection& connection) {
    for (auto it = std::rbegin(kTables); it != std::rend(kTables); ++it)
        connection.Execute(std::string("DROP TABLE IF EXISTS ") + *it);
}

void BuildDemo(Connection& connection, const DemoOptions& options) {
    Writer w(connection);
    connection.BeginTrans();
    try {
        Shared(w);
        Clothing(w, options);
        Shoes(w, options);
        Fabrics(w, options);
        Hardware(w);
        NoVariants(w);
        Segments(w);
        ReadingWithoutGrid(w);
        if (options.large_article) LargeCompany(connection, options.stored_prices);
        connection.CommitTrans();
    } catch (...) {
        if (connection.InTransaction()) connection.RollbackTrans();
        throw;
    }
}

bool HasLargeArticle(Connection& connection) {
    auto rs = connection.Execute("SELECT COUNT(*) FROM CG18_DITTE WHERE CG18_CODICE = " + N(kDittaGrande));
    return kv::CLng(rs->Value(0)) > 0;
}

void BuildLargeArticle(Connection& connection, bool stored_prices) {
    connection.BeginTrans();
    try {
        LargeCompany(connection, stored_prices);
        connection.CommitTrans();
    } catch (...) {
        if (connection.InTransaction()) connection.RollbackTrans();
        throw;
    }
}

}  // namespace qmx::demo
