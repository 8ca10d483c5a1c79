#pragma once
// What an installation holds, in one table: where each part is found (in the
// build or the source tree) and where it goes in the system root. Parts that a
// build does not have are skipped and reported.
#include <vector>

namespace plat {

enum class InstallPlace {
    InstallDir,     // the viewer's folder (InstallDir): Lumora, Wakely, language files
    HelpDir,        // <InstallDir>/help
    SkyletDir,      // <ProgramFilesDir>/Vorel/Skylet: the upload server and the upload program
    SkyletHelpDir,  // <ProgramFilesDir>/Vorel/Skylet/help: the upload program's pages and popups
    QuillbaseDir,   // <ProgramFilesDir>/Quillbase: the catalog application
    LibraryDir,     // <CommonFilesDir>/Vorel/Library: the image-file library
    DornModsDir,    // <CommonFilesDir>/Vorel/DornMods: camera modules
};

enum class InstallKind {
    File,     // the first existing of `from` (';'-separated), under that name (links followed)
    Pattern,  // every regular file in folder `from` whose name matches `pattern` (one '*')
    Tree,     // folder `from` with every file whose extension is in `pattern` (';'-separated)
};

enum class InstallOrigin { Build, Source };

struct InstallItem {
    const char* name;
    InstallKind kind;
    InstallOrigin origin;
    const char* from;
    const char* pattern;
    InstallPlace place;
    bool uploader;  // left out by --no-uploader
};

const std::vector<InstallItem>& installManifest();

}  // namespace plat
