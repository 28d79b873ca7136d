#pragma once
// The demo company database: the schema of either engine and a data set that exercises every path of the
// price-list window. The same builder makes the database that `scripts/run` opens and the fixtures of the
// tests, on SQLite and PostgreSQL alike (the data written is identical on both).
//
// Companies (MG..._DITTA_CG18) and what they show:
//
// 1 Confezioni Bellini S.p.A. (clothing). Variants A0 MODELLO (4 characters, not in the grid), A1 COLORE
//   (3, first grid level), A2 TAGLIA (3, MG5F_INDGRIGLIA 4: second level as columns). The reading
//   configuration (MG5L, element 0) reads A1 and A2. Option groupings: A1 "INVERNO", "ESTATE";
//   A2 "ADULTO" (S..XL), "COMPLETA" (XS..XXL in size order).
//     article   grid type  why
//     MAG001    4          manages both grid variants, no grouping; stored purchase and sales rows
//     GIA001    4          manages both with groupings (A1 INVERNO, A2 COMPLETA)
//     PAN001    4          no MG6B_GESVARART rows: counts as managing every variant
//     SCI001    1          manages only COLORE (Inverti False); stored purchase rows
//     CAL001    1          manages only TAGLIA (Inverti True)
//     CIN001    0          manages neither grid variant
//   Purchase lists (MG44_FLGVENACQ 1): 1, 2 (EURO), 3 (USD) in fast creation, 4 not.
//   Sales lists (0): 10 retail, VAT included, reference purchase list 1, recharge 150, list bracket 1;
//   11 wholesale, reference 1, recharge 60, the article's bracket, commission 5 %; 12 outlet, recharge 0
//   (zero-recharge mode 1: copy), reference 2, VAT included; 13 export in USD, reference 3, recharge 80;
//   15 not in fast creation. Rounding brackets 1 (retail), 2 (0.05/0.10), 3 (whole units, down).
// 2 Calzaturificio Rossi S.r.l. (shoes). A0 COLORE (3, level 1), A1 NUMERO (2, MG5F_INDGRIGLIA 2); no
//   reading configuration rows. SCA100 grid type 2 (stored purchase rows), MOC200 type 2 with the
//   grouping "UOMO" on NUMERO, STI300 type 1 (COLORE only). Lists 1 (purchase) and 10, 11 (sales): the
//   same numbers as company 1, with rows of their own.
// 3 Tessitura Verdi S.n.c. (fabrics). A0 COLORE (3, level 1), A1 ALTEZZA (3, MG5F_INDGRIGLIA 3); reading
//   configuration reads both. TES010 grid type 3 (stored purchase rows). Lists 1 and 10.
// 4 Ferramenta Neri S.a.s. One variant A0 FINITURA, not in the grid: every article (VIT001) has grid
//   type 0, and the variant configuration check fails. Purchase list 1 in fast creation; its sales list
//   10 is not, so the sales configuration check fails.
// 5 Studio Bianchi: no variants (MAX(MG5F_INDGRIGLIA) is Null, grid type 0) and no lists.
// 6 Maglificio Gialli S.r.l. Variants with a gap in their codes: A0 STAGIONE (3, not in the grid), A2 COLORE
//   (3, level 1), A3 TAGLIA (4, MG5F_INDGRIGLIA 2), A4 FINITURA (2, not in the grid), so the segments are
//   1-3, 4-6, 7-10, 11-12 and the second-level one is in the middle. The reading configuration reads only
//   A3 (column MG5L_FLGPOSVAR4). COLORE has the option "D'O"; groupings AUTUNNO (D'O, ROS) on A2 and
//   RIDOTTA (XL, L, M in that sequence) on A3.
//     POL'01 (kArticoloApostrofo) manages both with both groupings: grid type 1, Inverti True
//     TOP001    manages both, no grouping: grid type 1, Inverti True
//     FEL001    manages only COLORE, which is not read: grid type 0
//     GIL001    manages only TAGLIA: grid type 1, Inverti True
//   Lists 1 (purchase) and 20 (sales) in fast creation.
// 7 Calzetteria Viola S.n.c. A0 COLORE (3, level 1), A1 TAGLIA (2, MG5F_INDGRIGLIA 3), A2 CONFEZIONE
//   (2, not in the grid); the reading configuration reads only A2. CAL700 manages only COLORE (grid type 1,
//   Inverti left as it was), CAL701 both (grid type 0). No lists.
// 8 Camiceria Moretti S.p.A. (only with DemoOptions::large_article, or BuildLargeArticle): the large
//   article CAM900, a shirt in 60 colours (A0 COLORE, 3 characters, level 1: twelve colours in five
//   shades, "BI0" Bianco to "MA4" Marrone pastello) and 25 sizes (A1 TAGLIA, 2 characters,
//   MG5F_INDGRIGLIA 2: "34" to "82"), grid type 2. Purchase lists 1 to 8 (3 in USD; 2 with three
//   discounts, the amounts and a markup) and sales lists 10 to 17 (10 retail with VAT, reference 1; 11
//   wholesale, reference 1; 12 outlet, reference 2; 13 export in USD, reference 3; 14 to 17 dealers,
//   references 5 to 8), all in fast creation and all taking the header's dates. Every list and option
//   has a stored row for 2025: 12,000 purchase and 12,000 sales rows. Purchase list n costs
//   14,00 + the colour's dye + 0,25 a size from the ninth size on + the supplier's level (list 1: none,
//   so BI0 size 34 costs 14,00 and MA4 size 82 19,10); sales rows are derived from them as "Ricalcola"
//   would, near enough to read as real prices.
//
// Stored price rows (LI10_LISTARTIC) use the option codes the window composes from the preset option
// (kPresetOption for MAG001, empty for the others) and the grid options, validity 01/01/2025-31/12/2025
// (and 2026 for MAG001 purchase list 1).

#include <string>
#include <string_view>

#include "platform/ado/connection.h"

namespace qmx::demo {

inline constexpr int kDittaAbbigliamento = 1;
inline constexpr int kDittaCalzature = 2;
inline constexpr int kDittaTessuti = 3;
inline constexpr int kDittaFerramenta = 4;
inline constexpr int kDittaSenzaVarianti = 5;
inline constexpr int kDittaSegmenti = 6;
inline constexpr int kDittaLetturaSenzaGriglia = 7;
inline constexpr int kDittaGrande = 8;  // only with the large article

// Articles by the grid type they give (company in the comment).
inline constexpr const char* kArticoloTipo4 = "MAG001";            // 1
inline constexpr const char* kArticoloTipo4Raggruppato = "GIA001"; // 1
inline constexpr const char* kArticoloSenzaGestione = "PAN001";    // 1, type 4
inline constexpr const char* kArticoloTipo1 = "SCI001";            // 1
inline constexpr const char* kArticoloTipo1Inverti = "CAL001";     // 1
inline constexpr const char* kArticoloTipo0 = "CIN001";            // 1
inline constexpr const char* kArticoloTipo2 = "SCA100";            // 2
inline constexpr const char* kArticoloTipo2Raggruppato = "MOC200"; // 2
inline constexpr const char* kArticoloTipo2Colore = "STI300";      // 2, type 1
inline constexpr const char* kArticoloTipo3 = "TES010";            // 3
inline constexpr const char* kArticoloFerramenta = "VIT001";       // 4, type 0
inline constexpr const char* kArticoloApostrofo = "POL'01";        // 6, type 1 (Inverti)
inline constexpr const char* kArticoloGrande = "CAM900";           // 8, type 2, 60 x 25 options, 16 lists
inline constexpr int kColoriGrande = 60;
inline constexpr int kTaglieGrande = 25;
// The model segment of MAG001's stored option codes ("GIRO" + colour + size).
inline constexpr const char* kPresetOption = "GIRO";

struct DemoOptions {
    // Options of company 1's grid variants: the named ones first (8 colours, 6 sizes), then generated
    // codes ("C09", "T07"...) up to these counts. Larger values make data sets for benchmarks.
    int colours = 8;
    int sizes = 6;
    // Further purchase lists (101, 102...) in fast creation, each with a sales list (201, 202...) that
    // takes it as reference.
    int extra_list_pairs = 0;
    // Write the stored price rows of LI10_LISTARTIC.
    bool stored_prices = true;
    // Add the colour "D'O" ("Giallo d'oro") to company 1, an option code holding an apostrophe, with stored
    // rows for MAG001.
    bool apostrophe_option = false;
    // Add company 8 with the large article (with its stored rows when stored_prices is set).
    bool large_article = false;
};

// The schema's DDL for an engine ("SQLite" or "PostgreSQL", as Connection::Provider names it); built into
// the program, nothing is read from files. Raises kv::Error 3001 for another name.
std::string_view SchemaSql(std::string_view provider);

// Creates every table on the open connection (which must not have them yet).
void CreateSchema(kv::ado::Connection& connection);
// Drops the tables CreateSchema makes, those that exist.
void DropSchema(kv::ado::Connection& connection);
// Writes the demo companies into the tables, in one transaction.
void BuildDemo(kv::ado::Connection& connection, const DemoOptions& options = {});

// Whether the database has the large article's company.
bool HasLargeArticle(kv::ado::Connection& connection);
// Adds company 8 with the large article to a database that has the demo (in one transaction). The
// company must not be there yet (its rows would clash with their keys).
void BuildLargeArticle(kv::ado::Connection& connection, bool stored_prices = true);

// The 20-character option code the window composes: `preset` cut or padded to 20, then each segment
// written at its 1-based start, replacing only as many characters as it has.
std::string ComposeOption(std::string_view preset, std::initializer_list<std::pair<int, std::string_view>> segments);

}  // namespace qmx::demo
