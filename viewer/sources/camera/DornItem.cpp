#include "viewer/sources/camera/DornItem.h"

#include "viewer/sources/camera/DornImageObj.h"
#include "viewer/sources/camera/DornThumbObj.h"

CDornItem::~CDornItem()
{
    Close();
}

CDornObject* CDornItem::MakeChild(uint32_t dataType)
{
    if (dataType == DORN_DATA_PICTURE) return new CDornImageObj(this, DORN_DATA_PICTURE);
    if (dataType == DORN_DATA_THUMBNAIL) return new CDornThumbObj(this);
    return nullptr;
}

void CDornItem::OnCapabilityChanged(uint32_t id, int32_t)
{
    if (id == 0 || id == DORN_CAP_KINDS) maskValid_ = 0;
}

int32_t CDornItem::GetValue13(DornItemDate* record)
{
    if (!HasCapability(DORN_CAP_DATE)) return DORN_E_NOT_OFFERED;
    return Send(DORN_CMD_GET, DORN_CAP_DATE, DORN_DT_PRECORD12, reinterpret_cast<uintptr_t>(record));
}

int32_t CDornItem::GetValue14(uint32_t* value)
{
    if (!HasCapability(DORN_CAP_SIZE)) return DORN_E_NOT_OFFERED;
    return Send(DORN_CMD_GET, DORN_CAP_SIZE, DORN_DT_PU32, reinterpret_cast<uintptr_t>(value));
}

uint32_t CDornItem::GetKindMask()
{
    if (!maskValid_) {
        Send(DORN_CMD_GET, DORN_CAP_KINDS, DORN_DT_PU32, reinterpret_cast<uintptr_t>(&kindMask_));
        maskValid_ = 1;
    }
    return kindMask_;
}
