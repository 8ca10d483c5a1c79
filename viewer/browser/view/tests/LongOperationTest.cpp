#include "viewer/browser/view/LongOperation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class StepHost : public LongOperationHost {
public:
    std::vector<std::string> steps;
    int32_t resume = 0;
    bool SuspendDeviceCheck() override { steps.push_back("suspend"); return true; }
    int32_t ResumeDeviceCheck() override { steps.push_back("resume"); return resume; }
    void StopReaders() override { steps.push_back("stop readers"); }
    void BroadcastAccessState(int32_t f) override { steps.push_back("access " + std::to_string(f)); }
    void ReportError(int32_t c) override { steps.push_back("error " + std::to_string(c)); }
};

TEST(LongOperationTest, StepsRunInOrderAndAFailedRestartIsReported) {
    for (int32_t resume : {0, 5}) {
        StepHost host;
        host.resume = resume;
        const int32_t r = RunLongOperation(host, [&] {
            host.steps.push_back("job");
            return 3;
        });
        EXPECT_EQ(3, r);
        std::vector<std::string> expected = {"suspend", "stop readers", "access 0", "job", "access 1", "resume"};
        if (resume != 0) expected.push_back("error -114");
        EXPECT_EQ(expected, host.steps);
    }
}

TEST(LongOperationTest, AttributeAndErrorCodes) {
    EXPECT_EQ(-99, AttributeJobResult(-99, 0));
    EXPECT_EQ(-114, AttributeJobResult(0, 1));
    EXPECT_EQ(-111, ErrorBoxCode(-101, true));
    EXPECT_EQ(-101, ErrorBoxCode(-101, false));
}

}  // namespace
