#pragma once
// The root of the wrapper tree: loads one camera-module file and is the only
// object that calls its entry point.
#include <string>

#include "viewer/sources/camera/DornObject.h"

class CDornModule : public CDornObject {
public:
    CDornModule();
    ~CDornModule() override;

    CDornObject* MakeChild(uint32_t id) override;
    int32_t OnModuleRequest(uintptr_t value) override;
    int32_t Close() override { return CloseModule(); }
    int32_t CallEntry(CDornObject* object, uint32_t command, uint32_t parameter, uint32_t dataType, uintptr_t data,
                      DornCompletionProc proc, uintptr_t reference) override;

    virtual uint32_t GetValue54();
    virtual uint32_t GetValue58();
    virtual int32_t OpenModule(const std::string& path);

    int32_t LoadModule(const std::string& path);
    int32_t CloseModule();
    int32_t IsLoaded() const { return loaded_; }
    const std::string& GetPath() const { return path_; }

    // A module linked into the program instead of loaded from a file (tests run
    // the simulated camera in-process this way): loading the path uses the entry.
    static void RegisterBuiltin(const std::string& path, DornEntryProc entry);
    static void UnregisterBuiltin(const std::string& path);

private:
    int32_t loaded_ = 0;
    std::string path_;
    DornEntryProc entry_ = nullptr;
    void* library_ = nullptr;
};
