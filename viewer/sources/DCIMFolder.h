#pragma once
// CDCIMFolder: the folder tree the cameras write on a card. Which folders and
// file names belong to it, whether a card is inserted and powered, and how many
// pictures it holds. Paths are card paths below the root ("E:").
#include <cstdint>
#include <string>
#include <vector>

#include "platform/fs/DosAttributes.h"

class CDCIMFolder {
public:
    static constexpr const char* kPictureRoot = "DCIM";
    static constexpr const char* kOlderFolder = "IM01W200";
    static constexpr const char* kMarkerFile = "Vorel001.dsc";

    CDCIMFolder();
    virtual ~CDCIMFolder() = default;

    void SetRoot(const std::string& root);
    const std::string& Root() const { return root_; }
    void SetFolderPath(const std::string& name);  // root + "\" + name
    const std::string& FolderPath() const { return folderPath_; }
    int32_t OlderFlag() const { return olderFlag_; }
    int32_t DcimFlag() const { return dcimFlag_; }

    // Tests drive the attribute branches with their own backend.
    void SetAttributeBackend(const plat::AttributeBackend* backend) { backend_ = backend; }

    void CheckRootFolder(bool older);
    void AddOlderFolder(std::vector<std::string>& list) const;
    bool ListDCFFolders(std::vector<std::string>& list) const;

    // Name rules; a name that passes is upper-cased in place.
    static bool IsDCFFolderName(std::string& name);
    static bool IsDCFFileName(std::string& name);
    static bool HasPictureExtension(const std::string& name);

    int32_t HasHiddenMarker() const;
    int32_t GetDCFFileCount(const std::string& pictureRoot, const std::string& subfolder) const;
    bool IsDCFFile(const std::string& pictureRoot, const std::string& subfolder) const;
    bool IsInputCFCard() const;
    bool IsPowerOn() const;

protected:
    const plat::AttributeBackend& backend() const { return *backend_; }
    // Counts DCF picture files (regular files only) of a card folder; stops at
    // the first when firstOnly.
    int32_t countPictures(const std::string& pictureRoot, const std::string& subfolder, bool firstOnly) const;

    std::string root_;
    std::string folderPath_;
    int32_t olderFlag_ = 0;
    int32_t dcimFlag_ = 0;
    const plat::AttributeBackend* backend_;
};
