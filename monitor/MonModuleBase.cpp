#include "monitor/MonModuleBase.h"

#include "viewer/shell/common/DynString.h"
#include "viewer/sources/camera/AsyncScheduler.h"
#include "viewer/sources/camera/CameraModule.h"

#include "platform/thread/Timing.h"

#include <strings.h>

MonModuleBase::~MonModuleBase()
{
    UnloadModule();
}

void MonModuleBase::Init(const MonModuleInfo& info, HardwareIdLister lister)
{
    className_ = info.className;
    moduleFile_ = info.moduleFile;
    hardwarePrefix_ = info.hardwarePrefix;
    exactLength_ = info.exactLength;
    modulePath_ = info.moduleFile;
    models_ = info.models;
    modelCounts_.assign(models_.size(), 0);
    presentCount_ = 0;
    capabilityName_.clear();
    connected_ = false;
    lister_ = std::move(lister);
    IsDeviceStatusChange();
}

void MonModuleBase::SetModulePath(const std::string& commonFilesDir, const std::string& dornModsFolder)
{
    modulePath_ = commonFilesDir + dornModsFolder + "/" + moduleFile_;
}

void MonModuleBase::Clear()
{
    className_.clear();
    moduleFile_.clear();
    hardwarePrefix_.clear();
    exactLength_ = false;
    modulePath_.clear();
    models_.clear();
    modelCounts_.clear();
    presentCount_ = 0;
    capabilityName_.clear();
    connected_ = false;
    lister_ = nullptr;
}

// --- class scan ---------------------------------------------------------------

bool MonModuleBase::IsDeviceStatusChange()
{
    std::vector<std::string> ids;
    if (!lister_ || !lister_(className_, &ids))
        return false;
    std::vector<int> counts(models_.size(), 0);
    for (const std::string& id : ids) {
        const int model = _IsVorelDevice(id);
        if (model >= 0)
            ++counts[model];
    }
    bool rose = false;
    for (size_t m = 0; m < counts.size(); ++m) {
        if (counts[m] > modelCounts_[m])
            rose = true;
        modelCounts_[m] = counts[m];
    }
    // The count of models with devices, from this scan alone: adding up rises and
    // falls would drift (two cameras of one model unplugged one by one, or one
    // model swapped for another within one scan).
    presentCount_ = 0;
    for (int c : modelCounts_)
        presentCount_ += c > 0 ? 1 : 0;
    // With no device of the class left the connection is over, so a camera
    // plugged back in is reported again.
    if (presentCount_ == 0)
        connected_ = false;
    return rose;
}

int MonModuleBase::_IsVorelDevice(const std::string& hardwareId) const
{
    const size_t prefix = hardwarePrefix_.size();
    if (hardwareId.size() <= prefix || ::strncasecmp(hardwareId.c_str(), hardwarePrefix_.c_str(), prefix) != 0)
        return -1;
    for (size_t m = 0; m < models_.size(); ++m) {
        const std::string& id = models_[m].m_strHardWare;
        if (exactLength_ && id.size() != hardwareId.size())
            continue;
        if (id.size() > hardwareId.size())
            continue;
        if (::strncasecmp(hardwareId.c_str(), id.c_str(), id.size()) == 0)
            return static_cast<int>(m);
    }
    return -1;
}

// --- connection ---------------------------------------------------------------

bool MonModuleBase::IsUseful()
{
    if (presentCount_ == 0)
        return false;
    if (connected_) {
        if (!IsCheckConnectCamera())
            connected_ = false;
        return false;
    }
    if (!IsCheckConnectCamera())
        return false;
    connected_ = true;
    return true;
}

bool MonModuleBase::IsCheckConnectCamera()
{
    if (!module_ && !LoadModule())
        return false;
    if (source_ && !CDornObject::IsLive(source_))
        source_ = nullptr;  // the module removed it meanwhile
    const bool found = _IsOpenSourceObject();
    if (!found && !source_)
        return false;
    if (!module_ || !RunSchedulerDry())
        return false;
    return module_->IsCameraPresent() != 0;
}

bool MonModuleBase::LoadModule()
{
    UnloadModule();
    module_ = new CCameraModule(CDynString(modulePath_.c_str()).GetString());
    if (module_->InitModule() != 0) {
        UnloadModule();
        return false;
    }
    return true;
}

void MonModuleBase::UnloadModule()
{
    source_ = nullptr;
    if (!module_)
        return;
    module_->Close();
    delete module_;
    module_ = nullptr;
}

bool MonModuleBase::_IsOpenSourceObject()
{
    const std::vector<CDornObjectRef> sources = module_->GetChildren();
    if (sources.empty()) {
        UnloadModule();
        return false;
    }
    for (const CDornObjectRef& ref : sources) {
        CDornObject* source = ref.Get();
        if (!source || !CDornObject::IsLive(source))
            continue;
        CDynString name;
        if (source->GetText9(name) != 0)
            continue;
        if (_IsCapability(name.GetString())) {
            source_ = source;
            capabilityName_ = name.GetString();
            return true;
        }
    }
    return false;
}

bool MonModuleBase::_IsCapability(const std::string& name) const
{
    for (const MonModuleSubInfo& model : models_)
        if (model.m_strCapability == "*" || ::strcasecmp(name.c_str(), model.m_strCapability.c_str()) == 0)
            return true;
    return false;
}

bool MonModuleBase::RunSchedulerDry() const
{
    // A module that always has work would hold the monitor's only thread: the
    // wait is bounded and running out counts as "not connected".
    const uint32_t start = plat::tickCount();
    const std::function<int32_t()> poll =
        schedulerPoll_ ? schedulerPoll_ : std::function<int32_t()>([] { return CAsyncScheduler::PollScheduler(); });
    while (poll() != 0) {
        if (plat::tickCount() - start > schedulerLimitMs_)
            return false;
    }
    return true;
}
