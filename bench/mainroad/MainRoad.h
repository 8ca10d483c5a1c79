#pragma once
// Shared pieces of the main-road benchmarks: the real photographs they run on,
// a wall clock, and the one line per row that scripts/bench gathers into its
// table. Every row times the suite and the outside tool in the same process run,
// on the same files, alternating, and reports the ratio suite / outside tool.
#include <chrono>
#include <string>
#include <vector>

namespace mainroad {

// Debian's wallpaper photographs (plasma-workspace-wallpapers): every real file
// (no links) whose name says it is `width`x`height`; empty when none are there.
std::vector<std::string> Photographs(int width, int height);
// Every real wallpaper photograph of either landscape size the rows use.
std::vector<std::string> AllPhotographs();

inline double Seconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Median of the values (they are copied).
double Median(std::vector<double> values);

// How a row compares with its target.
enum class Goal {
    AtMost,   // ratio must be <= target
    AtLeast,  // ratio must be >= target (a speed-up)
};

// Prints "ROW|work|suite|outside|ratio|target|verdict" and a readable line.
// `ours` and `theirs` are what was measured (with units); `ratio` the figure
// the target is about.
void Row(const std::string& work, const std::string& ours, const std::string& theirs, double ratio, Goal goal,
         double target, const std::string& ratioText = {});
// A row that could not be measured here (with why).
void MissingRow(const std::string& work, const std::string& why);

std::string Ms(double seconds);

}  // namespace mainroad
