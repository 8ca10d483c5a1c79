// vorel-install: lays out a system root from a build and writes the machine values.
//   vorel-install --build DIR [--root DIR] [--language USA|JPN|FRN|GER|SPN]
//                 [--install-dir DIR] [--no-uploader] [--album-url URL] [--source DIR]
//   vorel-install --check [--root DIR]
// Without --root the root in force ($VOREL_ROOT or the default) is used.
#include "platform/sysroot/Installer.h"
#include "platform/sysroot/SystemRoot.h"

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

int usage() {
    std::cerr << "usage: vorel-install --build DIR [--root DIR] [--language USA|JPN|FRN|GER|SPN]\n"
                 "                     [--install-dir DIR] [--no-uploader] [--album-url URL] [--source DIR]\n"
                 "       vorel-install --check [--root DIR]\n";
    return 2;
}

std::filesystem::path absolute(const std::string& p) {
    std::error_code ec;
    std::filesystem::path a = std::filesystem::absolute(p, ec);
    return (ec ? std::filesystem::path(p) : a).lexically_normal();
}

}  // namespace

int main(int argc, char** argv) {
    plat::InstallOptions options;
    bool check = false;
    bool haveRoot = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&](std::string* out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--check") check = true;
        else if (a == "--no-uploader") options.uploader = false;
        else if (a == "--build" && next(&v)) options.build = absolute(v);
        else if (a == "--source" && next(&v)) options.source = absolute(v);
        else if (a == "--root" && next(&v)) { options.root = absolute(v); haveRoot = true; }
        else if (a == "--install-dir" && next(&v)) options.installDir = absolute(v);
        else if (a == "--language" && next(&v)) options.language = v;
        else if (a == "--album-url" && next(&v)) options.albumUrl = v;
        else return usage();
    }
    if (haveRoot) setenv("VOREL_ROOT", options.root.c_str(), 1);
    else options.root = plat::SystemRoot::current().top();
    if (!check && options.build.empty()) return usage();

    plat::Installer installer(options);
    return check ? installer.check(std::cout) : installer.install(std::cout);
}
