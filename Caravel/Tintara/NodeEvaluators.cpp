#include "Caravel/Tintara/NodeEvaluators.h"

#include "Caravel/Tintara/ColorMath.h"
#include "Caravel/Tintara/ColorTransform.h"
#include "Caravel/Tintara/ProfileDescription.h"

#include <algorithm>

namespace tintara {

namespace {

// A colour between the stages: real XYZ (not encoded) from gray and matrix
// sources, or 16-bit encoded values in the given PCS from a LUT source.
struct PcsColor {
    std::uint32_t space;
    bool encoded;
    double v[3];
};

void MultiplyMatrix(const double* m, const double* in, double* out)
{
    for (int r = 0; r < 3; ++r)
        out[r] = m[3 * r] * in[0] + m[3 * r + 1] * in[1] + m[3 * r + 2] * in[2];
}

// A LUT tag's one-dimensional table read at v (0..65535) with its scales.
double LookupLutTable(const AlignedBuffer<std::uint16_t>& table, double v, double indexScale, double valueScale)
{
    const std::size_t n = table.size();
    if (n == 0)
        return v;
    if (!(v > 0))
        return table[0] * valueScale;
    if (v >= 65535)
        return table[n - 1] * valueScale;
    const double p = v * indexScale;
    const auto i = std::min(std::size_t(p), n - 2);
    return (table[i] + (p - double(i)) * (double(table[i + 1]) - table[i])) * valueScale;
}

// ---- encodings of whole colours -------------------------------------------

void Decode(std::uint32_t space, const double* e, double* v)
{
    if (space == kSigXyz) {
        for (int k = 0; k < 3; ++k)
            v[k] = DecodeXyz(e[k]);
    } else if (space == kSigLch) {
        v[0] = DecodeLightness(e[0]);
        v[1] = DecodeChroma(e[1]);
        v[2] = DecodeHue(e[2]);
    } else {
        v[0] = DecodeLightness(e[0]);
        v[1] = DecodeAb(e[1]);
        v[2] = DecodeAb(e[2]);
    }
}

void Encode(std::uint32_t space, const double* v, double* e)
{
    if (space == kSigXyz) {
        for (int k = 0; k < 3; ++k)
            e[k] = EncodeXyz(v[k]);
    } else if (space == kSigLch) {
        e[0] = EncodeLightness(v[0]);
        e[1] = EncodeChroma(v[1]);
        e[2] = EncodeHue(v[2]);
    } else {
        e[0] = EncodeLightness(v[0]);
        e[1] = EncodeAb(v[1]);
        e[2] = EncodeAb(v[2]);
    }
}

void ToXyz(std::uint32_t space, const double* v, const double* white, double* xyz)
{
    if (space == kSigXyz) {
        std::copy(v, v + 3, xyz);
        return;
    }
    double lab[3];
    if (space == kSigLch)
        LchToLab(v, lab);
    else
        std::copy(v, v + 3, lab);
    LabToXyz(lab, white, xyz);
}

void FromXyz(std::uint32_t space, const double* xyz, const double* white, double* v)
{
    if (space == kSigXyz) {
        std::copy(xyz, xyz + 3, v);
        return;
    }
    double lab[3];
    XyzToLab(xyz, white, lab);
    if (space == kSigLch)
        LabToLch(lab, v);
    else
        std::copy(lab, lab + 3, v);
}

// Between Lab-like spaces without passing through XYZ; else through XYZ.
void ConvertSpace(std::uint32_t from, const double* v, std::uint32_t to, const double* toXyzWhite,
                  const double* fromXyzWhite, double* out)
{
    if (from == to) {
        std::copy(v, v + 3, out);
    } else if (from == kSigLch && to == kSigLab) {
        LchToLab(v, out);
    } else if (from == kSigLab && to == kSigLch) {
        LabToLch(v, out);
    } else {
        double xyz[3];
        ToXyz(from, v, toXyzWhite, xyz);
        FromXyz(to, xyz, fromXyzWhite, out);
    }
}

// ---- source stages -----------------------------------------------------------

PcsColor SourceGray(const ProfileDescription& d, const double* in)
{
    PcsColor c{kSigXyz, false, {}};
    if (d.destinationSpace == kSigXyz) {
        for (int k = 0; k < 3; ++k)
            c.v[k] = in[0] * d.illuminant[k];
    } else {
        // Lab and LCh: a neutral of lightness 100 g
        const double lab[3] = {in[0] * 100.0, 0, 0};
        LabToXyz(lab, d.illuminant, c.v);
    }
    return c;
}

PcsColor SourceMatrix(const ProfileDescription& d, const double* in)
{
    PcsColor c{kSigXyz, false, {}};
    MultiplyMatrix(d.matrix, in, c.v);
    return c;
}

PcsColor SourceLut(const ProfileDescription& d, const double* in)
{
    double x[4] = {};
    std::copy(in, in + d.inputChannels, x);
    if (d.matrixAheadOfTables) {
        // matrix, then the tag's own input tables (the link's are the identity)
        double m[3];
        MultiplyMatrix(d.matrix, x, m);
        for (int k = 0; k < 3; ++k)
            x[k] = LookupLutTable(d.lutInputTables[k], std::clamp(m[k], 0.0, 1.0) * 65535, d.inputIndexScale,
                                  d.inputValueScale) / 65535;
    }
    double v[4];
    for (long k = 0; k < d.inputChannels; ++k)
        v[k] = x[k] * 65535;
    double values[4] = {};
    d.lut.Evaluate(v, values);
    if (d.destinationSpace == kSigLch) {
        double lab[3], lch[3];
        Decode(kSigLab, values, lab);
        LabToLch(lab, lch);
        Encode(kSigLch, lch, values);
    }
    PcsColor c{d.destinationSpace, true, {}};
    for (int k = 0; k < 3; ++k)
        c.v[k] = LookupLutTable(d.lutOutputTables[k], values[k], d.outputIndexScale, d.outputValueScale);
    return c;
}

// ---- PCS connection ----------------------------------------------------------

// Converts the source's colour into what the destination stage takes: encoded
// values in its PCS (LUT) or real XYZ (gray, matrix).
PcsColor Connect(const EvaluatorContext& ctx, const PcsColor& src, bool lutSource, std::uint32_t destSpace,
                 bool destEncoded)
{
    const ProfileDescription& in = *ctx.input;
    const ProfileDescription& out = *ctx.output;
    if (!destEncoded)
        destSpace = kSigXyz;
    double v[3];
    if (src.encoded)
        Decode(src.space, src.v, v);
    else
        std::copy(src.v, src.v + 3, v);

    PcsColor result{destSpace, destEncoded, {}};
    if (ctx.transform->intent != 2) {
        if (src.encoded && destEncoded && src.space == destSpace)
            return src;
        const double* fromXyzWhite = lutSource ? in.illuminant : out.illuminant;
        ConvertSpace(src.space, v, destSpace, in.illuminant, fromXyzWhite, result.v);
    } else {
        // absolute: scale XYZ by the ratio of the media whites
        double xyz[3];
        ToXyz(src.space, v, in.illuminant, xyz);
        for (int k = 0; k < 3; ++k)
            if (out.mediaWhite[k] != 0)
                xyz[k] *= in.mediaWhite[k] / out.mediaWhite[k];
        FromXyz(destSpace, xyz, out.illuminant, result.v);
        if (!src.encoded && !destEncoded)
            return result;
    }
    if (destEncoded) {
        double e[3];
        Encode(destSpace, result.v, e);
        std::copy(e, e + 3, result.v);
    } else if (src.encoded) {
        // XYZ from a LUT source keeps the encoding's range
        for (double& x : result.v)
            x = DecodeXyz(EncodeXyz(x));
    }
    return result;
}

// ---- destination stages --------------------------------------------------------

void DestinationGray(const ProfileDescription& d, const PcsColor& c, double* out)
{
    if (d.sourceSpace == kSigXyz) {
        out[0] = EncodeXyz(c.v[1]) / 32768.0;
        return;
    }
    double lab[3];
    XyzToLab(c.v, d.illuminant, lab);
    out[0] = EncodeLightness(lab[0]) / 65280.0;
}

void DestinationMatrix(const ProfileDescription& d, const PcsColor& c, double* out)
{
    MultiplyMatrix(d.matrix, c.v, out);
}

void DestinationLut(const ProfileDescription& d, const PcsColor& c, double* out)
{
    double v[3] = {c.v[0], c.v[1], c.v[2]};
    if (d.matrixAheadOfTables) {
        double xyz[3], m[3];
        for (int k = 0; k < 3; ++k)
            xyz[k] = DecodeXyz(v[k]);
        MultiplyMatrix(d.matrix, xyz, m);
        for (int k = 0; k < 3; ++k)
            v[k] = EncodeXyz(m[k]);
    }
    for (int k = 0; k < 3; ++k)
        v[k] = LookupLutTable(d.lutInputTables[k], v[k], d.inputIndexScale, d.inputValueScale);
    double values[4] = {};
    d.lut.Evaluate(v, values);
    for (long o = 0; o < d.outputChannels; ++o)
        out[o] = values[o] / 65535.0;
}

// ---- the nine evaluators -------------------------------------------------------

enum Kind : long { kGray = 0, kLut = 1, kMatrix = 2 };

template <long InKind, long OutKind>
void Evaluate(const void* context, const double* in, double* out)
{
    const auto& ctx = *static_cast<const EvaluatorContext*>(context);
    PcsColor c;
    if constexpr (InKind == kGray)
        c = SourceGray(*ctx.input, in);
    else if constexpr (InKind == kLut)
        c = SourceLut(*ctx.input, in);
    else
        c = SourceMatrix(*ctx.input, in);
    c = Connect(ctx, c, InKind == kLut, ctx.output->sourceSpace, OutKind == kLut);
    if constexpr (OutKind == kGray)
        DestinationGray(*ctx.output, c, out);
    else if constexpr (OutKind == kLut)
        DestinationLut(*ctx.output, c, out);
    else
        DestinationMatrix(*ctx.output, c, out);
}

} // namespace

void EvaluateGrayToGray(const void* c, const double* in, double* out) { Evaluate<kGray, kGray>(c, in, out); }
void EvaluateGrayToLut(const void* c, const double* in, double* out) { Evaluate<kGray, kLut>(c, in, out); }
void EvaluateGrayToMatrix(const void* c, const double* in, double* out) { Evaluate<kGray, kMatrix>(c, in, out); }
void EvaluateLutToGray(const void* c, const double* in, double* out) { Evaluate<kLut, kGray>(c, in, out); }
void EvaluateLutToLut(const void* c, const double* in, double* out) { Evaluate<kLut, kLut>(c, in, out); }
void EvaluateLutToMatrix(const void* c, const double* in, double* out) { Evaluate<kLut, kMatrix>(c, in, out); }
void EvaluateMatrixToGray(const void* c, const double* in, double* out) { Evaluate<kMatrix, kGray>(c, in, out); }
void EvaluateMatrixToLut(const void* c, const double* in, double* out) { Evaluate<kMatrix, kLut>(c, in, out); }
void EvaluateMatrixToMatrix(const void* c, const double* in, double* out) { Evaluate<kMatrix, kMatrix>(c, in, out); }

NodeEvaluator ChooseNodeEvaluator(long inputKind, long outputKind)
{
    static const NodeEvaluator kTable[3][3] = {
        {EvaluateGrayToGray, EvaluateGrayToLut, EvaluateGrayToMatrix},
        {EvaluateLutToGray, EvaluateLutToLut, EvaluateLutToMatrix},
        {EvaluateMatrixToGray, EvaluateMatrixToLut, EvaluateMatrixToMatrix},
    };
    if (inputKind < 0 || inputKind > 2 || outputKind < 0 || outputKind > 2)
        return nullptr;
    return kTable[inputKind][outputKind];
}

} // namespace tintara
