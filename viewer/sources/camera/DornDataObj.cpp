#include "viewer/sources/camera/DornDataObj.h"

#include <mutex>

#include "viewer/sources/camera/AsyncTask.h"
#include "viewer/sources/camera/CameraClock.h"

namespace {

int32_t DeliveryCallback(void* reference, const DornDeliveryInfo* info, const void* data)
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    auto* object = static_cast<CDornObject*>(reference);
    if (!CDornObject::IsLive(object)) return DORN_E_NOT_OPEN;
    auto* dataObject = dynamic_cast<CDornDataObj*>(object);
    return dataObject ? dataObject->OnDataDelivered(info, data) : 0;
}

}  // namespace

CDornDataObj::~CDornDataObj()
{
    Close();
}

int32_t CDornDataObj::RefreshCapabilities()
{
    int32_t r = CDornObject::RefreshCapabilities();
    if (r == 0 && HasCapability(DORN_CAP_DELIVERY_CB))
        r = InstallCallback(DORN_CAP_DELIVERY_CB, reinterpret_cast<DornProc>(&DeliveryCallback));
    return r;
}

void CDornDataObj::OnCapabilityChanged(uint32_t id, int32_t)
{
    if (id == 0 || id == 19) valid19_ = 0;
}

int32_t CDornDataObj::GetValue14(uint32_t* value)
{
    if (!HasCapability(DORN_CAP_SIZE)) return DORN_E_NOT_OFFERED;
    return Send(DORN_CMD_GET, DORN_CAP_SIZE, DORN_DT_PU32, reinterpret_cast<uintptr_t>(value));
}

int32_t CDornDataObj::GetTexts19(std::vector<std::string>& out)
{
    return ReadEnumStrings(out, 19, &enum19_, &valid19_);
}

int32_t CDornDataObj::GetCurrent19(uint32_t* out)
{
    const int32_t r = ReadEnumHeader(19, &enum19_, &valid19_);
    if (r == 0) *out = enum19_.currentIndex;
    return r;
}

int32_t CDornDataObj::GetDefault19(uint32_t* out)
{
    const int32_t r = ReadEnumHeader(19, &enum19_, &valid19_);
    if (r == 0) *out = enum19_.defaultIndex;
    return r;
}

int32_t CDornDataObj::SetIndex19(uint32_t index)
{
    return Send(DORN_CMD_SET, 19, DORN_DT_U32VALUE, index);
}

int32_t CDornDataObj::Start20(CAsyncTask* task, uint8_t flag)
{
    if (HasCapability(DORN_CAP_DELIVER_OPTION))
        task->AddRequest(this, DORN_CMD_SET, DORN_CAP_DELIVER_OPTION, DORN_DT_BOOL, flag, nullptr, 0);
    task->AddRequest(this, DORN_CMD_START, DORN_CAP_DELIVER, DORN_DT_NONE, 0, nullptr, 0);
    return 0;
}

int32_t CDornDataObj::OnDataDelivered(const DornDeliveryInfo*, const void*)
{
    return 0;
}
