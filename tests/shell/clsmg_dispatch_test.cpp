// The entry object's own interface reached by name, as a host that has no declaration of the class
// reaches it.

#include <gtest/gtest.h>

#include "platform/services/dispatch.h"
#include "shell/clsmg_quendormixal.h"

namespace qmx {
namespace {

TEST(EntryObjectDispatch, CodiceArticoloByNameIsTheSameProperty) {
    auto entry = CLSMG_QUENDORMIXAL::Create();
    std::shared_ptr<kv::Object> object = entry;
    auto dispatch = std::dynamic_pointer_cast<kv::services::Dispatch>(object);
    ASSERT_NE(dispatch, nullptr);

    dispatch->PropertyLet("codicearticolo", kv::Variant(int32_t{1234}));
    EXPECT_EQ(kv::CStr(entry->CodiceArticolo()), "1234");
    EXPECT_EQ(dispatch->PropertyGet("CodiceArticolo").Type(), entry->CodiceArticolo().Type());
    EXPECT_EQ(kv::CStr(dispatch->PropertyGet("CODICEARTICOLO")), "1234");

    for (const char* unknown : {"Codice", "", "CodiceArticolo2"}) {
        SCOPED_TRACE(unknown);
        try {
            dispatch->PropertyLet(unknown, kv::Variant("x"));
            ADD_FAILURE() << "no error";
        } catch (const kv::Error& e) {
            EXPECT_EQ(e.Number(), kv::services::kMemberNotSupported);
        }
        EXPECT_THROW(dispatch->PropertyGet(unknown), kv::Error);
    }
    EXPECT_EQ(kv::CStr(entry->CodiceArticolo()), "1234");
}

}  // namespace
}  // namespace qmx
