#pragma once
// The host's post-save service: a component that has written price-list rows tells the host which
// rows they were, so the host can bring its own dependent data up to date. One object serves one save:
//   SetContext(...)       before the first row: the component's interface, its connection, the host's
//                         global services, the company code, the article code, and whether the host
//                         should record the rows of this save (True) or only be told of them;
//   SetOptionCode(code)   after each row written: the row's option code,
//   ApplyRow()            then the row is recorded (when recording was asked for),
//   EndRow()              and the object is ready for the next row;
//   Release()             at the end: the object drops its references.
// The host implementation appends one PostSaveEntry per row to a log shared by the host session
// (HostGlobalServices::PostSaveLog), readable by the host and by tests. ApplyRow without an option
// code set since the last EndRow records nothing: a row is never recorded twice.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/variant/variant.h"

namespace kv::services {

class Cinterface;
class GlobalServices;

struct PostSaveEntry {
    std::string company;
    std::string article;
    std::string option_code;

    bool operator==(const PostSaveEntry&) const = default;
};

class PostSaveLog {
public:
    void Add(PostSaveEntry e) { entries_.push_back(std::move(e)); }
    const std::vector<PostSaveEntry>& Entries() const { return entries_; }
    void Clear() { entries_.clear(); }

private:
    std::vector<PostSaveEntry> entries_;
};

class PostSave : public kv::Object {
public:
    ~PostSave() override;
    virtual void SetContext(std::shared_ptr<Cinterface> component, kv::ado::ConnectionPtr connection,
                            std::shared_ptr<GlobalServices> global, const kv::Variant& company,
                            const kv::Variant& article, bool record_rows) = 0;
    virtual void SetOptionCode(const kv::Variant& option_code) = 0;
    virtual void ApplyRow() = 0;
    virtual void EndRow() = 0;
    virtual void Release() = 0;
};

class HostPostSave : public PostSave {
public:
    explicit HostPostSave(std::shared_ptr<PostSaveLog> log) : log_(std::move(log)) {}
    void SetContext(std::shared_ptr<Cinterface> component, kv::ado::ConnectionPtr connection,
                    std::shared_ptr<GlobalServices> global, const kv::Variant& company, const kv::Variant& article,
                    bool record_rows) override;
    void SetOptionCode(const kv::Variant& option_code) override;
    void ApplyRow() override;
    void EndRow() override { option_code_.reset(); }
    void Release() override;

    bool HasReferences() const { return component_ || connection_ || global_; }

private:
    std::shared_ptr<PostSaveLog> log_;
    std::shared_ptr<Cinterface> component_;
    kv::ado::ConnectionPtr connection_;
    std::shared_ptr<GlobalServices> global_;
    std::string company_;
    std::string article_;
    bool record_rows_ = false;
    std::optional<std::string> option_code_;
};

}  // namespace kv::services
