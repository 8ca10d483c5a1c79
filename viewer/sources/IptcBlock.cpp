#include "viewer/sources/IptcBlock.h"

#include <algorithm>
#include <cstring>
#include <new>

bool CIptcBlock::SetData(const uint8_t* bytes, size_t size) {
    block_.clear();
    hasBlock_ = false;
    cursor_ = 0;
    cursorLength_ = 0;
    if ((!bytes && size > 0) || size > kMaxBlock)
        return false;
    try {
        block_.assign(bytes, bytes + size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    hasBlock_ = true;
    return true;
}

int32_t CIptcBlock::GetData(uint8_t* buffer, size_t capacity) const {
    if (!buffer || capacity < block_.size())
        return -1;
    std::copy(block_.begin(), block_.end(), buffer);
    return static_cast<int32_t>(block_.size());
}

int32_t CIptcBlock::GetSize() const {
    return hasBlock_ ? static_cast<int32_t>(block_.size()) : -1;
}

bool CIptcBlock::scan(size_t pos, uint16_t tag, Dataset* found, bool* readToEnd) const {
    const size_t size = block_.size();
    const uint8_t* b = block_.data();
    if (readToEnd) *readToEnd = false;
    while (pos < size) {
        if (b[pos] != 0x1C) {
            ++pos;  // stray byte between datasets
            continue;
        }
        if (size - pos < 5)
            return false;
        const uint16_t t = static_cast<uint16_t>((b[pos + 1] << 8) | b[pos + 2]);
        size_t length = (size_t{b[pos + 3]} << 8) | b[pos + 4];
        size_t header = 5;
        if (length & 0x8000) {
            const size_t n = length & 0x7FFF;
            if (n < 1 || n > 4 || size - pos - 5 < n)
                return false;  // a length field we cannot read ends the scan
            length = 0;
            for (size_t i = 0; i < n; ++i)
                length = (length << 8) | b[pos + 5 + i];
            header += n;
        }
        if (length > size - pos - header)
            return false;  // data running past the block ends the scan
        if (found && t == tag) {
            *found = Dataset{pos, pos + header, length};
            return true;
        }
        pos += header + length;
    }
    if (readToEnd) *readToEnd = true;
    return false;
}

int32_t CIptcBlock::Find(uint16_t tag, uint8_t* buffer, size_t capacity) {
    Dataset d;
    if (!hasBlock_ || !scan(0, tag, &d)) {
        cursor_ = block_.size();
        cursorLength_ = 0;
        return -1;
    }
    cursor_ = d.data;
    cursorLength_ = d.length;
    if (buffer)
        std::memcpy(buffer, block_.data() + d.data, std::min(capacity, d.length));
    return static_cast<int32_t>(d.length);
}

int32_t CIptcBlock::FindNext(uint16_t tag) {
    Dataset d;
    if (!hasBlock_ || cursor_ >= block_.size() || !scan(cursor_ + cursorLength_, tag, &d)) {
        cursor_ = block_.size();
        cursorLength_ = 0;
        return -1;
    }
    cursor_ = d.data;
    cursorLength_ = d.length;
    return static_cast<int32_t>(d.length);
}

const uint8_t* CIptcBlock::Cursor() const {
    return cursor_ < block_.size() ? block_.data() + cursor_ : nullptr;
}

void CIptcBlock::appendHeader(std::vector<uint8_t>& out, uint16_t tag, size_t length) {
    out.push_back(0x1C);
    out.push_back(static_cast<uint8_t>(tag >> 8));
    out.push_back(static_cast<uint8_t>(tag));
    if (length <= 0x7FFF) {
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(length));
        return;
    }
    // extended length: four length bytes follow
    out.push_back(0x80);
    out.push_back(0x04);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(length >> shift));
}

bool CIptcBlock::Replace(uint16_t tag, const uint8_t* data, size_t length) {
    Dataset d;
    if (!hasBlock_ || (!data && length > 0) || !scan(0, tag, &d))
        return false;
    const size_t newSize = block_.size() - (d.data - d.start) - d.length + 9 + length;
    if (length > kMaxBlock || newSize > kMaxBlock)
        return false;
    std::vector<uint8_t> out;
    try {
        out.reserve(newSize);
        out.insert(out.end(), block_.begin(), block_.begin() + static_cast<std::ptrdiff_t>(d.start));
        appendHeader(out, tag, length);
        if (length) out.insert(out.end(), data, data + length);
        out.insert(out.end(), block_.begin() + static_cast<std::ptrdiff_t>(d.data + d.length), block_.end());
    } catch (const std::bad_alloc&) {
        return false;
    }
    block_.swap(out);
    cursor_ = 0;
    cursorLength_ = 0;
    return true;
}

bool CIptcBlock::Add(uint16_t tag, const uint8_t* data, size_t length) {
    if ((!data && length > 0) || length > kMaxBlock || block_.size() + length + 9 > kMaxBlock)
        return false;
    // A dataset appended behind damaged bytes would be out of every reader's
    // reach (the scan stops at the damage): refuse rather than report success.
    bool readToEnd = true;
    if (hasBlock_)
        scan(0, 0, nullptr, &readToEnd);
    if (!readToEnd)
        return false;
    Dataset d;
    if (tag != kKeywords && hasBlock_ && scan(0, tag, &d))
        return false;
    try {
        std::vector<uint8_t> out(block_);
        appendHeader(out, tag, length);
        if (length) out.insert(out.end(), data, data + length);
        block_.swap(out);
    } catch (const std::bad_alloc&) {
        return false;
    }
    hasBlock_ = true;
    return true;
}

void CIptcBlock::SwapBytes(uint8_t* bytes, size_t count) {
    if (bytes) std::reverse(bytes, bytes + count);
}
