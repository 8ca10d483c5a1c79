#include "viewer/sources/camera/DornModule.h"

#include <dlfcn.h>

#include <cstring>
#include <map>
#include <mutex>

#include "viewer/sources/camera/DornSource.h"

namespace {

std::mutex& BuiltinMutex()
{
    static std::mutex m;
    return m;
}

std::map<std::string, DornEntryProc>& Builtins()
{
    static std::map<std::string, DornEntryProc> builtins;
    return builtins;
}

DornEntryProc FindBuiltin(const std::string& path)
{
    std::lock_guard<std::mutex> lock(BuiltinMutex());
    auto it = Builtins().find(path);
    return it == Builtins().end() ? nullptr : it->second;
}

}  // namespace

void CDornModule::RegisterBuiltin(const std::string& path, DornEntryProc entry)
{
    std::lock_guard<std::mutex> lock(BuiltinMutex());
    Builtins()[path] = entry;
}

void CDornModule::UnregisterBuiltin(const std::string& path)
{
    std::lock_guard<std::mutex> lock(BuiltinMutex());
    Builtins().erase(path);
}

CDornModule::CDornModule() : CDornObject(nullptr) {}

CDornModule::~CDornModule()
{
    CloseModule();
}

CDornObject* CDornModule::MakeChild(uint32_t)
{
    return new CDornSource(this);
}

int32_t CDornModule::OnModuleRequest(uintptr_t)
{
    return 0;
}

uint32_t CDornModule::GetValue54()
{
    uint32_t value = 0;
    CallEntry(this, DORN_CMD_GET, 54, DORN_DT_PU32, reinterpret_cast<uintptr_t>(&value), nullptr, 0);
    return value;
}

uint32_t CDornModule::GetValue58()
{
    uint32_t value = 0x3000;
    CallEntry(this, DORN_CMD_GET, 58, DORN_DT_PU32, reinterpret_cast<uintptr_t>(&value), nullptr, 0);
    return value;
}

int32_t CDornModule::LoadModule(const std::string& path)
{
    if (library_ || entry_) return DORN_E_LOADED;
    if (DornEntryProc builtin = FindBuiltin(path)) {
        entry_ = builtin;
        return 0;
    }
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* error = dlerror();
        return error && std::strstr(error, "cannot allocate memory") ? DORN_E_NO_MEMORY : DORN_E_LOAD;
    }
    void* symbol = dlsym(library, DORN_ENTRY_NAME);
    if (!symbol) {
        dlclose(library);
        return DORN_E_NO_ENTRY;
    }
    library_ = library;
    entry_ = reinterpret_cast<DornEntryProc>(symbol);
    return 0;
}

int32_t CDornModule::OpenModule(const std::string& path)
{
    const int32_t r = LoadModule(path);
    if (r != 0) return r;
    path_ = path;
    loaded_ = 1;
    return Open(0, nullptr);
}

int32_t CDornModule::CallEntry(CDornObject* object, uint32_t command, uint32_t parameter, uint32_t dataType,
                               uintptr_t data, DornCompletionProc proc, uintptr_t reference)
{
    if (!loaded_ || !entry_) return DORN_E_NOT_OPEN;
    return entry_(object ? object->GetObjectRecord() : nullptr, command, parameter, dataType, data, proc, reference);
}

int32_t CDornModule::CloseModule()
{
    if (!loaded_) {
        entry_ = nullptr;
        return DORN_E_NOT_OPEN;
    }
    const int32_t r = CDornObject::Close();
    if (library_) dlclose(library_);
    library_ = nullptr;
    loaded_ = 0;
    entry_ = nullptr;
    return r;
}
