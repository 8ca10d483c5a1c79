#include "platform/sysroot/InstallManifest.h"

namespace plat {

const std::vector<InstallItem>& installManifest() {
    using K = InstallKind;
    using O = InstallOrigin;
    using P = InstallPlace;
    static const std::vector<InstallItem> items = {
        {"Lumora", K::File, O::Build, "viewer/shell/Lumora;viewer/Lumora", "", P::InstallDir, false},
        {"Wakely", K::File, O::Build, "monitor/Wakely", "", P::InstallDir, false},
        {"language files", K::Pattern, O::Build, "lang", "*.vlang", P::InstallDir, false},
        {"help pages", K::Tree, O::Source, "outside/help", "htm;html;css;png;gif;jpg;txt", P::HelpDir, false},
        {"JqFileLib", K::File, O::Build, "outside/imagefile/JqFileLib.so;outside/imagefile/libJqFileLib.so", "",
         P::LibraryDir, false},
        {"camera module SimCam", K::File, O::Build, "dornmods/SimCam.kx3", "", P::DornModsDir, false},
        {"camera module GPhotoCam", K::File, O::Build, "dornmods/GPhotoCam.kx3", "", P::DornModsDir, false},
        {"Quillbase", K::File, O::Build, "outside/quillbase/Quillbase", "", P::QuillbaseDir, false},
        {"Skylet", K::File, O::Build, "Skylet/Skylet", "", P::SkyletDir, true},
        {"Caravel", K::File, O::Build, "Caravel/Caravel", "", P::SkyletDir, true},
        {"upload help pages", K::Tree, O::Source, "Caravel/help", "htm;txt", P::SkyletHelpDir, true},
        // what Caravel loads, beside it, under the names the loader asks for
        {"Brisant", K::File, O::Build, "Caravel/Brisant/libBrisant.so", "", P::SkyletDir, true},
        {"Tintara", K::File, O::Build, "Caravel/Tintara/libTintara.so.4;Caravel/Tintara/libTintara.so", "", P::SkyletDir, true},
        {"Veltra2", K::File, O::Build, "outside/veltra/libVeltra2.so", "", P::SkyletDir, true},
        {"Grindel", K::File, O::Build, "outside/grindel/libGrindel.so", "", P::SkyletDir, true},
        {"KqApi", K::File, O::Build, "outside/kqapi/libKqApi.so", "", P::SkyletDir, true},
    };
    return items;
}

}  // namespace plat
