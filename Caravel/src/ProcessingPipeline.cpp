#include "Caravel/src/ProcessingPipeline.h"

#include "Caravel/Brisant/VeltraFilterColorSpace.h"
#include "Caravel/Brisant/VeltraFilterScale.h"
#include "Caravel/Brisant/VeltraFilterTransform.h"
#include "Caravel/src/DeBayerFilter.h"
#include "Caravel/src/RunFlags.h"
#include "outside/veltra/VeltraGraph.h"
#include "platform/sysroot/SystemRoot.h"
#include "platform/thread/PhysicalMemory.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace caravel {

namespace {

// An error of a call, wrapped with the call site and checked at once.
#define FAILED(expr) FormatVeltraError(IVeltraError::AddWorker(nullptr, 0, __LINE__, (expr)))

constexpr uint32_t kMiB = 1024u * 1024u;

std::string ModuleName(int32_t module)
{
    switch (module) {
    case 0: return "Veltrasphere";
    case 1: return "OS";
    case 2: return "App";
    default: break;
    }
    char text[32];
    const auto u = static_cast<uint32_t>(module);
    auto shown = [](uint32_t b) { return static_cast<char>(b >= 0x20 && b <= 0x7E ? b : '_'); };
    std::snprintf(text, sizeof text, "%08X (%c%c%c%c)", u, shown(u >> 24 & 0xFF), shown(u >> 16 & 0xFF),
                  shown(u >> 8 & 0xFF), shown(u & 0xFF));
    return text;
}

bool FileFor(const std::string& path, VeltraFile* file)
{
    if (path.size() >= sizeof file->path)
        return false;
    std::memset(file->path, 0, sizeof file->path);
    std::memcpy(file->path, path.data(), path.size());
    return true;
}

// Steps a load or a save until done or cancelled; false on an error or a cancel.
bool StepUntilDone(IVeltraProgress* progress)
{
    if (!progress)
        return false;
    bool done = false;
    while (CancelFlag().load() == 0) {
        if (FAILED(progress->IsDone(&done)))
            return false;
        if (done)
            return true;
        if (FAILED(progress->Step()))
            return false;
        int32_t rows = 0, total = 0;
        if (FAILED(progress->GetProgress(&rows, &total)))
            return false;
        ForwardProgress(rows, total);
    }
    return false;
}

}  // namespace

void OutputSize(int32_t imageSize, int32_t width, int32_t height, int32_t* outWidth, int32_t* outHeight)
{
    struct Box {
        float w, h, limit;
    };
    static const Box boxes[] = {{640, 480, 0.75f}, {1024, 768, 0.75f}, {1220, 960, 0.787f}};
    *outWidth = width;
    *outHeight = height;
    if (imageSize < 2 || imageSize > 4 || width <= 0 || height <= 0)
        return;
    const Box& b = boxes[imageSize - 2];
    const float aspect = static_cast<float>(height) / static_cast<float>(width);
    if (aspect <= b.limit) {
        *outWidth = static_cast<int32_t>(b.h / aspect);
        *outHeight = static_cast<int32_t>(b.h);
    } else {
        *outWidth = static_cast<int32_t>(b.w);
        *outHeight = static_cast<int32_t>(b.w * aspect);
    }
}

uint32_t ManagerFactor(uint32_t halfMemory)
{
    if (halfMemory > 64 * kMiB)
        return 4;
    if (halfMemory > 16 * kMiB)
        return 2;
    return 1;
}

bool IsSupportedFileFormat(int32_t f) { return f == 1 || f == 2 || f == 4 || f == 16 || f == 32; }

bool IsPassThroughFormat(int32_t f) { return f == 16 || f == 32; }

bool IsSupportedColorSpace(int32_t cs) { return cs == 2 || cs == 3 || cs == 32 || cs == 33; }

bool FormatVeltraError(IVeltraError* error, std::string* text)
{
    if (!error)
        return false;
    std::string out;
    for (const IVeltraError* link = error; link; link = link->GetNext()) {
        char location[1025] = {};
        link->GetLocation(location, sizeof location);
        char line[2048];
        if (link->GetCode() == -1)
            std::snprintf(line, sizeof line, "Error \"%s\" at %s\n", link->GetText(), location);
        else
            std::snprintf(line, sizeof line, "Error %d from %s at %s\n", link->GetCode(),
                          ModuleName(link->GetModule()).c_str(), location);
        out += line;
    }
    if (text)
        *text = out;
    error->Release();
    return true;
}

bool ProcessingPipeline::SetUpPipeline()
{
    const uint32_t half = plat::totalPhysicalMemory32() / 2;
    const std::string temp = plat::SystemRoot::current().tempPath();
    VeltraFile pageFile;
    if (temp.empty() || !FileFor(temp + "veltra.pgf", &pageFile))
        return false;
    if (FAILED(IVeltraManager::CreateManager(&m_manager, pageFile, half, ManagerFactor(half) << 16, 0)))
        return false;
    m_deBayer = new (std::nothrow) CDeBayerFilter(m_manager);
    m_colorSpace = new (std::nothrow) CVeltraFilterColorSpace(m_manager);
    m_scale = new (std::nothrow) CVeltraFilterScale(m_manager, 0);
    m_transform = new (std::nothrow) CVeltraFilterTransform(m_manager);
    if (!m_deBayer || !m_colorSpace || !m_scale || !m_transform)
        return false;
    if (FAILED(m_manager->CreateChain(&m_chain)))
        return false;
    return !FAILED(m_chain->AppendFilter(m_deBayer, -1)) && !FAILED(m_chain->AppendFilter(m_scale, -1)) &&
           !FAILED(m_chain->AppendFilter(m_colorSpace, -1)) && !FAILED(m_chain->AppendFilter(m_transform, -1));
}

void ProcessingPipeline::TearDownPipeline()
{
    // the chain lets go of its members first, so no filter is freed while still connected
    if (m_chain) {
        m_chain->Release();
        m_chain = nullptr;
    }
    DropImage();
    delete m_deBayer;
    delete m_scale;
    delete m_colorSpace;
    delete m_transform;
    m_deBayer = nullptr;
    m_scale = nullptr;
    m_colorSpace = nullptr;
    m_transform = nullptr;
    if (m_manager) {
        m_manager->Release();
        m_manager = nullptr;
    }
}

void ProcessingPipeline::DropImage()
{
    if (m_image) {
        if (m_chain)
            FAILED(m_chain->SetSource(nullptr, 0));
        m_image->Destroy();
        m_image = nullptr;
    }
    if (m_tags) {
        m_tags->Release();
        m_tags = nullptr;
    }
}

bool ProcessingPipeline::LoadImageFile(const std::string& sourcePath, bool* needsNoConversion)
{
    *needsNoConversion = false;
    if (CancelFlag().load() != 0 || !m_manager)
        return false;
    DropImage();
    bool ok = false;
    bool opened = false;
    IVeltraFileStream* stream = nullptr;
    IVeltraLoad* load = nullptr;
    int32_t total = 0;
    VeltraFile file;
    do {
        if (FAILED(m_manager->CreateImage(&m_image, 0)) || !FileFor(sourcePath, &file))
            break;
        if (FAILED(IVeltraFileStream::CreateFileStream(&stream)) || FAILED(stream->Open(file)))
            break;
        if (FAILED(IVeltraLoad::CreateLoad(&load)) || FAILED(IVeltraTagControl::CreateTagControl(&m_tags)))
            break;
        if (FAILED(load->Open(stream, m_tags, 8388608, 0)))
            break;
        opened = true;
        int32_t format = 0;
        if (FAILED(load->GetFileFormat(&format)) || !IsSupportedFileFormat(format))
            break;
        if (IsPassThroughFormat(format)) {
            *needsNoConversion = true;
            break;
        }
        if (FAILED(load->SetDestination(m_image)))
            break;
        if (!StepUntilDone(load->GetProgressInterface()))
            break;
        int32_t done = 0;
        load->GetProgressInterface()->GetProgress(&done, &total);
        int32_t cs = 0;
        if (FAILED(m_image->GetColorSpace(&cs)) || !IsSupportedColorSpace(cs))
            break;
        ok = true;
    } while (false);
    if (!ok) {
        DropImage();
        ForwardProgress(0, total);
    }
    if (load) {
        if (opened)
            FAILED(load->Close());
        load->Release();
    }
    if (stream)
        stream->Release();
    return ok;
}

bool ProcessingPipeline::TransformAndSave(const std::string& workPath, int32_t imageSize, int32_t orientation)
{
    if (CancelFlag().load() != 0 || !m_image || !m_chain)
        return false;
    bool ok = false;
    bool opened = false;
    IVeltraFileStream* stream = nullptr;
    IVeltraSave* save = nullptr;
    VeltraFile file;
    do {
        int32_t cs = 0;
        if (FAILED(m_image->GetColorSpace(&cs)))
            break;
        if (FAILED(m_deBayer->Enable(cs == CDeBayerFilter::kInputColorSpace, true)))
            break;
        if (FAILED(m_chain->SetSource(m_image, 0)) ||
            FAILED(VeltraSendDataNotification(m_image, kVeltraNotifyUpdateAll, nullptr)))
            break;
        if (FAILED(m_colorSpace->SetOutputColorSpace(CVeltraFilterColorSpace::eOutputColorSpaceSource,
                                                     CVeltraFilterColorSpace::eOutputBitDepth8, true)))
            break;
        int32_t w = 0, h = 0, ow = 0, oh = 0;
        if (FAILED(m_image->GetWidth(&w)) || FAILED(m_image->GetHeight(&h)))
            break;
        OutputSize(imageSize, w, h, &ow, &oh);
        if (FAILED(m_scale->SetSize(ow, oh, true)))
            break;
        if (orientation == 1 && FAILED(m_transform->RotateCW(90, true)))
            break;
        if (orientation == 2 && FAILED(m_transform->RotateCW(180, true)))
            break;
        if (orientation == 4 && FAILED(m_transform->RotateCCW(90, true)))
            break;
        if (!FileFor(workPath, &file) || FAILED(IVeltraFileStream::CreateFileStream(&stream)) ||
            FAILED(stream->Open(file)))
            break;
        if (FAILED(IVeltraSave::CreateSave(&save)) || FAILED(save->Open(stream, m_tags, kGrindelSaveJpeg, 3)))
            break;
        opened = true;
        if (FAILED(save->SetSource(m_chain, 0, 0)))
            break;
        ok = StepUntilDone(save->GetProgressInterface());
    } while (false);
    FAILED(m_transform->SetTransform(false, 0, true, true));
    if (CancelFlag().load() != 0) {
        ok = false;
        ForwardProgress(0, 1);
    }
    if (save) {
        // the file appears only when the save closes after its last row
        if (opened && FAILED(save->Close()))
            ok = false;
        save->Release();
    }
    if (stream)
        stream->Release();
    DropImage();
    return ok;
}

}  // namespace caravel
