#include "matrix/matrix_recordset.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qmx {
namespace {

using namespace kv::ado;

TEST(MatrixRecordset, FieldsCursorAndNulls) {
    auto rs = CreateMatrixRecordset();
    EXPECT_EQ(rs->CursorLocation(), adUseClient);
    EXPECT_EQ(rs->CursorType(), adOpenKeyset);
    EXPECT_EQ(rs->LockType(), adLockBatchOptimistic);
    rs->Open();
    auto f = rs->GetFields();
    ASSERT_EQ(f.Count(), 53);
    EXPECT_EQ(f[0].Name(), "ID");
    EXPECT_EQ(f[0].Type(), adBigInt);
    EXPECT_EQ(f[17].Name(), "LI10_DATAFINEVAL");  // end before start, as the rows are laid out
    EXPECT_EQ(f[18].Name(), "LI10_DATAINIZIOVAL");
    EXPECT_EQ(f["BLT_DESCR1"].Type(), adWChar);
    EXPECT_EQ(f["BLT_DESCR1"].DefinedSize(), 160);
    EXPECT_EQ(f["LI10_PREZZO"].Attributes(), adFldIsNullable);
    EXPECT_EQ(f["LI10_NOTE"].Type(), adVarChar);
    EXPECT_EQ(f[52].Name(), "LI10_NOTE");

    // A row with no stored price carries Null in its nullable price fields.
    rs->AddNew();
    rs->SetValue("ID", rs->AbsolutePosition());
    rs->SetValue("BLT_OPZIONE1", "R");
    rs->Update();
    EXPECT_TRUE(rs->Value("LI10_PREZZO").IsNull());
    EXPECT_TRUE(rs->Value("LI10_SC6PER").IsNull());
    EXPECT_EQ(rs->Value("ID"), kv::Variant(1LL));
    EXPECT_EQ(rs->Value("BLT_OPZIONE1"), kv::Variant("R" + std::string(19, ' ')));
    rs->SetFilter("BLT_OPZIONE1 ='R'");
    EXPECT_EQ(rs->RecordCount(), 1);
}

TEST(MatrixRecordset, PivotFieldsFollowTheGridTypeAndTheSecondLevelOptions) {
    const std::vector<std::string> fixed = {
        "ID",           "BLT_CODICEVAR1", "BLT_OPZIONE1",   "BLT_CODOPZIONE1",
        "BLT_DESCR1",   "BLT_CODICEVAR2", "BLT_OPZIONE2",   "BLT_DESCR2",
        "LI10_NUMLIST", "BLT_VALUTA",     "BLT_PREZZONETTO"};
    struct Case {
        int grid_type;
        long options;
        long option_size;  // of BLT_OPZIONE2
        long first_size;   // of BLT_OPZIONE1: in grid type 4, "code - description", an 80-character one whole
    };
    for (const Case& c : {Case{4, 5, 60, 103}, Case{4, 0, 60, 103}, Case{2, 3, 20, 20}}) {
        SCOPED_TRACE("grid type " + std::to_string(c.grid_type) + ", options " + std::to_string(c.options));
        std::vector<std::string> expected = fixed;
        if (c.grid_type != 4) expected.erase(expected.begin() + 3);  // no bare option code
        for (long k = 1; k <= c.options; ++k) expected.push_back("BLT_" + std::to_string(k));
        auto rs = CreatePivotRecordset(c.grid_type, c.options);
        EXPECT_EQ(rs->LockType(), adLockBatchOptimistic);
        rs->Open();
        auto f = rs->GetFields();
        std::vector<std::string> names;
        for (long i = 0; i < f.Count(); ++i) names.push_back(f[i].Name());
        EXPECT_EQ(names, expected);
        EXPECT_EQ(f["BLT_OPZIONE1"].DefinedSize(), c.first_size);
        EXPECT_EQ(f["BLT_OPZIONE2"].DefinedSize(), c.option_size);
    }
}

TEST(MatrixRecordset, ElementCaptionsMapToMatrixFields) {
    // The captions are those of the price grid's columns; the field is the one that column shows.
    const std::pair<const char*, const char*> cases[] = {
        {"Prezzo lordo", "LI10_PREZZO"},
        {"Sc.%6", "LI10_SC6PER"},
        {"Sc. importo", "LI10_SCIMP"},
        {"Mg.%2", "LI10_MAG2PER"},
        {"Mg. importo", "LI10_MAGIMP"},
        {"%Ricar.", "LI10_PERRICDELTA"},
        {"Importo Netto", "BLT_PREZZONETTO"},
        {"Sc.%7", ""},
        {"prezzo lordo", ""},
    };
    for (const auto& [caption, field] : cases) EXPECT_EQ(GetCampoElemento(caption), field) << caption;
}

}  // namespace
}  // namespace qmx
