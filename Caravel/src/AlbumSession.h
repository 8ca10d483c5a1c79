#pragma once
// The upload program's gate to the album service: the login data in the library's context
// record, the connection, the album list and the user's album choice, and the messages of the
// library's failure codes.
#include "Caravel/src/UploadTarget.h"
#include "Caravel/src/UploaderView.h"
#include "outside/kqapi/KqApi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace caravel {

class CAlbumSession : public UploadTarget {
public:
    static constexpr size_t kMaxAddressLength = 127;

    // view shows the messages of failing codes (may be null).
    CAlbumSession(std::string_view serverAddress, UploaderView* view);
    ~CAlbumSession() override = default;
    CAlbumSession(const CAlbumSession&) = delete;
    CAlbumSession& operator=(const CAlbumSession&) = delete;

    // Stored lower-cased; texts longer than the record's field are cut.
    void SetLoginName(std::string_view text);
    void SetPassword(std::string_view text);

    int32_t Connect();
    void Disconnect();
    // Uploads one picture; with an album key it is then added to that album. The last code.
    // A picture whose upload succeeded but whose album step failed is not sent again
    // on the next call for the same unchanged file: only the album step is repeated.
    int32_t UploadPhoto(const std::string& path, const char* albumKey) override;
    // Fetches the album list; the number of albums, or a negative code.
    int32_t GetAlbumList();
    // Free space in units of 1000 bytes, or a negative code (reported).
    int32_t GetSpaceLeft() override;
    // Creates an album; the code is not reported (the caller does).
    int32_t CreateAlbum(const KqAlbum& album);

    // Shows the message of a failing code; returns the code.
    int32_t ReportResult(int32_t code) const;
    // The message of a code, or null for codes that carry none.
    static const char* ResultMessage(int32_t code);

    bool IsConnected() const { return m_connected; }
    int32_t GetAlbumCount() const { return static_cast<int32_t>(m_albums.size()); }
    // The album at index, or null when there is none there.
    const KqAlbum* GetAlbum(int32_t index) const;
    static std::string AlbumName(const KqAlbum& album);
    int32_t GetSelectedAlbum() const { return m_selectedAlbum; }
    void SetSelectedAlbum(int32_t index) { m_selectedAlbum = index; }
    bool GetUseStorageRoom() const { return m_useStorageRoom; }
    void SetUseStorageRoom(bool use) { m_useStorageRoom = use; }
    // The key of the album the pictures go to, or empty for the storage room (also when the
    // selected album does not exist).
    std::string TargetAlbumKey() const override;

    const KqContext& Context() const { return *m_context; }
    const std::string& ServerAddress() const { return m_serverAddress; }

private:
    std::unique_ptr<KqContext> m_context;
    bool m_connected = false;
    std::vector<KqAlbum> m_albums;
    std::string m_serverAddress;
    int32_t m_selectedAlbum = 0;
    bool m_useStorageRoom = true;
    UploaderView* m_view;

    // Uploaded pictures still waiting for their album step, by file and its state.
    struct StoredPhoto {
        std::string path;
        int64_t size = 0;
        int64_t mtime = 0;
        KqPhoto photo;
    };
    std::vector<StoredPhoto> m_notInAlbum;
    std::vector<StoredPhoto>::iterator FindStored(const std::string& path, int64_t size, int64_t mtime);
    int32_t AddToAlbum(const KqPhoto& photo, const char* albumKey);
};

// ASCII letters lowered; bytes of multibyte characters are left alone.
std::string LowerCase(std::string_view text);

}  // namespace caravel
