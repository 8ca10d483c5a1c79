#pragma once
// The program's data object, in two kinds: the picture kind appends each
// delivered buffer to its destination file and reports progress to the source;
// the thumbnail kind keeps the delivered pixel rows.
#include <string>

#include "viewer/sources/camera/CameraSource.h"
#include "viewer/sources/camera/DornImageObj.h"

class CCameraDataObject : public CDornImageObj {
public:
    CCameraDataObject(CDornObject* item, uint32_t dataType) : CDornImageObj(item, dataType) {}
    ~CCameraDataObject() override;

    void OnProgress(uint32_t a, uint32_t b, uint32_t c, uint32_t d) override;
    int32_t OnDataDelivered(const DornDeliveryInfo* info, const void* data) override;

    void SetDestination(const std::string& path) { destination_ = path; }
    const CameraThumbnail& Thumbnail() const { return thumbnail_; }

private:
    CCameraSource* Source() const;
    int32_t AppendToFile(const void* data, uint32_t length);
    int32_t KeepThumbnail(const DornDeliveryInfo* info, const void* data);

    std::string destination_;
    CameraThumbnail thumbnail_;
};
