#include "outside/grindel/JpegFileWriter.h"

#include <jpeglib.h>
#include <setjmp.h>

#include <unistd.h>

#include <cmath>

struct JpegFileWriter::State {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    jmp_buf jump;
    char text[JMSG_LENGTH_MAX] = {};
    bool created = false;
    std::FILE* file = nullptr;
};

namespace {
void onJpegError(j_common_ptr info)
{
    auto* s = static_cast<JpegFileWriter::State*>(info->client_data);
    info->err->format_message(info, s->text);
    longjmp(s->jump, 1);
}
}  // namespace

JpegFileWriter::JpegFileWriter() : m_state(std::make_unique<State>()) {}

JpegFileWriter::~JpegFileWriter()
{
    if (m_state->created) jpeg_destroy_compress(&m_state->info);
    if (m_state->file) std::fclose(m_state->file);
}

const char* JpegFileWriter::Error() const { return m_state->text; }

bool JpegFileWriter::Start(std::FILE* file, int32_t width, int32_t height, int32_t components, int32_t quality,
                           double resolution)
{
    State* s = m_state.get();
    s->file = file;
    s->info.err = jpeg_std_error(&s->errors);
    s->errors.error_exit = onJpegError;
    s->info.client_data = s;
    if (setjmp(s->jump)) return false;
    jpeg_create_compress(&s->info);
    s->created = true;
    jpeg_stdio_dest(&s->info, file);
    s->info.image_width = static_cast<JDIMENSION>(width);
    s->info.image_height = static_cast<JDIMENSION>(height);
    s->info.input_components = components;
    s->info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&s->info);
    jpeg_set_quality(&s->info, quality, TRUE);
    if (resolution > 0 && resolution < 65535) {
        s->info.density_unit = 1;
        s->info.X_density = s->info.Y_density = static_cast<UINT16>(std::lround(resolution));
    }
    jpeg_start_compress(&s->info, TRUE);
    return true;
}

bool JpegFileWriter::WriteRows(const unsigned char* rows, int32_t rowBytes, int32_t count)
{
    State* s = m_state.get();
    if (setjmp(s->jump)) return false;
    for (int32_t y = 0; y < count; ++y) {
        JSAMPROW row = const_cast<JSAMPROW>(rows + static_cast<ptrdiff_t>(y) * rowBytes);
        jpeg_write_scanlines(&s->info, &row, 1);
    }
    return true;
}

bool JpegFileWriter::Finish()
{
    State* s = m_state.get();
    if (setjmp(s->jump)) return false;
    jpeg_finish_compress(&s->info);
    const bool flushed = std::fflush(s->file) == 0 && fsync(fileno(s->file)) == 0;
    const bool closed = std::fclose(s->file) == 0;
    s->file = nullptr;
    if (!flushed || !closed) {
        std::snprintf(s->text, sizeof s->text, "cannot write the file");
        return false;
    }
    return true;
}
