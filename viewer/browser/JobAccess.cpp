#include "viewer/browser/JobAccess.h"

#include "viewer/browser/BrowserItem.h"
#include "viewer/browser/LangFormat.h"
#include "viewer/sources/ImageFileIf.h"

#include "platform/msg/UiThread.h"

#include "viewer/shell/ui/OverwriteDlg.h"

#include <QLabel>

#include <sys/statvfs.h>

int32_t SelectedCount(const BrowserItemList& items) {
    int32_t n = 0;
    for (const auto& item : items) n += item.selected ? 1 : 0;
    return n;
}

bool ImageFileIfJobAccess::IsFile(const std::string& folder, const std::string& file) {
    return source_->If_IsFile(folder, file) == 1;
}
int32_t ImageFileIfJobAccess::GetFullPath(const std::string& folder, const std::string& file, std::string* path) {
    return Note(source_->If_GetFullPathFileName(folder, file, path));
}
int32_t ImageFileIfJobAccess::CopyFile(const std::string& sourcePath, const std::string& destination) {
    return Note(source_->If_CopyImageFile(sourcePath, destination, false, nullptr, nullptr));
}
int32_t ImageFileIfJobAccess::DeleteFile(const std::string& folder, const std::string& file) {
    return Note(source_->If_DeleteFile(folder, file));
}
int32_t ImageFileIfJobAccess::DeleteFolder(const std::string& folder) { return Note(source_->If_DeleteFolder(folder)); }

int32_t ImageFileIfJobAccess::SessionLost() { return source_ ? source_->If_IsSessionLost() : 0; }
int32_t ImageFileIfJobAccess::GetThumbnail(const std::string& folder, const std::string& file,
                                           std::unique_ptr<PictureRecord>& record, int32_t side, int32_t orientation) {
    return Note(source_->If_GetThumbnail(folder, file, record, side, side, true, orientation));
}
int32_t ImageFileIfJobAccess::GetThumbAndCaption(const std::string& folder, const std::string& file,
                                                 std::unique_ptr<PictureRecord>& record, int32_t side,
                                                 int32_t orientation) {
    return Note(source_->If_GetThumbAndCaption(folder, file, record, side, side, orientation, nullptr));
}

bool ImageFileIfJobAccess::SuspendDeviceCheck() { return CImageFileIf::SuspendDeviceCheck(); }
int32_t ImageFileIfJobAccess::ResumeDeviceCheck() { return CImageFileIf::ResumeDeviceCheck(); }

uint64_t ImageFileIfJobAccess::FreeSpace(const std::string& folder) {
    struct statvfs st {};
    if (statvfs(folder.c_str(), &st) != 0) return UINT64_MAX;
    return uint64_t(st.f_bavail) * st.f_frsize;
}

int ImageFileIfJobAccess::Ask(plat::WindowHandle owner, const std::string& text, const std::string& caption,
                              plat::MessageButtons buttons, plat::MessageIcon icon) {
    plat::MessageBoxRequest request;
    request.owner = owner;
    request.text = text;
    request.caption = caption;
    request.buttons = buttons;
    request.icon = icon;
    return plat::showMessageBox(request);
}

OverwriteAnswer ImageFileIfJobAccess::AskOverwrite(plat::WindowHandle owner, const std::string& file,
                                                   bool severalFiles) {
    const std::string text = FormatLang(LangText(61650), {file});
    if (!severalFiles) {
        return Ask(owner, text, LangText(62224), plat::MessageButtons::OkCancel, plat::MessageIcon::Question) ==
                       plat::kAnswerOk
                   ? OverwriteAnswer::Overwrite
                   : OverwriteAnswer::Cancel;
    }
    // The overwrite dialog (OK, OK for all, Cancel), shown by the interface thread.
    const int answer = plat::runModalOnUiThread([&] {
        COverwriteDlg dialog(0);
        if (QLabel* message = dialog.MessageLabel()) message->setText(QString::fromStdString(FormatLang(LangText(61653), {file})));
        const int end = dialog.DoModal();
        if (end != kEndOk) return 2;
        return dialog.ForAll() ? 1 : 0;
    }, 2);
    static constexpr OverwriteAnswer answers[3] = {OverwriteAnswer::Overwrite, OverwriteAnswer::OverwriteAll,
                                                   OverwriteAnswer::Cancel};
    return answers[answer >= 0 && answer < 3 ? answer : 2];
}

void FreeAllThumbnails(BrowserItemList& items) {
    for (BrowserItem& item : items) {
        if (!item.record) break;
        FreePictureRecord(item.record, true);
    }
}
