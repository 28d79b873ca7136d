#include "platform/services/post_save.h"

#include "platform/services/cinterface.h"
#include "platform/services/global_services.h"
#include "platform/variant/strings.h"

namespace kv::services {

namespace {
// Text of a context value; Null and Empty read as "".
std::string Text(const kv::Variant& v) { return kv::IsBlank(v) ? std::string() : kv::RTrim(kv::CStr(v)); }
}  // namespace

PostSave::~PostSave() = default;

void HostPostSave::SetContext(std::shared_ptr<Cinterface> component, kv::ado::ConnectionPtr connection,
                              std::shared_ptr<GlobalServices> global, const kv::Variant& company,
                              const kv::Variant& article, bool record_rows) {
    component_ = std::move(component);
    connection_ = std::move(connection);
    global_ = std::move(global);
    company_ = Text(company);
    article_ = Text(article);
    record_rows_ = record_rows;
    option_code_.reset();
}

void HostPostSave::SetOptionCode(const kv::Variant& option_code) { option_code_ = Text(option_code); }

void HostPostSave::ApplyRow() {
    if (!option_code_) return;
    if (record_rows_ && log_) log_->Add({company_, article_, *option_code_});
    option_code_.reset();
}

void HostPostSave::Release() {
    component_.reset();
    connection_.reset();
    global_.reset();
}

}  // namespace kv::services
