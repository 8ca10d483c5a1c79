// Browser thumbnails from a card, the viewer's picture-access object beside
// libvips' thumbnail operation (what vipsthumbnail runs) in one process run on
// the same files: 300 photographs 2560x1600 (Debian's wallpapers, copied), a
// 128x96 box as the browser asks. Rows:
//   - built from the picture (the CreateThumbnail setting on) against vips;
//   - the pictures carrying EXIF thumbnails of their own pixels, the setting off,
//     against vips on those same files;
//   - the 5120x2880 photographs built from the picture;
//   - the first screenful (40 thumbnails) read the way the browser reads them.
// libvips runs with the same number of threads as the viewer's readers.
#include "bench/mainroad/BenchCard.h"
#include "bench/mainroad/MainRoad.h"
#include "platform/thread/PictureHeap.h"

#include "viewer/sources/PictureRecords.h"

#include <vips/vips.h>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

constexpr int kBoxWidth = 128;
constexpr int kBoxHeight = 96;
constexpr int kScreenful = 40;

using Names = std::vector<std::pair<std::string, std::string>>;

bool Ours(CImageFileIf& access, const std::pair<std::string, std::string>& n, bool buildFromPicture)
{
    std::unique_ptr<PictureRecord> record;
    return access.If_GetThumbAndCaption(n.first, n.second, record, kBoxWidth, kBoxHeight, 1, nullptr,
                                        buildFromPicture) == 0 &&
           record && !record->blocks.empty();
}

bool Theirs(const std::string& path)
{
    VipsImage* out = nullptr;
    if (vips_thumbnail(path.c_str(), &out, kBoxWidth, "height", kBoxHeight, nullptr))
        return false;
    size_t size = 0;
    void* pixels = vips_image_write_to_memory(out, &size);
    g_object_unref(out);
    g_free(pixels);
    return pixels != nullptr;
}

template <typename Work>
double Timed(size_t count, int threads, Work work)
{
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    const double t0 = mainroad::Seconds();
    auto run = [&] {
        for (size_t i; (i = next.fetch_add(1)) < count;)
            if (!work(i))
                failed = true;
    };
    std::vector<std::thread> pool;
    for (int k = 1; k < threads; ++k)
        pool.emplace_back(run);
    run();
    for (auto& t : pool)
        t.join();
    if (failed) {
        std::fprintf(stderr, "a thumbnail failed\n");
        std::exit(1);
    }
    return mainroad::Seconds() - t0;
}

void Compare(const std::string& label, mainroad::BenchCard& card, const Names& names, bool build, int threads,
             double target)
{
    auto path = [&](size_t i) { return (card.Card() / "DCIM" / names[i].first / names[i].second).string(); };
    std::vector<double> ours, theirs;
    for (int round = 0; round < 3; ++round) {
        ours.push_back(Timed(names.size(), threads, [&](size_t i) { return Ours(card.Access(), names[i], build); }));
        theirs.push_back(Timed(names.size(), threads, [&](size_t i) { return Theirs(path(i)); }));
    }
    const double a = mainroad::Median(ours), b = mainroad::Median(theirs);
    char ra[64], rb[64];
    std::snprintf(ra, sizeof ra, "viewer %s (%.1f ms a picture)", mainroad::Ms(a).c_str(), a * 1000 / names.size());
    std::snprintf(rb, sizeof rb, "vips %s (%.1f ms a picture)", mainroad::Ms(b).c_str(), b * 1000 / names.size());
    mainroad::Row(label + (threads > 1 ? ", " + std::to_string(threads) + " threads each" : ", 1 thread each"), ra,
                  rb, a / b, mainroad::Goal::AtMost, target);
}

}  // namespace

int main(int argc, char** argv)
{
    // the heap as the programs keep it, for both sides of every row
    plat::keepPictureMemoryInHeap();
    // an argument names the one part to run: built, exif, big or screen; "exif-ours"
    // runs only the viewer's side of the EXIF row, ten rounds, for a profiler
    const std::string only = argc > 1 ? argv[1] : "";
    auto wanted = [&](const char* part) { return only.empty() || only == part; };
    if (VIPS_INIT(argv[0]))
        return 1;
    vips_cache_set_max(0);
    vips_concurrency_set(1);
    const auto photos = mainroad::Photographs(2560, 1600);
    const auto big = mainroad::Photographs(5120, 2880);
    if (photos.empty()) {
        mainroad::MissingRow("browser thumbnails", "no wallpaper photographs");
        return 0;
    }
    const int readers = 1;  // the browser reads one picture at a time
    mainroad::BenchCard card;
    const Names names = card.Fill(photos, 300);
    if (!card.Open()) {
        mainroad::MissingRow("browser thumbnails", "the card did not open");
        return 0;
    }
    // warm the page cache and the library once
    if (only != "exif-ours")
        Timed(names.size(), 1, [&](size_t i) { return Ours(card.Access(), names[i], true); });
    if (wanted("built"))
        Compare("thumbnails built from the picture, 300 photos 2560x1600", card, names, true, 1, 1 / 1.5);
    if (readers > 1 && wanted("built"))
        Compare("thumbnails built from the picture, 300 photos 2560x1600", card, names, true, readers, 1 / 1.5);

    if (wanted("exif") || only == "exif-ours") {
        const auto withThumbs = mainroad::WithOwnExifThumbnails(photos, card.Folder("exif"));
        mainroad::BenchCard exifCard;
        const Names exifNames = exifCard.Fill(withThumbs, 300);
        if (withThumbs.empty() || !exifCard.Open()) {
            mainroad::MissingRow("thumbnails from the EXIF thumbnail", "exiftool missing");
        } else {
            for (int round = 0; round < (only == "exif-ours" ? 10 : 1); ++round)
                Timed(exifNames.size(), 1, [&](size_t i) { return Ours(exifCard.Access(), exifNames[i], false); });
            if (only != "exif-ours")
                Compare("thumbnails from the EXIF thumbnail (setting off), 300 photos", exifCard, exifNames, false, 1, 0.1);
        }
    }

    if (!big.empty() && wanted("big")) {
        mainroad::BenchCard bigCard;
        const Names bigNames = bigCard.Fill(big, 40);
        if (bigCard.Open()) {
            Timed(bigNames.size(), 1, [&](size_t i) { return Ours(bigCard.Access(), bigNames[i], true); });
            Compare("thumbnails built from the picture, 40 photos 5120x2880", bigCard, bigNames, true, readers,
                    1 / 1.5);
        }
    }

    // the first screenful, as the browser reads it: its readers over the first pictures
    std::vector<double> first;
    for (int round = 0; round < 3 && wanted("screen"); ++round)
        first.push_back(Timed(kScreenful, readers, [&](size_t i) { return Ours(card.Access(), names[i], true); }));
    if (!first.empty()) {
        const double f = mainroad::Median(first);
        char text[32];
        std::snprintf(text, sizeof text, "%.3f s", f);
        mainroad::Row("first screenful (40 thumbnails built from 2560x1600 photos), " + std::to_string(readers) +
                          " reader(s)",
                      "viewer " + mainroad::Ms(f), "-", f, mainroad::Goal::AtMost, 0.5, text);
    }
    vips_shutdown();
    return 0;
}
