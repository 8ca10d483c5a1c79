#include "viewer/sources/camera/DornSource.h"

#include "viewer/sources/camera/AsyncTask.h"
#include "viewer/sources/camera/DornItem.h"

CDornSource::~CDornSource()
{
    Close();
}

CDornObject* CDornSource::MakeChild(uint32_t)
{
    return new CDornItem(this);
}

void CDornSource::OnCapabilityChanged(uint32_t id, int32_t)
{
    if (id == 0 || id == DORN_CAP_KINDS) maskValid_ = 0;
}

std::string CDornSource::ReadText(uint32_t id)
{
    char buffer[DORN_TEXT_SIZE] = {};
    if (HasCapability(id)) Send(DORN_CMD_GET, id, DORN_DT_PTEXT, reinterpret_cast<uintptr_t>(buffer));
    buffer[DORN_TEXT_SIZE - 1] = '\0';
    return buffer;
}

uint16_t CDornSource::GetValue49()
{
    uint32_t cell = 0xFFFFFFFFu;
    if (HasCapability(DORN_CAP_STATUS)) Send(DORN_CMD_GET, DORN_CAP_STATUS, DORN_DT_PU16, reinterpret_cast<uintptr_t>(&cell));
    return static_cast<uint16_t>(cell & 0xFFFF);
}

double CDornSource::GetValue50()
{
    double value = 0.0;
    if (HasCapability(50)) Send(DORN_CMD_GET, 50, DORN_DT_PF64, reinterpret_cast<uintptr_t>(&value));
    return value;
}

uint32_t CDornSource::GetValue51()
{
    uint32_t value = 0;
    if (HasCapability(51)) Send(DORN_CMD_GET, 51, DORN_DT_PU32, reinterpret_cast<uintptr_t>(&value));
    return value;
}

int32_t CDornSource::StartOn(CAsyncTask* task, uint32_t id)
{
    if (!HasCapability(id)) return DORN_E_NOT_OFFERED;
    task->AddRequest(this, DORN_CMD_START, id, DORN_DT_NONE, 0, nullptr, 0);
    return 0;
}

int32_t CDornSource::GetValue45(uint32_t* value)
{
    if (!HasCapability(45)) return DORN_E_NOT_OFFERED;
    return Send(DORN_CMD_GET, 45, DORN_DT_PU32, reinterpret_cast<uintptr_t>(value));
}

int32_t CDornSource::SetValue45(uint32_t value)
{
    if (!HasCapability(45)) return DORN_E_NOT_OFFERED;
    return Send(DORN_CMD_SET, 45, DORN_DT_PU32, reinterpret_cast<uintptr_t>(&value));
}

uint32_t CDornSource::GetKindMask()
{
    if (!maskValid_) {
        Send(DORN_CMD_GET, DORN_CAP_KINDS, DORN_DT_PU32, reinterpret_cast<uintptr_t>(&kindMask_));
        maskValid_ = 1;
    }
    return kindMask_;
}
