#pragma once
// The transfer worker's view of the application: settings, picture access,
// folders, the main frame and the open target. Called from the worker thread,
// so it only reads what the main frame keeps and asks its questions on the
// user-interface thread.
#include "viewer/transfer/TransferCtrl.h"

class CLumoraApp;

class AppTransferHost : public TransferHost {
public:
    explicit AppTransferHost(CLumoraApp& app) : app_(app) {}

    CViewSettings* Settings() override;
    CImageFileIf* PictureAccess() override;
    std::string TempFolder() override;
    std::string ImagesFolder() override;
    std::string WebUploadFolder() override;
    bool WebUploadAvailable() override;
    plat::WindowHandle MainFrame() override;
    bool IsClosingTarget() override;
    int32_t TargetStatus() override;
    int AskNoExifQuestion(plat::WindowHandle owner) override;
    std::unique_ptr<TransferCatalog> MakeCatalogLink() override;
    std::string CaptionText(const PictureRecord& record) override;

private:
    CLumoraApp& app_;
};
