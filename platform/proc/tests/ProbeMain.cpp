// A program for the process tests: "write FILE args..." records what it was
// started with; "sleep SECONDS" just waits.
#include <dirent.h>
#include <fstream>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "sleep") {
        sleep(static_cast<unsigned>(std::stoi(argv[2])));
        return 0;
    }
    if (argc < 3 || std::string(argv[1]) != "write") return 2;
    std::string fds;
    if (DIR* d = opendir("/proc/self/fd")) {
        int own = dirfd(d);
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] == '.' || std::stoi(e->d_name) == own) continue;
            fds += std::string(e->d_name) + " ";
        }
        closedir(d);
    }
    std::ofstream out(std::string(argv[2]) + ".tmp");
    out << "sid=" << getsid(0) << "\n";
    out << "fds=" << fds << "\n";
    for (int i = 3; i < argc; ++i) out << "arg=" << argv[i] << "\n";
    out.close();
    return std::rename((std::string(argv[2]) + ".tmp").c_str(), argv[2]) == 0 ? 0 : 1;
}
