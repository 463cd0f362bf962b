#include <gtest/gtest-spi.h>

#include "tests/DialogDriver.h"
#include "tests/HostFixture.h"

#include "dialog/resource.h"

class DialogTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        driver.reset(new DialogDriver(playerWindow->handle(), host.get()));
    }
    void open() {
        driver->run([this] { host->config(); });
    }
    std::unique_ptr<DialogDriver> driver;
};

TEST_F(DialogTest, Smoke) {
    startPlugin();
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.caption(), "Nightcap v2.0");
        EXPECT_EQ(d.text(IDC_START_STOP), "start now");
        EXPECT_EQ(d.text(IDC_SONGS), "3");
        EXPECT_EQ(d.focusedId(), IDC_COUNT_SONGS);
        d.tab();
    });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.focusedId(), IDC_SONGS);
        d.paste(IDC_SONGS, "a\r\nb");
        d.click(IDC_COUNT_MINUTES);
        d.type(IDC_MINUTES, "x5-");
    });
    driver->then([](DialogDriver& d) {
        EXPECT_EQ(d.text(IDC_SONGS), "a\r\nb");
        EXPECT_EQ(d.text(IDC_MINUTES), "5");
        d.escape();
    });
    open();
    EXPECT_EQ(readSettingsBytes(), settingsBytes(2, 1, 3, 0, 5));
}

TEST_F(DialogTest, ForgottenDialogIsClosed) {
    startPlugin();
    driver->then([](DialogDriver&) {});
    ::testing::TestPartResultArray failures;
    {
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        open();
    }
    ASSERT_EQ(failures.size(), 1);
    EXPECT_NE(std::string(failures.GetTestPartResult(0).message()).find("still open after the last step"),
              std::string::npos);
    EXPECT_EQ(driver->openDialogs(), 0);
}
