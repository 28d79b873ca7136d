#pragma once
// The application object of a component: what identifies it to the host (its title, shown by the
// error display as the source of a report, and the name of its module). A component hands it to the
// host's global services when its window first becomes active.

#include <string>

#include "platform/variant/variant.h"

namespace kv::services {

class Application : public kv::Object {
public:
    Application(std::string title, std::string module_name)
        : title_(std::move(title)), module_name_(std::move(module_name)) {}
    const std::string& Title() const { return title_; }
    const std::string& ModuleName() const { return module_name_; }

private:
    std::string title_;
    std::string module_name_;
};

}  // namespace kv::services
