#include "Caravel/Tintara/TransformHandle.h"

#include "Caravel/Tintara/CurveTables.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace tintara {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

long ErrnoOr(long fallback)
{
    return errno != 0 ? long(errno) : fallback;
}

// The bytes of one side: the memory image when there is one, else the file.
long ProfileBytes(const AlignedBuffer<std::uint8_t>& image, const AlignedBuffer<std::uint8_t>& path,
                  AlignedBuffer<std::uint8_t>& read, const AlignedBuffer<std::uint8_t>*& bytes)
{
    if (!image.empty()) {
        bytes = &image;
        return kOk;
    }
    const char* name = path.empty() ? "" : reinterpret_cast<const char*>(path.data());
    bytes = &read;
    return ReadProfileFile(name, read);
}

} // namespace

long ReadProfileFile(const char* path, AlignedBuffer<std::uint8_t>& image)
{
    image.Resize(0);
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        return std::filesystem::is_directory(status) ? EISDIR : EINVAL;
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file)
        return ErrnoOr(ENOENT);
    errno = 0;
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return ErrnoOr(EIO);
    const long size = std::ftell(file.get());
    if (size < 0)
        return ErrnoOr(EIO);
    if (std::fseek(file.get(), 0, SEEK_SET) != 0)
        return ErrnoOr(EIO);
    if (size == 0)
        return kOk;
    if (long rc = image.Resize(std::size_t(size)); rc != kOk)
        return rc;
    errno = 0;
    if (std::fread(image.data(), 1, std::size_t(size), file.get()) != std::size_t(size)) {
        image.Resize(0);
        return ErrnoOr(EIO);
    }
    return kOk;
}

long PrepareTransform(TransformHandle& h)
{
    // 1.
    if (!h.profilesChanged && !h.curvesChanged)
        return kOk;
    // 2. only the curve tables
    if (!h.profilesChanged) {
        const long rc = BuildCurveTables(h.transform, h.inputBits, h.outputBits, h.inputCurves, h.outputCurves);
        if (rc == kOk)
            h.curvesChanged = false;
        return rc;
    }
    // 3. full rebuild from fresh profile bytes
    AlignedBuffer<std::uint8_t> inputRead;
    AlignedBuffer<std::uint8_t> outputRead;
    const AlignedBuffer<std::uint8_t>* input = nullptr;
    const AlignedBuffer<std::uint8_t>* output = nullptr;
    if (long rc = ProfileBytes(h.inputProfileImage, h.inputProfilePath, inputRead, input); rc != kOk)
        return rc;
    if (long rc = ProfileBytes(h.outputProfileImage, h.outputProfilePath, outputRead, output); rc != kOk)
        return rc;
    const long rc = BuildTransform(h.transform, input->data(), input->size(), output->data(), output->size(), h.intent,
                                   h.proofMode, h.inputBits, h.outputBits, h.inputCurves, h.outputCurves);
    if (rc == kOk)
        h.profilesChanged = h.curvesChanged = false;
    return rc;
}

long SetUserCurves(UserLutRecord* records, long inBits, long outBits, long mask, const unsigned short* const* curves,
                   long merge)
{
    if (inBits < 0 || inBits > 16 || outBits < 0 || outBits > 16 || mask < 1 || mask > 15)
        return kBadArgument;
    // a curve needs two entries and a non-zero range to be read
    int next = 0;
    for (int k = 0; k < 4; ++k)
        if ((mask & (1L << k)) && curves[next++] && (inBits < 1 || outBits < 1))
            return kBadArgument;
    next = 0;
    for (int k = 0; k < 4; ++k) {
        if (!(mask & (1L << k)))
            continue;
        UserLutRecord& record = records[k];
        const unsigned short* values = curves[next++];
        record.merge = merge;
        if (!values) {
            record.curve.Resize(0);
            continue;
        }
        const std::size_t entries = std::size_t(1) << inBits;
        if (long rc = record.curve.Resize(entries); rc != kOk)
            return rc;
        std::memcpy(record.curve.data(), values, entries * sizeof(std::uint16_t));
        record.inBits = inBits;
        record.outBits = outBits;
    }
    return kOk;
}

} // namespace tintara
