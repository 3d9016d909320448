// The command layer until custom commands and semantic actions exist: nothing is matched and no
// request is sent, so a command-mode utterance only shows its text. Replace this file by the real
// layer's CreateCommandLayer.
#include "CommandLayer.h"

namespace {

class InterimCommandLayer : public CommandLayer {
  public:
    void LoadCustomCommands(const std::string &) override {}
    bool MatchLocalCommand(const std::string &) override { return false; }
    bool SendSemanticRequest(const std::string &, std::string *) override { return false; }
    void StartSemanticWorker(std::string) override {}
};

}  // namespace

std::unique_ptr<CommandLayer> CreateCommandLayer() {
    return std::make_unique<InterimCommandLayer>();
}
