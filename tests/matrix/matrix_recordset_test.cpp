#include "matrix/matrix_recordset.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qmx
