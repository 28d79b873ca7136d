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
    struct Case {
        int grid_type;
        long options;
        std::vector<std::string> names;
        long option_size;
    };
    const std::vector<std::string> fixed4 = {"ID",           "BLT_CODICEVAR1", "BLT_OPZIONE1",  "BLT_CODOPZIONE1",
                                             "BLT_DESCR1",   "BLT_CODICEVAR2", "BLT_OPZIONE2",  "BLT_DESCR2",
                                             "LI10_NUMLIST", "BLT_VALUTA",     "BLT_PREZZONETTO"};
    auto with = [](std::vector<std::string> v, long n) {
        for (long k = 1; k <= n; ++k) v.push_back("BLT_" + std::to_string(k));
        return v;
    };
    std::vector<std::string> fixed_other = fixed4;
    fixed_other.erase(fixed_other.begin() + 3);
    const Case cases[] = {
        {4, 5, with(fixed4, 5), 60},
        {4, 0, fixed4, 60},
        {4, 12, with(fixed4, 12), 60},
        {2, 3, with(fixed_other, 3), 20},
        {1, -1, fixed_other, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("grid type " + std::to_string(c.grid_type) + ", options " + std::to_string(c.options));
        auto rs = CreatePivotRecordset(c.grid_type, c.options);
        EXPECT_EQ(rs->CursorLocation(), adUseClient);
        EXPECT_EQ(rs->CursorType(), adOpenKeyset);
        EXPECT_EQ(rs->LockType(), adLockBatchOptimistic);
        rs->Open();
        auto f = rs->GetFields();
        std::vector<std::string> names;
        for (long i = 0; i < f.Count(); ++i) names.push_back(f[i].Name());
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(f["BLT_OPZIONE1"].DefinedSize(), c.option_size);
        EXPECT_EQ(f["BLT_OPZIONE2"].DefinedSize(), c.option_size);
        if (c.options > 0) {
            EXPECT_EQ(f["BLT_1"].Type(), adDouble);
        }
        // The k-th option column takes a value of the element shown.
        rs->AddNew();
        rs->SetValue("BLT_OPZIONE1", "BLU - Blu notte");
        if (c.options > 0) rs->SetValue("BLT_1", 12.5);
        rs->Update();
        EXPECT_EQ(kv::CStr(rs->Value("BLT_OPZIONE1")).substr(0, 15), "BLU - Blu notte");
    }
}

TEST(MatrixRecordset, ElementCaptionsMapToMatrixFields) {
    const std::pair<const char*, const char*> cases[] = {
        {"Prezzo lordo", "LI10_PREZZO"}, {"Sc.%1", "LI10_SC1PER"},        {"Sc.%6", "LI10_SC6PER"},
        {"Sc. importo", "LI10_SCIMP"},   {"Mg.%1", "LI10_MAG1PER"},       {"Mg.%2", "LI10_MAG2PER"},
        {"Mg. importo", "LI10_MAGIMP"},  {"%Ricar.", "LI10_PERRICDELTA"}, {"Importo Netto", "BLT_PREZZONETTO"},
        {"Sc.%7", ""},                   {"Prezzo netto", ""},            {"", ""},
        {"prezzo lordo", ""},
    };
    auto matrix = CreateMatrixRecordset();
    for (const auto& [caption, field] : cases) {
        SCOPED_TRACE(caption);
        EXPECT_EQ(GetCampoElemento(caption), field);
        // Every element names a field the matrix has.
        if (*field) {
            EXPECT_GE(matrix->GetFields().IndexOf(field), 0);
        }
    }
}

}  // namespace
}  // namespace qmx
