#include "viewer/shell/SourceTargetParts.h"

#include "viewer/shell/LumoraApp.h"
#include "viewer/shell/MainFrame.h"
#include "viewer/shell/common/LangString.h"

#include "platform/msg/MessageBox.h"
#include "viewer/sources/MassStrage.h"
#include "viewer/transfer/CardJobFile.h"
#include "viewer/shell/ui/CommonDialogLogic.h"
#include "viewer/shell/ui/WaitMsgDlg.h"
#include "viewer/sources/camera/CFFormatThreadForRundle.h"
#include "viewer/sources/camera/RundleCtrl.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

constexpr uint32_t kTextAskFormat = 61633;
constexpr uint32_t kTextFormatFailed = 61686;
constexpr uint32_t kTextFormatting = 62237;
constexpr uint32_t kTextProgramName = 62051;

plat::WindowHandle WorkWindowOf(const CLumoraApp& app)
{
    plat::WindowHandle owner = app.Windows().TransferPanel();
    return owner ? owner : app.Windows().BrowserFrame();
}

}  // namespace

SourceTargetParts::SourceTargetParts(CLumoraApp& app) : app_(app)
{
    CImageFileIf::SetHost(this);
}

SourceTargetParts::~SourceTargetParts()
{
    pictureAccess_.reset();
    DeleteCameraController();
    DeleteCardSource();
    if (CImageFileIf::Host() == this)
        CImageFileIf::SetHost(nullptr);
}

int SourceTargetParts::OpenCameraController(const MessageIdRecord& record, const std::string& title1,
                                            const std::string& title2, bool* created)
{
    RundleDeviceRecord device;
    std::memcpy(device.Name, record.Name, sizeof device.Name);
    std::memcpy(device.Capability, record.Capability, sizeof device.Capability);
    controller_ = std::make_unique<CRundleCtrl>(device);
    *created = true;
    const int result = controller_->Initialize();
    if (result != 0) {
        controller_.reset();
        return result;
    }
    controller_->SetWinTitle(title1, title2);
    return 0;
}

void SourceTargetParts::CloseCameraConnection()
{
    if (controller_)
        controller_->Close();
}

void SourceTargetParts::DeleteCameraController()
{
    controller_.reset();
}

int SourceTargetParts::CameraTargetStatus(const std::string& folder)
{
    return controller_ ? controller_->IsTargetStatus(folder) : JqIfMngResult_Failed;
}

bool SourceTargetParts::CreateCardSource()
{
    card_ = std::make_unique<CMassStrage>();
    return true;
}

void SourceTargetParts::DeleteCardSource()
{
    card_.reset();
}

int SourceTargetParts::CardTargetStatus(const MessageIdRecord& record, const std::string& folder)
{
    return card_ ? card_->IsTargetStatus(record.Name, folder) : JqIfMngResult_Failed;
}

bool SourceTargetParts::IsInputCFCard(const MessageIdRecord& record)
{
    CDCIMFolder probe;
    probe.SetRoot(record.Name);
    return probe.IsInputCFCard();
}

// One object for the whole run (the browser keeps a pointer to it), bound to
// whatever target is open each time this is called.
bool SourceTargetParts::CreatePictureAccess()
{
    if (!pictureAccess_)
        pictureAccess_ = std::make_unique<CImageFileIf>();
    return pictureAccess_->Open() == 0;
}

// A drag out of the browser makes its own data object (CImageDataObject) and
// follows the stateless rules of DragCopy.h; the toolkit's drag is the drop
// source. What is checked here is that the drag can copy at all: the work
// folder the pictures are copied into must be there.
bool SourceTargetParts::CreateDropSource()
{
    std::error_code ec;
    const std::string& work = app_.TempFolder();
    return !work.empty() && std::filesystem::is_directory(work, ec);
}

// A fresh reader each time: the camera rewrites the order file behind our back.
bool SourceTargetParts::IsTransferRequested(const MessageIdRecord&)
{
    return CCardJobFile(app_.currentIndex).IsTransferRequested();
}

int32_t SourceTargetParts::CurrentDeviceIndex()
{
    return app_.currentIndex;
}

std::string SourceTargetParts::CurrentCardRoot()
{
    return app_.targetRecord.Name;
}

std::string SourceTargetParts::LocalFolder()
{
    return app_.TempFolder();
}

bool SourceTargetParts::SuspendDeviceCheck()
{
    if (CMainFrame* frame = app_.MainFrame()) {
        frame->SuspendDeviceCheck();
        return true;
    }
    return false;
}

int32_t SourceTargetParts::ResumeDeviceCheck()
{
    CMainFrame* frame = app_.MainFrame();
    if (!frame)
        return 0;   // nothing watches the target
    return frame->ResumeDeviceCheck() ? 0 : JqIfMngResult_Failed;
}

bool SourceTargetParts::AskFormatCameraCard()
{
    plat::MessageBoxRequest box;
    box.owner = WorkWindowOf(app_);
    box.text = CLangString(kTextAskFormat).Text();
    box.buttons = plat::MessageButtons::OkCancel;
    box.icon = plat::MessageIcon::Exclamation;
    return plat::showMessageBox(box) == plat::kAnswerOk;
}

// The card-format job formats on its worker while the wait dialog (62237) is
// up; the dialog ends with the job's outcome.
int32_t SourceTargetParts::RunCameraFormat(CRundleCtrl* controller)
{
    CWaitMsgDlg dialog(kTextProgramName, CLangString(kTextFormatting).Text());
    CameraJobOwner owner;
    owner.window = app_.Windows().BrowserView();
    CCFFormatThreadForRundle job(controller, &owner, dialog.handle());
    if (!job.Start())
        return JqIfMngResult_NoMemory;
    return dialog.DoModal() == kEndOk ? JqIfMngResult_NoError : JqIfMngResult_FormatFailed;
}

void SourceTargetParts::ShowFormatFailed()
{
    plat::MessageBoxRequest box;
    box.owner = WorkWindowOf(app_);
    box.text = CLangString(kTextFormatFailed).Text();
    box.icon = plat::MessageIcon::Exclamation;
    plat::showMessageBox(box);
}
