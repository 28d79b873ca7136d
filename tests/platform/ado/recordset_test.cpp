#include "platform/ado/recordset.h"

#include <gtest/gtest.h>

#include "support/errors.h"

#include <clocale>
#include <functional>

namespace kv::ado {
namespace {

// A small fabricated recordset: CODE fixed-width text, NAME variable text, QTY double, DAY date.
RecordsetPtr MakeRows(std::initializer_list<std::tuple<const char*, const char*, double>> rows) {
    auto rs = Recordset::Create();
    rs->SetCursorLocation(adUseClient);
    rs->SetLockType(adLockBatchOptimistic);
    auto f = rs->GetFields();
    f.Append("CODE", adChar, 5);
    f.Append("NAME", adVarWChar, 20, adFldIsNullable);
    f.Append("QTY", adDouble, 0, adFldIsNullable);
    f.Append("DAY", adDate, 0, adFldIsNullable);
    rs->Open();
    for (const auto& [code, name, qty] : rows) {
        rs->AddNew();
        rs->SetValue("CODE", code);
        rs->SetValue("NAME", name);
        rs->SetValue("QTY", qty);
        rs->Update();
    }
    if (rs->RecordCount() > 0) rs->MoveFirst();
    return rs;
}

std::vector<std::string> Codes(Recordset& rs) {
    std::vector<std::string> out;
    if (rs.RecordCount() == 0) return out;
    rs.MoveFirst();
    while (!rs.IsEOF()) {
        out.push_back(CStr(rs.Value("CODE")));
        rs.MoveNext();
    }
    return out;
}

using kv::testing::ErrorNumber;

TEST(Recordset, FabricatedOpenRules) {
    auto rs = Recordset::Create();
    EXPECT_EQ(ErrorNumber([&] { rs->Open(); }), err::kInvalidConnection);  // no fields
    rs->GetFields().Append("A", adInteger);
    EXPECT_EQ(ErrorNumber([&] { rs->GetFields().Append("a", adInteger); }), err::kObjectInCollection);
    EXPECT_EQ(ErrorNumber([&] { rs->RecordCount(); }), err::kObjectClosed);
    rs->Open();
    EXPECT_EQ(rs->State(), adStateOpen);
    EXPECT_EQ(ErrorNumber([&] { rs->Open(); }), err::kObjectOpen);
    EXPECT_EQ(ErrorNumber([&] { rs->GetFields().Append("B", adInteger); }), err::kIllegalOperation);
    EXPECT_TRUE(rs->IsBOF());
    EXPECT_TRUE(rs->IsEOF());
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(rs->AbsolutePosition(), adPosUnknown);
    EXPECT_EQ(ErrorNumber([&] { rs->MoveFirst(); }), err::kNoCurrentRecord);
    rs->Close();
    EXPECT_EQ(rs->GetFields().Count(), 0);
    EXPECT_EQ(ErrorNumber([&] { rs->Close(); }), err::kObjectClosed);
}

TEST(Recordset, OpenRefusingItsPendingFilterStaysClosed) {
    auto rs = Recordset::Create();
    rs->GetFields().Append("A", adInteger);
    rs->SetFilter("B = 1");  // checked against the fields only at Open
    EXPECT_EQ(ErrorNumber([&] { rs->Open(); }), err::kItemNotFound);
    EXPECT_EQ(rs->State(), adStateClosed);
    EXPECT_EQ(rs->Filter(), Variant("B = 1"));
    rs->SetFilter("A = 1");
    rs->Open();
    EXPECT_EQ(rs->State(), adStateOpen);
    EXPECT_EQ(rs->Filter(), Variant("A = 1"));
}

TEST(Recordset, NavigationAndEnds) {
    auto rs = MakeRows({{"A", "", 1}, {"B", "", 2}});
    EXPECT_EQ(rs->AbsolutePosition(), 1);
    rs->MoveNext();
    EXPECT_EQ(CStr(rs->Value("CODE")), "B    ");
    rs->MoveNext();
    EXPECT_TRUE(rs->IsEOF());
    EXPECT_FALSE(rs->IsBOF());
    EXPECT_EQ(rs->AbsolutePosition(), adPosEOF);
    EXPECT_EQ(ErrorNumber([&] { rs->Value("CODE"); }), err::kNoCurrentRecord);
    EXPECT_EQ(ErrorNumber([&] { rs->MoveNext(); }), err::kNoCurrentRecord);
    rs->MovePrevious();
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    rs->MoveFirst();
    rs->MovePrevious();
    EXPECT_TRUE(rs->IsBOF());
    EXPECT_EQ(rs->AbsolutePosition(), adPosBOF);
    EXPECT_EQ(ErrorNumber([&] { rs->MovePrevious(); }), err::kNoCurrentRecord);
    rs->Move(2);
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    rs->Move(5);  // overshoots: EOF without an error
    EXPECT_TRUE(rs->IsEOF());
    rs->MoveLast();
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    rs->SetAbsolutePosition(1);
    EXPECT_EQ(CStr(rs->Value("CODE")), "A    ");
    EXPECT_EQ(ErrorNumber([&] { rs->SetAbsolutePosition(3); }), err::kInvalidArgument);
}

TEST(Recordset, AddNewCountsAtOnceAndReadsNull) {
    auto rs = MakeRows({});
    rs->AddNew();
    EXPECT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->AbsolutePosition(), 1);
    EXPECT_TRUE(rs->Value("QTY").IsNull());
    EXPECT_EQ(rs->EditMode(), adEditAdd);
    rs->Update();
    rs->AddNew();
    EXPECT_EQ(rs->AbsolutePosition(), 2);
}

// A row added with its values reads back exactly as one added field by field, is new, is seen by an
// equality filter whose index was built before; a value that does not convert adds nothing.
TEST(Recordset, AddNewWithValuesIsAddNewSetValueUpdate) {
    auto by_field = MakeRows({{"A", "x", 1}});
    auto rs = MakeRows({{"A", "x", 1}});
    rs->UpdateBatch();
    rs->SetFilter(Variant("CODE = 'àè  '"));
    EXPECT_EQ(rs->RecordCount(), 0);
    const std::vector<Variant> values = {Variant("àè  "), Variant(std::string(9, 'n') + "  "), Variant("12,5"),
                                         Variant()};
    by_field->AddNew();
    for (int i = 0; i < 4; ++i) by_field->SetValue(i, values[static_cast<std::size_t>(i)]);
    by_field->Update();
    rs->AddNew(values);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(rs->Value(i), by_field->Value(i)) << i;
    EXPECT_EQ(rs->Value(0), Variant("àè   "));
    EXPECT_EQ(rs->Status(), adRecNew);
    EXPECT_EQ(rs->EditMode(), adEditAdd);
    rs->SetFilter(Variant("CODE = 'àè'"));
    EXPECT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->ConvertValue(2, Variant("3,5")), Variant(3.5));
    EXPECT_EQ(ErrorNumber([&] { rs->AddNew({Variant("A"), Variant("abc"), Variant("abc"), Variant()}); }),
              err::kTypeMismatch);
    EXPECT_EQ(ErrorNumber([&] { rs->AddNew({Variant("ABCDEF"), Variant(), Variant(), Variant()}); }),
              err::kMultipleStep);
    EXPECT_EQ(ErrorNumber([&] { rs->AddNew({Variant("A")}); }), err::kInvalidArgument);
    EXPECT_EQ(ErrorNumber([&] { rs->AddNew({Variant("AB" + std::string(30, ' ')), Variant(), Variant(), Variant()}); }),
              err::kMultipleStep)
        << "the blanks that end a text count as characters";
    // Whole numbers into the Double field, text ending in blanks longer than a word.
    const std::vector<Variant> more = {Variant("b   "), Variant("è" + std::string(17, ' ')),
                                       Variant(int16_t{-3}), Variant()};
    const std::vector<Variant> again = {Variant("C"), Variant(), Variant(int32_t{70000}), Variant()};
    for (const auto& row : {more, again}) {
        by_field->AddNew();
        for (int i = 0; i < 4; ++i) by_field->SetValue(i, row[static_cast<std::size_t>(i)]);
        by_field->Update();
        rs->AddNew(row);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(rs->Value(i), by_field->Value(i)) << i;
    }
    EXPECT_EQ(rs->Value("QTY"), Variant(70000.0));
    rs->SetFilter(Variant(int16_t{0}));
    EXPECT_EQ(rs->RecordCount(), 4);
}

// Fields copied cell by cell from another recordset's row read back as the same values given to AddNew
// would: a stored decimal into a Double field, a date, text into a fixed-width field, nothing. Without a
// row to copy from, or with a field that is not there, nothing is added.
TEST(Recordset, AddNewCopyingFromAnotherRowIsAddNewWithItsValues) {
    auto source = Recordset::Create();
    auto f = source->GetFields();
    f.Append("PRICE", adDecimal, 0, adFldIsNullable);
    f.Append("LABEL", adVarWChar, 20, adFldIsNullable);
    f.Append("WHEN", adDate, 0, adFldIsNullable);
    f.Append("NOTHING", adDouble, 0, adFldIsNullable);
    f.Append("COUNT", adInteger, 0, adFldIsNullable);
    source->Open();
    source->AddNew({Variant(*Decimal::Parse("12.35")), Variant("ab"), Variant(*Date::TryFromYmd(2025, 1, 31)),
                    Variant(), Variant(int32_t{7})});
    auto copied = MakeRows({});
    auto given = MakeRows({});
    const int from[] = {0, 1, 2, 3};
    const int to[] = {2, 0, 3, 1};
    const std::vector<Variant> values(4, Variant::Null());
    copied->AddNew(values, *source, from, to, 4);
    std::vector<Variant> as_values(4);
    for (int k = 0; k < 4; ++k) as_values[static_cast<std::size_t>(to[k])] = source->Value(from[k]);
    given->AddNew(as_values);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(copied->Value(i), given->Value(i)) << i;
    EXPECT_EQ(copied->Value("QTY"), Variant(12.35));
    EXPECT_EQ(copied->Value("CODE"), Variant("ab   "));
    EXPECT_EQ(copied->Status(), adRecNew);
    const int count[] = {4}, qty[] = {2};
    copied->AddNew(values, *source, count, qty, 1);  // a whole number into a Double field
    EXPECT_EQ(copied->Value("QTY"), Variant(7.0));

    const int outside[] = {7};
    EXPECT_EQ(ErrorNumber([&] { copied->AddNew(values, *source, outside, to, 1); }), err::kItemNotFound);
    EXPECT_EQ(ErrorNumber([&] { copied->AddNew(values, *source, from, outside, 1); }), err::kItemNotFound);
    source->MoveNext();  // past the last row
    EXPECT_EQ(ErrorNumber([&] { copied->AddNew(values, *source, from, to, 4); }), err::kNoCurrentRecord);
    EXPECT_EQ(copied->RecordCount(), 2);
}

TEST(Recordset, AssignmentCoercesToFieldType) {
    auto rs = MakeRows({{"A", "x", 1}});
    rs->SetValue("QTY", "12,5");  // Italian decimal comma
    EXPECT_EQ(rs->Value("QTY"), Variant(12.5));
    rs->SetValue("NAME", 3.25);
    EXPECT_EQ(rs->Value("NAME"), Variant("3,25"));
    rs->SetValue("DAY", "31/12/2024");
    EXPECT_EQ(rs->Value("DAY"), Variant(*Date::TryFromYmd(2024, 12, 31)));
    rs->SetValue("QTY", Variant());  // Empty stores Null
    EXPECT_TRUE(rs->Value("QTY").IsNull());

    // A failed assignment names the field and leaves the old value.
    rs->SetValue("QTY", 7.0);
    try {
        rs->SetValue("QTY", "abc");
        FAIL() << "text that is not a number was accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), err::kTypeMismatch);
        EXPECT_NE(e.Description().find("QTY"), std::string::npos) << e.Description();
    }
    EXPECT_EQ(rs->Value("QTY"), Variant(7.0));
}

TEST(Recordset, FixedWidthTextIsPaddedAndLongerTextRefused) {
    auto rs = MakeRows({{"AB", "n", 1}});
    EXPECT_EQ(rs->Value("CODE"), Variant("AB   "));
    EXPECT_EQ(ErrorNumber([&] { rs->SetValue("CODE", "ABCDEF"); }), err::kMultipleStep);
    EXPECT_EQ(rs->Value("CODE"), Variant("AB   "));
    rs->SetValue("CODE", "àèìòù");  // five characters, ten bytes: fits
    EXPECT_EQ(rs->Value("CODE"), Variant("àèìòù"));
    EXPECT_EQ(ErrorNumber([&] { rs->SetValue("NAME", std::string(21, 'x')); }), err::kMultipleStep);
}

TEST(Recordset, DeleteKeepsDeletedRowCurrentUntilMove) {
    auto rs = MakeRows({{"A", "", 1}, {"B", "", 2}, {"C", "", 3}});
    rs->MoveNext();
    rs->Delete();
    EXPECT_EQ(ErrorNumber([&] { rs->Value("CODE"); }), err::kNoCurrentRecord);
    EXPECT_FALSE(rs->IsBOF());
    EXPECT_FALSE(rs->IsEOF());
    EXPECT_EQ(rs->RecordCount(), 2);
    rs->MoveNext();
    EXPECT_EQ(CStr(rs->Value("CODE")), "C    ");
    EXPECT_EQ(rs->AbsolutePosition(), 2);

    rs->MoveFirst();
    rs->MoveNext();  // C
    rs->Delete();
    rs->MovePrevious();
    EXPECT_EQ(CStr(rs->Value("CODE")), "A    ");
}

TEST(Recordset, EmptyingFromTheFrontLeavesBofAndEof) {
    auto rs = MakeRows({{"A", "", 1}, {"B", "", 2}, {"C", "", 3}});
    // The way the matrix is emptied: move to the first row and delete, until EOF.
    rs->MoveFirst();
    while (!rs->IsEOF()) {
        rs->Delete();
        rs->MoveFirst();
    }
    EXPECT_TRUE(rs->IsBOF());
    EXPECT_EQ(rs->RecordCount(), 0);
    rs->AddNew();
    rs->SetValue("CODE", "D");
    rs->Update();
    EXPECT_EQ(Codes(*rs), std::vector<std::string>{"D    "});
}

// Every visible row at once, as the matrix is emptied before a load: only under a filter group; the
// deletions wait for UpdateBatch like single ones, and once accepted the rows are gone for good, with
// no bookmark of theirs naming a row added later.
TEST(Recordset, DeletingAGroupEmptiesTheViewAndOldBookmarksNameNoRow) {
    auto rs = MakeRows({{"A", "", 1}, {"B", "", 2}, {"C", "", 3}});
    rs->UpdateBatch();
    auto clone = rs->Clone();
    rs->MoveNext();
    const Variant b = rs->Bookmark();
    EXPECT_EQ(ErrorNumber([&] { rs->Delete(adAffectAll); }), err::kInvalidArgument);
    rs->SetFilter("NAME = ''");
    EXPECT_EQ(ErrorNumber([&] { rs->Delete(adAffectGroup); }), err::kInvalidArgument);
    rs->SetFilter(Variant(int16_t{adFilterNone}));

    rs->Delete(adAffectGroup);
    EXPECT_TRUE(rs->IsBOF());
    EXPECT_TRUE(rs->IsEOF());
    EXPECT_EQ(clone->RecordCount(), 0);
    rs->UpdateBatch();
    rs->AddNew();
    rs->SetValue("CODE", "D");
    rs->Update();
    EXPECT_EQ(Codes(*clone), std::vector<std::string>{"D    "});
    EXPECT_NE(rs->Bookmark(), b);
    EXPECT_EQ(ErrorNumber([&] { rs->SetBookmark(b); }), err::kInvalidArgument);
    EXPECT_EQ(ErrorNumber([&] { rs->SetBookmarkNumber(CLngLng(b)); }), err::kInvalidArgument);
    rs->MoveFirst();
    const Variant d = rs->Bookmark();
    EXPECT_EQ(rs->BookmarkNumber(), CLngLng(d));
    clone->MoveLast();
    clone->SetBookmark(d);
    EXPECT_EQ(CStr(clone->Value("CODE")), "D    ");
    clone->SetFilter("CODE = 'X'");
    EXPECT_EQ(ErrorNumber([&] { clone->SetBookmarkNumber(CLngLng(d)); }), err::kInvalidArgument)
        << "a row the view does not show";
    EXPECT_EQ(ErrorNumber([&] { (void)clone->BookmarkNumber(); }), err::kNoCurrentRecord);
}

// A view of every row shows the live rows whatever happened to the others: deleted pending the batch,
// restored by CancelBatch, added and deleted before being accepted, gone for good with UpdateBatch;
// also through a clone that catches up with the deletions of another.
TEST(Recordset, AWholeViewShowsTheLiveRowsAfterDeletionsCancelledAndAccepted) {
    auto rs = MakeRows({{"A", "", 1}, {"B", "", 2}, {"C", "", 3}});
    rs->UpdateBatch();
    auto clone = rs->Clone();
    auto whole = [](Recordset& r) {
        r.SetFilter(Variant(int16_t{adFilterNone}));
        return Codes(r);
    };
    using Codici = std::vector<std::string>;
    rs->MoveNext();
    rs->Delete();  // B, pending
    EXPECT_EQ(whole(*rs), (Codici{"A    ", "C    "}));
    EXPECT_EQ(Codes(*clone), (Codici{"A    ", "C    "}));
    rs->CancelBatch();
    EXPECT_EQ(whole(*rs), (Codici{"A    ", "B    ", "C    "}));
    EXPECT_EQ(whole(*clone), (Codici{"A    ", "B    ", "C    "}));

    rs->AddNew();
    rs->SetValue("CODE", "D");
    rs->Update();
    rs->Delete();  // never accepted: gone at once
    EXPECT_EQ(whole(*rs), (Codici{"A    ", "B    ", "C    "}));
    rs->MoveFirst();
    rs->Delete();  // A, pending
    EXPECT_EQ(whole(*rs), (Codici{"B    ", "C    "}));
    rs->UpdateBatch();
    EXPECT_EQ(whole(*rs), (Codici{"B    ", "C    "}));
    rs->CancelBatch();  // nothing left to restore
    EXPECT_EQ(whole(*rs), (Codici{"B    ", "C    "}));
    EXPECT_EQ(Codes(*clone), (Codici{"B    ", "C    "}));
    rs->MoveFirst();
    rs->Delete(adAffectGroup);
    rs->CancelBatch();
    EXPECT_EQ(whole(*rs), (Codici{"B    ", "C    "}));
    rs->Delete(adAffectGroup);
    rs->UpdateBatch();  // every row gone: they are let go, and new rows start afresh
    EXPECT_EQ(whole(*rs), Codici{});
    rs->AddNew();
    rs->SetValue("CODE", "E");
    rs->Update();
    EXPECT_EQ(whole(*rs), Codici{"E    "});
    EXPECT_EQ(whole(*clone), Codici{"E    "});
}

// A recordset that keeps adding rows and dropping most of them, for long enough that the room of the
// dropped rows is given back while rows stay: every row kept holds what it was given, rows copied from
// another row of the same set included, and a clone sees the same.
TEST(Recordset, RowsKeptWhileManyAreAddedAndDroppedHoldTheirValues) {
    auto rs = MakeRows({{"S", "Seme della serie", 0}});
    auto clone = rs->Clone();
    const int from[] = {1};  // NAME
    std::vector<Variant> nuovi(4, Variant::Null());
    auto nome = [](int i) { return "Riga n. " + std::to_string(i) + " tenuta"; };
    constexpr int kRighe = 24000;  // a dozen times the room it takes to give some back
    for (int i = 1; i <= kRighe; ++i) {
        rs->AddNew();
        rs->SetValue("CODE", std::to_string(i % 1000));
        rs->SetValue("NAME", nome(i));
        rs->SetValue("QTY", i + 0.25);
        rs->Update();
        if (i % 4 != 0) {
            rs->Delete();  // never accepted: gone at once
            continue;
        }
        // Every fourth row kept, and beside it one whose name is copied from the seed row.
        clone->MoveFirst();
        nuovi[0] = Variant("C");
        nuovi[2] = Variant(static_cast<double>(-i));
        const int to[] = {1};
        rs->AddNew(nuovi, *clone, from, to, 1);
        rs->Update();
        if (i % 1000 == 0) rs->UpdateBatch();
    }
    rs->UpdateBatch();
    ASSERT_EQ(rs->RecordCount(), 1 + kRighe / 2);
    int kept = 0;
    for (auto* r : {rs.get(), clone.get()}) {
        r->MoveFirst();
        r->MoveNext();  // after the seed
        for (int i = 4; i <= kRighe; i += 4, ++kept) {
            ASSERT_EQ(CStr(r->Value("NAME")), nome(i));
            ASSERT_EQ(CStr(r->Value("CODE")), std::to_string(i % 1000) + std::string(5 - std::to_string(i % 1000).size(), ' '));
            ASSERT_EQ(CDbl(r->Value("QTY")), i + 0.25);
            r->MoveNext();
            ASSERT_EQ(CStr(r->Value("NAME")), "Seme della serie");
            ASSERT_EQ(CDbl(r->Value("QTY")), -i);
            r->MoveNext();
        }
        EXPECT_TRUE(r->IsEOF());
    }
    EXPECT_EQ(kept, kRighe / 2);
}

// What an edit or a batch puts back is exactly what the fields held: long and short text, a number,
// a date, nothing; a field edited twice goes back to its first value; an edit another clone accepted
// is not undone.
TEST(Recordset, CancelledEditsAndBatchesPutBackExactlyWhatTheFieldsHeld) {
    auto rs = MakeRows({{"A", "Blu notte scuro", -0.0}, {"B", "x", 2}});
    const Variant day(*Date::TryFromYmd(2026, 6, 15));
    rs->MoveFirst();
    rs->SetValue("DAY", day);
    rs->UpdateBatch();
    auto values = [&] { return std::vector<Variant>{rs->Value(0), rs->Value(1), rs->Value(2), rs->Value(3)}; };
    const auto before = values();
    rs->SetValue("NAME", "Rosso");
    rs->SetValue("NAME", "Verde acqua chiaro");
    rs->SetValue("QTY", 3.5);
    rs->SetValue("DAY", Variant());
    rs->SetValue("CODE", "Z");
    rs->CancelUpdate();
    EXPECT_EQ(values(), before);
    EXPECT_TRUE(std::signbit(CDbl(rs->Value("QTY"))));

    rs->SetValue("NAME", "Giallo limone");
    rs->SetValue("QTY", 4.0);
    rs->Update();
    rs->MoveNext();
    rs->SetValue("NAME", "Arancione bruciato");
    rs->Update();
    rs->MoveFirst();
    rs->SetValue("NAME", "ancora");
    rs->Update();
    rs->CancelBatch();
    EXPECT_EQ(values(), before);
    rs->MoveNext();
    EXPECT_EQ(rs->Value("NAME"), Variant("x"));

    auto clone = rs->Clone();
    rs->SetValue("NAME", "accettato");
    clone->UpdateBatch();
    rs->CancelUpdate();
    EXPECT_EQ(rs->Value("NAME"), Variant("accettato"));
}

TEST(Recordset, FilterReadsBackAndMovesToFirstRow) {
    auto rs = MakeRows({{"A", "Rosso", 1}, {"B", "Blu", 2}, {"C", "Rosso", 3}});
    EXPECT_EQ(rs->Filter(), Variant(int16_t{0}));
    EXPECT_EQ(CStr(rs->Filter()), "0");
    rs->MoveLast();
    rs->SetFilter("NAME = 'rosso'");
    EXPECT_EQ(rs->Filter(), Variant("NAME = 'rosso'"));
    EXPECT_EQ(rs->AbsolutePosition(), 1);
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(Codes(*rs), (std::vector<std::string>{"A    ", "C    "}));
    rs->SetFilter(Variant(int16_t{adFilterNone}));
    EXPECT_EQ(rs->RecordCount(), 3);
    rs->SetFilter("NAME = 'Verde'");
    EXPECT_TRUE(rs->IsBOF());
    EXPECT_TRUE(rs->IsEOF());
    EXPECT_EQ(rs->RecordCount(), 0);
    rs->SetFilter("");
    EXPECT_EQ(rs->Filter(), Variant(int16_t{0}));
    EXPECT_EQ(rs->RecordCount(), 3);
}

TEST(Recordset, FilterGrammar) {
    auto rs = MakeRows({{"A", "Rosso", 1}, {"B", "Blu", 2}, {"C", "Rosso", 3}, {"D", "O'Hara", 4}, {"E", "", 5}});
    rs->MoveLast();
    rs->SetValue("NAME", Variant::Null());
    rs->Update();
    struct Case {
        const char* filter;
        std::vector<std::string> codes;
    };
    const std::vector<Case> cases = {
        {"CODE = 'A'", {"A    "}},                       // fixed width compared without trailing blanks
        {"CODE='a  '", {"A    "}},                       // and without case
        {"QTY > 1 AND QTY <= 3", {"B    ", "C    "}},
        {"QTY >= 4 OR CODE = 'A'", {"A    ", "D    ", "E    "}},
        {"NAME = 'Rosso' AND QTY = 3 OR CODE = 'B'", {"B    ", "C    "}},  // AND binds tighter
        {"(NAME = 'Rosso' OR CODE = 'B') AND QTY < 3", {"A    ", "B    "}},  // nested groups
        {"NAME = 'O''Hara'", {"D    "}},
        {"NAME LIKE 'Ro*'", {"A    ", "C    "}},
        {"NAME LIKE '%u%'", {"B    "}},
        {"NAME = NULL", {"E    "}},
        {"NAME <> NULL", {"A    ", "B    ", "C    ", "D    "}},
        {"NAME <> 'Rosso'", {"B    ", "D    "}},
        {"[QTY] = 2.0", {"B    "}},
        {"QTY = '2'", {"B    "}},
        {"CODE = 'B' OR NAME = 'Rosso' AND QTY = 3", {"B    ", "C    "}},  // AND binds tighter after OR too
        {"NAME LIKE '*so'", {"A    ", "C    "}},  // "Rosso": the match restarts after "s" fails at "so"
        {"NAME < 'c'", {"B    "}},                // text orders without case; Null matches no comparison
        {"NAME > 'P'", {"A    ", "C    "}},
        {"NAME >= 'o''hara'", {"A    ", "C    ", "D    "}},
    };
    for (const auto& c : cases) {
        rs->SetFilter(c.filter);
        EXPECT_EQ(Codes(*rs), c.codes) << c.filter;
    }
}

TEST(Recordset, BadFilterChangesNothing) {
    auto rs = MakeRows({{"A", "Rosso", 1}, {"B", "Blu", 2}});
    rs->SetFilter("NAME = 'Blu'");
    for (const char* bad : {"NAME = 'Blu", "NAME 'Blu'", "NAME = 'Blu' AND", "(NAME = 'Blu'", "QTY = 'abc'",
                            "= 3", "NAME = 'A' XOR QTY = 1", "QTY = 0x2", "QTY = 'inf'", "NOT NAME = 'Blu'",
                            "NAME = 'Blu' AND NOT QTY = 1"}) {
        EXPECT_EQ(ErrorNumber([&] { rs->SetFilter(bad); }), err::kInvalidArgument) << bad;
    }
    // Nesting deep enough to exhaust the stack is refused as malformed, not followed.
    const std::string deep = std::string(7000, '(') + "QTY = 1" + std::string(7000, ')');
    EXPECT_EQ(ErrorNumber([&] { rs->SetFilter(deep); }), err::kInvalidArgument);
    const std::string fair = std::string(20, '(') + "QTY = 2" + std::string(20, ')');
    EXPECT_EQ(ErrorNumber([&] { rs->SetFilter(fair); }), 0);
    rs->SetFilter("NAME = 'Blu'");
    try {
        rs->SetFilter("PRICE = 3");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), err::kItemNotFound);
        EXPECT_NE(e.Description().find("PRICE"), std::string::npos);
    }
    EXPECT_EQ(ErrorNumber([&] { rs->SetFilter(Variant()); }), err::kInvalidArgument);
    EXPECT_EQ(rs->Filter(), Variant("NAME = 'Blu'"));
    EXPECT_EQ(Codes(*rs), std::vector<std::string>{"B    "});
}

TEST(Recordset, FilterNumbersIgnoreTheProcessLocale) {
    auto rs = MakeRows({{"A", "x", 2.5}, {"B", "y", 25}});
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    bool comma_locale = false;
    for (const char* name : {"it_IT.UTF-8", "it_IT.utf8", "de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, name)) {
            comma_locale = true;
            break;
        }
    }
    if (!comma_locale) GTEST_SKIP() << "no locale with a decimal comma is installed";
    const long error = ErrorNumber([&] { rs->SetFilter("QTY = 2.5"); });
    const std::vector<std::string> codes = error == 0 ? Codes(*rs) : std::vector<std::string>{};
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(error, 0);
    EXPECT_EQ(codes, std::vector<std::string>{"A    "});
}

TEST(Recordset, RowsAddedOrEditedUnderFilterStayUntilRefiltered) {
    auto rs = MakeRows({{"A", "Rosso", 1}, {"B", "Blu", 2}});
    rs->SetFilter("NAME = 'Rosso'");
    rs->AddNew();
    rs->SetValue("CODE", "N");
    rs->SetValue("NAME", "Giallo");
    rs->Update();
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    rs->MoveFirst();
    rs->SetValue("NAME", "Nero");  // no longer matches, still shown
    rs->Update();
    EXPECT_EQ(Codes(*rs), (std::vector<std::string>{"A    ", "N    "}));
    rs->SetFilter(rs->Filter());
    EXPECT_EQ(rs->RecordCount(), 0);
    // The index behind equality filters follows the edits.
    rs->SetFilter("NAME = 'Nero'");
    EXPECT_EQ(Codes(*rs), std::vector<std::string>{"A    "});
    rs->SetFilter("NAME = 'Giallo'");
    EXPECT_EQ(Codes(*rs), std::vector<std::string>{"N    "});
}

TEST(Recordset, EqualityFilterSeesRowsAddedAndDeletedAfterIndexBuilt) {
    auto rs = MakeRows({{"A", "Rosso", 1}, {"B", "Blu", 2}});
    rs->SetFilter("NAME = 'Rosso' AND QTY = 1");
    EXPECT_EQ(rs->RecordCount(), 1);
    rs->SetFilter(Variant(int16_t{0}));
    rs->AddNew();
    rs->SetValue("CODE", "C");
    rs->SetValue("NAME", "Rosso");
    rs->SetValue("QTY", 1.0);
    rs->Update();
    rs->SetFilter("QTY = 1 AND NAME = 'ROSSO '");
    EXPECT_EQ(Codes(*rs), (std::vector<std::string>{"A    ", "C    "}));
    rs->MoveFirst();
    rs->Delete();
    rs->SetFilter("NAME = 'Rosso' AND QTY = 1");
    EXPECT_EQ(Codes(*rs), std::vector<std::string>{"C    "});
}

TEST(Recordset, ClonesShareRowsNotPositionOrFilter) {
    auto rs = MakeRows({{"A", "x", 1}, {"B", "y", 2}, {"C", "x", 3}});
    rs->SetFilter("NAME = 'x'");
    rs->MoveLast();
    auto clone = rs->Clone();
    EXPECT_EQ(clone->Filter(), Variant(int16_t{0}));
    EXPECT_EQ(clone->AbsolutePosition(), 1);
    EXPECT_EQ(clone->RecordCount(), 3);
    EXPECT_EQ(rs->AbsolutePosition(), 2);

    clone->SetFilter("CODE = 'C'");
    clone->SetValue("QTY", 30.0);
    clone->Update();
    EXPECT_EQ(rs->Value("QTY"), Variant(30.0));  // rs is on C too

    // A row added through one is seen by the other's unfiltered view; a row deleted through one
    // leaves the other's view.
    auto all = rs->Clone();
    clone->AddNew();
    clone->SetValue("CODE", "D");
    clone->Update();
    EXPECT_EQ(all->RecordCount(), 4);
    all->MoveFirst();
    all->Delete();
    all->MoveNext();
    EXPECT_EQ(rs->RecordCount(), 1);  // A gone from the filtered view
    EXPECT_EQ(CStr(rs->Value("CODE")), "C    ");
    EXPECT_EQ(ErrorNumber([&] { rs->Clone(adLockOptimistic); }), err::kInvalidArgument);
}

TEST(Recordset, CloneWhoseCurrentRowIsDeletedElsewhere) {
    auto rs = MakeRows({{"A", "x", 1}, {"B", "y", 2}, {"C", "z", 3}});
    auto clone = rs->Clone();
    clone->MoveNext();  // B
    rs->MoveNext();
    rs->Delete();
    rs->MoveNext();
    EXPECT_EQ(ErrorNumber([&] { clone->Value("CODE"); }), err::kNoCurrentRecord);
    clone->MoveNext();
    EXPECT_EQ(CStr(clone->Value("CODE")), "C    ");
}

TEST(Recordset, FromRowsIsAStaticClientCursor) {
    auto rs = Recordset::FromRows({{"A", adChar, 4, 0}, {"B", adInteger, 0, 0}},
                                  {{Variant("x"), Variant(1)}, {Variant("y"), Variant(2)}});
    EXPECT_EQ(rs->State(), adStateOpen);
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->Value("a"), Variant("x   "));
    rs->SetFilter("B = 2");
    EXPECT_EQ(rs->Value("A"), Variant("y   "));
    EXPECT_EQ(rs->CursorLocation(), adUseClient);
}


TEST(Recordset, ViewStampChangesExactlyWhenTheVisibleRowsDo) {
    auto rs = MakeRows({{"A", "x", 1}, {"B", "y", 2}});
    uint64_t s0 = rs->ViewStamp();
    rs->MoveNext();
    rs->SetValue("QTY", 5.0);  // moving and editing leave the rows as they are
    EXPECT_EQ(rs->ViewStamp(), s0);
    rs->SetFilter(rs->Filter());  // the same text, assigned again, is a new view
    uint64_t s1 = rs->ViewStamp();
    EXPECT_NE(s1, s0);
    auto clone = rs->Clone();
    clone->AddNew();  // a row added through a clone reaches the unfiltered view
    EXPECT_NE(rs->ViewStamp(), s1);
    std::vector<Variant> bookmarks = rs->VisibleBookmarks();
    ASSERT_EQ(bookmarks.size(), 3u);
    EXPECT_EQ(rs->AbsolutePosition(), 1);  // reading the bookmarks did not move it
    clone->SetBookmark(bookmarks[1]);
    EXPECT_EQ(CStr(clone->Value("CODE")), "B    ");
}

// Rows() tells whether a bookmark kept earlier still names the row it named: the same while values
// change or filters come and go, another one once rows come or go, in any clone or another recordset.
TEST(Recordset, RowsStampChangesWhenRowsComeOrGo) {
    auto rs = MakeRows({{"A", "x", 1}, {"B", "y", 2}});
    auto clone = rs->Clone();
    const auto s0 = rs->Rows();
    EXPECT_EQ(clone->Rows(), s0);
    rs->SetValue("QTY", 5.0);
    rs->SetFilter("CODE = 'B'");
    rs->UpdateBatch();
    EXPECT_EQ(rs->Rows(), s0);
    clone->AddNew();
    clone->Update();
    const auto s1 = rs->Rows();
    EXPECT_NE(s1, s0);
    clone->Delete();
    EXPECT_NE(rs->Rows(), s1);
    EXPECT_NE(MakeRows({{"A", "x", 1}, {"B", "y", 2}})->Rows().rows, s0.rows);
    rs->Close();
    EXPECT_EQ(rs->Rows(), Recordset::RowsStamp{});
}

// Several fields of the current row at once: as Value reads them, as numbers only when each is a
// Double or nothing, as texts only when each is text or nothing, as plain data when none is anything else.
TEST(Recordset, ValuesNumbersTextsAndScalarsReadTheCurrentRow) {
    auto rs = MakeRows({{"A", "x", 1.5}, {"B", "y", 2}});
    rs->MoveNext();
    const int fields[] = {2, 0, 1};
    Variant values[3];
    rs->Values(fields, 3, values);
    EXPECT_EQ(values[0], Variant(2.0));
    EXPECT_EQ(CStr(values[1]), "B    ");
    EXPECT_EQ(CStr(values[2]), "y");
    double numbers[2] = {-1, -1};
    const int qty_day[] = {2, 3};  // DAY is Null: it reads 0
    EXPECT_TRUE(rs->Numbers(qty_day, 2, numbers));
    EXPECT_EQ(numbers[0], 2.0);
    EXPECT_EQ(numbers[1], 0.0);
    rs->SetValue("DAY", Variant(Date(45000)));
    EXPECT_FALSE(rs->Numbers(qty_day, 2, numbers));  // a date is not a number here
    // Texts without the blanks that end them, padding included; Null reads "", a number is not text.
    std::string_view texts[3];
    const int code_name_day[] = {0, 1, 3};
    rs->SetValue("DAY", Variant::Null());
    rs->SetValue("NAME", Variant("a longer name  "));
    EXPECT_TRUE(rs->Texts(code_name_day, 3, texts));
    EXPECT_EQ(texts[0], "B");
    EXPECT_EQ(texts[1], "a longer name");
    EXPECT_EQ(texts[2], "");
    EXPECT_FALSE(rs->Texts(fields, 1, texts));
    // As plain data: a number, a date with its serial, a text without its blanks, nothing.
    Recordset::Scalar scalars[4];
    const int all[] = {2, 3, 0, 1};
    rs->SetValue("DAY", Variant(Date(45000)));
    EXPECT_TRUE(rs->Scalars(all, 4, scalars));
    EXPECT_EQ(scalars[0].kind, Recordset::Scalar::kNumber);
    EXPECT_EQ(scalars[0].number, 2.0);
    EXPECT_EQ(scalars[1].kind, Recordset::Scalar::kDate);
    EXPECT_EQ(scalars[1].number, 45000.0);
    EXPECT_EQ(scalars[2].kind, Recordset::Scalar::kText);
    EXPECT_EQ(scalars[2].text, "B");
    EXPECT_EQ(scalars[2].blanks, 4u);  // CODE is five characters wide
    EXPECT_EQ(scalars[3].text, "a longer name");
    rs->SetValue("QTY", Variant::Null());
    EXPECT_TRUE(rs->Scalars(all, 1, scalars));
    EXPECT_EQ(scalars[0].kind, Recordset::Scalar::kBlank);
    auto flags = Recordset::Create();  // a Boolean is left to Values
    flags->GetFields().Append("FLAG", adBoolean, 0, adFldIsNullable);
    flags->Open();
    flags->AddNew();
    flags->SetValue("FLAG", Variant(true));
    const int flag[] = {0};
    EXPECT_FALSE(flags->Scalars(flag, 1, scalars));
    const int bad[] = {9};
    EXPECT_EQ(ErrorNumber([&] { rs->Values(bad, 1, values); }), err::kItemNotFound);
    EXPECT_EQ(ErrorNumber([&] { rs->Numbers(bad, 1, numbers); }), err::kItemNotFound);
    EXPECT_EQ(ErrorNumber([&] { rs->Texts(bad, 1, texts); }), err::kItemNotFound);
    EXPECT_EQ(ErrorNumber([&] { rs->Scalars(bad, 1, scalars); }), err::kItemNotFound);
}


// Texts of every length around the room a value has in place (12 bytes): each reads back whole, with its
// blanks, whether read as a value, a text or plain data, kept through an edit undone and a batch
// cancelled, and found by a filter.
TEST(Recordset, TextsOfEveryLengthReadBackWholeThroughEditsAndFilters) {
    auto rs = Recordset::Create();
    rs->SetLockType(adLockBatchOptimistic);
    rs->GetFields().Append("CODE", adChar, 16);
    rs->GetFields().Append("NAME", adVarWChar, 40, adFldIsNullable);
    rs->Open();
    auto testo = [](std::size_t n) {
        std::string t;
        for (std::size_t i = 0; i < n; ++i) t += static_cast<char>('a' + (i * 7 + n) % 26);
        return t;
    };
    for (std::size_t n = 0; n <= 16; ++n) {
        if (n % 2 == 0) {  // field by field, or the whole row at once
            rs->AddNew();
            rs->SetValue("CODE", testo(n));
            rs->SetValue("NAME", testo(n) + "  ");  // blanks of its own
        } else {
            rs->AddNew({Variant(testo(n)), Variant(testo(n) + "  ")});
        }
        rs->Update();
    }
    rs->UpdateBatch();
    const int both[] = {0, 1};
    for (std::size_t n = 0; n <= 16; ++n) {
        SCOPED_TRACE(n);
        rs->SetAbsolutePosition(static_cast<long>(n) + 1);
        EXPECT_EQ(CStr(rs->Value("CODE")), testo(n) + std::string(16 - n, ' '));
        EXPECT_EQ(CStr(rs->Value("NAME")), testo(n) + "  ");
        std::string_view texts[2];
        ASSERT_TRUE(rs->Texts(both, 2, texts));
        EXPECT_EQ(texts[0], testo(n));
        EXPECT_EQ(texts[1], testo(n));
        Recordset::Scalar scalars[2];
        ASSERT_TRUE(rs->Scalars(both, 2, scalars));
        EXPECT_EQ(scalars[0].text, testo(n));
        EXPECT_EQ(scalars[0].blanks, 16 - n);
        EXPECT_EQ(scalars[1].blanks, 2u);
        // Written over by a text of another length, then given back.
        rs->SetValue("NAME", testo(16 - n));
        EXPECT_EQ(CStr(rs->Value("NAME")), testo(16 - n));
        rs->CancelUpdate();
        EXPECT_EQ(CStr(rs->Value("NAME")), testo(n) + "  ");
        rs->SetValue("CODE", testo(16 - n));
        rs->Update();
    }
    rs->CancelBatch();
    auto copia = rs->Clone();
    for (std::size_t n = 1; n <= 16; ++n) {
        SCOPED_TRACE(n);
        copia->SetFilter("CODE = '" + testo(n) + "'");
        ASSERT_EQ(copia->RecordCount(), 1);
        EXPECT_EQ(CStr(copia->Value("NAME")), testo(n) + "  ");
    }
}

TEST(Recordset, SetAbsolutePositionReachesTheLastRowAndAFailureChangesNothing) {
    auto rs = MakeRows({{"A", "x", 1}, {"B", "y", 2}, {"C", "x", 3}});
    rs->SetAbsolutePosition(3);
    EXPECT_EQ(CStr(rs->Value("CODE")), "C    ");
    EXPECT_FALSE(rs->IsEOF());
    rs->SetFilter("NAME = 'x'");
    rs->SetAbsolutePosition(2);
    EXPECT_EQ(CStr(rs->Value("CODE")), "C    ");
    rs->SetFilter(Variant(int16_t{0}));

    // A refused position keeps a deleted current row current ...
    rs->MoveNext();  // B
    rs->Delete();
    for (long bad : {0L, 3L, -1L}) EXPECT_EQ(ErrorNumber([&] { rs->SetAbsolutePosition(bad); }), err::kInvalidArgument);
    EXPECT_EQ(ErrorNumber([&] { rs->Value("CODE"); }), err::kNoCurrentRecord);
    EXPECT_EQ(rs->RecordCount(), 2);
    rs->MoveNext();
    EXPECT_EQ(CStr(rs->Value("CODE")), "C    ");
    // ... and an edit in progress in progress.
    rs->SetValue("QTY", 30.0);
    EXPECT_EQ(ErrorNumber([&] { rs->SetAbsolutePosition(5); }), err::kInvalidArgument);
    EXPECT_NE(rs->EditMode(), adEditNone);  // still being edited
    EXPECT_EQ(rs->Value("QTY"), Variant(30.0));
    rs->SetAbsolutePosition(2);  // the last row, now that B is gone
    EXPECT_EQ(CStr(rs->Value("CODE")), "C    ");
}

TEST(Recordset, EofStaysEofWhenACloneAddsOrDeletesRows) {
    auto rs = MakeRows({{"A", "x", 1}, {"B", "y", 2}});
    auto clone = rs->Clone();
    for (auto* step : {+[](Recordset& c) { c.AddNew(); c.SetValue("CODE", "N"); c.Update(); },
                       +[](Recordset& c) { c.MoveFirst(); c.Delete(); c.MoveNext(); },
                       +[](Recordset& c) { c.MoveLast(); c.Delete(); }}) {
        rs->MoveLast();
        rs->MoveNext();
        ASSERT_TRUE(rs->IsEOF());
        step(*clone);
        EXPECT_TRUE(rs->IsEOF());
        EXPECT_EQ(rs->AbsolutePosition(), adPosEOF);
        EXPECT_EQ(ErrorNumber([&] { rs->MoveNext(); }), err::kNoCurrentRecord);
    }
}

// ---- The equality-filter index keeps up with every change.

TEST(Recordset, EqualityIndexKeepsRowOrderAfterAnEdit) {
    auto rs = MakeRows({{"A", "x", 1}, {"B", "y", 2}, {"C", "x", 3}, {"D", "x", 4}});
    rs->SetFilter("NAME = 'x'");
    rs->SetFilter(Variant(int16_t{0}));
    rs->MoveNext();  // B, older than C and D, joins their bucket
    rs->SetValue("NAME", "x");
    rs->Update();
    rs->SetFilter("NAME = 'x'");
    EXPECT_EQ(Codes(*rs), (std::vector<std::string>{"A    ", "B    ", "C    ", "D    "}));
}

TEST(Recordset, EqualityIndexAfterADeleteUnderAFilterIsAccepted) {
    auto rs = MakeRows({{"A", "x", 1}, {"B", "x", 2}, {"C", "y", 3}});
    rs->UpdateBatch();
    rs->SetFilter("NAME = 'x'");
    rs->Delete();  // A
    rs->MoveNext();
    rs->UpdateBatch();  // accepts the deletion
    EXPECT_EQ(Codes(*rs), std::vector<std::string>{"B    "});
    rs->SetFilter("NAME = 'x'");
    EXPECT_EQ(Codes(*rs), std::vector<std::string>{"B    "});
    rs->SetFilter(Variant(int16_t{0}));
    EXPECT_EQ(Codes(*rs), (std::vector<std::string>{"B    ", "C    "}));
}

// ---- Batch changes under a filter.

TEST(Recordset, UpdateBatchUnderACriteriaFilterAcceptsEveryPendingChange) {
    auto rs = MakeRows({{"A", "x", 1}, {"B", "y", 2}, {"C", "z", 3}});
    rs->UpdateBatch();
    rs->SetValue("QTY", 10.0);  // A
    rs->MoveNext();
    rs->SetValue("QTY", 20.0);  // B
    rs->MoveNext();
    rs->Delete();  // C
    rs->SetFilter("NAME = 'x'");
    rs->UpdateBatch();
    rs->SetFilter(Variant(int16_t{0}));
    EXPECT_EQ(Codes(*rs), (std::vector<std::string>{"A    ", "B    "}));
    rs->MoveFirst();
    for (double qty : {10.0, 20.0}) {
        EXPECT_EQ(rs->Value("QTY"), Variant(qty));
        EXPECT_EQ(rs->Status(), adRecUnmodified);
        rs->MoveNext();
    }
}

// ---- Exact numbers.

TEST(Recordset, CurrencyKeepsFourDecimalsAndDecimalFiltersCompareExactly) {
    auto rs = Recordset::Create();
    rs->GetFields().Append("K", adInteger);
    rs->GetFields().Append("AMOUNT", adCurrency, 0, adFldIsNullable);
    rs->GetFields().Append("PRICE", adNumeric, 0, adFldIsNullable);
    rs->Open();
    const struct {
        const char* amount;
        const char* stored;
    } amounts[] = {{"1.23456", "1.2346"}, {"0.00005", "0"}, {"0.00015", "0.0002"}, {"-2.71828", "-2.7183"}, {"7", "7"}};
    int k = 0;
    for (const auto& a : amounts) {
        rs->AddNew();
        rs->SetValue("K", ++k);
        rs->SetValue("AMOUNT", kv::testing::Dec(a.amount));
        EXPECT_EQ(rs->Value("AMOUNT"), Variant(kv::testing::Dec(a.stored))) << a.amount;
        rs->Update();
    }
    rs->MoveFirst();
    rs->SetValue("PRICE", kv::testing::Dec("0.1"));
    rs->MoveNext();
    rs->SetValue("PRICE", kv::testing::Dec("0.1000000000000000000000000001"));
    rs->MoveNext();
    rs->SetValue("PRICE", kv::testing::Dec("0.0999999999999999999999999999"));
    rs->Update();
    const struct {
        const char* filter;
        std::vector<int> keys;
    } cases[] = {
        {"PRICE > 0.1", {2}},
        {"PRICE < 0.1", {3}},
        {"PRICE = 0.1", {1}},
        {"PRICE >= 0.1", {1, 2}},
        {"PRICE = 0.1000000000000000000000000001", {2}},
        {"PRICE <> 0.1 AND PRICE <> NULL", {2, 3}},
        {"AMOUNT = 1.2346", {1}},
    };
    for (const auto& c : cases) {
        rs->SetFilter(c.filter);
        std::vector<int> keys;
        for (; !rs->IsEOF(); rs->MoveNext()) keys.push_back(CLng(rs->Value("K")));
        EXPECT_EQ(keys, c.keys) << c.filter;
    }
}

// Rows keep their values compactly; what is read back must be exactly what was stored: the same type
// and value, text with every trailing blank, short and long, fixed-width or not.
TEST(Recordset, StoredValuesReadBackExactly) {
    struct Holder : Object {};
    const std::vector<Variant> values = {
        Variant(), Variant::Null(), Variant(true), Variant(false), Variant(int16_t{-32768}),
        Variant(int32_t{2147483647}), Variant(-9223372036854775807LL - 1), Variant(-0.0), Variant(0.1),
        Variant(*Date::TryFromYmd(1899, 12, 29)), Variant(Date(45000.75)), Variant(Decimal::FromParts(-1234500, 4)),
        Variant(Decimal::FromParts(Decimal::Coefficient(1) << 70, 28)), Variant(Decimal::FromParts(-1, 0)),
        Variant(""), Variant(" "), Variant("12345678"), Variant("123456789"), Variant("1234567 "),
        Variant("àèìòù   "), Variant(std::string(300, ' ')), Variant("  lead and trail  "),
        Variant(std::string("nul\0inside", 10)), Variant(std::string(70000, ' ').append("x").append(70000, ' ')),
        Variant(std::shared_ptr<Object>(std::make_shared<Holder>()))};
    std::vector<FieldInfo> fields;
    std::vector<Variant> row;
    for (std::size_t i = 0; i < values.size(); ++i) {
        fields.push_back({std::string("F").append(std::to_string(i)), adEmpty, 0, adFldIsNullable});
        row.push_back(values[i]);
    }
    auto rs = Recordset::FromRows(fields, {row, row});
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Variant read = rs->Value(static_cast<int>(i));
        EXPECT_EQ(read, values[i]) << i;
        // A Decimal keeps its scale too (1.2345 and 1.23450 are equal, not the same text).
        if (const auto* d = values[i].TryGet<Decimal>()) {
            ASSERT_NE(read.TryGet<Decimal>(), nullptr) << i;
            EXPECT_EQ(read.TryGet<Decimal>()->scale(), d->scale()) << i;
            EXPECT_EQ(read.TryGet<Decimal>()->coefficient(), d->coefficient()) << i;
        }
    }

    // Assigned and edited values alike.
    auto typed = MakeRows({{"A", "name   ", 1.5}});
    EXPECT_EQ(typed->Value("CODE"), Variant("A    "));
    EXPECT_EQ(typed->Value("NAME"), Variant("name   "));
    typed->UpdateBatch();
    typed->SetValue("CODE", "     ");
    typed->SetValue("NAME", "a much longer name  ");
    EXPECT_EQ(typed->Value("CODE"), Variant("     "));
    EXPECT_EQ(typed->Value("NAME"), Variant("a much longer name  "));
    typed->Update();
    typed->SetFilter("CODE = '' AND NAME = 'a much longer name'");  // filters see text without trailing blanks
    EXPECT_EQ(typed->RecordCount(), 1);
}

}  // namespace
}  // namespace kv::ado
