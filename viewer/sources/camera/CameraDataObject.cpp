#include "viewer/sources/camera/CameraDataObject.h"

#include <cstdio>
#include <cstring>

CCameraDataObject::~CCameraDataObject()
{
    Close();
}

CCameraSource* CCameraDataObject::Source() const
{
    CDornObject* item = GetParent();
    return item ? dynamic_cast<CCameraSource*>(item->GetParent()) : nullptr;
}

void CCameraDataObject::OnProgress(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    if (GetDataType() != DORN_DATA_PICTURE || a != DORN_CMD_START || b != DORN_CAP_DELIVER) return;
    if (CCameraSource* source = Source()) source->SetCopyProgress(c, d);
}

int32_t CCameraDataObject::OnDataDelivered(const DornDeliveryInfo* info, const void* data)
{
    if (!info || !data) return DORN_E_BAD_VALUE;
    if (GetDataType() == DORN_DATA_THUMBNAIL) return KeepThumbnail(info, data);
    return AppendToFile(data, info->length);
}

int32_t CCameraDataObject::AppendToFile(const void* data, uint32_t length)
{
    FILE* file = std::fopen(destination_.c_str(), "ab");
    if (!file) return DORN_E_OPEN_FILE;
    // A short write or a failed close (disk full) stops the copy: never report
    // a truncated picture as copied.
    const size_t written = length ? std::fwrite(data, 1, length, file) : 0;
    const int closed = std::fclose(file);
    return written == length && closed == 0 ? 0 : DORN_E_WRITE;
}

int32_t CCameraDataObject::KeepThumbnail(const DornDeliveryInfo* info, const void* data)
{
    // The size comes from the description: check it against what was delivered.
    const uint64_t size = static_cast<uint64_t>(info->rowBytes) * info->height;
    const uint32_t channels = ChannelCount(info->colourModel);
    if (info->width == 0 || info->height == 0 || size > info->length || size > (256u << 20) ||
        static_cast<uint64_t>(info->width) * (channels ? channels : 3) > info->rowBytes)
        return DORN_E_BAD_TYPE;
    thumbnail_.width = info->width;
    thumbnail_.height = info->height;
    thumbnail_.colourModel = info->colourModel;
    thumbnail_.rowBytes = info->rowBytes;
    thumbnail_.size = static_cast<uint32_t>(size);
    try {
        thumbnail_.pixels.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    } catch (const std::bad_alloc&) {
        return DORN_E_NO_MEMORY;
    }
    return 0;
}
