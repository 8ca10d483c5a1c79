#include "viewer/transfer/ui/AcquireLogic.h"

#include "platform/msg/MessageBox.h"
#include "viewer/shell/settings/ViewSettings.h"
#include "viewer/transfer/CardJobFile.h"
#include "viewer/transfer/TransTypes.h"

namespace {

class CardHandshake : public RequestHandshake {
public:
    explicit CardHandshake(int32_t deviceIndex) : files_(deviceIndex) {}
    bool WriteReply(const std::string& word) override { return files_.WriteReply(word); }
    bool WaitForTransferOk(plat::WindowHandle parent) override { return files_.WaitForTransferOk(parent); }
    int ShowMessage(plat::WindowHandle parent, uint32_t messageId, int icon) override {
        return CCardJobFile::ShowTopmostMessage(parent, messageId, icon);
    }

private:
    CCardJobFile files_;
};

uint32_t Flag(uint32_t v) { return v ? 1 : 0; }

}  // namespace

std::unique_ptr<RequestHandshake> MakeCardHandshake(int32_t deviceIndex) {
    return std::make_unique<CardHandshake>(deviceIndex);
}

void CAcquireLogic::LoadChoices(const CViewSettings& settings) {
    keepSelect_ = Flag(settings.KeepSelect);
    selectTransfer_ = keepSelect_ && settings.SelectTransfer < uint32_t(kSelectionChoices) ? settings.SelectTransfer : 0;
    imageSize_ = settings.ImageSize < uint32_t(kImageSizes) ? settings.ImageSize : 0;
    checkLocal_ = Flag(settings.CheckLocal);
    checkWeb_ = Flag(settings.CheckWeb);
}

void CAcquireLogic::WriteChoices(CViewSettings& settings) const {
    settings.WriteSelectTransfer(selectTransfer_, keepSelect_);
    settings.WriteImageSize(imageSize_);
    settings.WriteTransferDestChecks(checkWeb_, checkLocal_);
}

bool CAcquireLogic::TransferEnabled() const { return target_ >= 0 && (checkLocal_ || checkWeb_); }

void CAcquireLogic::TakeSelection(int32_t selection, uint32_t keep) {
    if (selection >= 0 && selection < kSelectionChoices) selectTransfer_ = uint32_t(selection);
    keepSelect_ = Flag(keep);
}

bool CAcquireLogic::TakeImageSizeCommand(uint32_t command) {
    if (command < kCmdImageSizeFirst || command >= kCmdImageSizeFirst + kImageSizes) return false;
    imageSize_ = command - kCmdImageSizeFirst;
    return true;
}

uint32_t CAcquireLogic::MarkerBitmap() const {
    return selectTransfer_ >= 1 && selectTransfer_ <= 4 ? 211 + selectTransfer_ : 0;
}

int32_t CAcquireLogic::MarkerX() const {
    static constexpr int32_t kX[] = {0, 2, 38, 20, 56};
    return selectTransfer_ < 5 ? kX[selectTransfer_] : 0;
}

bool CAcquireLogic::AcceptRequest(RequestHandshake& handshake, plat::WindowHandle panel, bool buttonPressed) const {
    // 1. The user is clicking one of the panel's buttons just now.
    if (buttonPressed) {
        handshake.WriteReply(CCardJobFile::kError);
        return false;
    }
    // 2. Nowhere to put the pictures.
    if (webUpload_ && !checkLocal_ && !checkWeb_) {
        handshake.ShowMessage(panel, kMsgNoDestination, int(plat::MessageIcon::Information));
        handshake.WriteReply(CCardJobFile::kCanceled);
        return false;
    }
    // 3. Tell the camera the transfer starts.
    if (!handshake.WriteReply(CCardJobFile::kTransferStart)) {
        handshake.ShowMessage(panel, kMsgReplyFailed, int(plat::MessageIcon::Stop));
        return false;
    }
    // 4. The camera confirms.
    return handshake.WaitForTransferOk(panel);
}

const char* CAcquireLogic::FinishReply(int32_t result) {
    // A run whose last picture was skipped still finished: a skip earlier in the
    // run ends with 0, so the camera hears the same for either.
    switch (result) {
    case TransResult_Done:
    case TransResult_Skipped:
        return CCardJobFile::kTransferFinish;
    case TransResult_Stopped:
        return CCardJobFile::kCanceled;
    default:
        return CCardJobFile::kError;
    }
}
