// Recording stand-ins for the layers below the controller: they note every call and answer as
// the test says.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "shell/CommandLayer.h"
#include "shell/ProgramState.h"
#include "shell/SpeechLayer.h"

class RecordingSpeechLayer : public SpeechLayer {
  public:
    void BuildSessionParams() override {
        calls.push_back("build");
        g_languageName = u"普通话";
    }
    int Prepare() override {
        calls.push_back("prepare");
        return prepareResult;
    }
    int BeginListening() override {
        calls.push_back("begin");
        if (beginResult == 0)
            running = true;
        return beginResult;
    }
    void StopRecognition() override {
        calls.push_back(running ? "stop running" : "stop");
        if (duringStop) {
            auto once = std::move(duringStop);
            duringStop = nullptr;
            once();
        }
        running = false;
        g_listening = false;
    }
    std::string ResultText() override { return resultText; }
    void ClearResultText() override {
        calls.push_back("clear");
        resultText.clear();
    }
    void ResetReplaceCount() override { calls.push_back("reset"); }
    void TypeText(const std::u16string &text) override {
        calls.push_back("type " + WideToUtf8(text));
    }

    // The calls since the last Take.
    std::vector<std::string> Take() {
        std::vector<std::string> out;
        out.swap(calls);
        return out;
    }

    std::vector<std::string> calls;
    int prepareResult = 0;
    int beginResult = 0;
    bool running = false;
    std::string resultText;  // ANSI code page
    // Runs once inside the next stop, as the end of a phrase on the recorder thread would.
    std::function<void()> duringStop;
};

class RecordingCommandLayer : public CommandLayer {
  public:
    void LoadCustomCommands(const std::string &path) override { calls.push_back("load " + path); }
    bool MatchLocalCommand(const std::string &text) override {
        calls.push_back("match " + WideToUtf8(AnsiToWide(text)));
        return matches;
    }
    bool SendSemanticRequest(const std::string &text, std::string *answer) override {
        calls.push_back("semantic " + WideToUtf8(AnsiToWide(text)));
        *answer = "{\"rc\":0}";
        return semanticSucceeds;
    }
    void StartSemanticWorker(std::string answer) override { calls.push_back("worker " + answer); }

    std::vector<std::string> calls;
    bool matches = false;
    bool semanticSucceeds = true;
};
