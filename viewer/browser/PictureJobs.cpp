#include "viewer/browser/PictureJobs.h"

#include "viewer/browser/IndexSheet.h"
#include "viewer/browser/JobProgress.h"
#include "viewer/browser/LangFormat.h"
#include "viewer/browser/PrintJob.h"
#include "viewer/browser/RemoveJobs.h"
#include "viewer/browser/SaveJob.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/sources/JqIfMngResult.h"

#include "platform/msg/Messaging.h"
#include "platform/shell/FileChooser.h"

#include <QDir>

namespace {

constexpr int32_t kResultOutOfMemory = -118;

plat::Event CancelEvent() { return plat::Event::create(plat::Event::Reset::Auto, false, "CANCEL_EVENT"); }

}  // namespace

int32_t RunSaveJob(QWidget* parent, plat::WindowHandle view, BrowserItemList& items, JobAccess& access,
                   const std::string& sourceFolder, const std::string& destinationFolder) {
    int32_t exitCode = 0;
    CPreductSaveThread job(view, items, access);
    JobProgressDialog dialog(ProgressKind::Save, SelectedCount(items), 0, [&job] { job.Cancel(); }, {}, parent);
    job.Setup(dialog.handle(), CancelEvent(), &exitCode);
    if (job.Start(sourceFolder, destinationFolder) != 1) return kResultOutOfMemory;
    if (job.Resume() != 1) {
        plat::postMessage(view, UM_ERROR, uintptr_t(intptr_t(kResultOutOfMemory)), kResultOutOfMemory);
        return kResultOutOfMemory;
    }
    const int end = dialog.exec();
    job.Abandon();   // harmless after the end; stops a worker still waiting for the dialog
    job.Join();
    if (end != kEndOk && exitCode != 0)
        plat::postMessage(view, UM_ERROR, uintptr_t(intptr_t(exitCode)), exitCode);
    return exitCode;
}

int32_t RunRemoveFilesJob(QWidget* parent, BrowserItemList& items, std::list<std::string>& names, JobAccess& access,
                          const std::string& folder) {
    CRemoveFileThread job(items, names, access);
    JobProgressDialog dialog(ProgressKind::Remove, SelectedCount(items), 0, [&job] { job.Cancel(); }, {}, parent);
    job.Setup(dialog.handle(), CancelEvent());
    if (job.Start(folder) != 1 || job.Resume() != 1) return kResultOutOfMemory;
    dialog.exec();
    job.Abandon();
    job.Join();
    const int32_t failed = job.FailedResult();
    if (failed != 0)
        access.Ask(plat::WindowHandle(), LangText(uint32_t(GetErrorStringID(failed, 1))), {},
                   plat::MessageButtons::Ok, plat::MessageIcon::Exclamation);
    return failed;
}

int32_t RunRemoveFolderJob(QWidget* parent, JobAccess& access, const std::string& folder) {
    std::unique_ptr<CRemoveFolderThread> job;
    JobProgressDialog dialog(ProgressKind::Wait, 0, 0, {}, {}, parent);
    job = std::make_unique<CRemoveFolderThread>(dialog.handle(), access);
    int end = 0;
    if (job->Start(folder) == 1 && job->Resume() == 1) end = dialog.exec();
    job->Abandon();
    job->Join();
    if (end != 1) {
        access.Ask(plat::WindowHandle(), LangText(61637), {}, plat::MessageButtons::Ok, plat::MessageIcon::Exclamation);
        return 0;
    }
    return 1;
}

int32_t RunPrintJob(QWidget* parent, int32_t mode, const BrowserItemList& items, JobAccess& access,
                    const std::string& folder, const std::string& singlePath, const plat::gdi::PrintTarget& target,
                    int32_t singleTurns) {
    auto document = plat::gdi::openPrintDocument(target);
    if (!document) return Err_Print_Failed;
    access.StopReaderThreads();   // here, on the user-interface thread
    CPrintProgressState progress;
    plat::Event ready = plat::Event::create(plat::Event::Reset::Manual, false);
    JobProgressDialog dialog(ProgressKind::Print, 0, mode == kPrintIndex ? 1 : 0, [&progress] { progress.Cancel(); },
                             ready, parent);
    CPrintThread::Params p;
    p.mode = mode;
    p.dialog = dialog.handle();
    p.ready = ready;
    p.progress = &progress;
    p.document = document.get();
    p.singlePath = singlePath;
    p.singleTurns = singleTurns;
    p.folder = folder;
    p.items = &items;
    p.access = &access;
    CPrintThread job(std::move(p));
    if (job.Start() != 1) return Err_Print_Failed;
    dialog.exec();
    job.Join();
    return job.Result();
}

std::string ChooseSheetFolder(QWidget* parent) {
    return plat::chooseFolder(parent, LangText(62214), QDir::homePath().toStdString()).value_or(std::string{});
}

int32_t RunIndexSheetJob(QWidget* parent, BrowserItemList& items, JobAccess& access, const std::string& sourceFolder,
                         const std::string& sheetFolder) {
    if (sheetFolder.empty()) return 0;
    access.StopReaderThreads();   // here, on the user-interface thread
    std::atomic<int32_t> cancel{0};
    plat::Event ready = plat::Event::create(plat::Event::Reset::Manual, false);
    JobProgressDialog dialog(ProgressKind::Print, 0, 1, [&cancel] { cancel.store(1); }, ready, parent);
    CCreateThumbFileThread::Params p;
    p.dialog = dialog.handle();
    p.ready = ready;
    p.folder = sheetFolder;
    p.sourceFolder = sourceFolder;
    p.items = &items;
    p.access = &access;
    p.cancel = &cancel;
    CCreateThumbFileThread job(std::move(p));
    if (job.Start() != 1) return ThumbFile_Unusable;
    dialog.exec();
    job.Join();
    return job.Result();
}
