// The IPTC block reader and writer over any bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "viewer/sources/IptcBlock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CIptcBlock b;
    if (!b.SetData(data, size))
        return 0;
    uint8_t buffer[64];
    for (uint16_t tag : {CIptcBlock::kKeywords, CIptcBlock::kCaption, uint16_t{0x0100}}) {
        int32_t n = b.Find(tag, buffer, sizeof buffer);
        while (n >= 0) {
            const uint8_t* p = b.Cursor();
            volatile uint8_t sum = 0;
            for (int32_t i = 0; i < n; ++i) sum = static_cast<uint8_t>(sum + p[i]);
            n = b.FindNext(tag);
        }
    }
    const uint8_t text[] = "caption";
    b.Replace(CIptcBlock::kCaption, text, sizeof text - 1);
    b.Add(CIptcBlock::kKeywords, text, 3);
    std::vector<uint8_t> out(static_cast<size_t>(b.GetSize() > 0 ? b.GetSize() : 0));
    b.GetData(out.data(), out.size());
    return 0;
}
