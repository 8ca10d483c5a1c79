#include "QtApp.h"

#include "platform/msg/Messages.h"
#include "platform/msg/SessionEnd.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <csignal>

using namespace plat;
using plat::testing::testApp;

TEST(SessionEnd, SignalAsksEveryWindowThenTellsTheOutcome) {
    testApp();
    ASSERT_TRUE(installSessionEndHandling());
    struct Case {
        int signo;
        LResult secondAgrees;
        WParam expectedEnd;
    } cases[] = {{SIGTERM, 1, 1}, {SIGHUP, 0, 0}, {SIGINT, 1, 1}};
    for (const Case& c : cases) {
        int asked = 0;
        int ended = 0;
        WParam endFlag = 99;
        auto handler = [&](LResult agree) {
            return [&, agree](uint32_t m, WParam w, LParam) -> LResult {
                if (m == kMsgQueryEndSession) {
                    ++asked;
                    return agree;
                }
                if (m == kMsgEndSession) {
                    ++ended;
                    endFlag = w;
                }
                return 0;
            };
        };
        MessageReceiver first(handler(1));
        MessageReceiver second(handler(c.secondAgrees));
        addSessionEndWindow(first.handle());
        addSessionEndWindow(second.handle());
        raise(c.signo);
        while (ended < 2) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        EXPECT_EQ(asked, 2) << c.signo;
        EXPECT_EQ(endFlag, c.expectedEnd) << c.signo;
        removeSessionEndWindow(first.handle());
        removeSessionEndWindow(second.handle());
    }
}
