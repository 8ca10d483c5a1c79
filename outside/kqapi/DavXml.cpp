#include "outside/kqapi/DavXml.h"

#include <expat.h>

#include <charconv>
#include <cstring>

namespace kq {
namespace {

constexpr size_t kMaxBody = 16u << 20;
constexpr int kMaxDepth = 64;
constexpr size_t kMaxText = 64u << 10;

// Element names arrive as "namespace<space>local" (XML_ParserCreateNS with ' ').
bool isDav(const char* name, const char* local)
{
    static constexpr char prefix[] = "DAV: ";
    return std::strncmp(name, prefix, sizeof prefix - 1) == 0 &&
           std::strcmp(name + sizeof prefix - 1, local) == 0;
}

bool isAlbumProp(const char* name, const char* local)
{
    const size_t n = std::strlen(kAlbumNamespace);
    return std::strncmp(name, kAlbumNamespace, n) == 0 && name[n] == ' ' &&
           std::strcmp(name + n + 1, local) == 0;
}

struct Reader {
    std::vector<DavEntry>* entries = nullptr;
    int depth = 0;
    bool tooDeep = false;
    bool inResponse = false;
    bool inPropstat = false;
    bool inProp = false;
    DavEntry current;      // the response being read
    DavEntry pending;      // the properties of the current propstat
    std::string status;
    std::string text;
    bool collecting = false;

    void startText() { text.clear(); collecting = true; }
};

void onStart(void* data, const char* name, const char** /*attributes*/)
{
    auto* r = static_cast<Reader*>(data);
    if (++r->depth > kMaxDepth) {
        r->tooDeep = true;
        return;
    }
    if (isDav(name, "response")) {
        r->inResponse = true;
        r->current = DavEntry{};
    } else if (r->inResponse && isDav(name, "propstat")) {
        r->inPropstat = true;
        r->pending = DavEntry{};
        r->status.clear();
    } else if (r->inPropstat && isDav(name, "prop")) {
        r->inProp = true;
    } else if (r->inProp && isDav(name, "collection")) {
        r->pending.collection = true;
    } else if (isDav(name, "href") || isDav(name, "status") || isDav(name, "displayname") ||
               isDav(name, "getetag") || isDav(name, "quota-available-bytes") ||
               isAlbumProp(name, "description")) {
        r->startText();
    }
}

std::optional<int64_t> toInt64(const std::string& text)
{
    const char* b = text.data();
    const char* e = b + text.size();
    while (b < e && (*b == ' ' || *b == '\t' || *b == '\r' || *b == '\n')) ++b;
    while (e > b && (e[-1] == ' ' || e[-1] == '\t' || e[-1] == '\r' || e[-1] == '\n')) --e;
    int64_t v = 0;
    auto [p, ec] = std::from_chars(b, e, v);
    if (ec != std::errc{} || p != e || b == e) return std::nullopt;
    return v;
}

// "HTTP/1.1 200 OK" -> true for 2xx.
bool statusIsSuccess(const std::string& status)
{
    const auto sp = status.find(' ');
    return sp != std::string::npos && sp + 1 < status.size() && status[sp + 1] == '2';
}

void mergePropstat(Reader* r)
{
    if (!statusIsSuccess(r->status)) return;
    DavEntry& c = r->current;
    const DavEntry& p = r->pending;
    c.collection = c.collection || p.collection;
    if (!p.displayName.empty()) c.displayName = p.displayName;
    if (!p.description.empty()) c.description = p.description;
    if (!p.etag.empty()) c.etag = p.etag;
    if (p.quotaAvailable) c.quotaAvailable = p.quotaAvailable;
}

void onEnd(void* data, const char* name)
{
    auto* r = static_cast<Reader*>(data);
    --r->depth;
    const bool had = r->collecting;
    r->collecting = false;
    if (isDav(name, "response")) {
        if (r->inResponse) r->entries->push_back(std::move(r->current));
        r->inResponse = false;
    } else if (isDav(name, "propstat")) {
        if (r->inPropstat) mergePropstat(r);
        r->inPropstat = r->inProp = false;
    } else if (isDav(name, "prop")) {
        r->inProp = false;
    } else if (!had) {
        return;
    } else if (isDav(name, "href")) {
        if (r->inResponse && !r->inPropstat) r->current.href = r->text;
    } else if (isDav(name, "status")) {
        if (r->inPropstat) r->status = r->text;
    } else if (r->inProp && isDav(name, "displayname")) {
        r->pending.displayName = r->text;
    } else if (r->inProp && isDav(name, "getetag")) {
        r->pending.etag = r->text;
    } else if (r->inProp && isDav(name, "quota-available-bytes")) {
        r->pending.quotaAvailable = toInt64(r->text);
    } else if (r->inProp && isAlbumProp(name, "description")) {
        r->pending.description = r->text;
    }
}

void onText(void* data, const XML_Char* s, int len)
{
    auto* r = static_cast<Reader*>(data);
    if (!r->collecting || len <= 0) return;
    if (r->text.size() + static_cast<size_t>(len) > kMaxText) return;  // keep the head only
    r->text.append(s, static_cast<size_t>(len));
}

}  // namespace

bool parseMultistatus(std::string_view body, std::vector<DavEntry>* entries)
{
    entries->clear();
    if (body.size() > kMaxBody) return false;
    XML_Parser parser = XML_ParserCreateNS("UTF-8", ' ');
    if (!parser) return false;
    Reader reader;
    reader.entries = entries;
    XML_SetUserData(parser, &reader);
    XML_SetElementHandler(parser, onStart, onEnd);
    XML_SetCharacterDataHandler(parser, onText);
    const bool ok = XML_Parse(parser, body.data(), static_cast<int>(body.size()), XML_TRUE) ==
                    XML_STATUS_OK;
    XML_ParserFree(parser);
    if (!ok || reader.tooDeep) {
        entries->clear();
        return false;
    }
    return true;
}

}  // namespace kq
