// Fuzzes the readers of outside text: INI files (read and edited) and the mount
// table. Neither may crash, read out of bounds or loop, whatever the bytes.
#include "platform/fs/MountInfo.h"
#include "platform/fs/ProfileFile.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    plat::parseMountInfo(text);

    static const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("vorel-fs-fuzz-" + std::to_string(getpid()) + ".ini");
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    plat::readProfileString(file, "General", "TotalItems", "");
    plat::readProfileInt(file, "Item", "Owner1", 1);
    plat::parseProfileInt(text);
    plat::writeProfileString(file, "Item", "Source1", "/a/b.jpg");
    plat::writeProfileString(file, "General", "TotalItems", std::nullopt);
    std::error_code ec;
    std::filesystem::remove(file, ec);
    return 0;
}
