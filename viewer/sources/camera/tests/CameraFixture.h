#pragma once
// A camera card in a temp folder for the simulated camera: DCIM folders with
// small JPEGs and other files, and the camera's configuration file beside it.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace camtest {

class CameraCard {
public:
    CameraCard();
    ~CameraCard();

    const std::filesystem::path& dir() const { return dir_; }
    std::filesystem::path root() const { return dir_ / "card"; }
    std::filesystem::path config() const { return dir_ / "SimCam.conf"; }
    std::filesystem::path dest() const { return dir_ / "dest"; }

    // Writes the configuration: root, model and the extra lines.
    void WriteConfig(const std::vector<std::string>& extra = {}, const std::string& model = "Snapwren310") const;
    void AddJpeg(const std::string& folder, const std::string& name, uint32_t width = 64, uint32_t height = 48) const;
    void AddFile(const std::string& folder, const std::string& name, const std::string& bytes) const;
    // A JPEG with an EXIF DateTimeOriginal ("YYYY:MM:DD HH:MM:SS").
    void AddJpegWithDate(const std::string& folder, const std::string& name, const std::string& date) const;
    void AddFolder(const std::string& folder) const;
    std::filesystem::path PathOf(const std::string& folder, const std::string& name) const;

    // Two folders: 100TEST with three JPEGs, a TXT and an empty JPG; 101TEST with two JPEGs.
    void MakeStandard() const;

private:
    std::filesystem::path dir_;
};

// A JPEG of the size, grey gradient, as bytes.
std::string MakeJpegBytes(uint32_t width, uint32_t height);

}  // namespace camtest
