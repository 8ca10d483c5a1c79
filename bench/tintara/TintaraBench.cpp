// sRGB to Adobe-compatible RGB over a 4 MP picture, 8 and 16 bits per sample:
// Tintara through JQCMProcessInterleavedData (both interpolation forms) and
// LittleCMS through cmsDoTransform with and without its optimisations. Prints
// pixels per second for each and the ratio of Tintara to LittleCMS.
#include "Caravel/Tintara/CpuFeatures.h"
#include "Caravel/Tintara/Tintara.h"

#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr long kWidth = 2048;
constexpr long kHeight = 2048; // 4 MP
constexpr const char* kInput = "/usr/share/color/icc/sRGB.icc";
constexpr const char* kOutput = "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc";

std::vector<std::uint8_t> ReadFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A picture with smooth areas and noise, as photographs have.
template <typename Sample>
const std::vector<Sample>& Picture()
{
    static const std::vector<Sample> picture = [] {
        std::vector<Sample> p(std::size_t(kWidth * kHeight * 3));
        std::mt19937 random(7);
        std::uniform_int_distribution<int> noise(-6, 6);
        const int max = sizeof(Sample) == 1 ? 255 : 65535;
        for (long y = 0; y < kHeight; ++y)
            for (long x = 0; x < kWidth; ++x)
                for (int c = 0; c < 3; ++c) {
                    const int v = int((x * (c + 1) + y * (3 - c)) * max / (kWidth * 4)) % (max + 1);
                    p[std::size_t((y * kWidth + x) * 3 + c)] = Sample(std::clamp(v + noise(random) * (max / 255), 0, max));
                }
        return p;
    }();
    return picture;
}

template <typename Sample>
void TintaraConvert(benchmark::State& state, tintara::KernelForm form)
{
    tintara::SetKernelFormOverride(form);
    const auto in = ReadFile(kInput), out = ReadFile(kOutput);
    if (in.empty() || out.empty()) {
        state.SkipWithError("icc-profiles-free is not installed");
        return;
    }
    long h = 0;
    JQCMCreate(&h);
    JQCMSetInputProfile(h, in.data(), in.size());
    JQCMSetOutputProfile(h, out.data(), out.size());
    JQCMSetInputBitSize(h, sizeof(Sample) * 8);
    JQCMSetOutputBitSize(h, sizeof(Sample) * 8);
    const auto& src = Picture<Sample>();
    std::vector<Sample> dst(src.size());
    // the first call builds the transform; time only the conversion
    if (JQCMProcessInterleavedData(h, kWidth, 1, src.data(), dst.data(), 0, 0) != 0) {
        state.SkipWithError("transform did not build");
        JQCMDestroy(h);
        return;
    }
    for (auto _ : state) {
        JQCMProcessInterleavedData(h, kWidth, kHeight, src.data(), dst.data(), 0, 0);
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    JQCMDestroy(h);
    tintara::SetKernelFormOverride(tintara::KernelForm::kDetected);
}

template <typename Sample>
void LcmsConvert(benchmark::State& state, bool optimised)
{
    cmsHPROFILE in = cmsOpenProfileFromFile(kInput, "r");
    cmsHPROFILE out = cmsOpenProfileFromFile(kOutput, "r");
    if (!in || !out) {
        state.SkipWithError("icc-profiles-free is not installed");
        return;
    }
    const cmsUInt32Number format = sizeof(Sample) == 1 ? TYPE_RGB_8 : TYPE_RGB_16;
    cmsHTRANSFORM x = cmsCreateTransform(in, format, out, format, INTENT_PERCEPTUAL,
                                         optimised ? 0 : cmsFLAGS_NOOPTIMIZE);
    const auto& src = Picture<Sample>();
    std::vector<Sample> dst(src.size());
    for (auto _ : state) {
        cmsDoTransform(x, src.data(), dst.data(), cmsUInt32Number(kWidth * kHeight));
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    cmsDeleteTransform(x);
    cmsCloseProfile(in);
    cmsCloseProfile(out);
}

// Keeps each run's pixels per second for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            const auto it = r.counters.find("items_per_second");
            if (it != r.counters.end() && r.run_type == Run::RT_Iteration)
                rates[r.benchmark_name()] = it->second.value;
        }
    }
    std::map<std::string, double> rates;
};

} // namespace

void Tintara8(benchmark::State& s, tintara::KernelForm f) { TintaraConvert<std::uint8_t>(s, f); }
void Tintara16(benchmark::State& s, tintara::KernelForm f) { TintaraConvert<std::uint16_t>(s, f); }
void Lcms8(benchmark::State& s, bool optimised) { LcmsConvert<std::uint8_t>(s, optimised); }
void Lcms16(benchmark::State& s, bool optimised) { LcmsConvert<std::uint16_t>(s, optimised); }

BENCHMARK_CAPTURE(Tintara8, processor, tintara::KernelForm::kProcessorSpecific)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Tintara8, portable, tintara::KernelForm::kPortable)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Lcms8, optimised, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Lcms8, unoptimised, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Tintara16, processor, tintara::KernelForm::kProcessorSpecific)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Tintara16, portable, tintara::KernelForm::kPortable)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Lcms16, optimised, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Lcms16, unoptimised, false)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto rate = [&](const std::string& name) {
        for (const auto& [run, value] : reporter.rates)
            if (run.rfind(name, 0) == 0)
                return value;
        return 0.0;
    };
    std::printf("\n%-10s %-22s %14s %14s %14s %10s %10s\n", "bits", "Tintara form", "Tintara px/s", "LCMS opt px/s",
                "LCMS noopt px/s", "vs opt", "vs noopt");
    for (const char* bits : {"8", "16"})
        for (const char* form : {"processor", "portable"}) {
            const double t = rate(std::string("Tintara") + bits + "/" + form);
            const double lo = rate(std::string("Lcms") + bits + "/optimised");
            const double lu = rate(std::string("Lcms") + bits + "/unoptimised");
            if (t > 0 && lo > 0 && lu > 0)
                std::printf("%-10s %-22s %14.0f %14.0f %14.0f %9.2fx %9.2fx\n", bits, form, t, lo, lu, t / lo, t / lu);
        }
    return 0;
}
