#include "outside/imagefile/DcScanDecoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace jqfl {
namespace {

constexpr int kMaxDimension = 65500;  // libjpeg refuses larger pictures

// A Huffman table for DC categories. A table of 11 bits gives a short code
// and its extra bits, the difference whole, in one step; longer ones are read
// against the canonical code limits.
class DcTable {
public:
    // False for a table libjpeg would refuse (too many symbols, overfull code
    // space, a DC category above 15).
    bool build(const uint8_t* counts, const uint8_t* symbols, size_t symbolCount) {
        size_t total = 0;
        for (int l = 0; l < 16; ++l) total += counts[l];
        if (total > 256 || total > symbolCount) return false;
        symbols_.assign(symbols, symbols + total);
        for (uint8_t s : symbols_)
            if (s > 15) return false;
        fast_.fill(0);
        int longest = 0;
        for (int l = 1; l <= 16; ++l)
            if (counts[l - 1]) longest = l;
        uint32_t code = 0;
        size_t k = 0;
        for (int length = 1; length <= 16; ++length) {
            // no code may be all ones: the codes of each length must leave one over
            if (length <= longest && code + counts[length - 1] >= (1u << length)) return false;
            const int count = counts[length - 1];
            valueOffset_[length] = static_cast<int>(k) - static_cast<int>(code);
            fillFast(length, code, count, k);
            code += static_cast<uint32_t>(count);
            k += static_cast<size_t>(count);
            maxCode_[length] = count ? static_cast<int32_t>(code) - 1 : -1;
            code <<= 1;
        }
        return true;
    }
    bool defined() const { return !symbols_.empty(); }

    // The next DC difference whole, from the top bits of `bits`: its value in
    // `*value`, and the bits it takes (code and extra bits), 0 where the code
    // and its extra bits are longer than the fast table holds.
    int fastDifference(uint32_t bits, int* value) const {
        const int32_t entry = fast_[bits >> (32 - kFastBits)];
        *value = entry >> 8;
        return entry & 0xFF;
    }

    // The next category from `bits` (left-aligned, at least 16 valid), its code
    // read a bit at a time against the canonical limits; the code's length in
    // `*length`; -1 for a code the table does not hold.
    int decode(uint32_t bits, int* length) const {
        for (int l = 1; l <= 16; ++l) {
            const int32_t code = static_cast<int32_t>(bits >> (32 - l));
            if (code <= maxCode_[l]) {
                *length = l;
                return symbols_[static_cast<size_t>(code + valueOffset_[l])];
            }
        }
        return -1;
    }

private:
    // Entries for the `count` codes of `length` bits from `first` (symbols
    // from `symbol`) whose extra bits fit in the fast table's bits too.
    void fillFast(int length, uint32_t first, int count, size_t symbol) {
        for (int n = 0; n < count; ++n) {
            const int category = symbols_[symbol + static_cast<size_t>(n)];
            const int total = length + category;
            if (total > kFastBits) continue;
            for (uint32_t extra = 0; extra < (1u << category); ++extra) {
                int value = static_cast<int>(extra);
                if (category && value < (1 << (category - 1))) value -= (1 << category) - 1;
                const uint32_t prefix = ((first + static_cast<uint32_t>(n)) << category) | extra;
                for (uint32_t fill = 0; fill < (1u << (kFastBits - total)); ++fill)
                    fast_[(prefix << (kFastBits - total)) | fill] = value * 256 + total;
            }
        }
    }

    static constexpr int kFastBits = 11;
    std::array<int32_t, 1 << kFastBits> fast_{};
    std::array<int32_t, 17> maxCode_{};
    std::array<int, 17> valueOffset_{};
    std::vector<uint8_t> symbols_;
};

// The bits of one scan's entropy-coded data, stuffed zeros removed; stops at
// any marker, which the caller then reads.
class BitReader {
public:
    BitReader(const uint8_t* data, size_t at, size_t end) : data_(data), at_(at), end_(end) {}

    // At least `n` (<= 32) bits in the buffer; false where the data ends first.
    bool need(int n) {
        if (count_ < n) refill();
        return count_ >= n;
    }
    // The next 32 bits, left-aligned (zeros past the data's end).
    uint32_t peek() const { return static_cast<uint32_t>(bits_ >> 32); }
    int count() const { return count_; }
    void drop(int n) {
        bits_ <<= n;
        count_ -= n;
    }
    uint32_t take(int n) {
        const uint32_t v = n ? static_cast<uint32_t>(bits_ >> (64 - n)) : 0;
        drop(n);
        return v;
    }
    // Whether the data has been read to `end` but for the last byte's padding.
    bool atEnd() {
        refill();
        return at_ == end_ && count_ < 8;
    }
    // Passes the restart marker `n` standing right after the data read, with
    // only padding left; the bits start afresh.
    bool restart(int n) {
        refill();
        if (count_ >= 8 || at_ + 1 >= end_ || data_[at_] != 0xFF || data_[at_ + 1] != 0xD0 + (n & 7)) return false;
        at_ += 2;
        bits_ = 0;
        count_ = 0;
        return true;
    }

private:
    // Loads whole bytes while they fit, up to a marker or the data's end.
    void refill() {
        while (count_ <= 56 && at_ < end_) {
            const uint8_t byte = data_[at_];
            if (byte == 0xFF) {
                if (at_ + 1 >= end_ || data_[at_ + 1] != 0x00) return;  // a marker
                at_ += 2;
            } else {
                ++at_;
            }
            bits_ |= static_cast<uint64_t>(byte) << (56 - count_);
            count_ += 8;
        }
    }

    const uint8_t* data_;
    size_t at_, end_;
    uint64_t bits_ = 0;  // left-aligned
    int count_ = 0;
};

struct Component {
    int id = 0;
    int quantTable = 0;
    int dcQuant = 0;         // latched at the component's first scan
    bool latched = false;
    int precision = -1;      // bits still to come of its DC values (libjpeg's coef_bits), -1 before any
    std::vector<int16_t> dc;  // one a block, rows of blocks
};

class DcDecoder {
public:
    DcDecoder(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool run(DcColour colour, Raster& out) {
        if (!readSegments()) return false;
        const size_t wanted = colour == DcColour::Grey ? 1 : 3;
        if (components_.size() != wanted || out.width != blocksAcross_ || out.height != blocksDown_ ||
            out.channels != static_cast<int>(wanted))
            return false;
        writePixels(colour, out);
        return true;
    }

private:
    uint16_t word(size_t at) const { return static_cast<uint16_t>(data_[at] << 8 | data_[at + 1]); }

    // Reads the markers in order until every component's DC values are whole.
    bool readSegments() {
        if (size_ < 4 || data_[0] != 0xFF || data_[1] != 0xD8) return false;
        size_t at = 2;
        while (at + 4 <= size_) {
            if (data_[at] != 0xFF) return false;
            const uint8_t marker = data_[at + 1];
            if (marker == 0xD9) return false;  // the end before the DC values are whole
            const size_t length = word(at + 2);
            if (length < 2 || length > size_ - at - 2) return false;
            const uint8_t* body = data_ + at + 4;
            const size_t bodyLength = length - 2;
            const size_t next = at + 2 + length;
            bool ok = true;
            if (marker == 0xDB) ok = readQuantTables(body, bodyLength);
            else if (marker == 0xC4) ok = readHuffmanTables(body, bodyLength);
            else if (marker == 0xC2) ok = readFrame(body, bodyLength);
            else if (marker == 0xDD) {
                ok = bodyLength == 2;
                if (ok) restartInterval_ = word(at + 4);
            } else if (marker == 0xDA) {
                size_t end = 0;
                if (!readScan(body, bodyLength, next, &end)) return false;
                scanned_ = true;
                if (complete()) return true;
                at = end;
                continue;
            } else if (!(marker >= 0xE0 && marker <= 0xEF) && marker != 0xFE) {
                return false;  // another frame type, a DNL, anything unusual
            } else if ((marker == 0xE0 || marker == 0xEE) && scanned_) {
                return false;  // libjpeg reads these even between scans, and may warn
            }
            if (!ok) return false;
            at = next;
        }
        return false;
    }

    bool readQuantTables(const uint8_t* p, size_t n) {
        while (n > 0) {
            const int precision = p[0] >> 4, id = p[0] & 15;
            const size_t tableBytes = precision ? 128 : 64;
            if (precision > 1 || id > 3 || n < 1 + tableBytes) return false;
            // the DC entry comes first in zigzag order
            quant_[id] = precision ? (p[1] << 8 | p[2]) : p[1];
            quantDefined_[id] = true;
            p += 1 + tableBytes;
            n -= 1 + tableBytes;
        }
        return true;
    }

    bool readHuffmanTables(const uint8_t* p, size_t n) {
        while (n > 0) {
            if (n < 17) return false;
            const int tableClass = p[0] >> 4, id = p[0] & 15;
            if (tableClass > 1 || id > 3) return false;
            size_t total = 0;
            for (int l = 0; l < 16; ++l) total += p[1 + l];
            if (total > 256 || n < 17 + total) return false;
            if (tableClass == 0 && !dcTables_[id].build(p + 1, p + 17, total)) return false;
            p += 17 + total;
            n -= 17 + total;
        }
        return true;
    }

    bool readFrame(const uint8_t* p, size_t n) {
        if (!components_.empty() || n < 6 || p[0] != 8) return false;
        const int height = p[1] << 8 | p[2], width = p[3] << 8 | p[4], count = p[5];
        if (height == 0 || width == 0 || height > kMaxDimension || width > kMaxDimension) return false;
        if ((count != 1 && count != 3) || n != 6 + 3 * static_cast<size_t>(count)) return false;
        blocksAcross_ = (width + 7) / 8;
        blocksDown_ = (height + 7) / 8;
        for (int c = 0; c < count; ++c) {
            const uint8_t* q = p + 6 + 3 * c;
            if (q[1] != 0x11 || q[2] > 3) return false;  // every component at full resolution
            for (const Component& other : components_)
                if (other.id == q[0]) return false;
            Component comp;
            comp.id = q[0];
            comp.quantTable = q[2];
            comp.dc.assign(static_cast<size_t>(blocksAcross_) * static_cast<size_t>(blocksDown_), 0);
            components_.push_back(std::move(comp));
        }
        return true;
    }

    bool complete() const {
        for (const Component& c : components_)
            if (c.precision != 0) return false;
        return !components_.empty();
    }

    // One scan: its header, then its entropy-coded data from `dataStart`;
    // `*end` is where the data ends (at the next marker).
    bool readScan(const uint8_t* p, size_t n, size_t dataStart, size_t* end) {
        if (components_.empty() || n < 4) return false;
        const size_t count = p[0];
        if (count < 1 || count > components_.size() || n != 4 + 2 * count) return false;
        const int ss = p[1 + 2 * count], se = p[2 + 2 * count];
        const int ah = p[3 + 2 * count] >> 4, al = p[3 + 2 * count] & 15;
        if (ss != 0) {  // AC coefficients: not needed
            *end = endOfEntropyData(data_, size_, dataStart);
            return true;
        }
        if (se != 0 || al > 13 || (ah != 0 && al != ah - 1)) return false;
        std::vector<Component*> inScan;
        std::vector<const DcTable*> tables;
        for (size_t i = 0; i < count; ++i) {
            Component* comp = nullptr;
            for (Component& c : components_)
                if (c.id == p[1 + 2 * i]) comp = &c;
            for (const Component* seen : inScan)
                if (seen == comp) return false;
            if (!comp) return false;
            // each scan refines what the scans before left, as libjpeg expects
            if (ah != (comp->precision < 0 ? 0 : comp->precision)) return false;
            const int table = p[2 + 2 * i] >> 4;
            if (table > 3 || (ah == 0 && !dcTables_[table].defined())) return false;
            if (!comp->latched) {
                if (!quantDefined_[comp->quantTable] || quant_[comp->quantTable] > 32767) return false;
                comp->dcQuant = quant_[comp->quantTable];
                comp->latched = true;
            }
            inScan.push_back(comp);
            tables.push_back(&dcTables_[table]);
        }
        *end = endOfEntropyData(data_, size_, dataStart);
        if (!decodeScan(inScan, tables, ah, al, dataStart, *end)) return false;
        for (Component* comp : inScan) comp->precision = al;
        return true;
    }

    bool decodeScan(const std::vector<Component*>& comps, const std::vector<const DcTable*>& tables, int ah, int al,
                    size_t start, size_t end) {
        BitReader bits(data_, start, end);
        const size_t blocks = static_cast<size_t>(blocksAcross_) * static_cast<size_t>(blocksDown_);
        std::array<int, 4> predictor{};
        int restarts = 0;
        for (size_t block = 0; block < blocks; ++block) {
            if (restartInterval_ && block > 0 && block % restartInterval_ == 0) {
                if (!bits.restart(restarts++)) return false;
                predictor.fill(0);
            }
            for (size_t i = 0; i < comps.size(); ++i) {
                int16_t& coef = comps[i]->dc[block];
                if (ah != 0) {
                    if (!bits.need(1)) return false;
                    if (bits.take(1)) coef = static_cast<int16_t>(coef | (1 << al));
                    continue;
                }
                bits.need(32);
                int diff = 0;
                if (const int taken = tables[i]->fastDifference(bits.peek(), &diff); taken && taken <= bits.count()) {
                    bits.drop(taken);
                } else if (!slowDifference(bits, *tables[i], &diff)) {
                    return false;
                }
                int& dc = predictor[i];
                dc += diff;
                if (dc > (1 << 20) || dc < -(1 << 20)) return false;  // no picture has such values
                coef = static_cast<int16_t>(static_cast<uint32_t>(dc) << al);
            }
        }
        return bits.atEnd();
    }

    // A DC difference through the table's codes one by one, with its extra bits.
    static bool slowDifference(BitReader& bits, const DcTable& table, int* diff) {
        int length = 0;
        const int category = table.decode(bits.peek(), &length);
        if (category < 0 || length > bits.count()) return false;
        bits.drop(length);
        *diff = 0;
        if (category) {
            if (!bits.need(category)) return false;
            *diff = static_cast<int>(bits.take(category));
            if (*diff < (1 << (category - 1))) *diff -= (1 << category) - 1;
        }
        return true;
    }

    // libjpeg's one-pixel inverse DCT: the DC value dequantized, over eight,
    // rounded, then its range limit (which wraps values far outside 0..255).
    static uint8_t blockPixel(int16_t coef, int quant) {
        const int value = (coef * quant + 4) >> 3;
        const int i = value & 1023;
        if (i < 128) return static_cast<uint8_t>(128 + i);
        if (i < 512) return 255;
        if (i < 896) return 0;
        return static_cast<uint8_t>(i - 896);
    }

    void writePixels(DcColour colour, Raster& out) const {
        const size_t count = static_cast<size_t>(out.width) * static_cast<size_t>(out.height);
        std::vector<uint8_t> planes[3];
        for (size_t c = 0; c < components_.size(); ++c) {
            planes[c].resize(count);
            for (size_t i = 0; i < count; ++i)
                planes[c][i] = blockPixel(components_[c].dc[i], components_[c].dcQuant);
        }
        if (colour == DcColour::Grey) {
            for (int y = 0; y < out.height; ++y)
                std::copy_n(planes[0].data() + static_cast<size_t>(y) * out.width, out.width,
                            out.data.data() + static_cast<size_t>(y) * out.rowBytes());
            return;
        }
        // libjpeg's YCbCr to RGB: the same fixed-point tables and rounding
        constexpr int kScale = 16;
        constexpr int32_t kHalf = 1 << (kScale - 1);
        const auto fix = [](double x) { return static_cast<int32_t>(x * (1 << kScale) + 0.5); };
        std::array<int, 256> crR{}, cbB{};
        std::array<int32_t, 256> crG{}, cbG{};
        for (int i = 0; i < 256; ++i) {
            const int x = i - 128;
            crR[i] = (fix(1.40200) * x + kHalf) >> kScale;
            cbB[i] = (fix(1.77200) * x + kHalf) >> kScale;
            crG[i] = -fix(0.71414) * x;
            cbG[i] = -fix(0.34414) * x + kHalf;
        }
        const auto limit = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
        for (int y = 0; y < out.height; ++y) {
            uint8_t* row = out.data.data() + static_cast<size_t>(y) * out.rowBytes();
            for (int x = 0; x < out.width; ++x) {
                const size_t i = static_cast<size_t>(y) * out.width + x;
                const int luma = planes[0][i], cb = planes[1][i], cr = planes[2][i];
                row[3 * x] = limit(luma + crR[cr]);
                row[3 * x + 1] = limit(luma + ((cbG[cb] + crG[cr]) >> kScale));
                row[3 * x + 2] = limit(luma + cbB[cb]);
            }
        }
    }

    const uint8_t* data_;
    size_t size_;
    std::array<int, 4> quant_{};
    std::array<bool, 4> quantDefined_{};
    std::array<DcTable, 4> dcTables_;
    std::vector<Component> components_;
    int blocksAcross_ = 0, blocksDown_ = 0;
    unsigned restartInterval_ = 0;
    bool scanned_ = false;  // a scan has been read
};

}  // namespace

size_t endOfEntropyData(const uint8_t* data, size_t size, size_t at) {
    while (at + 1 < size) {
        if (data[at] != 0xFF) {
            const void* mark = std::memchr(data + at + 1, 0xFF, size - at - 1);
            at = mark ? static_cast<size_t>(static_cast<const uint8_t*>(mark) - data) : size;
            continue;
        }
        const uint8_t next = data[at + 1];
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7))
            at += 2;
        else if (next == 0xFF)
            ++at;
        else
            return at;
    }
    return size;
}

bool decodeDcScans(const uint8_t* data, size_t size, DcColour colour, Raster& out) {
    if (!data) return false;
    return DcDecoder(data, size).run(colour, out);
}

}  // namespace jqfl
