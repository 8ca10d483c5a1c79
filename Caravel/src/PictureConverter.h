#pragma once
#include <cstdint>
#include <string>

namespace caravel {

// What the worker needs of the imaging (ProcessingPipeline in the program).
class PictureConverter {
public:
    virtual ~PictureConverter() = default;
    virtual bool SetUpPipeline() = 0;
    virtual void TearDownPipeline() = 0;
    virtual bool LoadImageFile(const std::string& sourcePath, bool* needsNoConversion) = 0;
    virtual bool TransformAndSave(const std::string& workPath, int32_t imageSize, int32_t orientation) = 0;
};

}  // namespace caravel
