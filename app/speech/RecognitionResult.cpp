#include "speech/RecognitionResult.h"

#include <json/json.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "msc.h"
#include "output/TypeText.h"
#include "platform/CodePage.h"
#include "platform/WriteLog.h"
#include "shell/AppSettings.h"
#include "shell/ListeningRestart.h"
#include "speech/SpeechRec.h"

char *g_resultText = nullptr;
int g_resultCapacity = 0;
std::string g_previousPiece;
int g_replaceCount = 0;

namespace {

constexpr int kResultStep = 4096;

bool ContinuousSession() {
    return g_settings.Language != 1 && (g_settings.LongPressModel || g_settings.AutoModify);
}

void AppendPlain(const char *text) {
    if (!g_resultText)
        return;  // the buffer of this session could not be made: its results are dropped
    const size_t length = std::strlen(text);
    const size_t used = std::strlen(g_resultText);
    size_t capacity = g_resultCapacity;
    while (capacity - used - 1 < length)
        capacity += kResultStep;
    if (capacity != static_cast<size_t>(g_resultCapacity)) {
        char *grown = static_cast<char *>(std::realloc(g_resultText, capacity));
        if (!grown)
            return;  // keep what was gathered; this piece is lost
        g_resultText = grown;
        g_resultCapacity = static_cast<int>(capacity);
    }
    std::memcpy(g_resultText + used, text, length + 1);
}

// The words of a piece: every candidate of every word, in order.
std::string PieceText(const Json::Value &root) {
    std::string piece;
    const Json::Value &words = root["ws"];
    if (!words.isArray())
        return piece;
    for (const Json::Value &word : words) {
        if (!word.isObject())
            continue;
        const Json::Value &candidates = word["cw"];
        if (!candidates.isArray() && !candidates.isObject())
            continue;
        for (const Json::Value &candidate : candidates) {
            if (!candidate.isObject())
                continue;
            const Json::Value &w = candidate["w"];
            if (w.isString())
                piece += w.asString();
        }
    }
    return piece;
}

}  // namespace

void OnSpeechBegin() {
    std::free(g_resultText);
    g_resultText = static_cast<char *>(std::calloc(kResultStep, 1));
    g_resultCapacity = g_resultText ? kResultStep : 0;
}

void OnRecognitionResult(const char *text, bool isLast) {
    if (!text)
        return;
    if (!ContinuousSession()) {
        AppendPlain(text);
        return;
    }
    // The piece is parsed in the ANSI code page, where its words are kept and compared.
    const std::string ansi = Utf8ToAnsi(text);
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    if (!reader->parse(ansi.data(), ansi.data() + ansi.size(), &root, &errors) ||
        !root.isObject()) {
        WriteLog("onresult json err");
        return;
    }
    const std::string piece = PieceText(root);
    const Json::Value &ls = root["ls"];
    const bool last = ls.isConvertibleTo(Json::booleanValue) && ls.asBool();
    if (g_settings.AutoModify) {
        const Json::Value &pgs = root["pgs"];
        const Json::Value &sn = root["sn"];
        if (sn.isConvertibleTo(Json::intValue) && sn.asInt() == 1)
            g_previousPiece.clear();
        const bool replaces = pgs.isString() && pgs.asString() == "rpl";
        // Bytes / 2 counts GB2312 characters. A one-byte piece ("a") still has to be replaced,
        // not typed again: at least one.
        const int count = static_cast<int>(g_previousPiece.size() / 2);
        g_replaceCount = replaces ? (g_previousPiece.empty() ? 0 : std::max(count, 1)) : 0;
    } else {
        g_replaceCount = 0;
    }
    g_previousPiece = piece;
    TypeText(AnsiToWide(piece));
    if (last)
        g_replaceCount = 0;
}

void OnSpeechEnd(int reason) {
    char line[48];
    std::snprintf(line, sizeof line, "speech_end code:%d", reason);
    WriteLog(line);
    if (reason != 0 || !(g_settings.LongPressModel || g_settings.AutoModify))
        return;
    // The pause ended this session: a release and a press of the voice key make the controller
    // stop it and start the next one at once.
    if (const char *id = g_recognizer.sessionId.exchange(nullptr))
        QISRSessionEnd(id, "VAD Normal");
    PostListeningRestart();
}
