#include "viewer/shell/AppTransferHost.h"

#include "viewer/shell/LumoraApp.h"
#include "viewer/shell/MainFrame.h"
#include "viewer/shell/SourceTargetParts.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/shell/ui/FourChoiceDlg.h"

#include "platform/msg/UiThread.h"
#include "viewer/browser/PictureInfoText.h"
#include "viewer/transfer/CatalogLink.h"

namespace {
constexpr int kNoExifStop = 1173;  // the box could not be shown: stop, as its close box does
}

CViewSettings* AppTransferHost::Settings()
{
    return app_.Settings();
}

CImageFileIf* AppTransferHost::PictureAccess()
{
    auto* parts = dynamic_cast<SourceTargetParts*>(&app_.Parts());
    return parts ? parts->PictureAccess() : nullptr;
}

std::string AppTransferHost::TempFolder()
{
    return app_.TempFolder();
}

std::string AppTransferHost::ImagesFolder()
{
    return app_.ImagesFolder();
}

std::string AppTransferHost::WebUploadFolder()
{
    return app_.WebUploadFolder();
}

bool AppTransferHost::WebUploadAvailable()
{
    return app_.WebUploadAvailable();
}

plat::WindowHandle AppTransferHost::MainFrame()
{
    CMainFrame* frame = app_.MainFrame();
    return frame ? frame->Handle() : plat::WindowHandle{};
}

bool AppTransferHost::IsClosingTarget()
{
    CMainFrame* frame = app_.MainFrame();
    return frame && frame->MessageShown();
}

// The card's own check, without the browser's folder (the worker has none).
int32_t AppTransferHost::TargetStatus()
{
    if (!IsDriveIndex(app_.currentIndex))
        return 0;
    return app_.Parts().CardTargetStatus(app_.targetRecord, std::string());
}

int AppTransferHost::AskNoExifQuestion(plat::WindowHandle)
{
    return plat::runModalOnUiThread([] { return CFourChoiceDlg().DoModal(); }, kNoExifStop);
}

std::unique_ptr<TransferCatalog> AppTransferHost::MakeCatalogLink()
{
    return std::make_unique<CCatalogLink>();
}

std::string AppTransferHost::CaptionText(const PictureRecord& record)
{
    std::string text;
    BuildPictureInfoText(text, &record, IsCameraIndex(app_.currentIndex));
    return text;
}
