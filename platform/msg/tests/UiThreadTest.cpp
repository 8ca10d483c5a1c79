#include "QtApp.h"

#include "platform/msg/MessageBox.h"
#include "platform/msg/UiThread.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>

#include <atomic>
#include <thread>

using namespace plat;
using plat::testing::testApp;

TEST(UiThread, WorkersMessageBoxIsAnsweredWhileTheUiThreadIsInAnotherModalDialog) {
    testApp();
    QDialog settings;
    std::atomic<bool> answeredOnUi{false}, insideTheDialog{false};
    MessageBoxRequest seen;
    setMessageBoxResponder([&](const MessageBoxRequest& request) {
        answeredOnUi = isUiThread();
        insideTheDialog = QApplication::activeModalWidget() == &settings;
        seen = request;
        return kAnswerNo;
    });
    int answer = 0;
    std::thread worker;
    QTimer::singleShot(0, &settings, [&] {
        worker = std::thread([&] {
            MessageBoxRequest request;
            request.text = "Overwrite?";
            request.buttons = MessageButtons::YesNo;
            request.icon = MessageIcon::Exclamation;
            request.defaultButton = 2;
            answer = showMessageBox(request);
            runOnUiThread([&] { settings.accept(); });
        });
    });
    settings.exec();
    worker.join();
    setMessageBoxResponder({});
    EXPECT_EQ(answer, kAnswerNo);
    EXPECT_TRUE(answeredOnUi.load());
    EXPECT_TRUE(insideTheDialog.load());
    EXPECT_EQ(seen.text, "Overwrite?");
    EXPECT_EQ(seen.defaultButton, 2);
}

TEST(UiThread, RealBoxFromAWorkerGivesTheButtonPressed) {
    testApp();
    int answer = 0;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        MessageBoxRequest request;
        request.text = "Cancel the transfer?";
        request.buttons = MessageButtons::OkCancel;
        request.icon = MessageIcon::Stop;
        answer = showMessageBox(request);
        done = true;
    });
    // Press Cancel on the box once it is up.
    QTimer presser;
    QObject::connect(&presser, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            EXPECT_EQ(box->text(), "Cancel the transfer?");
            box->button(QMessageBox::Cancel)->click();
        }
    });
    presser.start(5);
    while (!done.load()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.join();
    EXPECT_EQ(answer, kAnswerCancel);
}

TEST(UiThread, ModalWorkOnTheUiThreadItselfRunsDirectly) {
    testApp();
    EXPECT_TRUE(isUiThread());
    EXPECT_EQ(runModalOnUiThread([] { return 1170; }), 1170);
    int fromWorker = 0;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        fromWorker = runModalOnUiThread([] { return isUiThread() ? 1171 : -5; });
        done = true;
    });
    while (!done.load()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.join();
    EXPECT_EQ(fromWorker, 1171);
}
