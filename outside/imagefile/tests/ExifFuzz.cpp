// Feeds bytes to the library's EXIF reader and, as a whole picture file, to the
// open, tag and reduced-picture paths.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "outside/imagefile/Metadata.h"
#include "outside/imagefile/Picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        jqfl::Metadata meta;
        meta.readExif(data, size);
        (void)meta.exifSegment(16, 16, true);
    }
    jqfl::Picture pic;
    if (pic.openBytes(std::vector<uint8_t>(data, data + size)) != JQFL_OK)
        return 0;
    for (const auto& [tag, value] : pic.metadata().tags())
        (void)tag, (void)value.bytes.size();
    if (pic.setView(pic.subView(), 16, 12, 8) != JQFL_OK)
        return 0;
    int w = 0, h = 0;
    pic.viewSize(pic.subView(), w, h);
    std::vector<uint8_t> buf(static_cast<size_t>(w) * h * 3 * pic.depth());
    JqflRectBlock rect{sizeof(JqflRectBlock), 0, 0, 0, 0, w, h, static_cast<uint32_t>(buf.size()), buf.data()};
    uint32_t written = 0;
    pic.readRect(pic.subView(), rect, written);
    return 0;
}
