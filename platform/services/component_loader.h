#pragma once
// Loading components at run time and creating their objects by programmatic name
// ("Library.Class", e.g. "PEXA_QUENDORMIXAL.CLSMG_QUENDORMIXAL"), the way the host creates an
// in-process component.
//
// A component module is a shared library that exports two C functions:
//   int kv_component_abi(void);   returns kComponentAbi; a module built against other platform
//                                 headers is refused rather than run;
//   int kv_create_object(const char* progid, std::shared_ptr<kv::Object>* out);
//                                 stores a new object in *out and returns 0, or returns
//                                 kUnknownProgId and leaves *out empty; any other value: the
//                                 object could not be created. It lets no exception out.
// The object comes back as a shared_ptr made inside the module, so it can hold a weak reference to
// itself from its first moment, and it is destroyed by the module's own code. Objects of a module can
// outlive anything the host still holds (an open window, a callback connected to a host event), so a
// module once loaded stays mapped until the process ends (RTLD_NODELETE): no object can be left with
// its code unmapped.
//
// Failures raise kv::Error 429 ("cannot create object") with a description naming what failed:
// a module that is missing or cannot be loaded (with the system's reason), a module without the entry
// points or built for another platform version, a programmatic name without a library part, or a
// name the module does not know.

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/variant/variant.h"

namespace kv::services {

inline constexpr int kComponentAbi = 1;
inline constexpr int kUnknownProgId = 1;
inline constexpr long kCannotCreateObject = 429;
inline constexpr const char* kCreateObjectSymbol = "kv_create_object";
inline constexpr const char* kComponentAbiSymbol = "kv_component_abi";

using CreateObjectFunction = int (*)(const char* progid, std::shared_ptr<kv::Object>* out);
using ComponentAbiFunction = int (*)();

class ComponentModule {
public:
    ~ComponentModule();
    ComponentModule(const ComponentModule&) = delete;
    ComponentModule& operator=(const ComponentModule&) = delete;

    const std::string& Path() const { return path_; }
    // A new object of the class named by progid; kv::Error 429 when the module does not know it.
    std::shared_ptr<kv::Object> CreateObject(std::string_view progid);

private:
    friend class ComponentLoader;
    ComponentModule(std::string path, void* handle, CreateObjectFunction create);
    std::string path_;
    void* handle_;
    CreateObjectFunction create_;
};

class ComponentLoader {
public:
    // Directories searched, in order, for a module given by name.
    void AddSearchDirectory(std::string directory) { directories_.push_back(std::move(directory)); }

    // Loads a module: a path (it contains '/') is used as it is; a bare name is looked for as
    // <directory>/<name>.so in the search directories, without regard to case (as programmatic names
    // are compared). Loading the same file twice gives the same module.
    std::shared_ptr<ComponentModule> Load(std::string_view path_or_name);
    // Loads the library part of progid ("Library" of "Library.Class") and creates the object.
    std::shared_ptr<kv::Object> CreateObject(std::string_view progid);

private:
    std::vector<std::string> directories_;
    std::map<std::string, std::shared_ptr<ComponentModule>> loaded_;
};

}  // namespace kv::services
