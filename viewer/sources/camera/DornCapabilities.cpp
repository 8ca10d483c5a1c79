// The capability map of a camera-module object and the generic operations that
// read and write capability values.
#include <algorithm>
#include <cstring>

#include "viewer/sources/camera/DornObject.h"

namespace {

// Bytes per element the layer accepts for an element type; 0 = any.
uint32_t ExpectedBytesPerElement(uint32_t elementType)
{
    switch (elementType) {
    case DORN_ELEM_U8: return 1;
    case DORN_ELEM_U32A:
    case DORN_ELEM_U32B: return 4;
    case DORN_ELEM_TEXTBLOCK: return 1;
    case DORN_ELEM_TEXT256: return 256;
    default: return 0;
    }
}

// Cut to at most max bytes without splitting a UTF-8 sequence.
size_t Utf8Cut(const std::string& text, size_t max)
{
    if (text.size() <= max) return text.size();
    size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return n;
}

}  // namespace

int32_t CDornObject::HasCapability(uint32_t id) const
{
    return capabilities_.count(id) ? 1 : 0;
}

uint32_t CDornObject::GetCapabilityType(uint32_t id) const
{
    auto it = capabilities_.find(id);
    return it == capabilities_.end() ? 0 : it->second.type;
}

std::string CDornObject::GetCapabilityDescription(uint32_t id) const
{
    auto it = capabilities_.find(id);
    return it == capabilities_.end() ? std::string() : CDornCapInfo(it->second).Description();
}

void CDornObject::ListCapabilities(std::vector<CDornCapInfo>& out) const
{
    out.clear();
    for (const auto& [id, record] : capabilities_) out.emplace_back(record);
}

void CDornObject::ListCapabilitiesFlag04(std::vector<CDornCapInfo>& out) const
{
    out.clear();
    for (const auto& [id, record] : capabilities_)
        if (record.listFlags & 0x04) out.emplace_back(record);
}

void CDornObject::ListCapabilitiesFlag04And08(std::vector<CDornCapInfo>& out) const
{
    out.clear();
    for (const auto& [id, record] : capabilities_)
        if ((record.listFlags & 0x0C) == 0x0C) out.emplace_back(record);
}

uint32_t CDornObject::ListFlag(uint32_t id, uint32_t bit) const
{
    auto it = capabilities_.find(id);
    return it == capabilities_.end() ? 0 : (it->second.listFlags & bit);
}

uint32_t CDornObject::OperationFlag(uint32_t id, uint32_t bit) const
{
    auto it = capabilities_.find(id);
    return it == capabilities_.end() ? 0 : (it->second.operationFlags & bit);
}

uint32_t CDornObject::HasNoListFlag01Or02(uint32_t id) const
{
    auto it = capabilities_.find(id);
    return it != capabilities_.end() && (it->second.listFlags & 0x03) == 0 ? 1 : 0;
}

int32_t CDornObject::ReadArrayHeader(uint32_t id, DornArray* record, int32_t* valid)
{
    if (*valid) return 0;
    if (!CanGet(id)) return DORN_E_NOT_OFFERED;
    Lock();
    const int32_t r = Send(DORN_CMD_GET, id, DORN_DT_PARRAY, reinterpret_cast<uintptr_t>(record));
    *valid = r == 0 ? 1 : 0;
    Unlock();
    return r;
}

int32_t CDornObject::ReadRangeHeader(uint32_t id, DornRange* record, int32_t* valid)
{
    if (*valid) return 0;
    if (!CanGet(id)) return DORN_E_NOT_OFFERED;
    Lock();
    const int32_t r = Send(DORN_CMD_GET, id, DORN_DT_PRANGE, reinterpret_cast<uintptr_t>(record));
    *valid = r == 0 ? 1 : 0;
    Unlock();
    return r;
}

int32_t CDornObject::ReadEnumHeader(uint32_t id, DornEnum* record, int32_t* valid)
{
    if (*valid) return 0;
    if (!CanGet(id)) return DORN_E_NOT_OFFERED;
    Lock();
    const int32_t r = Send(DORN_CMD_GET, id, DORN_DT_PENUM, reinterpret_cast<uintptr_t>(record));
    *valid = r == 0 ? 1 : 0;
    Unlock();
    return r;
}

int32_t CDornObject::ReadEnumElements(uint32_t id, DornEnum* record, int32_t* valid, std::vector<uint8_t>& elements)
{
    for (int attempt = 0; attempt < kDornChangedRetries; ++attempt) {
        if (valid) *valid = 0;
        int32_t r = valid ? ReadEnumHeader(id, record, valid)
                          : Send(DORN_CMD_GET, id, DORN_DT_PENUM, reinterpret_cast<uintptr_t>(record));
        if (r != 0) return r;
        const uint32_t expected = ExpectedBytesPerElement(record->elementType);
        if (record->bytesPerElement <= 0 || (expected && static_cast<uint32_t>(record->bytesPerElement) != expected))
            return DORN_E_BAD_TYPE;
        const uint64_t size = static_cast<uint64_t>(record->bytesPerElement) * record->elementCount;
        if (size > (64u << 20)) return DORN_E_NO_MEMORY;
        elements.assign(static_cast<size_t>(size), 0);
        record->data = elements.data();
        r = Send(DORN_CMD_GETELEMENTS, id, DORN_DT_PENUM, reinterpret_cast<uintptr_t>(record));
        record->data = nullptr;
        if (r != 0 && valid) *valid = 0;
        if (r == DORN_E_CHANGED) continue;
        return r;
    }
    return DORN_E_CHANGED;
}

int32_t CDornObject::ReadEnumValues(std::vector<uint32_t>& out, uint32_t id, DornEnum* record, int32_t* valid)
{
    out.clear();
    if (!HasCapability(id)) return DORN_E_NOT_OFFERED;
    Lock();
    DornEnum local{};
    DornEnum* header = record ? record : &local;
    std::vector<uint8_t> elements;
    const int32_t r = ReadEnumElements(id, header, valid, elements);
    if (r == 0) {
        const uint32_t count = static_cast<uint32_t>(elements.size()) / static_cast<uint32_t>(header->bytesPerElement);
        if (header->elementType == DORN_ELEM_U8) {
            for (uint8_t b : elements) out.push_back(b);
        } else if (header->elementType == DORN_ELEM_U32A || header->elementType == DORN_ELEM_U32B) {
            for (uint32_t i = 0; i < count; ++i) {
                uint32_t v = 0;
                std::memcpy(&v, elements.data() + i * 4u, 4);
                out.push_back(v);
            }
        }
    }
    Unlock();
    return r;
}

int32_t CDornObject::ReadEnumStrings(std::vector<std::string>& out, uint32_t id, DornEnum* record, int32_t* valid)
{
    out.clear();
    if (!HasCapability(id)) return DORN_E_NOT_OFFERED;
    Lock();
    DornEnum local{};
    DornEnum* header = record ? record : &local;
    std::vector<uint8_t> elements;
    const int32_t r = ReadEnumElements(id, header, valid, elements);
    if (r == 0) {
        const char* base = reinterpret_cast<const char*>(elements.data());
        if (header->elementType == DORN_ELEM_TEXT256) {
            for (size_t at = 0; at + 256 <= elements.size(); at += 256) out.emplace_back(base + at, strnlen(base + at, 256));
        } else if (header->elementType == DORN_ELEM_TEXTBLOCK) {
            // One text per NUL byte; a last text without its NUL is not counted.
            size_t start = 0;
            for (size_t i = 0; i < elements.size(); ++i) {
                if (elements[i] != 0) continue;
                out.emplace_back(base + start, i - start);
                start = i + 1;
            }
        }
    }
    Unlock();
    return r;
}

int32_t CDornObject::SetEnumValue(uint32_t id, uint32_t value, const std::vector<uint32_t>* values)
{
    if (GetCapabilityType(id) != DORN_CAPTYPE_ENUM) return DORN_E_NOT_ENUM;
    Lock();
    std::vector<uint32_t> local;
    int32_t r = 0;
    if (!values) {
        r = ReadEnumValues(local, id, nullptr, nullptr);
        values = &local;
    }
    if (r == 0) {
        auto it = std::find(values->begin(), values->end(), value);
        r = it == values->end() ? DORN_E_BAD_VALUE
                                : Send(DORN_CMD_SET, id, DORN_DT_U32VALUE, static_cast<uintptr_t>(it - values->begin()));
    }
    Unlock();
    return r;
}

int32_t CDornObject::CanSetText10()
{
    return CanSet(DORN_CAP_TEXT10) ? 1 : 0;
}

int32_t CDornObject::CanUseArray8()
{
    return HasCapability(DORN_CAP_ARRAY8) && CanSet(DORN_CAP_ARRAY8) ? 1 : 0;
}

int32_t CDornObject::CanStart52()
{
    return HasCapability(DORN_CAP_START52) && CanStart(DORN_CAP_START52) ? 1 : 0;
}

int32_t CDornObject::GetText9(std::string& out)
{
    Lock();
    char buffer[DORN_TEXT_SIZE] = {};
    const int32_t r = Send(DORN_CMD_GET, DORN_CAP_NAME, DORN_DT_PTEXT, reinterpret_cast<uintptr_t>(buffer));
    buffer[DORN_TEXT_SIZE - 1] = '\0';
    out.assign(buffer);
    Unlock();
    return r;
}

int32_t CDornObject::GetText10(std::string& out)
{
    Lock();
    char buffer[DORN_TEXT_SIZE] = {};
    const int32_t r = Send(DORN_CMD_GET, DORN_CAP_TEXT10, DORN_DT_PTEXT, reinterpret_cast<uintptr_t>(buffer));
    buffer[DORN_TEXT_SIZE - 1] = '\0';
    out.assign(buffer);
    Unlock();
    return r;
}

int32_t CDornObject::GetText9(CDynString& out)
{
    std::string text;
    const int32_t r = GetText9(text);
    out = text.c_str();
    return r;
}

int32_t CDornObject::GetText10(CDynString& out)
{
    std::string text;
    const int32_t r = GetText10(text);
    out = text.c_str();
    return r;
}

int32_t CDornObject::SetText10(const std::string& text)
{
    if (!CanSetText10()) return DORN_E_NOT_OFFERED;
    Lock();
    char buffer[DORN_TEXT_SIZE] = {};
    std::memcpy(buffer, text.data(), Utf8Cut(text, DORN_TEXT_SIZE - 1));
    const int32_t r = Send(DORN_CMD_SET, DORN_CAP_TEXT10, DORN_DT_PTEXT, reinterpret_cast<uintptr_t>(buffer));
    Unlock();
    return r;
}

int32_t CDornObject::ReadArray8(void* buffer, uint32_t* size)
{
    if (!CanUseArray8()) return DORN_E_NOT_OFFERED;
    Lock();
    int32_t r = DORN_E_CHANGED;
    for (int attempt = 0; attempt < kDornChangedRetries; ++attempt) {
        DornArray header{};
        int32_t valid = 0;
        r = ReadArrayHeader(DORN_CAP_ARRAY8, &header, &valid);
        if (r == DORN_E_CHANGED) continue;
        if (r != 0) break;
        const uint64_t needed = static_cast<uint64_t>(header.bytesPerElement) * header.elementCount;
        if (needed > *size) {
            *size = static_cast<uint32_t>(std::min<uint64_t>(needed, UINT32_MAX));
            r = DORN_E_BUFFER;
            break;
        }
        header.data = buffer;
        r = Send(DORN_CMD_GETELEMENTS, DORN_CAP_ARRAY8, DORN_DT_PARRAY, reinterpret_cast<uintptr_t>(&header));
        if (r == 0) *size = static_cast<uint32_t>(needed);
        if (r == DORN_E_CHANGED) continue;
        if (r != 0) *size = 0;
        break;
    }
    Unlock();
    return r;
}

int32_t CDornObject::WriteArray8(const uint8_t* bytes, uint32_t count)
{
    if (!CanUseArray8()) return DORN_E_NOT_OFFERED;
    Lock();
    DornArray array{DORN_ELEM_U32B, count, count, 0, 0, 1, 8, const_cast<uint8_t*>(bytes)};
    const int32_t r = Send(DORN_CMD_SET, DORN_CAP_ARRAY8, DORN_DT_PARRAY, reinterpret_cast<uintptr_t>(&array));
    if (r == 0) OnModuleEvent(DORN_EVENT_CAPLIST, 0);
    Unlock();
    return r;
}

int32_t CDornObject::Start52()
{
    if (!CanStart52()) return DORN_E_NOT_OFFERED;
    return Send(DORN_CMD_START, DORN_CAP_START52, DORN_DT_NONE, 0);
}

int32_t CDornObject::ListGroupMembers(uint32_t id, std::vector<CDornCapInfo>& out)
{
    out.clear();
    auto it = capabilities_.find(id);
    if (it == capabilities_.end()) return DORN_E_NO_SUCH;
    if (!(it->second.listFlags & 0x08)) return DORN_E_NOT_OFFERED;
    if (it->second.type != DORN_CAPTYPE_GROUP) return DORN_E_BAD_TYPE;
    Lock();
    int32_t r = DORN_E_CHANGED;
    for (int attempt = 0; attempt < kDornChangedRetries; ++attempt) {
        out.clear();
        DornArray header{};
        r = Send(DORN_CMD_GET, id, DORN_DT_PARRAY, reinterpret_cast<uintptr_t>(&header));
        if (r == DORN_E_CHANGED) continue;
        if (r != 0 || header.elementCount == 0) break;
        if (header.bytesPerElement != 4 || header.elementCount > (1u << 16)) {
            r = DORN_E_BAD_TYPE;
            break;
        }
        std::vector<uint32_t> ids(header.elementCount);
        header.data = ids.data();
        r = Send(DORN_CMD_GETELEMENTS, id, DORN_DT_PARRAY, reinterpret_cast<uintptr_t>(&header));
        if (r == DORN_E_CHANGED) continue;
        if (r != 0) break;
        for (uint32_t member : ids) {
            auto m = capabilities_.find(member);
            if (m == capabilities_.end())
                r = DORN_E_BAD_TYPE;
            else
                out.emplace_back(m->second);
        }
        break;
    }
    Unlock();
    return r;
}
