#pragma once
// Outcomes shared by the transfer's steps, and the result codes of its naming.
#include <cstddef>
#include <cstdint>

// The outcome of a step, of a picture and of a whole run.
enum TransResult : int32_t {
    TransResult_Done = 0,
    TransResult_Stopped = 1,    // the user cancelled or declined to go on
    TransResult_Skipped = 2,    // this picture is left out, the run goes on
    TransResult_SourceGone = 3, // the main frame is told to close the source
    TransResult_Failed = 4,     // failed; the message has been shown
};

// Naming results (the transfer's share of the result-code family).
inline constexpr int32_t kNamingPathTooLong = -126;  // the final path is 260 characters or longer
inline constexpr int32_t kNamingNoFreeName = -127;   // no free name within the try limit
inline constexpr int32_t kNamingBadBase = -128;      // the destination base folder is unusable

// Paths of the transfer keep the historical length limit.
inline constexpr std::size_t kMaxTransferPath = 260;
