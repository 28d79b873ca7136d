#include "platform/services/component_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/variant/strings.h"

namespace kv::services {

namespace {
constexpr const char* kSource = "ComponentLoader";

[[noreturn]] void Fail(const std::string& what) { throw kv::Error(kCannotCreateObject, "Cannot create object: " + what, kSource); }

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The module file named `file` in the first directory that has one; names compare without regard to
// case, as programmatic names do. "" when none has it.
std::string FindModule(const std::vector<std::string>& directories, const std::string& file) {
    for (const auto& dir : directories) {
        const std::string exact = dir + "/" + file;
        if (IsFile(exact)) return exact;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
            const std::string name = entry.path().filename().string();
            if (kv::EqualsNoCase(name, file) && IsFile(entry.path().string())) return entry.path().string();
        }
    }
    return {};
}

std::string DlError() {
    const char* e = ::dlerror();
    return e ? e : "unknown reason";
}
}  // namespace

ComponentModule::ComponentModule(std::string path, void* handle, CreateObjectFunction create)
    : path_(std::move(path)), handle_(handle), create_(create) {}

ComponentModule::~ComponentModule() {
    if (handle_) ::dlclose(handle_);
}

std::shared_ptr<kv::Object> ComponentModule::CreateObject(std::string_view progid) {
    const std::string id(progid);
    std::shared_ptr<kv::Object> object;
    const int rc = create_(id.c_str(), &object);
    if (rc == kUnknownProgId) Fail("the module " + path_ + " has no class named '" + id + "'");
    if (rc != 0 || !object) Fail("the module " + path_ + " failed to create '" + id + "'");
    return object;
}

std::shared_ptr<ComponentModule> ComponentLoader::Load(std::string_view path_or_name) {
    std::string path(path_or_name);
    if (path.empty()) Fail("no module was named");
    if (path.find('/') == std::string::npos) {
        const std::string found = FindModule(directories_, path + ".so");
        if (found.empty()) Fail("no module " + path + ".so in the component directories");
        path = found;
    } else if (!IsFile(path)) {
        Fail("the module " + path + " does not exist");
    }
    if (auto it = loaded_.find(path); it != loaded_.end()) return it->second;

    ::dlerror();
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) Fail("the module " + path + " cannot be loaded: " + DlError());
    auto abi = reinterpret_cast<ComponentAbiFunction>(::dlsym(handle, kComponentAbiSymbol));
    auto create = reinterpret_cast<CreateObjectFunction>(::dlsym(handle, kCreateObjectSymbol));
    if (!abi || !create) {
        ::dlclose(handle);
        Fail("the module " + path + " is not a component (it lacks " + kCreateObjectSymbol + " or " +
             kComponentAbiSymbol + ")");
    }
    if (const int v = abi(); v != kComponentAbi) {
        ::dlclose(handle);
        Fail("the module " + path + " was built for component interface " + std::to_string(v) + ", the host has " +
             std::to_string(kComponentAbi));
    }
    std::shared_ptr<ComponentModule> module(new ComponentModule(path, handle, create));
    loaded_.emplace(path, module);
    return module;
}

std::shared_ptr<kv::Object> ComponentLoader::CreateObject(std::string_view progid) {
    const auto dot = progid.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == progid.size())
        Fail("'" + std::string(progid) + "' is not a programmatic name (Library.Class)");
    return Load(progid.substr(0, dot))->CreateObject(progid);
}

}  // namespace kv::services
