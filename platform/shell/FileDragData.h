#pragma once
// The data of a drag of pictures out to other programs: their files as file
// URLs (text/uri-list), as file managers and editors take them. The list can be
// given at once or made on the first request of a drop target (the files are
// then copied only when somebody wants them), and is made at most once.
#include <QMimeData>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace plat {

class FileDragData : public QMimeData {
public:
    using Provider = std::function<std::vector<std::filesystem::path>()>;

    explicit FileDragData(std::vector<std::filesystem::path> paths);
    explicit FileDragData(Provider provider);

    // Whether the files were asked for (a drop target read the data).
    bool provided() const { return paths_.has_value(); }

    bool hasFormat(const QString& mimeType) const override;
    QStringList formats() const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    const std::vector<std::filesystem::path>& paths() const;

    mutable Provider provider_;
    mutable std::optional<std::vector<std::filesystem::path>> paths_;
};

// File URLs of absolute paths; relative paths are left out.
QList<QUrl> fileUrlsOf(const std::vector<std::filesystem::path>& paths);

}  // namespace plat
