#include "viewer/transfer/ui/TransProgressLogic.h"

#include <algorithm>

void TransProgressLogic::BusyBegin() {
    busy_ = true;
    counter_ = kBusyCounterStart;
}

void TransProgressLogic::BusyEnd() { busy_ = false; }

int32_t TransProgressLogic::BusyTick() {
    const int32_t offset = counter_;
    counter_ = counter_ <= 1 ? kBusyCounterStart : counter_ - 1;
    return offset;
}

void TransProgressLogic::SetTotal(int32_t total) {
    total_ = std::max(total, 0);
    left_ = total_;
    percent_ = 0;
}

void TransProgressLogic::SetCurrentFile(int32_t left) {
    started_ = true;
    left_ = std::clamp(left, 0, std::max(total_, left));
    percent_ = 0;
}

bool TransProgressLogic::SetPercent(int32_t percent) {
    percent_ = std::clamp(percent, 0, 100);
    const int32_t frame = FrameForPercent(percent_);
    const bool changed = frame != frame_;
    frame_ = frame;
    return changed;
}

int32_t TransProgressLogic::FrameForPercent(int32_t percent) {
    // 108 % and more would name a picture past the ninth.
    return std::clamp(percent / 12 + 1, 1, kFrameCount);
}

int32_t TransProgressLogic::WidthFor(int32_t total, int32_t left, int32_t percent) {
    if (total <= 0) return 0;
    const double scale = 188.0 / (double(total) * 100.0);
    const double width = (double(percent) + double(total - left) * 100.0) * scale;
    return std::clamp(static_cast<int32_t>(width), 0, kBarMaxWidth);
}

int32_t TransProgressLogic::BarWidth() const {
    if (finished_) return kBarMaxWidth;
    return WidthFor(total_, left_, percent_);
}

bool TransProgressLogic::BarVisible() const { return finished_ || !(left_ == total_ && percent_ == 0); }

void TransProgressLogic::Finish() {
    finished_ = true;
    busy_ = false;
}
