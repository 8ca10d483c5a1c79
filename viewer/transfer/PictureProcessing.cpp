#include "viewer/transfer/PictureProcessing.h"

#include "platform/fs/DosAttributes.h"
#include "platform/fs/FileOps.h"
#include "viewer/shell/common/ViewTables.h"
#include "viewer/sources/ImageFileIf.h"
#include "viewer/sources/JqFileLib.h"
#include "viewer/transfer/CaptionRecord.h"

#include <cctype>
#include <exception>

namespace {

constexpr uint32_t kIptcTag = 33723;
constexpr uint32_t kBytesType = 1;
constexpr int32_t kNoLibrary = 6;

struct LibraryError {
    int32_t code;
};

// Closes the library file however the processing ends.
struct OpenFile {
    std::unique_ptr<CJqFileLib> lib;
    ~OpenFile() {
        if (lib) {
            lib->CloseFile();
            lib->Terminate();
        }
    }
};

bool turnAndScale(CJqFileLib& lib, const ProcessRequest& r, bool* scaled) {
    int32_t w = 0, h = 0, depth = 0, model = 0;
    if (lib.GetImageInfo(&w, &h, &depth, &model) != 0) return false;
    const int32_t orientation = RotationToOrientation(r.quarterTurns);
    // Turn first and read the size again, so a quarter turn is fitted in turned coordinates.
    if (lib.SetImageInfo(w, h, depth, model, orientation) != 0) return false;
    if (lib.GetImageInfo(&w, &h, &depth, &model) != 0) return false;
    const int32_t limit = LongSideOf(r.imageSize);
    if (limit == 0 || std::max(w, h) < limit) return true;
    const PixelSize fit = FitToLongSide(w, h, limit);
    if (fit.width <= 0 || fit.height <= 0) return false;
    if (lib.SetImageInfo(fit.width, fit.height, depth, model, orientation) != 0) return false;
    *scaled = true;
    return true;
}

bool writeIptc(CJqFileLib& lib, const ProcessRequest& r) {
    CCaptionRecord record;
    uint32_t count = 0;
    if (lib.GetTagCount(&count) != 0) return false;
    std::vector<JqflTagEntry> tags(count);
    if (count && lib.GetTagList(tags.data(), count) != 0) return false;
    for (const JqflTagEntry& t : tags) {
        if (t.tag != kIptcTag) continue;
        uint32_t type = 0, n = 0, size = t.byteSize;
        std::vector<uint8_t> bytes(size);
        if (lib.GetTag(kIptcTag, &type, &n, &size, bytes.data()) != 0) return false;
        bytes.resize(std::min<size_t>(size, bytes.size()));
        if (!record.SetData(bytes.data(), bytes.size()) || !record.Parse()) return false;
        break;
    }
    if (r.writeCaption && !record.SetCaption(r.caption.data(), r.caption.size())) return false;
    for (const std::string& k : r.keywords) {
        if (record.HasKeyword(CutAtCharacter(k, CCaptionRecord::kMaxKeyword))) continue;
        if (!record.AddKeyword(k.c_str(), k.size())) return false;
    }
    const int32_t size = record.GetSize();
    if (size < 0) return false;
    std::vector<uint8_t> block(static_cast<size_t>(size));
    if (record.GetData(block.data(), block.size()) != size) return false;
    return lib.SetTag(kIptcTag, kBytesType, static_cast<uint32_t>(size), block.data()) == 0;
}

// The library reports save progress in 32-bit counts; the transfer's routine takes 64-bit ones.
struct SaveProgress {
    CopyProgressProc progress;
    void* reference;
};
int32_t forwardProgress(uint32_t done, uint32_t total, void* reference) {
    auto* p = static_cast<SaveProgress*>(reference);
    return p->progress ? p->progress(done, total, p->reference) : 0;
}

std::string jpegName(const std::string& name) {
    const auto dot = name.find_last_of('.');
    return (dot == std::string::npos ? name : name.substr(0, dot)) + ".JPG";
}

}  // namespace

int32_t LongSideOf(uint32_t imageSize) {
    switch (imageSize) {
    case 1: return 1024;
    case 2: return 640;
    case 3: return 320;
    default: return 0;
    }
}

bool HasExtension(const std::string& name, const char* extension) {
    const std::string ext = extension;
    if (name.size() < ext.size()) return false;
    for (size_t i = 0; i < ext.size(); ++i) {
        const char a = static_cast<char>(std::toupper(static_cast<unsigned char>(name[name.size() - ext.size() + i])));
        if (a != std::toupper(static_cast<unsigned char>(ext[i]))) return false;
    }
    return true;
}

uint32_t FileTypeOfName(const std::string& name) {
    if (HasExtension(name, ".JPG")) return JQFL_TYPE_JPEG;
    if (HasExtension(name, ".TIF")) return JQFL_TYPE_TIFF;
    if (HasExtension(name, ".RWQ")) return JQFL_TYPE_RAW;
    return JQFL_TYPE_OTHER;
}

uint32_t SaveQuality(uint32_t imageSize, int32_t maker80004) {
    if (imageSize == 0 && maker80004 >= 0 && maker80004 <= 2) return static_cast<uint32_t>(maker80004) + 1;
    return 2;
}

ProcessOutcome ProcessPicture(ProcessRequest& r) {
    ProcessOutcome out;
    try {
        OpenFile file;
        int32_t code = 0;
        file.lib = CImageFileIf::OpenImageFile(r.source, &code);
        if (!file.lib) {
            out.kind = ProcessOutcome::kLibraryError;
            out.code = code ? code : kNoLibrary;
            return out;
        }
        if (const int32_t t = file.lib->GetFileType(); t != 0) throw LibraryError{t};

        bool scaled = false;
        if ((r.imageSize != 0 || r.quarterTurns != 0) && !turnAndScale(*file.lib, r, &scaled)) {
            out.kind = ProcessOutcome::kSkip;
            return out;
        }
        if (r.writeCaption || !r.keywords.empty()) out.captionWritten = writeIptc(*file.lib, r);

        // A picture made smaller is always a JPEG (so the web copy can take it).
        if ((scaled || r.imageSize != 0) && !HasExtension(r.name, ".JPG")) r.name = jpegName(r.name);
        out.workCopy = r.workFolder + "/" + r.name;
        plat::removeFile(out.workCopy);   // a placeholder left by the thumbnail step
        const uint32_t format = FileTypeOfName(r.name);
        SaveProgress forward{r.progress, r.reference};
        const int32_t saved = file.lib->SaveFile(format, SaveQuality(r.imageSize, r.maker80004),
                                                 out.workCopy.c_str(), forwardProgress, &forward);
        if (saved != 0) {
            plat::removeFile(out.workCopy);
            throw LibraryError{saved};
        }
        if (!plat::fileExists(out.workCopy)) throw LibraryError{JQFL_WRITE_ERROR};
        uint32_t bits = 0;
        if (r.readOnly) bits |= plat::FileAttr::ReadOnly;
        if (r.hidden) bits |= plat::FileAttr::Hidden;
        if (bits) plat::changeDosAttributes(out.workCopy, bits, 0);
        return out;
    } catch (const LibraryError& e) {
        out.kind = ProcessOutcome::kLibraryError;
        out.code = e.code;
    } catch (const std::exception&) {
        out.kind = ProcessOutcome::kSkip;
    }
    return out;
}
