#include "Caravel/Tintara/ColorTransform.h"

#include "Caravel/Tintara/CpuFeatures.h"
#include "Caravel/Tintara/CurveTables.h"
#include "Caravel/Tintara/MultiLut.h"
#include "Caravel/Tintara/MultiLutAsm.h"
#include "Caravel/Tintara/NodeEvaluators.h"
#include "Caravel/Tintara/ProfileDescription.h"

#include <new>

namespace tintara {

namespace {

long GridPointsFor(long inputs)
{
    if (inputs == 1)
        return 256;
    return inputs == 3 ? 32 : 16;
}

bool SupportedChannels(long n)
{
    return n == 1 || n == 3 || n == 4;
}

// 5. the table object of the link, by the processor probe
long CreateWorkTable(ColorTransform& t)
{
    t.lut.reset();
    if (!SupportedChannels(t.inputChannels) || !SupportedChannels(t.outputChannels))
        return kBadProfile;
    const long grid = GridPointsFor(t.inputChannels);
    DetectCpuFeatures();
    if (UseProcessorKernels())
        t.lut.reset(new (std::nothrow) CMultiLutAsm(grid, t.inputChannels, t.outputChannels));
    else
        t.lut = CreatePortableMultiLut(grid, t.inputChannels, t.outputChannels);
    return t.lut ? kOk : kNoMemory;
}

// 9., 10. a description's per-channel curve as a link curve
long CopyLinkCurve(const ProfileDescription& d, long channel, bool inputSide, AlignedBuffer<std::uint16_t>& to)
{
    const bool lutTables = d.kind == ProfileDescription::kLut;
    if (lutTables && inputSide && d.matrixAheadOfTables) {
        // the evaluator applies the tag's input tables after its matrix
        if (long rc = to.Resize(2); rc != kOk)
            return rc;
        to[0] = 0;
        to[1] = 65535;
        return kOk;
    }
    const AlignedBuffer<std::uint16_t>& from =
        lutTables ? (inputSide ? d.lutInputTables[channel] : d.lutOutputTables[channel]) : d.curves[channel];
    if (long rc = to.Resize(from.size()); rc != kOk)
        return rc;
    const unsigned scale = d.precision == 8 ? 257 : 1;
    for (std::size_t i = 0; i < from.size(); ++i)
        to[i] = std::uint16_t(from[i] * scale);
    return kOk;
}

} // namespace

long BuildTransform(ColorTransform& transform, const std::uint8_t* inputImage, std::size_t inputLength,
                    const std::uint8_t* outputImage, std::size_t outputLength, long intent, long proofMode,
                    long inputBits, long outputBits, const UserLutRecord* inputCurves,
                    const UserLutRecord* outputCurves)
{
    // 1.
    transform.byteCells.reset();
    transform.intent = intent;
    transform.proofMode = proofMode;
    // 2. headers
    ProfileReader inputReader;
    ProfileReader outputReader;
    if (long rc = inputReader.ReadProfileHeader(inputImage, inputLength); rc != kOk)
        return rc;
    transform.inputColorSpace = inputReader.colorSpace;
    if (long rc = outputReader.ReadProfileHeader(outputImage, outputLength); rc != kOk)
        return rc;
    transform.outputColorSpace = outputReader.colorSpace;
    // 3. descriptions
    ProfileDescription input;
    ProfileDescription output;
    if (long rc = BuildProfileDescription(input, inputReader, intent, ProfileDirection::kInput); rc != kOk)
        return rc;
    if (long rc = BuildProfileDescription(output, outputReader, intent, ProfileDirection::kOutput); rc != kOk)
        return rc;
    // 4. channel counts of the link
    transform.inputChannels = input.inputChannels;
    transform.outputChannels = output.outputChannels;
    // 5. table object
    if (long rc = CreateWorkTable(transform); rc != kOk)
        return rc;
    // 6. evaluator
    const NodeEvaluator evaluator = ChooseNodeEvaluator(input.kind, output.kind);
    if (!evaluator)
        return kBadProfile;
    // 7. evaluators interpolate Lab, never hue angles
    if (input.kind == ProfileDescription::kLut && input.destinationSpace == kSigLch)
        input.lut.ConvertLchToLab();
    if (output.kind == ProfileDescription::kLut && output.destinationSpace == kSigLch)
        output.lut.ConvertLchToLab();
    // 8. sample every node
    const EvaluatorContext context{&transform, &input, &output};
    if (long rc = transform.lut->Build(evaluator, &context); rc != kOk)
        return rc;
    // 9., 10. per-channel curves
    for (long c = 0; c < transform.inputChannels; ++c)
        if (long rc = CopyLinkCurve(input, c, true, transform.profileInputCurves[c]); rc != kOk)
            return rc;
    for (long c = 0; c < transform.outputChannels; ++c)
        if (long rc = CopyLinkCurve(output, c, false, transform.profileOutputCurves[c]); rc != kOk)
            return rc;
    // 11. curve tables
    return BuildCurveTables(transform, inputBits, outputBits, inputCurves, outputCurves);
}

} // namespace tintara
