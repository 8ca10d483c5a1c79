#pragma once
// Writes 8-bit grey or RGB rows to a JPEG file through libjpeg, failing cleanly.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class JpegFileWriter {
public:
    JpegFileWriter();
    ~JpegFileWriter();
    JpegFileWriter(const JpegFileWriter&) = delete;
    JpegFileWriter& operator=(const JpegFileWriter&) = delete;

    // Takes the open file; components 1 (grey) or 3 (RGB); resolution in pixels per inch (0: none).
    bool Start(std::FILE* file, int32_t width, int32_t height, int32_t components, int32_t quality,
               double resolution);
    bool WriteRows(const unsigned char* rows, int32_t rowBytes, int32_t count);
    // Completes the file and closes it.
    bool Finish();
    const char* Error() const;

    struct State;

private:
    std::unique_ptr<State> m_state;
};
