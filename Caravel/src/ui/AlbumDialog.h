#pragma once
// "Album Selection": the current albums, a new album's name and description, and the storage
// room choice.
#include "Caravel/src/AlbumDlg.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace caravel {

class AlbumDialog : public QDialog, private UploaderView {
public:
    AlbumDialog(QWidget* parent, CAlbumSession* session, int32_t selectedAlbum);

    int32_t SelectedAlbum() const { return m_logic.SelectedAlbum(); }
    bool UseStorageRoom() const { return m_logic.UseStorageRoom(); }

    void accept() override;

private:
    // Messages of the logic; the other view operations are not used here.
    void ShowMessage(const std::string& text) override;
    void SetStatusText(const std::string&) override {}
    void SetFileNameText(const std::string&) override {}
    void AddFileRow(const std::string&) override {}
    void RemoveFileRow(int) override {}

    void FillList();
    void OnCreate();

    CAlbumDlg m_logic;
    QComboBox* m_albums;
    QLineEdit* m_name;
    QLineEdit* m_description;
    QCheckBox* m_storageRoom;
};

}  // namespace caravel
