#include "platform/shell/HelpWindow.h"

#include "platform/shell/HelpTopic.h"
#include "platform/shell/WebAddress.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace plat {

namespace fs = std::filesystem;

HelpWindow::HelpWindow(fs::path helpFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), helpFolder_(std::move(helpFolder)), browser_(new QTextBrowser(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Help"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    browser_->setOpenLinks(false);  // every link goes through followLink
    browser_->setOpenExternalLinks(false);
    QObject::connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) { followLink(link); });
    resize(760, 560);
}

void HelpWindow::showPage(const fs::path& page, const QString& fragment) {
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(page.string()));
    if (!fragment.isEmpty()) url.setFragment(fragment);
    browser_->setSource(url);
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Help") : title);
}

void HelpWindow::followLink(const QUrl& link) {
    const QString scheme = link.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto")) {
        openWebAddress(link.toString(QUrl::FullyEncoded).toStdString());
        return;
    }
    const QUrl target = browser_->source().resolved(link);
    if (!target.isLocalFile()) return;
    const fs::path local = fs::path(target.toLocalFile().toStdString());
    const fs::path relative = local.lexically_normal().lexically_relative(helpFolder_);
    fs::path page;
    QString fragment;
    if (resolveHelpTopic(helpFolder_, relative.string(), &page, &fragment) == HelpResult::Ok)
        showPage(page, target.fragment());
}

}  // namespace plat
