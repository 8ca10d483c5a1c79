#include "bench/mainroad/MainRoad.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace mainroad {

std::vector<std::string> Photographs(int width, int height)
{
    std::vector<std::string> out;
    const fs::path root = "/usr/share/wallpapers";
    std::error_code ec;
    if (!fs::is_directory(root, ec))
        return out;
    const std::string want = std::to_string(width) + "x" + std::to_string(height) + ".jpg";
    for (const auto& theme : fs::directory_iterator(root, ec)) {
        const fs::path p = theme.path() / "contents" / "images" / want;
        if (fs::is_regular_file(fs::symlink_status(p, ec)))
            out.push_back(p.string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> AllPhotographs()
{
    std::vector<std::string> out = Photographs(2560, 1600);
    const std::vector<std::string> big = Photographs(5120, 2880);
    out.insert(out.end(), big.begin(), big.end());
    return out;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string Ms(double seconds)
{
    char b[32];
    std::snprintf(b, sizeof b, seconds < 10 ? "%.1f ms" : "%.0f ms", seconds * 1000);
    return b;
}

void Row(const std::string& work, const std::string& ours, const std::string& theirs, double ratio, Goal goal,
         double target, const std::string& ratioText)
{
    const bool met = goal == Goal::AtMost ? ratio <= target : ratio >= target;
    char r[32], t[32];
    std::snprintf(r, sizeof r, "%.2f", ratio);
    std::snprintf(t, sizeof t, "%s %.2f", goal == Goal::AtMost ? "<=" : ">=", target);
    const std::string shown = ratioText.empty() ? std::string(r) : ratioText;
    std::printf("ROW|%s|%s|%s|%s|%s|%s\n", work.c_str(), ours.c_str(), theirs.c_str(), shown.c_str(), t,
                met ? "met" : "MISSED");
    std::fflush(stdout);
}

void MissingRow(const std::string& work, const std::string& why)
{
    std::printf("ROW|%s|-|-|-|-|not measured: %s\n", work.c_str(), why.c_str());
    std::fflush(stdout);
}

}  // namespace mainroad
