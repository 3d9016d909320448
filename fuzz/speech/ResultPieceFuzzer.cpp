// The result callback on arbitrary JSON pieces of a continuous session with corrections: it never
// fails and never leaves a negative replacement count. Each input starts from nothing typed, so
// that no input costs Backspace pauses.
#include <cstddef>
#include <cstdint>
#include <string>

#include "output/TypeText.h"
#include "platform/ProgramDirectory.h"
#include "platform/RecordingKeyboardOutput.h"
#include "shell/AppSettings.h"
#include "speech/RecognitionResult.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static RecordingKeyboardOutput *output = [] {
        auto recording = std::make_unique<RecordingKeyboardOutput>();
        RecordingKeyboardOutput *raw = recording.get();
        SetKeyboardOutput(std::move(recording));
        g_settings.Language = 0;
        g_settings.LongPressModel = 1;
        g_settings.AutoModify = 1;
        // Unreadable pieces are logged: a directory that does not exist keeps that cheap.
        SetProgramDirectory("/nonexistent-quorvex-fuzz/");
        return raw;
    }();
    output->Clear();
    g_lastTyped.clear();
    g_previousPiece.clear();
    g_replaceCount = 0;
    std::string text(reinterpret_cast<const char *>(data), size);
    OnRecognitionResult(text.c_str(), false);
    if (g_replaceCount < 0)
        __builtin_trap();
    return 0;
}
