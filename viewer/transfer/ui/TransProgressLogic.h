#pragma once
// What a transfer progress dialog shows, kept apart from its window so that the
// arithmetic of the bar and the animation can be checked on its own.
#include <cstdint>

inline constexpr int32_t kBarMaxWidth = 187;      // widest filled part of the bar, in pixels
inline constexpr int32_t kBusyCounterStart = 16;  // the busy strip moves 16 pixels, then repeats
inline constexpr int32_t kFrameCount = 9;         // pictures of the copy animation

class TransProgressLogic {
public:
    // Busy: the worker is doing something without a bar (the cancel button is off).
    void BusyBegin();
    void BusyEnd();
    bool Busy() const { return busy_; }
    // One tick of the busy animation: returns the strip offset to draw, then steps
    // the counter down (16 .. 1, then 16 again).
    int32_t BusyTick();
    int32_t Counter() const { return counter_; }

    // The number of pictures of the run. An empty run is allowed (no division by 0).
    void SetTotal(int32_t total);
    int32_t Total() const { return total_; }

    // A new picture: files left (this one included); the percent restarts at 0.
    void SetCurrentFile(int32_t left);
    int32_t Left() const { return left_; }
    bool Started() const { return started_; }

    // Percent of the current picture, kept within 0-100. True when the animation
    // frame changed.
    bool SetPercent(int32_t percent);
    int32_t Percent() const { return percent_; }
    int32_t Frame() const { return frame_; }

    // The filled width of the bar, 0-187.
    int32_t BarWidth() const;
    // False while nothing has moved yet (all files left and 0 percent).
    bool BarVisible() const;
    // The end of the run: the bar shows full whatever the counts were.
    void Finish();
    bool Finished() const { return finished_; }

    static int32_t FrameForPercent(int32_t percent);
    static int32_t WidthFor(int32_t total, int32_t left, int32_t percent);

private:
    bool busy_ = false;
    bool started_ = false;
    bool finished_ = false;
    int32_t counter_ = kBusyCounterStart;
    int32_t total_ = 0;
    int32_t left_ = 0;
    int32_t percent_ = 0;
    int32_t frame_ = 1;
};
