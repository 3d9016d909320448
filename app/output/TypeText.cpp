#include "output/TypeText.h"

#include <chrono>
#include <thread>

#include "platform/KeyboardOutput.h"
#include "shell/AppSettings.h"
#include "speech/RecognitionResult.h"

std::u16string g_lastTyped;

namespace {

constexpr auto kBackspaceHold = std::chrono::milliseconds(50);

}  // namespace

void TypeText(std::u16string text) {
    KeyboardOutput &output = TheKeyboardOutput();
    std::u16string toType = text;
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
        g_lastTyped = text;
        for (int i = 0; i < g_replaceCount; ++i) {
            output.KeyDown(VK_BACK);
            std::this_thread::sleep_for(kBackspaceHold);
            output.KeyUp(VK_BACK);
        }
    }
    if (!toType.empty())
        output.InsertText(toType);
}
