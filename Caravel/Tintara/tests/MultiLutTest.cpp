#include "Caravel/Tintara/CpuFeatures.h"
#include "Caravel/Tintara/MultiLut.h"
#include "Caravel/Tintara/MultiLutAsm.h"
#include "Caravel/Tintara/MultiLutInit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

using namespace tintara;

namespace {

struct Shape {
    long grid, inputs, outputs;
};
const Shape kShapes[] = {{256, 1, 1}, {256, 1, 3}, {256, 1, 4}, {32, 3, 1}, {32, 3, 3},
                         {32, 3, 4},  {16, 4, 1},  {16, 4, 3},  {16, 4, 4}};

// An evaluator that returns its coordinates (repeating them for extra outputs).
void Coordinates(const void* context, const double* in, double* out)
{
    const long inputs = *static_cast<const long*>(context);
    for (int o = 0; o < 4; ++o)
        out[o] = in[o % inputs];
}

// A bumpy evaluator so that neighbouring nodes differ in both directions.
void Bumpy(const void* context, const double* in, double* out)
{
    const long inputs = *static_cast<const long*>(context);
    for (int o = 0; o < 4; ++o) {
        double v = 0.5;
        for (long k = 0; k < inputs; ++k)
            v += 0.45 * std::sin(7.0 * in[k] * (k + 1) + o);
        out[o] = v / inputs;
    }
}

std::unique_ptr<CMultiLutWorkBase> Make(const Shape& s, bool processor)
{
    if (processor)
        return std::make_unique<CMultiLutAsm>(s.grid, s.inputs, s.outputs);
    return CreatePortableMultiLut(s.grid, s.inputs, s.outputs);
}

// The interpolation written out from its definition, one output at a time,
// reading all 2^I corners (the table's neighbour reads are clamped here).
std::vector<std::uint16_t> Reference(const CMultiLutWorkBase& lut, const std::vector<std::uint16_t>& in, bool processor)
{
    const long G = lut.G, I = lut.I, S = lut.NodeSize();
    const std::size_t count = in.size() / std::size_t(I);
    std::vector<std::uint16_t> out(count * std::size_t(S));
    for (std::size_t p = 0; p < count; ++p) {
        long index[4], fraction[4];
        for (long k = 0; k < I; ++k) {
            const std::uint16_t v = in[p * std::size_t(I) + std::size_t(k)];
            if (processor) {
                const std::uint64_t q = std::uint64_t(v) * std::uint64_t(G - 1) * 65537 + 65536;
                index[k] = long(q >> 32);
                fraction[k] = long(std::uint32_t(q) >> 17);
            } else {
                const double x = v * double(G - 1) / 65535.0;
                index[k] = long(x);
                fraction[k] = long((x - index[k]) * 32768);
            }
        }
        for (long o = 0; o < lut.O; ++o) {
            std::vector<std::int64_t> c(std::size_t(1) << I);
            for (std::size_t j = 0; j < c.size(); ++j) {
                std::size_t node = 0;
                for (long k = 0; k < I; ++k) {
                    const bool up = j & (std::size_t(1) << (I - 1 - k));
                    node = node * std::size_t(G) + std::size_t(std::min(index[k] + (up ? 1 : 0), G - 1));
                }
                const std::int64_t value = lut.table[node * std::size_t(S) + std::size_t(o)];
                c[j] = processor ? value / 2 : value;
            }
            for (long k = 0, n = long(c.size()); k < I; ++k) {
                n /= 2;
                for (long j = 0; j < n; ++j) {
                    const std::int64_t d = (c[std::size_t(j + n)] - c[std::size_t(j)]) * fraction[k];
                    // portable: division truncating toward zero; processor: floor
                    c[std::size_t(j)] += processor ? (d >= 0 ? d / 32768 : -((-d + 32767) / 32768)) : d / 32768;
                }
            }
            out[p * std::size_t(S) + std::size_t(o)] = std::uint16_t(processor ? c[0] * 2 : c[0]);
        }
    }
    return out;
}

std::vector<std::uint16_t> Inputs(long inputs, std::size_t count)
{
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> any(0, 65535);
    std::vector<std::uint16_t> in;
    const std::uint16_t edges[] = {0, 1, 65534, 65535, 32768, 2114, 2115};
    for (std::uint16_t e : edges)
        for (long k = 0; k < inputs; ++k)
            in.push_back(e);
    while (in.size() < count * std::size_t(inputs))
        in.push_back(std::uint16_t(any(random)));
    return in;
}

} // namespace

TEST(MultiLut, PositionMapOfThe32PointGrid)
{
    TMultiLut<32, 3, 3> lut;
    const long inputs = 3;
    ASSERT_EQ(lut.Build(Coordinates, &inputs), 0);
    EXPECT_EQ(lut.positionMap[2 * 65535], 31);
    EXPECT_EQ(lut.positionMap[2 * 65535 + 1], 0);
    EXPECT_EQ(lut.positionMap[2 * 32768], 15);
    EXPECT_EQ(lut.positionMap[2 * 32768 + 1], 16391);
}

TEST(MultiLut, BuildQuantisesAndCallsOncePerNode)
{
    EXPECT_EQ(CMultiLutWorkBase::Quantise(1.0000001), 65535);
    EXPECT_EQ(CMultiLutWorkBase::Quantise(-0.1), 0);
    EXPECT_EQ(CMultiLutWorkBase::Quantise(0.5), 32768);
    EXPECT_EQ(CMultiLutWorkBase::Quantise(std::numeric_limits<double>::quiet_NaN()), 0);

    static long calls = 0;
    calls = 0;
    TMultiLut<16, 4, 1> lut;
    ASSERT_EQ(lut.Build([](const void*, const double*, double* out) { ++calls; out[0] = 0.25; }, nullptr), 0);
    EXPECT_EQ(calls, 65536);
    EXPECT_EQ(lut.table.size(), 65536u + 4096u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(lut.table.data()) % 8, 0u);
}

TEST(MultiLut, IdentityCornersOfBothForms)
{
    const long inputs = 3;
    for (bool processor : {false, true}) {
        auto lut = Make({32, 3, 3}, processor);
        ASSERT_EQ(lut->Build(Coordinates, &inputs), 0);
        const std::uint16_t in[6] = {0, 0, 0, 65535, 65535, 65535};
        std::uint16_t out[8] = {};
        lut->Process(in, out, 2);
        EXPECT_EQ(out[0], 0);
        const std::uint16_t top = processor ? 65534 : 65535; // halved and doubled
        EXPECT_EQ(out[4], top);
        EXPECT_EQ(out[5], top);
        EXPECT_EQ(out[6], top);
    }
}

// Every shape, both forms: the kernels give exactly the values of their definition.
TEST(MultiLut, KernelsMatchTheirDefinitionExactly)
{
    for (const Shape& s : kShapes) {
        for (bool processor : {false, true}) {
            auto lut = Make(s, processor);
            ASSERT_TRUE(lut);
            ASSERT_EQ(lut->Build(Bumpy, &s.inputs), 0);
            const auto in = Inputs(s.inputs, 3000);
            const std::size_t count = in.size() / std::size_t(s.inputs);
            std::vector<std::uint16_t> out(count * std::size_t(lut->NodeSize()));
            lut->Process(in.data(), out.data(), count);
            const auto expected = Reference(*lut, in, processor);
            std::size_t mismatches = 0;
            for (std::size_t p = 0; p < count; ++p)
                for (long o = 0; o < s.outputs; ++o) {
                    const std::size_t at = p * std::size_t(lut->NodeSize()) + std::size_t(o);
                    if (out[at] != expected[at] && ++mismatches < 5)
                        ADD_FAILURE() << "G" << s.grid << " I" << s.inputs << " O" << s.outputs
                                      << (processor ? " processor" : " portable") << " pixel " << p << " output " << o
                                      << ": " << out[at] << " != " << expected[at];
                }
            EXPECT_EQ(mismatches, 0u);
        }
    }
}

TEST(MultiLut, ProcessorFormStaysJustBelowThePortableOne)
{
    const long inputs = 3;
    auto portable = Make({32, 3, 3}, false);
    auto processor = Make({32, 3, 3}, true);
    ASSERT_EQ(portable->Build(Bumpy, &inputs), 0);
    ASSERT_EQ(processor->Build(Bumpy, &inputs), 0);
    const auto in = Inputs(3, 5000);
    std::vector<std::uint16_t> a(5000 * 4), b(5000 * 4);
    portable->Process(in.data(), a.data(), 5000);
    processor->Process(in.data(), b.data(), 5000);
    for (std::size_t i = 0; i < a.size(); i += 4)
        for (int o = 0; o < 3; ++o) {
            const int d = int(b[i + std::size_t(o)]) - int(a[i + std::size_t(o)]);
            ASSERT_LE(d, 1);
            ASSERT_GE(d, -10);
        }
}

TEST(MultiLut, KernelChoiceFollowsTheProcessorFlagOrTheOverride)
{
    DetectCpuFeatures();
    SetKernelFormOverride(KernelForm::kPortable);
    EXPECT_FALSE(UseProcessorKernels());
    SetKernelFormOverride(KernelForm::kProcessorSpecific);
    EXPECT_TRUE(UseProcessorKernels());
    SetKernelFormOverride(KernelForm::kDetected);
    EXPECT_EQ(UseProcessorKernels(), CpuFeatures().mmx);
#if defined(__x86_64__)
    EXPECT_TRUE(CpuFeatures().mmx);
#endif
    EXPECT_FALSE(CMultiLutAsm(32, 2, 3).HasKernel());
    EXPECT_FALSE(CMultiLutAsm(16, 3, 3).HasKernel());
    EXPECT_EQ(CreatePortableMultiLut(32, 3, 2), nullptr);
}

TEST(MultiLutInit, EvaluatesMultilinearlyInDoubles)
{
    // 2 x 2 grid, one output: f(x, y) = 1000 + 2000 x + 4000 y on the 0..1 square
    const std::uint16_t values[4] = {1000, 5000, 3000, 7000};
    CMultiLutInit lut;
    ASSERT_EQ(lut.Setup16(2, 2, 1, values), 0);
    const double in[2] = {65535 * 0.25, 65535 * 0.5};
    double out[1];
    lut.Evaluate(in, out);
    EXPECT_NEAR(out[0], 1000 + 2000 * 0.25 + 4000 * 0.5, 1e-9);
    const double top[2] = {70000, -5};
    lut.Evaluate(top, out);
    EXPECT_DOUBLE_EQ(out[0], 3000);

    const std::uint16_t bytes[6] = {1, 2, 255, 0, 0, 0};
    ASSERT_EQ(lut.Setup8(2, 1, 3, bytes, true), 0);
    EXPECT_EQ(lut.table[2], 255 * 256);
    ASSERT_EQ(lut.Setup8(2, 1, 3, bytes, false), 0);
    EXPECT_EQ(lut.table[2], 65535);
}

TEST(MultiLutInit, ConvertsLchNodesToLab)
{
    // L 50, C 10, hue 90 degrees -> a 0, b 10
    const std::uint16_t lch[6] = {32640, 2560, 16384, 32640, 0, 0};
    CMultiLutInit lut;
    ASSERT_EQ(lut.Setup16(2, 1, 3, lch), 0);
    lut.ConvertLchToLab();
    EXPECT_EQ(lut.table[0], 32640);
    EXPECT_EQ(lut.table[1], 32768);
    EXPECT_EQ(lut.table[2], 32768 + 2560);
    EXPECT_EQ(lut.table[4], 32768);
}
