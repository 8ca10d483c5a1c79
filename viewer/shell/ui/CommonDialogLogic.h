#pragma once
// The decisions of the small common dialogs, apart from their windows.
#include <cstdint>
#include <optional>

// Dialog end codes the callers compare with.
inline constexpr int kEndOk = 1;
inline constexpr int kEndCancel = 2;

// Wait message: where the message goes and whether Cancel shows.
struct WaitMsgLayout {
    int x = 45;
    int y = 30;
    int width = 196;
    int height = 14;
    bool showCancel = false;
};
WaitMsgLayout WaitMessageLayout(bool showCancel);

// The end code of a "worker done" message: wParam 1 is OK, anything else Cancel.
int WorkerDoneEndCode(uintptr_t wParam);

// The running bar of the wait message: the strip's source x runs 16, 15, ... 1, 16.
class WaitAnimation {
public:
    static constexpr int kFirstPhase = 16;
    int Phase() const { return phase_; }
    void Tick() { phase_ = phase_ <= 1 ? kFirstPhase : phase_ - 1; }

private:
    int phase_ = kFirstPhase;
};

// Open progress: range, position and remaining count, and when it may show.
class OpenProgressState {
public:
    static constexpr uint32_t kShowDelayMs = 10000;
    explicit OpenProgressState(int pictureCount);

    int RangeMax() const { return 10 * count_; }
    int Position() const { return 10 * (count_ - remaining_); }
    int Remaining() const { return remaining_; }
    bool Visible() const { return visible_; }

    // One picture loaded (never below zero remaining).
    void OnePictureDone();
    // The delay ran out: the dialog shows from now on. True only the first time.
    bool DelayElapsed();

private:
    int count_;
    int remaining_;
    bool visible_ = false;
};

// Four-choice box: the result is the button's id; the close box counts as 1173.
inline constexpr int kFourChoiceOk = 1170;
inline constexpr int kFourChoiceRename = 1171;
inline constexpr int kFourChoiceSkip = 1172;
inline constexpr int kFourChoiceCancel = 1173;
int FourChoiceResult(std::optional<int> pressedButton);
