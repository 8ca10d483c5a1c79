#pragma once
// The working folders below the installation folder: "temp", "Images" and
// "Catalogs" must be usable folders; "Brovane" is the web-upload folder when the
// uploader is installed.
#include <string>

struct WorkingFolders {
    std::string temp;
    std::string images;
    std::string catalogs;
    std::string webUpload;       // empty without the uploader
    bool webUploadAvailable = false;
};

// False when temp, Images or Catalogs is missing, not a folder or read-only.
bool MakeWorkingFolders(const std::string& installDir, const std::string& programFilesDir, WorkingFolders* out);

// The uploader's program file below the program-files folder.
std::string UploaderProgramPath(const std::string& programFilesDir);
