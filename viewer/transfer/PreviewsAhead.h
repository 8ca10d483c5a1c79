#pragma once
// Reads the next pictures' previews (thumbnail and shooting information) on
// other cores while the transfer worker copies the current one. Reading a
// preview only reads the card, so a preview read a moment early is the same
// preview; the worker takes each one when its picture comes, in the list's
// order, and reads for itself any picture that was not read ahead or whose
// reading failed (so that a failure is met, and reported, at its own time).
// At most `window` pictures past the one taken last are read ahead. A preview
// read well that the worker never takes (its picture passed over, or the run
// ended first) is handed to `drop`, for whatever its reading left behind.
#include "platform/thread/Event.h"
#include "viewer/sources/PictureRecords.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class PreviewsAhead {
public:
    // Reads picture `index`'s preview into the record; 0 on success. `abort` is
    // set when the reads are no longer wanted.
    using Reader = std::function<int32_t(size_t index, std::unique_ptr<PictureRecord>& record,
                                         const plat::Event* abort)>;

    using Drop = std::function<void(size_t index, std::unique_ptr<PictureRecord>& record)>;

    PreviewsAhead(size_t count, Reader read, unsigned threads, size_t window, Drop drop = {});
    ~PreviewsAhead();  // stops the reads and joins the threads
    PreviewsAhead(const PreviewsAhead&) = delete;
    PreviewsAhead& operator=(const PreviewsAhead&) = delete;

    // Picture `index`'s preview when it was read ahead, waiting while its read is
    // under way; false (and nothing) when it was not read ahead or failed.
    // Pictures before `index` not yet taken are given up.
    bool take(size_t index, std::unique_ptr<PictureRecord>* record);

    // The number of reader threads a machine's cores allow beside the worker.
    static unsigned ThreadsBeside(unsigned cores);

private:
    enum class State { Waiting, Reading, Ready, Given };
    struct Slot {
        State state = State::Waiting;
        std::unique_ptr<PictureRecord> record;  // a preview read well, until taken
    };

    using Records = std::vector<std::pair<size_t, std::unique_ptr<PictureRecord>>>;

    void ReadLoop();
    void Dropped(Records& records);  // hands them to `drop`, without the lock
    bool NextToRead(size_t* index);  // with the lock held

    Reader read_;
    Drop drop_;
    const size_t window_;
    plat::Event abort_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Slot> slots_;
    size_t next_ = 0;      // the first picture no thread has started
    size_t horizon_ = 0;   // pictures up to here may be read
    size_t passed_ = 0;    // pictures before this one are taken or given up
    bool stop_ = false;
    std::vector<std::thread> threads_;
};
