#include "viewer/sources/DCIMFolder.h"

#include <strings.h>

#include <cctype>
#include <filesystem>

#include "platform/fs/DriveMap.h"
#include "platform/fs/FileOps.h"
#include "viewer/sources/CardPaths.h"

namespace {

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

void upper(std::string& s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool folderAt(const std::string& cardPath, const plat::AttributeBackend& backend) {
    std::filesystem::path p;
    plat::FileStatus st;
    return ResolveCardPath(cardPath, &p) && plat::fileStatus(p, &st, backend) && st.isDirectory && !st.isLink;
}

}  // namespace

CDCIMFolder::CDCIMFolder() : backend_(&plat::AttributeBackend::system()) {}

void CDCIMFolder::SetRoot(const std::string& root) {
    root_ = root;
    while (root_.size() > 2 && (root_.back() == '\\' || root_.back() == '/')) root_.pop_back();
}

void CDCIMFolder::SetFolderPath(const std::string& name) {
    folderPath_ = JoinCardPath(root_, name);
}

void CDCIMFolder::CheckRootFolder(bool older) {
    if (root_.empty())
        return;
    const int32_t present = folderAt(JoinCardPath(root_, older ? kOlderFolder : kPictureRoot), backend()) &&
                            HasHiddenMarker() ? 1 : 0;
    (older ? olderFlag_ : dcimFlag_) = present;
}

void CDCIMFolder::AddOlderFolder(std::vector<std::string>& list) const {
    if (folderAt(folderPath_, backend()))
        list.push_back(kOlderFolder);
}

bool CDCIMFolder::ListDCFFolders(std::vector<std::string>& list) const {
    std::filesystem::path folder;
    std::vector<plat::DirEntry> entries;
    if (!ResolveCardPath(folderPath_, &folder) || !plat::listFolder(folder, &entries, backend()))
        return false;
    bool any = false;
    for (plat::DirEntry& e : entries) {
        if (!e.attributes.isDirectory() || e.isLink)
            continue;
        std::string name = e.name;
        if (IsDCFFolderName(name)) {
            list.push_back(name);  // upper-cased; card names are looked up without regard to case
            any = true;
        }
    }
    return any;
}

bool CDCIMFolder::IsDCFFolderName(std::string& name) {
    if (name.size() != 8)
        return false;
    for (int i = 0; i < 3; ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
    // the number is read over all leading digits: "1000ABCD" is 1000
    long number = 0;
    for (size_t i = 0; i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])) && number < 100000; ++i)
        number = number * 10 + (name[i] - '0');
    if (number < 100 || number > 999)
        return false;
    std::string up = name;
    upper(up);
    for (size_t i = 3; i < 8; ++i)
        if (!(std::isdigit(static_cast<unsigned char>(up[i])) || (up[i] >= 'A' && up[i] <= 'Z') || up[i] == '_'))
            return false;
    name = up;
    return true;
}

bool CDCIMFolder::HasPictureExtension(const std::string& name) {
    if (name.size() < 4)
        return false;
    const char* ext = name.c_str() + name.size() - 4;
    for (const char* known : {".JPG", ".TIF", ".RWQ", ".MOV"})
        if (strcasecmp(ext, known) == 0) return true;
    return false;
}

bool CDCIMFolder::IsDCFFileName(std::string& name) {
    if (name.size() != 12)
        return false;
    for (int i = 0; i < 4; ++i)
        if (!isNameChar(name[i]) || static_cast<unsigned char>(name[i]) >= 0x80) return false;
    for (int i = 4; i < 8; ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
    if (std::stoi(name.substr(4, 4)) < 1)
        return false;
    if (!HasPictureExtension(name))
        return false;
    upper(name);
    return true;
}

int32_t CDCIMFolder::HasHiddenMarker() const {
    std::filesystem::path p;
    plat::FileStatus st;
    if (!ResolveCardPath(JoinCardPath(root_, kMarkerFile), &p) || !plat::fileStatus(p, &st, backend()))
        return 0;
    return !st.isDirectory && st.attributes.hiddenOrUnknown() ? 1 : 0;
}

int32_t CDCIMFolder::countPictures(const std::string& pictureRoot, const std::string& subfolder,
                                   bool firstOnly) const {
    std::string cardPath = JoinCardPath(root_, pictureRoot);
    if (!subfolder.empty())
        cardPath = JoinCardPath(cardPath, subfolder);
    std::filesystem::path folder;
    std::vector<plat::DirEntry> entries;
    if (!ResolveCardPath(cardPath, &folder) || !plat::listFolder(folder, &entries, backend()))
        return 0;
    int32_t count = 0;
    for (const plat::DirEntry& e : entries) {
        if (!e.isFile)  // pipes, devices and links are never pictures
            continue;
        std::string name = e.name;
        if (IsDCFFileName(name)) {
            ++count;
            if (firstOnly) break;
        }
    }
    return count;
}

int32_t CDCIMFolder::GetDCFFileCount(const std::string& pictureRoot, const std::string& subfolder) const {
    return countPictures(pictureRoot, subfolder, false);
}

bool CDCIMFolder::IsDCFFile(const std::string& pictureRoot, const std::string& subfolder) const {
    return countPictures(pictureRoot, subfolder, true) > 0;
}

bool CDCIMFolder::IsInputCFCard() const {
    std::filesystem::path p;
    return !root_.empty() && ResolveCardPath(root_ + "\\", &p) && plat::folderExists(p);
}

bool CDCIMFolder::IsPowerOn() const {
    if (!root_.empty() && root_[0] == '/')
        return plat::folderExists(root_);
    char letter = 0;
    if (root_.empty() || !plat::parseDriveLetter(root_.substr(0, 1), &letter))
        return false;
    const plat::DriveType type = plat::DriveMap().driveType(letter);
    return type == plat::DriveType::Removable || type == plat::DriveType::Fixed;
}
