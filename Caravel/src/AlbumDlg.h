#pragma once
// The album selection's logic: the album names to list, creating an album, and the choice.
#include "Caravel/src/AlbumSession.h"

#include <string>
#include <vector>

namespace caravel {

class CAlbumDlg {
public:
    // session may be null (then the list stays empty).
    CAlbumDlg(CAlbumSession* session, UploaderView* view, int32_t selectedAlbum);

    // Fetches the list; the names and the entry to select.
    void OnInitDialog();
    // False for an empty name ("Must Specify a Title") or a failed creation.
    bool OnCreate(const std::string& name, const std::string& description);
    // currentSelection: the list's selection, -1 for none.
    void OnOK(int32_t currentSelection, bool useStorageRoom);

    const std::vector<std::string>& Names() const { return m_names; }
    int32_t SelectedAlbum() const { return m_selectedAlbum; }
    bool UseStorageRoom() const { return m_useStorageRoom; }

private:
    bool FillNames();

    CAlbumSession* m_session;
    UploaderView* m_view;
    int32_t m_selectedAlbum;
    bool m_useStorageRoom = false;  // always opens cleared
    std::vector<std::string> m_names;
};

}  // namespace caravel
