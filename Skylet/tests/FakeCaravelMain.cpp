// Stands in for the upload program in tests: records how it was started in
// $VOREL_ROOT/caravel-runs/<pid> and stays while $VOREL_ROOT/caravel-hold exists.
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

int main(int argc, char**) {
    const char* root = std::getenv("VOREL_ROOT");
    if (!root) return 2;
    std::string fds;
    if (DIR* d = opendir("/proc/self/fd")) {
        int own = dirfd(d);
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] == '.' || std::stoi(e->d_name) == own) continue;
            fds += std::string(e->d_name) + " ";
        }
        closedir(d);
    }
    const std::filesystem::path runs = std::filesystem::path(root) / "caravel-runs";
    std::filesystem::create_directories(runs);
    const std::filesystem::path record = runs / std::to_string(getpid());
    {
        std::ofstream out(record.string() + ".tmp");
        std::error_code ec;
        const std::string output = std::filesystem::read_symlink("/proc/self/fd/1", ec).string();
        out << "argc=" << argc << "\nfds=" << fds << "\nsid=" << (getsid(0) == getppid() ? "parent" : "own")
            << "\nstdout=" << output << "\n";
    }
    std::filesystem::rename(record.string() + ".tmp", record);
    const std::filesystem::path hold = std::filesystem::path(root) / "caravel-hold";
    for (int i = 0; i < 3000 && std::filesystem::exists(hold); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return 0;
}
