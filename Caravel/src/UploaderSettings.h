#pragma once
// The upload program's user settings in HKCU "Software\Vorel\VorelUploader": the album service's
// address, the login, the remembered password sealed under the user's key container, the
// automatic start, the picture size and the last queue file.
#include "platform/crypt/KeyContainer.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace caravel {

// Picture size codes, stored as "ImageSize".
enum ImageSizeCode : uint32_t {
    kImageSizeOriginal = 1,
    kImageSize640 = 2,
    kImageSize1024 = 3,
    kImageSize1220 = 4,
};

inline constexpr const char* kUploaderKey = "Software\\Vorel\\VorelUploader";

class UploaderSettings {
public:
    // The longest password that fits the stored value.
    static constexpr size_t kMaxPasswordLength = plat::KeyContainer::kMaxTextSize;

    UploaderSettings();
    explicit UploaderSettings(plat::KeyContainer container);

    // Makes the user's key when missing; true when a password can be remembered.
    bool InitKeyContainer();
    bool KeyReady() const { return m_keyReady; }

    // False when the key cannot be opened: nothing is loaded then.
    bool LoadSettings();
    void SaveSettings() const;

    bool EncryptPassword(const std::string& text, std::vector<uint8_t>* value) const;
    bool DecryptPassword(std::span<const uint8_t> value, std::string* text) const;

    // Forgets the queue file's path, once the file has been read.
    static void ClearQueuedDataFile();

    std::string serviceAddress;   // "BrovaneURL", read only
    std::string queuedDataFile;   // "QueuedDataFile", read only (written by the upload server)
    std::string userName;
    std::string password;
    bool passwordFlag = false;
    bool autoUploadFlag = false;
    uint32_t imageSize = kImageSizeOriginal;

private:
    plat::KeyContainer m_container;
    bool m_keyReady = false;
};

}  // namespace caravel
