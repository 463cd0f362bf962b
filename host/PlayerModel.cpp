#include "host/PlayerModel.h"

#include <stdio.h>
#include <stdlib.h>

#include "plugin/PlayerMessages.h"

PlayerModel::PlayerModel() : playlist(defaultPlaylist()) {}

const Track* PlayerModel::currentTrack() const {
    return trackIndex < playlist.size() ? &playlist[trackIndex] : nullptr;
}

int PlayerModel::currentLengthMs() const {
    const Track* track = currentTrack();
    return track != nullptr && track->lengthSeconds > 0 ? track->lengthSeconds * 1000 : 0;
}

void PlayerModel::play() {
    if (currentTrack() == nullptr) {
        return;
    }
    if (state == Stopped) {
        positionMs = 0;
    }
    state = Playing;
}

void PlayerModel::stop() {
    state = Stopped;
    positionMs = 0;
}

void PlayerModel::pause() {
    if (state == Playing) {
        state = Paused;
    } else if (state == Paused) {
        state = Playing;
    }
}

void PlayerModel::next() {
    if (playlist.empty()) {
        return;
    }
    trackIndex = (trackIndex + 1) % playlist.size();
    positionMs = 0;
}

void PlayerModel::previous() {
    if (playlist.empty()) {
        return;
    }
    trackIndex = trackIndex == 0 ? playlist.size() - 1 : trackIndex - 1;
    positionMs = 0;
}

void PlayerModel::seek(int ms) {
    int length = currentLengthMs();
    positionMs = ms < 0 ? 0 : (ms > length ? length : ms);
}

void PlayerModel::advance(int ms) {
    if (state != Playing || ms <= 0) {
        return;
    }
    positionMs += ms;
    // Bounded, so a playlist of zero-length tracks cannot spin for ever.
    for (size_t turns = 0; turns <= playlist.size() && positionMs >= currentLengthMs(); ++turns) {
        int carry = positionMs - currentLengthMs();
        if (trackIndex + 1 < playlist.size()) {
            ++trackIndex;
        } else if (repeat && !playlist.empty()) {
            trackIndex = 0;
        } else {
            trackIndex = 0;
            stop();
            return;
        }
        positionMs = carry;
    }
}

bool PlayerModel::handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    bool command = message == WM_COMMAND && (LOWORD(wParam) == StopCommand || LOWORD(wParam) == PauseCommand);
    if (message != PlayerMessage && !command) {
        return false;
    }
    if (answerOverride && answerOverride(message, wParam, lParam, result)) {
        return true;
    }

    result = 0;
    if (message == WM_COMMAND) {
        if (LOWORD(wParam) == PauseCommand) {
            pause();
        } else {
            stop();
        }
    } else if (lParam == JumpToTime) {
        // Refused (-1) while nothing plays, as the player does.
        if (state == Stopped) {
            result = -1;
        } else {
            seek(static_cast<int>(wParam));
        }
    } else if (lParam == IsPlayingQuery) {
        result = state == Playing ? 1 : (state == Paused ? 3 : 0);
    } else if (lParam == PositionQuery && wParam == PositionInMs) {
        result = state == Stopped ? -1 : positionMs;
    } else if (lParam == PositionQuery && wParam == LengthInSeconds) {
        result = currentTrack() != nullptr ? currentTrack()->lengthSeconds : -1;
    } else if (lParam == RepeatQuery) {
        result = repeat ? 1 : 0;
    } else if (lParam == SetRepeat) {
        repeat = wParam != 0;
    } else if (lParam == VolumeMessage && wParam == VolumeQuery) {
        result = volume;
    } else if (lParam == VolumeMessage) {
        int requested = static_cast<int>(wParam);
        volume = requested < 0 ? 0 : (requested > 255 ? 255 : requested);
    }
    if (insideMessage) {
        insideMessage(message, wParam, lParam);
    }
    return true;
}

std::vector<Track> PlayerModel::defaultPlaylist() {
    return {
        {"Lullaby in Blue", 245},
        {"Slow Tide", 198},
        {"Paper Moon Waltz", 232},
        {"Night Train", 301},
        {"Quiet Harbour", 187},
    };
}

std::vector<Track> PlayerModel::parseM3u(const std::string& text) {
    std::vector<Track> tracks;
    bool pending = false;
    Track info = {"", 0};
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
            line.pop_back();
        }
        if (line.empty() || line == "#EXTM3U") {
            continue;
        }
        if (line.compare(0, 8, "#EXTINF:") == 0) {
            size_t comma = line.find(',', 8);
            info.lengthSeconds = atoi(line.substr(8, comma == std::string::npos ? std::string::npos : comma - 8).c_str());
            info.title = comma == std::string::npos ? std::string() : line.substr(comma + 1);
            pending = true;
        } else if (line[0] != '#') {
            if (!pending) {
                info = {line, 0};
            } else if (info.title.empty()) {
                info.title = line;
            }
            tracks.push_back(info);
            pending = false;
        }
        if (end == text.size()) {
            break;
        }
    }
    return tracks;
}

bool PlayerModel::readM3u(const std::string& path, std::vector<Track>& tracks) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, got);
    }
    fclose(file);
    tracks = parseM3u(text);
    return !tracks.empty();
}
