#include "platform/lang/LangDataFile.h"

#include <cstring>

namespace plat::lang {
namespace {

constexpr char kMagic[4] = {'V', 'L', 'N', 'G'};
constexpr uint32_t kVersion = 1;
constexpr uint8_t kRecordString = 1;
constexpr uint8_t kRecordMenu = 2;
constexpr uint8_t kItemEnd = 4;
constexpr int kMaxMenuDepth = 16;

void PutU8(std::string* out, uint8_t v) { out->push_back(static_cast<char>(v)); }
void PutU16(std::string* out, uint16_t v)
{
    PutU8(out, static_cast<uint8_t>(v));
    PutU8(out, static_cast<uint8_t>(v >> 8));
}
void PutU32(std::string* out, uint32_t v)
{
    PutU16(out, static_cast<uint16_t>(v));
    PutU16(out, static_cast<uint16_t>(v >> 16));
}

void PutMenu(std::string* out, const Menu& menu)
{
    for (const MenuItem& item : menu) {
        PutU8(out, static_cast<uint8_t>(item.kind));
        PutU8(out, item.flags);
        PutU32(out, item.command);
        PutU16(out, static_cast<uint16_t>(item.text.size()));
        out->append(item.text, 0, 0xFFFF);
        if (item.kind == MenuItem::Kind::Popup) {
            PutMenu(out, item.items);
            PutU8(out, kItemEnd);
            PutU8(out, 0);
            PutU32(out, 0);
            PutU16(out, 0);
        }
    }
}

void PutRecord(std::string* out, uint8_t kind, LangId lang, uint32_t id, const std::string& bytes)
{
    PutU8(out, kind);
    PutU8(out, 0);
    PutU16(out, lang);
    PutU32(out, id);
    PutU32(out, static_cast<uint32_t>(bytes.size()));
    out->append(bytes);
}

// Reads little-endian fields, refusing to step past the end.
class Reader {
public:
    explicit Reader(std::string_view data) : data_(data) {}
    bool atEnd() const { return pos_ == data_.size(); }
    bool u8(uint8_t* v)
    {
        if (data_.size() - pos_ < 1)
            return false;
        *v = static_cast<uint8_t>(data_[pos_++]);
        return true;
    }
    bool u16(uint16_t* v)
    {
        uint8_t a = 0, b = 0;
        if (!u8(&a) || !u8(&b))
            return false;
        *v = static_cast<uint16_t>(a | (b << 8));
        return true;
    }
    bool u32(uint32_t* v)
    {
        uint16_t a = 0, b = 0;
        if (!u16(&a) || !u16(&b))
            return false;
        *v = static_cast<uint32_t>(a) | (static_cast<uint32_t>(b) << 16);
        return true;
    }
    bool bytes(std::size_t n, std::string_view* v)
    {
        if (data_.size() - pos_ < n)
            return false;
        *v = data_.substr(pos_, n);
        pos_ += n;
        return true;
    }

private:
    std::string_view data_;
    std::size_t pos_ = 0;
};

// Items until the end marker (depth > 0) or the end of the data (depth 0).
bool ReadMenu(Reader* r, int depth, Menu* menu)
{
    while (!r->atEnd()) {
        uint8_t kind = 0, flags = 0;
        uint32_t command = 0;
        uint16_t length = 0;
        std::string_view text;
        if (!r->u8(&kind) || !r->u8(&flags) || !r->u32(&command) || !r->u16(&length) || !r->bytes(length, &text))
            return false;
        if (kind == kItemEnd)
            return depth > 0;
        if (kind < 1 || kind > 3)
            return false;
        MenuItem item;
        item.kind = static_cast<MenuItem::Kind>(kind);
        item.flags = flags;
        item.command = command;
        item.text = std::string(text);
        if (item.kind == MenuItem::Kind::Popup) {
            if (depth + 1 > kMaxMenuDepth || !ReadMenu(r, depth + 1, &item.items))
                return false;
        }
        menu->push_back(std::move(item));
    }
    return depth == 0;
}

bool Fail(std::string* error, const char* why)
{
    if (error)
        *error = why;
    return false;
}

}  // namespace

std::string EncodeLangData(const LanguageTables& tables)
{
    std::string body;
    uint32_t count = 0;
    for (const auto& [lang, table] : tables) {
        for (const auto& [id, text] : table.strings) {
            PutRecord(&body, kRecordString, lang, id, text);
            ++count;
        }
        for (const auto& [id, menu] : table.menus) {
            std::string bytes;
            PutMenu(&bytes, menu);
            PutRecord(&body, kRecordMenu, lang, id, bytes);
            ++count;
        }
    }
    std::string out(kMagic, sizeof kMagic);
    PutU32(&out, kVersion);
    PutU32(&out, count);
    return out + body;
}

bool DecodeLangData(std::string_view data, LanguageTables* tables, std::string* error)
{
    Reader r(data);
    std::string_view magic;
    uint32_t version = 0, count = 0;
    if (!r.bytes(sizeof kMagic, &magic) || std::memcmp(magic.data(), kMagic, sizeof kMagic) != 0)
        return Fail(error, "not a language file");
    if (!r.u32(&version) || version != kVersion)
        return Fail(error, "unknown language file version");
    if (!r.u32(&count))
        return Fail(error, "truncated header");
    LanguageTables result;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t kind = 0, reserved = 0;
        uint16_t lang = 0;
        uint32_t id = 0, length = 0;
        std::string_view bytes;
        if (!r.u8(&kind) || !r.u8(&reserved) || !r.u16(&lang) || !r.u32(&id) || !r.u32(&length) ||
            !r.bytes(length, &bytes))
            return Fail(error, "truncated record");
        LanguageTable& table = result[lang];
        if (kind == kRecordString) {
            if (!table.strings.emplace(id, std::string(bytes)).second)
                return Fail(error, "text given twice");
        } else if (kind == kRecordMenu) {
            Reader menuReader(bytes);
            Menu menu;
            if (!ReadMenu(&menuReader, 0, &menu))
                return Fail(error, "malformed menu");
            if (!table.menus.emplace(id, std::move(menu)).second)
                return Fail(error, "menu given twice");
        } else {
            return Fail(error, "unknown record kind");
        }
    }
    if (!r.atEnd())
        return Fail(error, "data after the last record");
    *tables = std::move(result);
    return true;
}

}  // namespace plat::lang
