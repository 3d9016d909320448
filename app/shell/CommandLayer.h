// CommandLayer: what the controller asks of command mode - the user's own command words and the
// semantic understanding of a spoken command. Tests put a recording one in its place.
#pragma once

#include <memory>
#include <string>

class CommandLayer {
  public:
    virtual ~CommandLayer() = default;
    // Loads the custom commands from the command file.
    virtual void LoadCustomCommands(const std::string &path) = 0;
    // Runs the custom or built-in command that `text` (ANSI code page) names; false if none does.
    virtual bool MatchLocalCommand(const std::string &text) = 0;
    // Asks the speech service to understand `text`; true with its answer (UTF-8 JSON).
    virtual bool SendSemanticRequest(const std::string &text, std::string *answer) = 0;
    // Acts on an answer on a detached worker thread.
    virtual void StartSemanticWorker(std::string answer) = 0;
};

// The program's command layer.
std::unique_ptr<CommandLayer> CreateCommandLayer();
