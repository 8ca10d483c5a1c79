#pragma once
// The program's module object: loads the camera-module file named by the device
// record, answers the module's requests to ask the user, and tracks whether a
// camera is present and whether the module removed its source.
#include <string>

#include "viewer/sources/camera/DornModule.h"

// What the module asks the user; the box is shown over the first top-level
// window whose title begins with one of the two titles.
struct CameraPrompt {
    std::string ownerTitle1;
    std::string ownerTitle2;
    std::string caption;   // "Lumora"
    std::string text;      // the second text already appended
    int32_t buttons = 0;   // 0 OK, 1 OK/Cancel, 2 Yes/No, 3 Yes/No/Cancel
    int32_t defaultButton = 1;  // 1, 2 or 3
};

// Shows the box and answers 1 OK, 2 Cancel, 3 Yes, 4 No, 0 otherwise. The
// program with a user interface installs one (it runs the box on the UI thread
// while the asking thread waits); without one every prompt answers 0.
using CameraPromptHandler = int32_t (*)(const CameraPrompt& prompt);
void SetCameraPromptHandler(CameraPromptHandler handler);

class CCameraModule : public CDornModule {
public:
    explicit CCameraModule(const std::string& moduleName);
    explicit CCameraModule(const char* moduleName) : CCameraModule(std::string(moduleName ? moduleName : "")) {}
    explicit CCameraModule(CDynString moduleName) : CCameraModule(std::string(moduleName.GetString() ? moduleName.GetString() : "")) {}
    ~CCameraModule() override;

    CDornObject* MakeChild(uint32_t id) override;
    int32_t OnModuleRequest(uintptr_t value) override;
    void OnChildAdded(CDornObject* child) override;
    void OnModuleEvent(uint32_t event, uint32_t data) override;
    void OnCapabilityChanged(uint32_t id, int32_t valueOnly) override { CDornModule::OnCapabilityChanged(id, valueOnly); }
    virtual int32_t InitModule();

    void SetWinTitle(const std::string& first, const std::string& second);
    CDornObject* GetLastChild() const { return lastChild_; }
    const std::string& GetModuleName() const { return moduleName_; }

    // Camera-present flag: set while a source's state reads usable (raw 0 or 1),
    // cleared when it reads 2 or 3 or the source closes. After a close, the
    // first read that finds it set again answers 0 once.
    int32_t IsCameraPresent();
    void SetCameraPresent(bool present);
    void OnSourceClosed();

    // Set when the module removed its source (the camera went away); the
    // controller checks it before touching its source again.
    bool IsSourceGone() const { return sourceGone_; }
    void OnSourceGone() { sourceGone_ = true; }
    void ClearSourceGone() { sourceGone_ = false; }

private:
    std::string moduleName_;
    std::string title1_;
    std::string title2_;
    CDornObject* lastChild_ = nullptr;
    int32_t cameraPresent_ = 0;
    int32_t readOnce_ = 1;
    bool sourceGone_ = false;
};
