#pragma once
// One camera device class of the device table: which of its models are present
// (from the hardware ids of the present devices) and whether its camera module
// answers with a camera of a known model.
#include "monitor/MonModuleTable.h"
#include "monitor/PresentDevices.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CCameraModule;
class CDornObject;

class MonModuleBase {
public:
    // Default bound of the wait for the camera-module scheduler to run dry.
    static constexpr uint32_t kSchedulerLimitMs = 5000;

    MonModuleBase() = default;
    ~MonModuleBase();
    MonModuleBase(const MonModuleBase&) = delete;
    MonModuleBase& operator=(const MonModuleBase&) = delete;

    // Copies the row and its models, clears the counts, then scans once.
    void Init(const MonModuleInfo& info, HardwareIdLister lister);
    // The module file name becomes <CommonFilesDir>/Vorel/DornMods/<file>.
    void SetModulePath(const std::string& commonFilesDir, const std::string& dornModsFolder);

    // Rescans the present devices; true when some model has more devices than
    // before. A class without a device list changes nothing.
    bool IsDeviceStatusChange();
    // Position of the model that the hardware id names, or -1.
    int _IsVorelDevice(const std::string& hardwareId) const;
    // The class rule of IsUseful: a camera is reported once per connection.
    bool IsUseful();
    bool IsCheckConnectCamera();

    void Clear();
    void UnloadModule();
    void SetSchedulerLimit(uint32_t ms) { schedulerLimitMs_ = ms; }
    // One step of the camera-module scheduler (non-zero while work remains);
    // empty: the global scheduler's.
    void SetSchedulerPoll(std::function<int32_t()> poll) { schedulerPoll_ = std::move(poll); }

    const std::string& GetModulePath() const { return modulePath_; }
    const std::string& GetCapabilityName() const { return capabilityName_; }
    int GetPresentCount() const { return presentCount_; }
    const std::vector<int>& GetModelCounts() const { return modelCounts_; }
    bool IsConnected() const { return connected_; }
    bool HasModule() const { return module_ != nullptr; }

private:
    bool LoadModule();
    bool _IsOpenSourceObject();
    bool _IsCapability(const std::string& name) const;
    // Runs the scheduler until it has no work; false when it still had work at the bound.
    bool RunSchedulerDry() const;

    std::string className_;
    std::string moduleFile_;
    std::string hardwarePrefix_;
    bool exactLength_ = false;
    std::string modulePath_;
    std::vector<MonModuleSubInfo> models_;
    std::vector<int> modelCounts_;
    int presentCount_ = 0;
    std::string capabilityName_;
    bool connected_ = false;
    HardwareIdLister lister_;
    CCameraModule* module_ = nullptr;
    CDornObject* source_ = nullptr;
    uint32_t schedulerLimitMs_ = kSchedulerLimitMs;
    std::function<int32_t()> schedulerPoll_;
};
