#pragma once
// A simulated player: a playlist of titled tracks with lengths, a play
// position, play state, repeat mode and volume, answering the player window
// messages the plug-in sends. Nothing is decoded or played aloud.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct Track {
    std::string title;
    int lengthSeconds;
};

class PlayerModel {
public:
    enum State { Stopped, Playing, Paused };

    PlayerModel();

    std::vector<Track> playlist;
    size_t trackIndex = 0;
    int positionMs = 0;
    State state = Stopped;
    bool repeat = false;
    int volume = 200;

    // Lets a caller answer a message instead of the model (return true and set
    // the result); used for players that answer arbitrary values.
    std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)> answerOverride;
    // Runs once a message has been handled, before the answer goes back: a
    // player that runs its message loop there (to repaint a volume slider,
    // say) lets the listener act in the middle of the plug-in's own work.
    std::function<void(UINT message, WPARAM wParam, LPARAM lParam)> insideMessage;

    // Transport, as the user or the test drives it.
    void play();
    void stop();
    void pause();
    void next();
    void previous();
    void seek(int ms);
    void setRepeat(bool on) { repeat = on; }
    // Lets time pass: the position moves while playing, and at a track's end
    // the next track starts (after the last: the first with repeat on, or stop).
    void advance(int ms);

    const Track* currentTrack() const;
    int currentLengthMs() const;

    // Handles a player message; false for messages a player would not answer.
    bool handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    static std::vector<Track> defaultPlaylist();
    // Reads "#EXTINF:seconds,title" lines; other lines name the file, which is
    // taken as the title when no #EXTINF came before it.
    static bool readM3u(const std::string& path, std::vector<Track>& tracks);
    static std::vector<Track> parseM3u(const std::string& text);
};
