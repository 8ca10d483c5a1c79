#include "viewer/sources/camera/CameraItem.h"

#include "viewer/sources/camera/CameraDataObject.h"
#include "viewer/sources/camera/CameraSource.h"

CCameraItem::~CCameraItem()
{
    Close();
}

CCameraSource* CCameraItem::Source() const
{
    return dynamic_cast<CCameraSource*>(GetParent());
}

CDornObject* CCameraItem::MakeChild(uint32_t dataType)
{
    if (dataType != DORN_DATA_PICTURE && dataType != DORN_DATA_THUMBNAIL) return nullptr;
    return new CCameraDataObject(this, dataType);
}

void CCameraItem::RemoveFromParent()
{
    if (CCameraSource* source = Source()) source->OnItemRemoved(this, deletedByProgram_);
    deletedByProgram_ = false;
    CDornItem::RemoveFromParent();  // deletes this object
}

void CCameraItem::OnCapabilityChanged(uint32_t id, int32_t valueOnly)
{
    if (!deletedByProgram_) {
        if (CCameraSource* source = Source()) source->MarkFolderChanged(GetId());
    }
    deletedByProgram_ = false;
    CDornItem::OnCapabilityChanged(id, valueOnly);
}
