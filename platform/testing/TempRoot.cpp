#include "platform/testing/TempRoot.h"

#include "platform/sysroot/SystemRoot.h"

#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

namespace plat::testing {
namespace fs = std::filesystem;

TempRoot::TempRoot() {
    std::string tmpl = (fs::temp_directory_path() / "vorel-root-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
    if (const char* prev = std::getenv("VOREL_ROOT")) {
        previous_ = prev;
        hadPrevious_ = true;
    }
    setenv("VOREL_ROOT", path_.c_str(), 1);
    std::string error;
    if (!SystemRoot(path_).ensureLayout(&error)) throw std::runtime_error(error);
}

TempRoot::~TempRoot() {
    if (hadPrevious_) setenv("VOREL_ROOT", previous_.c_str(), 1);
    else unsetenv("VOREL_ROOT");
    std::error_code ec;
    fs::remove_all(path_, ec);
}

fs::path buildDir() {
#ifdef VOREL_BUILD_DIR
    return VOREL_BUILD_DIR;
#else
    return fs::current_path();
#endif
}

fs::path sourceDir() {
#ifdef VOREL_SOURCE_DIR
    return VOREL_SOURCE_DIR;
#else
    return fs::current_path();
#endif
}

}  // namespace plat::testing
