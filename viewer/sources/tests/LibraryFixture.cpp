#include "viewer/sources/tests/LibraryFixture.h"

#include <cstdlib>
#include <fstream>
#include <vector>

#include "viewer/sources/JqFileLib.h"

namespace fs = std::filesystem;

LibraryRoot::LibraryRoot() {
    const fs::path lib = root_.path() / "Common Files" / "Vorel" / "Library";
    fs::create_directories(lib);
    fs::copy_file(JQFL_SO_PATH, lib / "JqFileLib.so", fs::copy_options::overwrite_existing);
    CJqFileLib::SetCommonFilesDir({});
    CJqFileLib::SetWorkFolder({});
}

LibraryRoot::~LibraryRoot() {
    CJqFileLib::SetCommonFilesDir({});
    CJqFileLib::SetWorkFolder({});
}

fs::path LibraryRoot::folder(const std::string& name) const {
    const fs::path p = root_.path() / name;
    fs::create_directories(p);
    return p;
}

void LibraryRoot::writeJpeg(const fs::path& path, int width, int height) {
    CJqFileLib lib(path.string());
    lib.Initialize();
    lib.NewImage();
    lib.SetImageInfo(width, height, 1, JQFL_MODEL_RGB, 1);
    std::vector<uint8_t> px(static_cast<size_t>(width) * height * 3, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &px[(static_cast<size_t>(y) * width + x) * 3];
            if (x < width / 2) p[0] = 255; else p[2] = 255;
        }
    lib.WriteImage(0, 0, width, height, static_cast<uint32_t>(px.size()), px.data());
    lib.SaveFile(JQFL_TYPE_JPEG, 3, path.c_str());
    lib.CloseFile();
    lib.Terminate();
}

bool LibraryRoot::exiftool(const std::string& args, const fs::path& path) {
    const std::string cmd = "exiftool -q -q -overwrite_original " + args + " '" + path.string() + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}
