#include "viewer/shell/WorkingFolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

constexpr const char* kTempFolder = "temp";          // 62052
constexpr const char* kImagesFolder = "Images";      // 62053
constexpr const char* kCatalogsFolder = "Catalogs";  // 62054
constexpr const char* kWebUploadFolder = "Brovane";  // 62056
constexpr const char* kUploaderProgram = "/Vorel/Skylet/Skylet";  // 62058

std::string Base(const std::string& installDir)
{
    std::string base = installDir;
    std::replace(base.begin(), base.end(), '\\', '/');
    if (base.empty() || base.back() != '/')
        base += '/';
    return base;
}

// Exists, is a folder and is not read-only.
bool Usable(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(path.c_str(), W_OK) == 0;
}

}  // namespace

std::string UploaderProgramPath(const std::string& programFilesDir)
{
    return programFilesDir + kUploaderProgram;
}

bool MakeWorkingFolders(const std::string& installDir, const std::string& programFilesDir, WorkingFolders* out)
{
    const std::string base = Base(installDir);
    WorkingFolders f;
    f.temp = base + kTempFolder;
    f.images = base + kImagesFolder;
    f.catalogs = base + kCatalogsFolder;
    if (!Usable(f.temp) || !Usable(f.images) || !Usable(f.catalogs))
        return false;
    struct stat st {};
    const std::string uploader = UploaderProgramPath(programFilesDir);
    if (!programFilesDir.empty() && ::stat(uploader.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        f.webUploadAvailable = true;
        f.webUpload = base + kWebUploadFolder;
    }
    *out = f;
    return true;
}
