#include "Caravel/src/ui/AlbumDialog.h"

#include "Caravel/src/ui/ContextHelp.h"
#include "Caravel/src/ui/UploaderApp.h"
#include "platform/shell/HelpTopic.h"

#include <QApplication>
#include <QKeySequence>
#include <QShortcut>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace caravel {

AlbumDialog::AlbumDialog(QWidget* parent, CAlbumSession* session, int32_t selectedAlbum)
    : QDialog(parent), m_logic(session, this, selectedAlbum)
{
    setWindowTitle("Album Selection");
    auto* current = new QGroupBox("Current Albums", this);
    m_albums = new QComboBox(current);
    (new QVBoxLayout(current))->addWidget(m_albums);
    auto* fresh = new QGroupBox("New Album Information", this);
    m_name = new QLineEdit(fresh);
    m_name->setMaxLength(255);
    m_description = new QLineEdit(fresh);
    m_description->setMaxLength(255);
    auto* create = new QPushButton("&Create  ", fresh);
    auto* form = new QFormLayout(fresh);
    form->addRow("Name", m_name);
    form->addRow("Description", m_description);
    form->addRow(create);
    m_storageRoom = new QCheckBox("Use \nStorage Room", this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* all = new QVBoxLayout(this);
    all->addWidget(current);
    all->addWidget(fresh);
    all->addWidget(m_storageRoom);
    all->addWidget(new QLabel("F1 for Help", this));
    all->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &AlbumDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this,
            [this] { plat::showHelpTopic(CUploaderApp::InstallDir(), "albumhm.htm", this); });
    connect(create, &QPushButton::clicked, this, [this] { OnCreate(); });
    // right-click help: create 1077, album list 1085, name 1074, description 1076, storage room 1090
    InstallContextHelp({{create, 1000}, {m_albums, 1010}, {m_name, 1020}, {m_description, 1030},
                        {m_storageRoom, 1040}});

    m_logic.OnInitDialog();
    FillList();
}

void AlbumDialog::FillList()
{
    m_albums->clear();
    for (const auto& n : m_logic.Names())
        m_albums->addItem(QString::fromStdString(n));
    if (m_logic.SelectedAlbum() < m_albums->count())
        m_albums->setCurrentIndex(m_logic.SelectedAlbum());
}

void AlbumDialog::OnCreate()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool created = m_logic.OnCreate(m_name->text().toStdString(), m_description->text().toStdString());
    QApplication::restoreOverrideCursor();
    if (created)
        FillList();
}

void AlbumDialog::accept()
{
    m_logic.OnOK(m_albums->currentIndex(), m_storageRoom->isChecked());
    QDialog::accept();
}

void AlbumDialog::ShowMessage(const std::string& text)
{
    QMessageBox::warning(this, windowTitle(), QString::fromStdString(text));
}

}  // namespace caravel
