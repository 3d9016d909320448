#include "SphinxEngine.h"

#include <cctype>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "SphinxModel.h"
#include "SphinxSession.h"

namespace msc {

namespace {

// The Debian package pocketsphinx-en-us.
constexpr const char *kDebianEnglishModel = "/usr/share/pocketsphinx/model/en-us";

std::string Lower(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

class SphinxEngine : public Engine {
  public:
    explicit SphinxEngine(const LoginContext &login) : m_workDir(login.workDir) {
        for (const auto &[key, value] : login.params.Items())
            if (key.rfind("model.", 0) == 0 && !value.empty())
                m_dirs[key.substr(6)] = login.ResolvePath(value);
        if (!m_dirs.count("en_us"))
            m_dirs["en_us"] = kDebianEnglishModel;
    }

    ~SphinxEngine() override {
        if (m_warmUp.joinable())
            m_warmUp.join();
    }

    // Loads a decoder of every model in the background, so that login does not wait and the
    // first session finds one ready.
    void WarmUp() {
        m_warmUp = std::thread([this] {
            std::vector<std::string> keys;
            for (const auto &entry : m_dirs)
                keys.push_back(entry.first);
            for (const std::string &key : keys)
                if (SphinxModel *model = FindModel(key, ""))
                    model->Preload();
        });
    }

    int BeginSession(const Params &params, std::unique_ptr<RecognitionSession> *session) override {
        SphinxSessionOptions options;
        if (!ReadSphinxOptions(params, &options))
            return MSC_ERROR_INVALID_PARAMS;
        SphinxModel *model =
            FindModel(Lower(params.Get("language", "zh_cn")), Lower(params.Get("accent", "")));
        if (!model)
            return MSC_ERROR_NO_LANGUAGE;
        SphinxModel::Decoder *decoder = model->Acquire();
        if (!decoder)
            return MSC_ERROR_ENGINE_SETUP;
        *session = std::make_unique<SphinxSession>(model, decoder, options);
        return 0;
    }

  private:
    // The model for a language and accent: "language.accent" first, then "language".
    SphinxModel *FindModel(const std::string &language, const std::string &accent) {
        std::lock_guard lock(m_mutex);
        for (const std::string &key : {language + "." + accent, language}) {
            auto loaded = m_models.find(key);
            if (loaded != m_models.end())
                return loaded->second.get();
            auto dir = m_dirs.find(key);
            ModelFiles files;
            if (dir == m_dirs.end() || !FindModelFiles(dir->second, &files))
                continue;
            auto model =
                std::make_unique<SphinxModel>(key, files, m_workDir + "/sphinx-" + key + ".cmn");
            SphinxModel *raw = model.get();
            m_models[key] = std::move(model);
            return raw;
        }
        return nullptr;
    }

    std::string m_workDir;
    std::map<std::string, std::string> m_dirs;  // "language[.accent]" -> model folder
    std::mutex m_mutex;
    std::map<std::string, std::unique_ptr<SphinxModel>> m_models;  // by folder
    std::thread m_warmUp;
};

}  // namespace

int CreateSphinxEngine(const LoginContext &login, std::unique_ptr<Engine> *engine) {
    auto sphinx = std::make_unique<SphinxEngine>(login);
    sphinx->WarmUp();
    *engine = std::move(sphinx);
    return 0;
}

}  // namespace msc
