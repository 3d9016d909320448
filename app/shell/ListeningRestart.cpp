#include "shell/ListeningRestart.h"

#include <atomic>

#include "shell/ProgramState.h"
#include "shell/QuorvexMessages.h"

namespace {

std::atomic<unsigned> g_restartsPosted{0};

}  // namespace

void PostListeningRestart() {
    // Counted first: whoever handles the release of the pair already sees it.
    g_restartsPosted.fetch_add(1);
    PostMessage(g_mainWnd, WM_HOTKEY, HOTKEY_VOICE_UP, kVoiceUpLParam);
    PostMessage(g_mainWnd, WM_HOTKEY, HOTKEY_VOICE_DOWN, kVoiceDownLParam);
}

unsigned ListeningRestartsPosted() {
    return g_restartsPosted.load();
}
