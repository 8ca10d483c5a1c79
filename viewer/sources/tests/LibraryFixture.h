#pragma once
// A throw-away system root with the image-file library installed where the
// viewer looks for it, and helpers that make test pictures.
#include <filesystem>
#include <string>

#include "platform/testing/TempRoot.h"

class LibraryRoot {
public:
    LibraryRoot();
    ~LibraryRoot();
    const std::filesystem::path& top() const { return root_.path(); }
    std::filesystem::path folder(const std::string& name) const;  // made below the root

    // A JPEG of the given size: left half red, right half blue.
    static void writeJpeg(const std::filesystem::path& path, int width, int height);
    static bool exiftool(const std::string& args, const std::filesystem::path& path);

private:
    plat::testing::TempRoot root_;
};
