#include "platform/shell/FileDragData.h"

#include <QUrl>

namespace plat {

namespace {
const QString kUriList = QStringLiteral("text/uri-list");
}

QList<QUrl> fileUrlsOf(const std::vector<std::filesystem::path>& paths) {
    QList<QUrl> urls;
    for (const std::filesystem::path& p : paths) {
        if (p.is_absolute()) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(p.lexically_normal().string())));
    }
    return urls;
}

FileDragData::FileDragData(std::vector<std::filesystem::path> paths) : paths_(std::move(paths)) {}

FileDragData::FileDragData(Provider provider) : provider_(std::move(provider)) {}

const std::vector<std::filesystem::path>& FileDragData::paths() const {
    if (!paths_) {
        paths_ = provider_ ? provider_() : std::vector<std::filesystem::path>{};
        provider_ = nullptr;
    }
    return *paths_;
}

bool FileDragData::hasFormat(const QString& mimeType) const { return mimeType == kUriList; }

QStringList FileDragData::formats() const { return {kUriList}; }

QVariant FileDragData::retrieveData(const QString& mimeType, QMetaType type) const {
    if (mimeType != kUriList) return {};
    const QList<QUrl> urls = fileUrlsOf(paths());
    if (type.id() == QMetaType::QByteArray || type.id() == QMetaType::QString) {
        QByteArray text;
        for (const QUrl& u : urls) text += u.toEncoded() + "\r\n";
        return type.id() == QMetaType::QString ? QVariant(QString::fromUtf8(text)) : QVariant(text);
    }
    QList<QVariant> list;
    for (const QUrl& u : urls) list.push_back(u);
    return list;
}

}  // namespace plat
