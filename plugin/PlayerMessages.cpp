#include "plugin/PlayerMessages.h"

namespace {

// Sends on the stack now: the player may run its loop inside one, and sends
// may nest there.
int sendsUnderway = 0;

}  // namespace

LRESULT sendToPlayer(UINT message, WPARAM wParam, LPARAM lParam) {
    ++sendsUnderway;
    LRESULT result = SendMessageA(pluginDescriptor.hostWindow, message, wParam, lParam);
    --sendsUnderway;
    return result;
}

bool sendingToPlayer() {
    return sendsUnderway > 0;
}
