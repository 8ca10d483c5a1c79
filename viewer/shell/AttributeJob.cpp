#include "viewer/shell/AttributeJob.h"

#include "platform/thread/Waitable.h"
#include "viewer/shell/common/LangString.h"
#include "viewer/shell/ui/WaitMsgDlg.h"
#include "viewer/sources/ImageFileIf.h"
#include "viewer/sources/JqIfMngResult.h"
#include "viewer/sources/camera/CFChgFileAttrThreadForRundle.h"

#include <vector>

namespace {

constexpr uint32_t kTextProgramName = 62051;
constexpr uint32_t kTextPleaseWait = 62239;
constexpr uint32_t kJobEndLimitMs = 60000;

}  // namespace

int32_t RunAttributeJob(CImageFileIf& files, int32_t kind, bool on, BrowserItemList& items,
                        const std::string& folder, plat::WindowHandle view)
{
    // The job works on its own copies of the selected items' names and flags.
    std::vector<CameraJobPicture> pictures;
    std::vector<BrowserItem*> owners;
    for (BrowserItem& item : items) {
        if (!item.selected || !item.record) continue;
        pictures.push_back({1, item.fileName, item.record->protect, item.record->hidden});
        owners.push_back(&item);
    }
    if (pictures.empty()) return 0;
    std::vector<CameraJobPicture*> selection;
    for (CameraJobPicture& picture : pictures) selection.push_back(&picture);

    CameraJobOwner owner;
    owner.window = view;
    owner.accessFileLib = plat::Event::create(plat::Event::Reset::Auto, false, "ACCESS_FILELIB");
    CWaitMsgDlg dialog(kTextProgramName, CLangString(kTextPleaseWait).Text());
    int32_t kept = 0;
    auto protect = [&files](const std::string& f, const std::string& name, int32_t value) {
        return files.If_SetProtectStatus(f, name, value != 0);
    };
    auto hide = [&files](const std::string& f, const std::string& name, int32_t value) {
        return files.If_SetHideStatus(f, name, value != 0);
    };
    {
        CCFChgFileAttrThreadForRundle job(folder, &selection, kind, on ? 1 : 0, &owner, dialog.handle(), &kept,
                                          protect, hide);
        if (!job.Start()) return JqIfMngResult_NoMemory;
        dialog.DoModal();
        // The worker signals when it has written its last result.
        plat::waitFor(owner.accessFileLib, kJobEndLimitMs);
    }
    // The marks follow what the job changed.
    for (size_t i = 0; i < pictures.size(); ++i) {
        owners[i]->record->protect = pictures[i].readOnly;
        owners[i]->record->hidden = pictures[i].hidden;
    }
    return kept;
}
