#pragma once
// CCardJobFile: the handshake through which a camera, whose card is mounted as a
// drive, asks for a transfer. The camera writes a one-line order file on the card
// ("MISC/order.kvd"), the viewer answers in a reply file beside it
// ("MISC/reply.kvd"). Each record is 17 bytes: a lower-case word padded with
// blanks to 15 bytes, then CR LF. Orders are read past the page cache (the camera
// writes behind our back) and replies are written through to the medium.
#include "platform/msg/WindowHandle.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class CCardJobFile {
public:
    enum Which { kOrder, kReply };

    static constexpr size_t kRecordBytes = 17;
    // Order words.
    static constexpr const char* kTransfer = "transfer       ";
    static constexpr const char* kTransferOk = "transfer ok    ";
    static constexpr const char* kWithdrawn = "               ";
    // Reply words.
    static constexpr const char* kWaiting = "waiting        ";
    static constexpr const char* kTransferStart = "transfer start ";
    static constexpr const char* kTransferFinish = "transfer finish";
    static constexpr const char* kError = "error          ";
    static constexpr const char* kCanceled = "canceled       ";

    // The files of the card in drive `deviceIndex` (0-25); another index names
    // no files and every operation fails.
    explicit CCardJobFile(int32_t deviceIndex);
    virtual ~CCardJobFile() = default;

    const std::string& OrderPath() const { return orderPath_; }
    const std::string& ReplyPath() const { return replyPath_; }

    // The camera asks for a transfer that nobody serves yet. A stale reply left
    // from a withdrawn request is deleted.
    bool IsTransferRequested();
    // Waits (bounded) while the camera keeps "transfer"; true on "transfer ok".
    // On a withdrawal the reply goes and 61676 is shown; on any other word, or
    // when the time runs out, 61602 is shown and "error" is written.
    bool WaitForTransferOk(plat::WindowHandle parent);

    // `word` is the 15-byte word; CR LF is added.
    bool WriteReply(const std::string& word);
    // The first `count` bytes of the file, up to the first zero byte.
    bool ReadStatus(Which which, std::string* text, size_t count = kRecordBytes) const;
    static bool JobFileExists(const std::string& path);
    static bool DeleteJobFile(const std::string& path);
    // The language text of `messageId` in a top-most box over the window.
    static int ShowTopmostMessage(plat::WindowHandle window, uint32_t messageId, int icon);
    // memmove for the camera layer's capability records; returns 1.
    static int32_t CopyBytesCallback(void* destination, const void* source, uint32_t count);

    // Whether a record read from a file holds `word`.
    static bool Holds(const std::string& record, const char* word);

    // The wait's pace and bound (tests shorten them).
    void SetWaitTiming(uint32_t pollMs, uint32_t limitMs) {
        pollMs_ = pollMs;
        limitMs_ = limitMs;
    }

private:
    std::string orderPath_;
    std::string replyPath_;
    uint32_t pollMs_ = 1000;
    uint32_t limitMs_ = 60000;
};
