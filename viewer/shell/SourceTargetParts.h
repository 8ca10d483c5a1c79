#pragma once
// The picture sources of viewer/sources behind the main frame: the card source,
// the camera controller and the picture-access object, owned here for the
// application. This is also the host the picture-access object asks for the
// current device, the card root, the work folder and the device check, and
// what checks the drag-out work folder and the card's handshake files.
#include "viewer/shell/TargetParts.h"

#include "viewer/sources/ImageFileIf.h"

#include <memory>

class CLumoraApp;
class CMassStrage;
class CRundleCtrl;

class SourceTargetParts : public TargetParts, public ImageFileIfHost {
public:
    explicit SourceTargetParts(CLumoraApp& app);
    ~SourceTargetParts() override;

    int OpenCameraController(const MessageIdRecord& record, const std::string& title1, const std::string& title2,
                             bool* created) override;
    bool HasCameraController() const override { return controller_ != nullptr; }
    void CloseCameraConnection() override;
    void DeleteCameraController() override;
    int CameraTargetStatus(const std::string& folder) override;
    bool HasCardSource() const override { return card_ != nullptr; }
    bool CreateCardSource() override;
    void DeleteCardSource() override;
    int CardTargetStatus(const MessageIdRecord& record, const std::string& folder) override;
    bool IsInputCFCard(const MessageIdRecord& record) override;
    bool HasPictureAccess() const override { return pictureAccess_ != nullptr; }
    bool CreatePictureAccess() override;
    bool CreateDropSource() override;
    bool IsTransferRequested(const MessageIdRecord& record) override;

    CImageFileIf* PictureAccess() const { return pictureAccess_.get(); }

    // ImageFileIfHost
    int32_t CurrentDeviceIndex() override;
    std::string CurrentCardRoot() override;
    std::string LocalFolder() override;
    CRundleCtrl* CameraController() override { return controller_.get(); }
    CMassStrage* CardSource() override { return card_.get(); }
    bool SuspendDeviceCheck() override;
    int32_t ResumeDeviceCheck() override;
    bool AskFormatCameraCard() override;
    int32_t RunCameraFormat(CRundleCtrl* controller) override;
    void ShowFormatFailed() override;

private:
    CLumoraApp& app_;
    std::unique_ptr<CRundleCtrl> controller_;
    std::unique_ptr<CMassStrage> card_;
    std::unique_ptr<CImageFileIf> pictureAccess_;
};
