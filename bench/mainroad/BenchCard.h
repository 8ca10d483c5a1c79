#pragma once
// A memory card for the benchmarks: a throw-away system root with the image-file
// library installed where the viewer looks for it, a folder made removable drive
// E: with the card marker, real photographs copied into DCIM folders, and the
// picture-access object opened on it, as the viewer has it.
#include "platform/testing/TempRoot.h"
#include "viewer/sources/ImageFileIf.h"
#include "viewer/sources/MassStrage.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace mainroad {

class BenchCard : public ImageFileIfHost {
public:
    BenchCard();
    ~BenchCard() override;

    std::filesystem::path Folder(const std::string& name) const;  // made below the root
    const std::filesystem::path& Card() const { return card_; }
    // Copies `count` pictures taken in turn from `sources` into DCIM/1nnABCDE
    // folders of 100 pictures, named ABCDnnnn.JPG; the (folder, name) pairs.
    std::vector<std::pair<std::string, std::string>> Fill(const std::vector<std::string>& sources, int count);
    // Opens the picture-access object on the card; false when it cannot.
    bool Open();
    CImageFileIf& Access() { return *access_; }
    uint64_t Bytes() const { return bytes_; }

    int32_t CurrentDeviceIndex() override { return 4; }
    std::string CurrentCardRoot() override { return "E:"; }
    std::string LocalFolder() override { return local_; }
    CRundleCtrl* CameraController() override { return nullptr; }
    CMassStrage* CardSource() override { return &mass_; }
    bool SuspendDeviceCheck() override { return true; }
    int32_t ResumeDeviceCheck() override { return 1; }
    bool AskFormatCameraCard() override { return false; }
    int32_t RunCameraFormat(CRundleCtrl*) override { return -1; }
    void ShowFormatFailed() override {}

private:
    plat::testing::TempRoot root_;
    std::filesystem::path card_;
    std::string local_;
    CMassStrage mass_;
    std::unique_ptr<CImageFileIf> access_;
    uint64_t bytes_ = 0;
};

// Copies of the photographs that carry an EXIF thumbnail of their own pixels
// (160 pixels on the long side, as cameras write them), made with exiftool in
// `folder`; empty when exiftool is missing.
std::vector<std::string> WithOwnExifThumbnails(const std::vector<std::string>& sources,
                                               const std::filesystem::path& folder);

}  // namespace mainroad
