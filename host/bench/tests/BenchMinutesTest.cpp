// Countdowns of minutes in the bench player, one for each way of ending the
// song: waited for (then sleep, warned as the song's end comes near), shaded
// out (told in the log from its start to the volume given back; then Pause,
// which goes back to where the fade began), or stopped at once.

#include "host/bench/tests/BenchFixture.h"

TEST_F(BenchTest, OneMinuteThenWaitForTheSongToEndThenSleep) {
    play(minutes(1, StopMethod::WaitForSongEnd, FinalAction::Sleep));
    const BenchPlayer::Facts& facts = bench->facts;
    const BenchLog& log = bench->log;

    EXPECT_EQ(tickLine(log, 120),
              "told the dialog the counts changed (DialogNotify 1); icon tooltip: Nightcap: until this song ends, then "
              "sleep")
        << "the minute, counted";
    // Tick 121 only begins to watch the song; it ends at the next track change.
    EXPECT_EQ(tickLine(log, 121).find("asked the play position"), 0u) << tickLine(log, 121);
    EXPECT_GT(facts.tickAtFinish, 122);
    EXPECT_GE(facts.trackChangesWhileArmed, 1);
    EXPECT_EQ(bench->model.state, PlayerModel::Stopped);
    int changed = lineIndex(log, "-- now playing", lineIndex(log, "tick 121: "));
    int finished = lineIndex(log, "tick " + std::to_string(facts.tickAtFinish) + ": ");
    ASSERT_GE(changed, 0);
    EXPECT_LT(changed, finished) << "the song ended before the countdown did";
    EXPECT_NE(log.lines[static_cast<size_t>(finished)].find("stop; switched repeat off; told the dialog the countdown "
                                                            "finished"),
              std::string::npos);
    int balloon = lineIndex(log, "balloon \"Nightcap: the last song\"");
    int asked = lineIndex(log, "-- the plug-in asked to put the computer to sleep");
    ASSERT_GE(balloon, lineIndex(log, "tick 121: ")) << allLines(log);
    ASSERT_GT(asked, balloon);
    EXPECT_LT(stampMs(log.lines[asked]) - stampMs(log.lines[balloon]), 60000) << allLines(log);
}

// The fade over the five seconds the dialog offers first, stepped by a
// timer of its own: the log tells its start, each tenth with the curve's
// level, its end with the stop command and the volume given back, and
// folds the steps between.
TEST_F(BenchTest, OneMinuteThenShadeOutOverFiveSeconds) {
    play(minutes(1, StopMethod::ShadeOut));
    const BenchPlayer::Facts& facts = bench->facts;
    const BenchLog& log = bench->log;

    EXPECT_EQ(facts.tickAtFinish, 131) << "ten ticks of 500 ms after the fade began on tick 121";
    EXPECT_EQ(tickLine(log, 121),
              "asked the volume (200); asked the play position (100.5 s); armed the fade's timer (every 20 ms)");
    int begins = lineIndex(log, "-- the fade begins: from volume 200, over 5 seconds, a step every 20 ms on a timer of "
                                "its own");
    ASSERT_GE(begins, 0) << allLines(log);
    const int tenths[] = {126, 80, 50, 32, 20, 13, 8, 5, 3};  // 200 x 10^(-k/5)
    for (int k = 1; k <= 9; ++k) {
        EXPECT_NE(log.lines[static_cast<size_t>(begins + k)].find(
                      "-- fade " + std::to_string(10 * k) + "% (" + BenchLog::formatTime(500 * k) +
                      " of 5 seconds): volume " + std::to_string(tenths[k - 1])),
                  std::string::npos)
            << log.lines[static_cast<size_t>(begins + k)];
    }
    EXPECT_EQ(log.lines[static_cast<size_t>(begins + 10)].find("tick 131: "), 12u) << "no step of its own has a line";
    EXPECT_EQ(tickLine(log, 131),
              "asked the play position (105.5 s); disarmed the fade's timer; stop; volume 200; disarmed its timer; the "
              "notification icon went away; stop; told the dialog the countdown finished (DialogNotify 2); told the "
              "dialog the counts changed (DialogNotify 1)");
    EXPECT_GT(lineIndex(log, "-- the fade is over after 0:05.0 (5 seconds chosen): "), begins);
    EXPECT_GT(lineIndex(log, "-- the volume given back: 200"), begins);
    EXPECT_EQ(bench->host.callsOf("Sleep"), 0);
    EXPECT_EQ(bench->model.volume, 200) << "the volume is back for the next time";
    EXPECT_EQ(bench->model.state, PlayerModel::Stopped);
}

// Pause after a thirty-second fade: no stop, the pause command, and back
// to where the fade began in the same song, at the listener's volume.
TEST_F(BenchTest, OneMinuteThenShadeOutOverThirtySecondsAndPause) {
    Scenario scenario = minutes(1, StopMethod::ShadeOut, FinalAction::Pause, 30);
    scenario.reopenDialog = false;
    play(scenario);
    const BenchPlayer::Facts& facts = bench->facts;
    const BenchLog& log = bench->log;

    EXPECT_EQ(facts.stopCommands, 0);
    EXPECT_EQ(facts.pauseCommands, 1);
    EXPECT_EQ(bench->model.state, PlayerModel::Paused);
    EXPECT_EQ(bench->model.positionMs, 100500) << "where the fade began, on tick 121";
    EXPECT_EQ(bench->model.volume, 200);
    std::string last = tickLine(log, facts.tickAtFinish);
    EXPECT_NE(last.find("asked whether the player plays (yes); pause; jump to 1:40.5; volume 200"), std::string::npos)
        << last;
    EXPECT_GE(lineIndex(log, "-- the fade is over after 0:30.0 (30 seconds chosen): "), 0) << allLines(log);
    EXPECT_GE(lineIndex(log, "; then the pause command"), 0);
    EXPECT_GE(lineIndex(log, "-- back to where the fade began (1:40.5)"), 0);
    EXPECT_EQ(readSettingsBytes(),
              settingsBytes(CountMode::Minutes, StopMethod::ShadeOut, FinalAction::Pause, 3, 1, 30));
}

TEST_F(BenchTest, OneMinuteThenStopAtOnceAndQuit) {
    play(minutes(1, StopMethod::StopNow, FinalAction::QuitPlayer));
    const BenchPlayer::Facts& facts = bench->facts;

    EXPECT_EQ(facts.tickAtFinish, 121);
    EXPECT_EQ(tickLine(bench->log, 121),
              "disarmed its timer; the notification icon went away; stop; quit (posted WM_QUIT to the player); told the dialog the countdown "
              "finished (DialogNotify 2); told the dialog the counts changed (DialogNotify 1)");
    EXPECT_TRUE(facts.quitByPlugin);
    EXPECT_EQ(bench->host.sleptMs, 0);
}

// The listener at the moon in the notification area strip: the warning
// shows there a minute before a fade's end; its menu gives ten more
// minutes (in memory: the file keeps the one chosen), then stops the
// countdown with nothing at the end carried out, and the strip empties.
