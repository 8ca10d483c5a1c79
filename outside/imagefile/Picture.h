#pragma once
// One open (or new) picture of the library: its source bytes, geometry, tags and
// the two output views (main picture and sub-image) the caller asks for.
#include <cstdint>
#include <string>
#include <vector>

#include "outside/imagefile/JpegCodec.h"
#include "outside/imagefile/JqFileLib.h"
#include "outside/imagefile/Metadata.h"
#include "outside/imagefile/Raster.h"

namespace jqfl {

// Largest picture file this library reads into memory (clips are streamed).
constexpr uint64_t kMaxFileBytes = 512ull << 20;

struct View {
    int width = 0;        // requested output size (turned coordinates); 0 = full size
    int height = 0;
    int orientation = 1;  // 1, 8, 3, 6
    bool cached = false;
    Raster pixels;
};

class Picture {
public:
    // Opens a file; 0 or a library result.
    int32_t openFile(const std::string& path);
    // Opens bytes held in memory (the fuzz targets and tests use it).
    int32_t openBytes(std::vector<uint8_t> bytes);
    void makeNew();

    uint32_t type() const { return type_; }
    bool isNew() const { return isNew_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int depth() const { return depth_; }
    int colorModel() const { return colorModel_; }
    Metadata& metadata() { return meta_; }

    View& mainView() { return main_; }
    View& subView() { return sub_; }

    // Lets the sub-image of a JPEG come from its own EXIF thumbnail (see the option).
    void setSubImageFromThumbnail(bool allowed) {
        if (allowed != subFromThumb_) sub_.cached = false;
        subFromThumb_ = allowed;
    }

    int32_t setNewGeometry(int width, int height, int depth, int colorModel);
    int32_t setView(View& view, int width, int height, int orientation);
    void viewSize(const View& view, int& width, int& height) const;
    int32_t readRect(View& view, const JqflRectBlock& rect, uint32_t& written);
    int32_t writeRect(const JqflRectBlock& rect, uint32_t& taken);
    int32_t save(uint32_t format, uint32_t option, const char* path, JqflProgress progress, void* reference);

private:
    int32_t render(View& view);
    int32_t decodeSource(int minWidth, int minHeight, Raster& out);
    bool decodeEmbeddedThumbnail(int width, int height, Raster& out);
    int32_t losslessJpeg(std::vector<uint8_t>& out) const;
    // The colour profile and XMP packet the source picture carries.
    void profileAndXmp(std::vector<uint8_t>* icc, std::string* xmp) const;
    int32_t openHeaderFile();
    // Geometry and metadata from a JPEG's header.
    int32_t takeJpegHeader(const JpegHeader& h);
    // Reads the rest of a JPEG opened from its header alone; 0 or a library result.
    int32_t readRestOfFile();
    int32_t openClipFrame(Raster frame);
    // The turns that show the stored pixels upright, from the file's EXIF orientation.
    void takeUprightTurns();
    // Quarter turns (clockwise) from the stored pixels to a view.
    int turnsOf(const View& view) const;

    uint32_t type_ = JQFL_TYPE_OTHER;
    bool isNew_ = false;
    int width_ = 0;         // the stored pixels' size (before the camera's turn)
    int height_ = 0;
    int uprightTurns_ = 0;  // clockwise quarter turns the file's orientation tag asks for
    int depth_ = 1;
    int colorModel_ = 0;
    std::vector<uint8_t> file_;
    // A JPEG is opened from its first bytes, which hold its header and EXIF
    // thumbnail; the rest is read when pixels or a copy are needed.
    std::string path_;
    bool partial_ = false;
    uint64_t fileSize_ = 0;
    std::vector<uint8_t> thumb_;  // a header file's EXIF thumbnail: the only pixels it has
    bool headerOnly_ = false;
    bool subFromThumb_ = false;
    Raster source_;  // full-size pixels once decoded (always for new pictures)
    Metadata meta_;
    View main_;
    View sub_;
};

}  // namespace jqfl
