#pragma once
// The about box: the version over the program's picture; a click closes it.
#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
public:
    static constexpr int kWidth = 400;
    static constexpr int kHeight = 300;
    static constexpr const char* kVersionText = "Ver.4.3.1";  // own string 62071
    static constexpr const char* kSecondLine = "Lumora 4";    // own string 62072

    explicit CAboutDlg(QWidget* parent = nullptr);
    int DoModal() { return exec(); }

    QLabel* VersionLabel() const { return version_; }
    QLabel* SecondLabel() const { return second_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QLabel* version_ = nullptr;
    QLabel* second_ = nullptr;
};
