#include "Caravel/src/AlbumSession.h"

#include "Caravel/src/RunFlags.h"

#include <algorithm>
#include <new>
#include <cstring>
#include <sys/stat.h>

namespace caravel {

namespace {

// Copies text into a fixed field, always leaving room for the terminating zero.
template <size_t N>
void CopyField(char (&field)[N], std::string_view text)
{
    const size_t n = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, N - n);
}

int CancelCallback(void*) { return CancelFlag().load(); }

void ProgressCallback(void*, int64_t done, int64_t total) { ForwardProgress(done, total); }

}  // namespace

std::string LowerCase(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

CAlbumSession::CAlbumSession(std::string_view serverAddress, UploaderView* view)
    : m_context(std::make_unique<KqContext>()),
      m_serverAddress(serverAddress.substr(0, std::min(serverAddress.size(), kMaxAddressLength))),
      m_view(view)
{
    std::memset(m_context.get(), 0, sizeof(KqContext));
    CopyField(m_context->serverAddress, m_serverAddress);
}

void CAlbumSession::SetLoginName(std::string_view text) { CopyField(m_context->loginName, LowerCase(text)); }

void CAlbumSession::SetPassword(std::string_view text) { CopyField(m_context->password, LowerCase(text)); }

int32_t CAlbumSession::Connect()
{
    const int32_t code = KqConnect(m_context.get(), m_serverAddress.c_str(), 0);
    if (code == KQ_OK)
        m_connected = true;
    return code;
}

void CAlbumSession::Disconnect() { KqDisconnect(m_context.get()); }

std::vector<CAlbumSession::StoredPhoto>::iterator CAlbumSession::FindStored(const std::string& path, int64_t size,
                                                                            int64_t mtime)
{
    return std::find_if(m_notInAlbum.begin(), m_notInAlbum.end(), [&](const StoredPhoto& p) {
        return p.path == path && p.size == size && p.mtime == mtime;
    });
}

int32_t CAlbumSession::AddToAlbum(const KqPhoto& photo, const char* albumKey)
{
    KqAlbum album;
    std::memset(&album, 0, sizeof album);
    CopyField(album.key, albumKey);
    return ReportResult(KqAlbumAddPhoto(m_context.get(), &album, &photo));
}

int32_t CAlbumSession::UploadPhoto(const std::string& path, const char* albumKey)
{
    if (!m_connected)
        return KQ_ERR_UNKNOWN;
    const bool toAlbum = albumKey && *albumKey;
    struct stat st {};
    const bool known = ::stat(path.c_str(), &st) == 0;
    const int64_t size = known ? static_cast<int64_t>(st.st_size) : -1;
    const int64_t mtime = known ? static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec : -1;
    // Already on the service from an earlier try: finish that upload instead of
    // storing a second copy under a numbered name.
    if (auto it = known ? FindStored(path, size, mtime) : m_notInAlbum.end(); it != m_notInAlbum.end()) {
        const int32_t code = toAlbum ? AddToAlbum(it->photo, albumKey) : KQ_OK;
        if (code == KQ_OK)
            m_notInAlbum.erase(it);
        return code;
    }
    KqPhoto photo;
    std::memset(&photo, 0, sizeof photo);
    int32_t code = ReportResult(KqPhotoUpload(m_context.get(), &photo, path.c_str(), CancelCallback, ProgressCallback));
    if (code == KQ_OK && toAlbum) {
        code = AddToAlbum(photo, albumKey);
        if (code != KQ_OK && known)
            m_notInAlbum.push_back(StoredPhoto{path, size, mtime, photo});
    }
    return code;
}

int32_t CAlbumSession::GetAlbumList()
{
    if (!m_connected)
        return KQ_ERR_UNKNOWN;
    m_albums.clear();
    const int32_t count = KqGetAlbumCount(m_context.get());
    if (count < 0) {
        if (m_view)
            m_view->ShowMessage("Get Album Count " + std::to_string(count) + ", failed!");
        return count;
    }
    if (count == 0)
        return 0;
    std::vector<KqAlbum> albums;
    try {
        albums.assign(static_cast<size_t>(count), KqAlbum{});
    } catch (const std::bad_alloc&) {
        return KQ_ERR_UNKNOWN;
    }
    const int32_t written = KqGetAlbumList(m_context.get(), albums.data(), count);
    if (written > 0) {
        // only the records the library filled count
        albums.resize(static_cast<size_t>(std::min(written, count)));
        m_albums = std::move(albums);
    }
    return written;
}

int32_t CAlbumSession::GetSpaceLeft() { return ReportResult(KqGetSpaceLeft(m_context.get())); }

int32_t CAlbumSession::CreateAlbum(const KqAlbum& album) { return KqAlbumNew(m_context.get(), &album); }

const char* CAlbumSession::ResultMessage(int32_t code)
{
    switch (code) {
    case -1: return "Unknown Error";
    case -2: return "Invalid Argument";
    case -3: return "Invalid Account Data, check Login name and Password";
    case -4: return "No Connection";
    case -5: return "No Session";
    case -6: return "No Server";
    case -7: return "File Error";
    case -8: return "Memory Error";
    case -100: return "Not Implemented";
    default: return nullptr;
    }
}

int32_t CAlbumSession::ReportResult(int32_t code) const
{
    if (const char* text = ResultMessage(code))
        if (m_view)
            m_view->ShowMessage(text);
    return code;
}

const KqAlbum* CAlbumSession::GetAlbum(int32_t index) const
{
    if (index < 0 || index >= GetAlbumCount())
        return nullptr;
    return &m_albums[static_cast<size_t>(index)];
}

std::string CAlbumSession::AlbumName(const KqAlbum& album)
{
    return std::string(album.name, strnlen(album.name, sizeof album.name));
}

std::string CAlbumSession::TargetAlbumKey() const
{
    if (m_useStorageRoom)
        return {};
    const KqAlbum* album = GetAlbum(m_selectedAlbum);
    return album ? std::string(album->key, strnlen(album->key, sizeof album->key)) : std::string();
}

}  // namespace caravel
