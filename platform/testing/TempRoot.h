#pragma once
// A throw-away system root for one test: made in the temp folder, set as
// $VOREL_ROOT for the life of the object (child processes inherit it), laid out,
// and removed afterwards with everything in it.
#include <filesystem>
#include <string>

namespace plat::testing {

class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// The build's top folder and the source tree's top folder, for tests that run
// the suite's programs or read fixtures.
std::filesystem::path buildDir();
std::filesystem::path sourceDir();

}  // namespace plat::testing
