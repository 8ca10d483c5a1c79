#include "bench/mainroad/BenchCard.h"

#include "outside/imagefile/JpegCodec.h"
#include "outside/imagefile/Picture.h"
#include "outside/imagefile/Raster.h"
#include "platform/fs/DosAttributes.h"
#include "platform/fs/DriveMap.h"
#include "viewer/sources/JqFileLib.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace mainroad {

BenchCard::BenchCard()
{
    const fs::path lib = root_.path() / "Common Files" / "Vorel" / "Library";
    fs::create_directories(lib);
    fs::copy_file(JQFL_SO_PATH, lib / "JqFileLib.so", fs::copy_options::overwrite_existing);
    CJqFileLib::SetCommonFilesDir({});
    CJqFileLib::SetWorkFolder({});
    card_ = Folder("card");
    plat::DriveMap().addManual('E', card_, plat::DriveType::Removable);
    std::ofstream(card_ / "Vorel001.dsc").flush();
    plat::writeDosAttributes(card_ / "Vorel001.dsc", plat::FileAttr::Hidden);
    local_ = Folder("local").string();
    CImageFileIf::SetHost(this);
}

BenchCard::~BenchCard()
{
    access_.reset();
    CImageFileIf::SetHost(nullptr);
}

fs::path BenchCard::Folder(const std::string& name) const
{
    const fs::path p = root_.path() / name;
    fs::create_directories(p);
    return p;
}

std::vector<std::pair<std::string, std::string>> BenchCard::Fill(const std::vector<std::string>& sources, int count)
{
    std::vector<std::pair<std::string, std::string>> out;
    for (int i = 0; i < count && !sources.empty(); ++i) {
        char folder[16], name[16];
        std::snprintf(folder, sizeof folder, "%03dABCDE", 100 + i / 100);
        std::snprintf(name, sizeof name, "ABCD%04d.JPG", i % 100 + 1);
        const fs::path dir = card_ / "DCIM" / folder;
        fs::create_directories(dir);
        fs::copy_file(sources[static_cast<size_t>(i) % sources.size()], dir / name,
                      fs::copy_options::overwrite_existing);
        bytes_ += fs::file_size(dir / name);
        out.emplace_back(folder, name);
    }
    return out;
}

bool BenchCard::Open()
{
    access_ = std::make_unique<CImageFileIf>();
    return access_->Open() == 0;
}

std::vector<std::string> WithOwnExifThumbnails(const std::vector<std::string>& sources, const fs::path& folder)
{
    std::vector<std::string> out;
    if (std::system("command -v exiftool >/dev/null 2>&1") != 0)
        return out;
    fs::create_directories(folder);
    int k = 0;
    for (const auto& src : sources) {
        std::ifstream in(src, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        jqfl::Raster full, thumb;
        if (jqfl::decodeJpeg(bytes.data(), bytes.size(), 160, 160, full) != 0)
            continue;
        const bool wide = full.width >= full.height;
        // the longer side 160, the shorter in proportion, as a camera makes it
        int64_t big = 0, small = 0;
        jqfl::JpegHeader h;
        jqfl::readJpegHeader(bytes.data(), bytes.size(), h);
        big = wide ? h.width : h.height;
        small = wide ? h.height : h.width;
        const int shortSide = static_cast<int>((small * 160 + big / 2) / big);
        if (!jqfl::resampleRaster(full, thumb, wide ? 160 : shortSide, wide ? shortSide : 160))
            continue;
        std::vector<uint8_t> jpeg;
        if (jqfl::encodeJpeg(thumb, 90, {}, {}, jpeg) != 0)
            continue;
        const fs::path t = folder / ("thumb" + std::to_string(k) + ".jpg");
        const fs::path p = folder / ("photo" + std::to_string(k++) + ".jpg");
        std::ofstream(t, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()),
                                                  static_cast<std::streamsize>(jpeg.size()));
        fs::copy_file(src, p, fs::copy_options::overwrite_existing);
        const std::string cmd = "exiftool -q -q -overwrite_original '-ThumbnailImage<=" + t.string() + "' '" +
                                p.string() + "' >/dev/null 2>&1";
        // only pictures whose thumbnail reads back as written (exiftool cannot place one in every file)
        jqfl::Picture check;
        jqfl::JpegHeader back;
        if (std::system(cmd.c_str()) == 0 && check.openFile(p.string()) == 0) {
            const std::vector<uint8_t> t = check.metadata().thumbnail();
            if (!t.empty() && jqfl::readJpegHeader(t.data(), t.size(), back) == 0 && back.width == thumb.width &&
                back.height == thumb.height)
                out.push_back(p.string());
        }
    }
    return out;
}

}  // namespace mainroad
