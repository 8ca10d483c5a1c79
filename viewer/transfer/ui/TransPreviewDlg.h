#pragma once
// The transfer progress dialog with a preview of the picture being copied and a
// nine-picture copy animation.
#include "viewer/transfer/ui/TransProgressDlg.h"

#include <QIcon>
#include <QImage>

class CTransPreviewDlg : public CTransProgressDlg {
public:
    CTransPreviewDlg(std::unique_ptr<TransferJob> job, int32_t mode, QWidget* parent = nullptr);

    QString fileText() const;
    const QImage& previewImage() const { return preview_; }
    bool showsIcon() const { return preview_.isNull() && !icon_.isNull(); }
    // Where a picture of size w x h is drawn in the preview square.
    static QRect FitPreview(int w, int h);

protected:
    void SetTextsAndLayout() override;
    void PaintBackground(QPainter& painter) override;
    void CurrentFile(TransferFileReport& report) override;
    void Progress(int32_t percent) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void ShowFileText();
    QLabel* fileText_ = nullptr;
    QWidget* animation_ = nullptr;
    std::string path_;
    std::string name_;
    QImage preview_;
    QIcon icon_;
};
