#pragma once
// The transfer panel's choices and decisions, without its window: which pictures,
// which picture size, which destinations; what is enabled; and the panel's side
// of the camera's transfer request over the card's handshake files.
#include "platform/msg/WindowHandle.h"

#include <cstdint>
#include <memory>
#include <string>

class CViewSettings;

// The handshake with a camera that asks for a transfer (the card's order and
// reply files); tests put a scripted one in its place.
class RequestHandshake {
public:
    virtual ~RequestHandshake() = default;
    virtual bool WriteReply(const std::string& word) = 0;
    // True when the camera answered "transfer ok" (the handshake shows its own
    // messages when it does not).
    virtual bool WaitForTransferOk(plat::WindowHandle parent) = 0;
    // A top-most message box over the panel; its answer.
    virtual int ShowMessage(plat::WindowHandle parent, uint32_t messageId, int icon) = 0;
};

// Over the card files of drive deviceIndex.
std::unique_ptr<RequestHandshake> MakeCardHandshake(int32_t deviceIndex);

inline constexpr int32_t kSelectionChoices = 5;   // SelectTransfer 0-4
inline constexpr int32_t kImageSizes = 4;         // ImageSize 0-3
inline constexpr uint32_t kCmdImageSizeFirst = 32824;
inline constexpr uint32_t kMsgNoDestination = 61677;
inline constexpr uint32_t kMsgReplyFailed = 61675;

class CAcquireLogic {
public:
    // The choices as the settings keep them; SelectTransfer counts only when
    // it is to be kept, and values out of range fall back to their defaults.
    void LoadChoices(const CViewSettings& settings);
    void WriteChoices(CViewSettings& settings) const;

    void SetWebUpload(bool on) { webUpload_ = on; }
    bool WebUpload() const { return webUpload_; }
    void SetTarget(int32_t index) { target_ = index; }
    int32_t Target() const { return target_; }

    bool TransferEnabled() const;
    bool BrowserEnabled() const { return target_ >= 0; }

    uint32_t SelectTransfer() const { return selectTransfer_; }
    uint32_t KeepSelect() const { return keepSelect_; }
    uint32_t ImageSize() const { return imageSize_; }
    uint32_t CheckLocal() const { return checkLocal_; }
    uint32_t CheckWeb() const { return checkWeb_; }

    // The selection dialog's answer; out-of-range (nothing chosen) keeps the old one.
    void TakeSelection(int32_t selection, uint32_t keep);
    // Menu command 32824-32827; false for any other command.
    bool TakeImageSizeCommand(uint32_t command);
    void ToggleLocal() { checkLocal_ = checkLocal_ ? 0 : 1; }
    void ToggleWeb() { checkWeb_ = checkWeb_ ? 0 : 1; }

    // The selection marker: bitmap id (212-215) and its x in the marker area, or
    // 0 and the text 148 for all pictures.
    uint32_t MarkerBitmap() const;
    int32_t MarkerX() const;
    uint32_t SelectionTextId() const { return selectTransfer_ == 0 ? 148 : 0; }

    // The panel's answer to a camera's request. Refused (false) when the user is
    // in the middle of a click on the panel, when no destination is chosen, when
    // the reply cannot be written or the camera does not confirm.
    bool AcceptRequest(RequestHandshake& handshake, plat::WindowHandle panel, bool buttonPressed) const;
    // The reply word for a run's result.
    static const char* FinishReply(int32_t result);

private:
    bool webUpload_ = false;
    int32_t target_ = -1;
    uint32_t selectTransfer_ = 0;
    uint32_t keepSelect_ = 0;
    uint32_t imageSize_ = 0;
    uint32_t checkLocal_ = 1;
    uint32_t checkWeb_ = 0;
};
