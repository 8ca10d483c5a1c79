#include "Caravel/src/UploaderDlg.h"

#include "Caravel/src/ProcessingPipeline.h"
#include "Caravel/src/RunFlags.h"
#include "Caravel/src/UploadFiles.h"
#include "Caravel/src/UploadWorker.h"

#include <algorithm>
#include <system_error>

namespace caravel {

CUploaderDlg::CUploaderDlg(UploaderDialogView* view, UploaderSettings settings, std::string workFolder)
    : m_view(view),
      m_settings(std::move(settings)),
      m_queue(view, std::move(workFolder)),
      m_converterFactory([] { return std::make_unique<ProcessingPipeline>(); })
{
}

CUploaderDlg::~CUploaderDlg() { JoinWorker(); }

void CUploaderDlg::JoinWorker()
{
    if (m_worker.joinable())
        m_worker.join();
}

void CUploaderDlg::OnInitDialog()
{
    m_settings.InitKeyContainer();
    m_settings.LoadSettings();
    m_settings.imageSize = kImageSizeOriginal;  // every start begins at the original size
    m_view->SetRunning(false);
    OnDetails();
    m_view->SetFileNameText("");
    m_view->SetStatusText("");
    m_view->SetLoginNameText(m_settings.userName);
    m_view->SetAlbumText("Storage Room");
    m_runState = kRunIdle;
    WorkerFinished() = 1;
    m_queue.CreateWorkDir();
}

void CUploaderDlg::ReadUploadQueue()
{
    m_queue.ReadKeptQueue();
    if (!m_settings.queuedDataFile.empty()) {
        m_queue.ReadUploadQueue(m_settings.queuedDataFile);
        // read once: a later start must not look for the vanished file again
        UploaderSettings::ClearQueuedDataFile();
        m_settings.queuedDataFile.clear();
    } else if (m_queue.Batches().empty()) {
        m_queue.Batches().emplace_back();
        m_queue.UpdateWaitingCount();
    }
    m_queue.SaveKeptQueue();
    if (m_settings.autoUploadFlag)
        OnUpload();
}

void CUploaderDlg::OnDetails()
{
    const int value = m_detailsCounter++;
    if (value % 2 == 1)
        m_view->SetDetails(false, "<< &Details");
    else
        m_view->SetDetails(true, "&Details >>");
}

void CUploaderDlg::OnUpload()
{
    if (m_runState == kRunRunning)
        return;
    if (m_settings.userName.empty() || m_settings.password.empty())
        OnLoginName();
    BeginUploadRun();
}

bool CUploaderDlg::BeginUploadRun()
{
    if (m_queue.Batches().empty() || m_queue.Batches().front().records.empty())
        return false;
    if (!PrepareSession()) {
        m_queue.UpdateWaitingCount();
        return false;
    }
    // The connection is made on the worker: a server that takes it and stays silent holds
    // the worker until the library's time-outs, never the window, and Cancel is heard.
    m_runState = kRunRunning;
    m_view->SetRunning(true);
    m_view->SetStatusText("Connecting To Brovane");
    StartUploadThread();
    return true;
}

bool CUploaderDlg::PrepareSession()
{
    if (m_settings.userName.empty() || m_settings.password.empty()) {
        m_view->ShowMessage("Invalid User Information,\n either the Login name or Password is not specified");
        return false;
    }
    if (!m_session) {
        if (m_settings.serviceAddress.empty()) {
            m_view->ShowMessage("No URL for Brovane");
            m_view->SetStatusText("");
            return false;
        }
        m_session = std::make_unique<CAlbumSession>(m_settings.serviceAddress, m_view);
    }
    m_session->SetPassword(m_settings.password);
    m_session->SetLoginName(m_settings.userName);
    return true;
}

void CUploaderDlg::ShowAlbumText()
{
    if (m_session && !m_session->GetUseStorageRoom()) {
        if (const KqAlbum* album = m_session->GetAlbum(m_session->GetSelectedAlbum()))
            m_view->SetAlbumText(CAlbumSession::AlbumName(*album));
        else
            m_view->SetAlbumText("Storage Room");  // no album there: the pictures go to the room
        return;
    }
    m_view->SetAlbumText("Storage Room");
}

void CUploaderDlg::SelectAlbum()
{
    if (m_runState == kRunRunning || !PrepareSession())
        return;
    // The albums are read once connected, and the connection is made on the worker as for an
    // upload: a server that takes it and stays silent never holds the window, and Cancel is heard.
    m_stateBeforeAlbum = m_runState;
    m_runState = kRunRunning;
    m_view->SetRunning(true);
    m_view->SetWaitCursor(true);
    m_view->SetStatusText("Connecting To Brovane");
    CancelFlag() = 0;
    JoinWorker();
    WorkerFinished() = 0;
    try {
        m_worker = std::thread([this] {
            const int32_t code = m_session->Connect();
            WorkerFinished() = 1;
            m_view->PostToUi([this, code] { ChooseAlbum(code); });
        });
    } catch (const std::system_error&) {
        WorkerFinished() = 1;
        ChooseAlbum(KQ_ERR_UNKNOWN);
    }
}

void CUploaderDlg::ChooseAlbum(int32_t connectResult)
{
    JoinWorker();
    m_runState = m_stateBeforeAlbum;
    m_view->SetRunning(false);
    m_view->SetStatusText("");
    m_view->SetWaitCursor(false);
    const bool cancelled = CancelFlag().exchange(0) != 0;
    // cancelled while connecting: nothing more is asked, whatever the connection did
    if (cancelled || m_session->ReportResult(connectResult) != 0) {
        m_queue.UpdateWaitingCount();
        return;
    }
    m_view->SetWaitCursor(true);
    m_view->SetStatusText("Retrieving Album Information");
    int32_t selected = m_session->GetSelectedAlbum();
    bool storageRoom = false;
    if (m_view->AskAlbum(m_session.get(), &selected, &storageRoom)) {
        m_session->SetUseStorageRoom(storageRoom);
        m_session->SetSelectedAlbum(selected);
        // no album chosen: the pictures go to the storage room
        if (!storageRoom && !m_session->GetAlbum(selected))
            m_session->SetUseStorageRoom(true);
    }
    ShowAlbumText();
    m_view->SetWaitCursor(false);
    m_view->SetStatusText("");
    m_queue.UpdateWaitingCount();
}

void CUploaderDlg::OnLoginName()
{
    LoginData data{m_settings.userName, m_settings.password, m_settings.passwordFlag, m_settings.autoUploadFlag};
    if (!m_view->AskLoginData(&data, m_settings.KeyReady()))
        return;
    m_settings.password = data.password;
    m_settings.userName = data.userName;
    m_settings.passwordFlag = data.passwordFlag;
    m_settings.autoUploadFlag = data.autoUploadFlag;
    m_view->SetLoginNameText(m_settings.userName);
}

void CUploaderDlg::OnCancelUpload()
{
    m_view->SetStatusText("Cancelling Upload! Please Wait.");
    CancelFlag() = 1;
}

void CUploaderDlg::OnExit()
{
    CancelFlag() = 1;
    if (m_runState == kRunRunning) {
        OnCancelUpload();
        return;
    }
    m_settings.SaveSettings();
    CleanUpAtExit();
    m_view->Quit();
}

void CUploaderDlg::CleanUpAtExit()
{
    JoinWorker();
    m_queue.CleanUpAtExit();
    if (m_session) {
        if (m_session->IsConnected())
            m_session->Disconnect();
        m_session.reset();
    }
}

void CUploaderDlg::StartUploadThread()
{
    WorkerFinished() = 0;
    CancelFlag() = 0;
    JoinWorker();
    try {
        m_worker = std::thread([this, imageSize = m_settings.imageSize] {
            const int32_t code = m_session->Connect();
            // a run cancelled while connecting ends quietly, whatever the connection did
            if (CancelFlag().load() == 0 && m_session->ReportResult(code) == 0) {
                m_view->SetStatusText("Processing Files");
                std::unique_ptr<PictureConverter> converter = m_converterFactory();
                UploadWorker(&m_queue, converter.get(), m_session.get(), m_view, static_cast<int32_t>(imageSize)).Run();
            }
            WorkerFinished() = 1;
            m_view->PostToUi([this] { EndUploadRun(); });
        });
    } catch (const std::system_error&) {
        WorkerFinished() = 1;
        m_view->ShowMessage("Unable to Start Image Processing");
        EndUploadRun();
    }
}

void CUploaderDlg::EndUploadRun()
{
    JoinWorker();
    m_view->SetRunning(false);
    m_view->SetStatusText("");
    m_view->FocusUpload();
    m_runState = kRunEnded;
    if (CancelFlag().load() != 0) {
        m_settings.SaveSettings();
        m_view->SetStatusText("");
    }
    m_queue.UpdateWaitingCount();
    m_queue.SaveKeptQueue();   // what the service confirmed is no longer kept
    m_view->SetFileNameText("");
    CancelFlag() = 0;
    m_view->SetWaitCursor(false);
    SetProgress(0, 1);
}

void CUploaderDlg::SetProgress(int64_t done, int64_t total)
{
    m_view->SetProgressPosition(ProgressPosition(done, total));
}

void CUploaderDlg::OnImageSizeChanged(int32_t imageSize)
{
    m_settings.imageSize = static_cast<uint32_t>(imageSize);
    m_queue.ClearProcessedMarks();
}

void CUploaderDlg::OnRemove(const std::vector<int>& selectedRows)
{
    if (m_runState == kRunRunning)
        return;
    int removed = 0;
    int row = 0;
    for (auto& batch : m_queue.Batches()) {
        row = 0;  // rows are counted from 0 in each group
        for (auto it = batch.records.begin(); it != batch.records.end(); ++row) {
            if (std::find(selectedRows.begin(), selectedRows.end(), row) == selectedRows.end()) {
                ++it;
                continue;
            }
            if (it->workFileMade)
                RemoveFile(it->workPath);
            if (it->owner == 0)
                RemoveFile(it->sourcePath);
            it = batch.records.erase(it);
            m_view->RemoveFileRow(row - removed);
            ++removed;
        }
    }
    m_queue.UpdateWaitingCount();
    m_queue.SaveKeptQueue();
}

}  // namespace caravel
