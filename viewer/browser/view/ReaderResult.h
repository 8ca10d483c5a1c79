#pragma once
// What a thumbnail reader does with the result of one read.
#include <cstdint>

struct ReaderAction {
    enum class Report { None, MainWindowText, LibraryResult, Error, TargetChanged };
    Report report = Report::None;
    int32_t value = 0;        // text id, library-result kind, error code or target status
    bool dropItem = false;    // the picture is gone: take its item out (the next picture takes its index)
    bool placeholder = false; // the picture stays, without a thumbnail: its cell shows its type's icon
    bool endRun = false;      // set the run's stop and abort flags
    int32_t exitCode = 0;     // the reader's result
};

// result: the read's (or the source check's) result, not 0 or -96.
// abortSet: the process's run-abort flag as it stands.
ReaderAction DecideReaderResult(int32_t result, bool abortSet);

// Result of a read that never reached the source: a missing picture.
int32_t MissingPictureResult(int32_t sourceCheck);

// A read is wrapped in a device-check pause when it may be slow.
bool IsSlowRead(int32_t pictureWidth, int32_t pictureHeight, bool buildFromPicture, bool movie);
