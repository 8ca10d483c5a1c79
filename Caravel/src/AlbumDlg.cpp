#include "Caravel/src/AlbumDlg.h"

#include <cstring>

namespace caravel {

namespace {

template <size_t N>
void CopyField(char (&field)[N], const std::string& text)
{
    const size_t n = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, N - n);
}

}  // namespace

CAlbumDlg::CAlbumDlg(CAlbumSession* session, UploaderView* view, int32_t selectedAlbum)
    : m_session(session), m_view(view), m_selectedAlbum(selectedAlbum)
{
}

bool CAlbumDlg::FillNames()
{
    m_names.clear();
    if (!m_session || m_session->GetAlbumList() < 0)
        return false;
    for (int32_t i = 0; i < m_session->GetAlbumCount(); ++i)
        m_names.push_back(CAlbumSession::AlbumName(*m_session->GetAlbum(i)));
    return true;
}

void CAlbumDlg::OnInitDialog()
{
    if (m_selectedAlbum == -1)
        m_selectedAlbum = 0;
    FillNames();
}

bool CAlbumDlg::OnCreate(const std::string& name, const std::string& description)
{
    if (name.empty()) {
        if (m_view)
            m_view->ShowMessage("Must Specify a Title");
        return false;
    }
    if (!m_session)
        return false;
    KqAlbum album;
    std::memset(&album, 0, sizeof album);
    CopyField(album.name, name);
    CopyField(album.description, description);
    if (m_session->ReportResult(m_session->CreateAlbum(album)) != 0)
        return false;
    if (!FillNames())
        return true;
    const std::string stored = CAlbumSession::AlbumName(album);
    for (size_t i = 0; i < m_names.size(); ++i)
        if (m_names[i] == stored)
            m_selectedAlbum = static_cast<int32_t>(i);
    return true;
}

void CAlbumDlg::OnOK(int32_t currentSelection, bool useStorageRoom)
{
    m_selectedAlbum = currentSelection;
    m_useStorageRoom = useStorageRoom;
}

}  // namespace caravel
