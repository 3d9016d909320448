#include "output/TypeText.h"

#include <algorithm>
#include <chrono>

#include "platform/KeyboardOutput.h"
#include "shell/AppSettings.h"
#include "speech/RecognitionResult.h"

std::u16string g_lastTyped;

namespace {

constexpr auto kBackspaceHold = std::chrono::milliseconds(50);

}  // namespace

void TypeText(std::u16string text) {
    std::u16string toType = text;
    int backspaces = 0;
    if (g_settings.AutoModify) {
        // Counts are UTF-16 units, as the pieces' lengths always were.
        const int count = static_cast<int>(g_lastTyped.size());
        if (count != 0 && g_replaceCount > 0) {
            const size_t shorter = std::min(g_lastTyped.size(), text.size());
            size_t same = 0;
            while (same < shorter && g_lastTyped[same] == text[same])
                ++same;
            g_replaceCount = count - static_cast<int>(same);
            toType.erase(0, same);
        }
        g_lastTyped = std::move(text);
        backspaces = g_replaceCount;
    }
    // The strokes go in order behind those of earlier calls; this thread does not wait for them.
    PostKeyboardInput(backspaces, kBackspaceHold, std::move(toType));
}
