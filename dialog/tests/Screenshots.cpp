// Pictures of the dialog for the README, idle and running, as the screen
// shows them. Not a check: script/screenshots runs it on purpose, with
// NIGHTCAP_SHOTS naming the folder for the bitmaps.

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "dialog/resource.h"
#include "host/ScreenCapture.h"
#include "host/DialogDriver.h"
#include "tests/HostFixture.h"

namespace {

bool saveWindow(HWND window, const std::string& path) {
    RECT area;
    GetWindowRect(window, &area);
    return saveScreenArea(area, path);
}

class Screenshots : public HostFixture {};

TEST_F(Screenshots, DISABLED_IdleAndRunning) {
    const char* folder = getenv("NIGHTCAP_SHOTS");
    ASSERT_NE(folder, nullptr) << "NIGHTCAP_SHOTS names the folder for the pictures";
    const std::string shots = folder;
    player.play();
    startPlugin();
    DialogDriver driver(playerWindow->handle(), host.get());

    // A step to paint, some idle firings for the display to catch up (it
    // takes the window's pixels while the loop waits), then the picture.
    auto picture = [&](const std::string& name) {
        driver.then([](DialogDriver& d) { RedrawWindow(d.dialog(), NULL, NULL, RDW_INVALIDATE | RDW_ERASE |
                                                                                  RDW_FRAME | RDW_ALLCHILDREN); });
        for (int i = 0; i < 30; ++i) {
            driver.then([](DialogDriver&) {});
        }
        driver.then([&shots, name](DialogDriver& d) {
            EXPECT_TRUE(saveWindow(d.dialog(), shots + "\\" + name + ".bmp")) << name;
        });
    };

    // An evening with a story: 30 minutes, a ten-minute shade-out, a pause
    // that keeps the place.
    driver.then([](DialogDriver& d) {
        d.click(IDC_COUNT_MINUTES);
        d.type(IDC_MINUTES, "30");
        d.click(IDC_FADE_OUT);
        d.choose(IDC_FADE_LENGTH, "over 10 minutes");
        d.click(IDC_PAUSE);
    });
    picture("dialog-idle");
    driver.then([](DialogDriver& d) { d.click(IDC_START_STOP); });
    driver.run([&] { host->config(); });
    ASSERT_EQ(host->liveTimers(), 1);

    host->ticks(3 * 120);  // three minutes gone
    picture("dialog-running");
    driver.then([](DialogDriver& d) { d.escape(); });
    driver.run([&] { host->config(); });
}

}  // namespace
