#pragma once
// The conversion of one upload run: a framework manager and one chain (de-Bayer, scale, colour
// space, flip and rotate) built once, then for each picture a load into an image, the chain
// pointed at it, and a JPEG saved from the chain's output with the picture's tags.
#include "Caravel/src/PictureConverter.h"
#include "outside/grindel/Grindel.h"
#include "outside/veltra/VeltraChain.h"
#include "outside/veltra/VeltraError.h"
#include "outside/veltra/VeltraImage.h"
#include "outside/veltra/VeltraManager.h"

#include <cstdint>
#include <string>

class CDeBayerFilter;
class CVeltraFilterColorSpace;
class CVeltraFilterScale;
class CVeltraFilterTransform;

namespace caravel {

// Output size of a picture for an image size code (1 original ... 4 1220 x 960).
void OutputSize(int32_t imageSize, int32_t width, int32_t height, int32_t* outWidth, int32_t* outHeight);
// Manager factor for half the physical memory, before the shift.
uint32_t ManagerFactor(uint32_t halfMemory);

bool IsSupportedFileFormat(int32_t format);
bool IsPassThroughFormat(int32_t format);
bool IsSupportedColorSpace(int32_t colorSpace);
// Composes the diagnostic text of a chain (kept for a debugger) and releases the chain;
// true when there was an error.
bool FormatVeltraError(IVeltraError* error, std::string* text = nullptr);

class ProcessingPipeline : public PictureConverter {
public:
    ProcessingPipeline() = default;
    ~ProcessingPipeline() override { ProcessingPipeline::TearDownPipeline(); }
    ProcessingPipeline(const ProcessingPipeline&) = delete;
    ProcessingPipeline& operator=(const ProcessingPipeline&) = delete;

    bool SetUpPipeline() override;
    void TearDownPipeline() override;
    // False also for a JPEG file, which then sets *needsNoConversion.
    bool LoadImageFile(const std::string& sourcePath, bool* needsNoConversion) override;
    bool TransformAndSave(const std::string& workPath, int32_t imageSize, int32_t orientation) override;

private:
    void DropImage();

    IVeltraManager* m_manager = nullptr;
    IVeltraImage* m_image = nullptr;
    CVeltraFilterColorSpace* m_colorSpace = nullptr;
    CDeBayerFilter* m_deBayer = nullptr;
    IVeltraTagControl* m_tags = nullptr;
    IVeltraChain* m_chain = nullptr;
    CVeltraFilterScale* m_scale = nullptr;
    CVeltraFilterTransform* m_transform = nullptr;
};

}  // namespace caravel
