#include "platform/services/navigator.h"

#include <algorithm>

namespace kv::services {

ScriptObjectModel::~ScriptObjectModel() = default;
LayoutObjectModel::~LayoutObjectModel() = default;
Navigator::~Navigator() = default;

std::shared_ptr<kv::Object> HostScriptObjectModel::RegisterWindow(const std::string& name,
                                                                  const std::string& description,
                                                                  std::shared_ptr<kv::Object> window) {
    auto same = [&](const ObjectRegistration& r) { return r.name == name; };
    std::erase_if(registrations_, same);
    registrations_.push_back({name, description, window});
    return window;
}

void HostScriptObjectModel::UnregisterWindow(const std::string& name) {
    std::erase_if(registrations_, [&](const ObjectRegistration& r) { return r.name == name; });
}

void HostScriptObjectModel::FireWindowEvent(const std::string& window, int16_t flag, const std::string& name) {
    WindowEventInfo e{window, flag, name};
    fired_.push_back(e);
    WindowEvent.Raise(e);
}

std::shared_ptr<kv::Object> HostScriptObjectModel::Find(const std::string& name) const {
    for (const auto& r : registrations_)
        if (r.name == name) return r.object.lock();
    return nullptr;
}

std::shared_ptr<kv::Object> HostLayoutObjectModel::Register(const std::string& title,
                                                            std::shared_ptr<kv::Object> object) {
    std::erase_if(registrations_, [&](const ObjectRegistration& r) { return r.name == title; });
    registrations_.push_back({title, {}, object});
    return object;
}

void HostLayoutObjectModel::Unregister(const std::shared_ptr<kv::Object>& object) {
    std::erase_if(registrations_, [&](const ObjectRegistration& r) {
        auto o = r.object.lock();
        return !o || o == object;
    });
}

std::shared_ptr<kv::Object> HostLayoutObjectModel::Find(const std::string& title) const {
    for (const auto& r : registrations_)
        if (r.name == title) return r.object.lock();
    return nullptr;
}

HostNavigator::HostNavigator()
    : script_(std::make_shared<HostScriptObjectModel>()), layout_(std::make_shared<HostLayoutObjectModel>()) {}

}  // namespace kv::services
