#pragma once
// Lays out a system root from a build and writes the machine values the programs
// read; checks an installed root. Running an installation twice changes nothing
// the second time.
#include "platform/sysroot/InstallManifest.h"

#include <filesystem>
#include <ostream>
#include <string>

namespace plat {

struct InstallOptions {
    std::filesystem::path build;
    std::filesystem::path source;       // empty: taken from the build's CMakeCache.txt
    std::filesystem::path root;
    std::filesystem::path installDir;   // empty: <root>/Lumora
    std::string language = "USA";
    bool uploader = true;
    std::string albumUrl = "http://127.0.0.1:8080/albums/";
};

class Installer {
public:
    static constexpr const char* kVersion = "4.3.1";
    static constexpr const char* kUploadServerClsid = "{5B1E7A20-3C44-4E8B-9D21-6A0F2C7E4B11}";
    static constexpr const char* kCatalogClsid = "{3E7C1A50-9B2D-4F61-8A47-5D0C9E2B7F18}";

    // The root must be $VOREL_ROOT of this process (the registry follows it).
    explicit Installer(InstallOptions options);

    // 0 when the root is laid out and every value written; non-zero otherwise.
    int install(std::ostream& log);
    // 0 when the root is usable: folders in place, machine values present and
    // consistent. Reports every part of the manifest as installed or missing.
    int check(std::ostream& log);

    // "USA" ... "SPN", any case; false otherwise.
    static bool normaliseLanguage(std::string* language);

    std::filesystem::path placeDir(InstallPlace place) const;

private:
    bool installItem(const InstallItem& item, std::ostream& log);
    bool installFile(const std::filesystem::path& from, const std::filesystem::path& toDir, std::ostream& log);
    bool removeUploader(std::ostream& log);
    bool writeMachineValues(std::ostream& log);
    bool registerServers(std::ostream& log);
    bool writeUploaderValues(std::ostream& log);
    bool itemInstalled(const InstallItem& item) const;
    std::filesystem::path originDir(InstallOrigin origin) const;

    InstallOptions options_;
};

}  // namespace plat
