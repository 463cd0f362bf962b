#include "tests/HostFixture.h"

class FrameTest : public HostFixture {};

TEST_F(FrameTest, ExportReturnsTheSameDescriptor) {
    loadPlugin();
    PluginDescriptor* first = host->getDescriptor();
    EXPECT_EQ(first, host->getDescriptor());
    EXPECT_EQ(first->interfaceVersion, 0x10);
    EXPECT_STREQ(first->description, "Nightcap v2.0");
}
