#include "viewer/browser/view/BrowserSource.h"

#include "viewer/sources/ImageFileIf.h"
#include "viewer/sources/JqIfMngResult.h"

bool ImageFileSource::IsCamera() { return files_.Kind() == CImageFileIf::kCamera; }

int32_t ImageFileSource::GetFolderList(std::vector<std::string>& folders) {
    return files_.Ifl_GetFolderList(folders);
}

int32_t ImageFileSource::FileStatus(const std::string& folder, const std::string& name, uint32_t* size,
                                    int32_t* protect, int32_t* hidden) {
    int64_t time = 0;
    return files_.If_GetFileSizeTimeStatus(folder, name, size, &time, protect, hidden);
}

bool ImageFileSource::IsTransferMarked(const std::string& folder, const std::string& name) {
    int32_t flag = 0;
    files_.Ifl_IsInNameList(folder, name, &flag);
    return flag != 0;
}

int32_t ImageFileSource::GetFileList(const std::string& folder, std::vector<std::string>& names,
                                     const plat::Event* cancel) {
    return files_.If_GetFileList(folder, names, cancel);
}

int32_t ImageFileSource::GetFileNum(const std::string& folder) { return files_.If_GetFileNum(folder); }

int32_t ImageFileSource::IsFile(const std::string& folder, const std::string& name) {
    return files_.If_IsFile(folder, name);
}

int32_t ImageFileSource::GetThumbAndCaption(const std::string& folder, const std::string& name,
                                            std::unique_ptr<PictureRecord>& record, int32_t width,
                                            int32_t height, int32_t orientation, const plat::Event* cancel,
                                            bool buildFromPicture) {
    return files_.If_GetThumbAndCaption(folder, name, record, width, height, orientation, cancel, buildFromPicture);
}

int32_t ImageFileSource::CheckSource(const std::string& folder) { return files_.Ifl_CheckSource(folder); }

void ImageFileSource::SetCardAccessFlag(int32_t value) { files_.Ifl_SetCardAccessFlag(value); }

bool ImageFileSource::SuspendDeviceCheck() { return CImageFileIf::SuspendDeviceCheck(); }

int32_t ImageFileSource::ResumeDeviceCheck() { return CImageFileIf::ResumeDeviceCheck(); }

bool ImageFileSource::CheckFolderName(const std::string& folder) { return files_.Ifl_CheckFolderName(folder) != 0; }

bool ImageFileSource::IsFolder(const std::string& folder, int32_t* code) {
    return files_.If_IsFolder(folder, code) != 0;
}

bool ImageFileSource::HasFiles(const std::string& folder) {
    int32_t flag = 0;
    return files_.If_HasFiles(folder, &flag) == 0 && flag != 0;
}

bool ImageFileSource::IsCurrentFolder(const std::string& folder) { return files_.If_IsCurrentFolder(folder) != 0; }

int32_t ImageFileSource::IsSessionLost() { return files_.If_IsSessionLost(); }
