// The speech library through its C interface, with the scripted engine behind it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "msc.h"

extern "C" int msc_header_is_c(void);

namespace {

namespace fs = std::filesystem;

const char kLogin[] = "appid = 7d3e21a9, work_dir = .";
const std::vector<char> kBlock(6400, 0);  // 200 ms of 16 kHz 16-bit audio

std::string ReadFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const fs::path &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

class MscApi : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("msc-test-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        old_ = fs::current_path();
        fs::current_path(dir_);
        unsetenv("MSC_PARAMS");
    }
    void TearDown() override {
        MSPLogout();
        unsetenv("MSC_PARAMS");
        fs::current_path(old_);
        fs::remove_all(dir_);
    }

    // Logs in with the scripted engine playing `script`.
    void LoginWithScript(const std::string &script) {
        WriteFile(dir_ / "s.txt", script);
        WriteFile(dir_ / "msc.cfg", "# test\nengine = scripted\nscript = s.txt\njournal = j.txt\n");
        ASSERT_EQ(MSPLogin(nullptr, nullptr, kLogin), 0);
    }

    std::string Journal() { return ReadFile(dir_ / "j.txt"); }

    fs::path dir_, old_;
};

TEST_F(MscApi, HeaderIsPlainC) {
    EXPECT_EQ(msc_header_is_c(), 9);
}

TEST_F(MscApi, LoginOnceThenLogoutOnce) {
    EXPECT_EQ(MSPLogin(nullptr, nullptr, kLogin), 0);
    EXPECT_EQ(MSPLogin(nullptr, nullptr, kLogin), MSC_ERROR_ALREADY_LOGGED_IN);
    EXPECT_EQ(MSPLogout(), 0);
    EXPECT_EQ(MSPLogout(), MSC_ERROR_NOT_LOGGED_IN);
    int err = 0;
    EXPECT_EQ(QISRSessionBegin(nullptr, "result_type = plain", &err), nullptr);
    EXPECT_EQ(err, MSC_ERROR_NOT_LOGGED_IN);
}

struct LoginCase {
    const char *login;
    const char *config;  // msc.cfg, null for none
    const char *env;     // MSC_PARAMS, null for none
    int expected;
};

class MscLogin : public MscApi, public testing::WithParamInterface<LoginCase> {};

TEST_P(MscLogin, AdmitsOrRefuses) {
    const LoginCase &c = GetParam();
    if (c.config)
        WriteFile(dir_ / "msc.cfg", c.config);
    if (c.env)
        setenv("MSC_PARAMS", c.env, 1);
    EXPECT_EQ(MSPLogin(nullptr, nullptr, c.login), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MscLogin,
    testing::Values(
        LoginCase{kLogin, nullptr, nullptr, 0}, LoginCase{"appid = 7d3e21a9", nullptr, nullptr, 0},
        LoginCase{"work_dir = .", nullptr, nullptr, MSC_ERROR_INVALID_APPID},
        LoginCase{"appid = , work_dir = .", nullptr, nullptr, MSC_ERROR_INVALID_APPID},
        LoginCase{"appid = 7d3e/21a9", nullptr, nullptr, MSC_ERROR_INVALID_APPID},
        LoginCase{"appid = 7d3e21a9, work_dir = ./missing", nullptr, nullptr,
                  MSC_ERROR_INVALID_WORK_DIR},
        LoginCase{"appid 7d3e21a9", nullptr, nullptr, MSC_ERROR_INVALID_PARAMS},
        LoginCase{kLogin, "appid_allow = 11111111 7d3e21a9\n", nullptr, 0},
        LoginCase{kLogin, "appid_allow = 11111111\n", nullptr, MSC_ERROR_INVALID_APPID},
        LoginCase{kLogin, "engine = nonesuch\n", nullptr, MSC_ERROR_UNKNOWN_ENGINE},
        LoginCase{kLogin, "engine = nonesuch\n", "engine = scripted", 0},
        LoginCase{"appid = 7d3e21a9, engine = scripted", nullptr, "engine = nonesuch", 0},
        LoginCase{kLogin, "this is not an item\n", nullptr, MSC_ERROR_INVALID_PARAMS},
        LoginCase{kLogin, nullptr, "engine = scripted, script = absent.txt",
                  MSC_ERROR_ENGINE_SETUP},
        LoginCase{kLogin, "engine = scripted\nscript = s.txt\n", nullptr,
                  MSC_ERROR_ENGINE_SETUP},  // no s.txt
        LoginCase{kLogin, nullptr, "garbage", MSC_ERROR_INVALID_PARAMS}));

TEST_F(MscApi, ScriptAppIdIsHonoured) {
    WriteFile(dir_ / "s.txt", "appid 11111111\n");
    WriteFile(dir_ / "msc.cfg", "engine = scripted\nscript = s.txt\n");
    EXPECT_EQ(MSPLogin(nullptr, nullptr, kLogin), MSC_ERROR_INVALID_APPID);
    EXPECT_EQ(MSPLogin(nullptr, nullptr, "appid = 11111111"), 0);
}

// Runs one session the way the program does: blocks until the end of speech or `blocks` blocks,
// then the last block and polling until complete. Returns the texts in order, with "!" + code
// for an error, and the journal of the session.
std::vector<std::string> RunSession(const char *params, int blocks, bool *endOfSpeech = nullptr) {
    std::vector<std::string> out;
    int err = -1;
    const char *id = QISRSessionBegin(nullptr, params, &err);
    if (!id) {
        out.push_back("!" + std::to_string(err));
        return out;
    }
    int ep = 0, rec = 0, status = MSC_AUDIO_FIRST;
    for (int i = 0; i < blocks && ep != MSC_EP_AFTER_SPEECH; ++i) {
        int rc = QISRAudioWrite(id, kBlock.data(), kBlock.size(), status, &ep, &rec);
        status = MSC_AUDIO_CONTINUE;
        if (rc != 0) {
            out.push_back("!" + std::to_string(rc));
            QISRSessionEnd(id, "err");
            return out;
        }
        if (rec == MSC_REC_RESULT_READY) {
            const char *text = QISRGetResult(id, &rec, 0, &err);
            if (text)
                out.push_back(text);
        }
    }
    if (endOfSpeech)
        *endOfSpeech = ep == MSC_EP_AFTER_SPEECH;
    if (ep != MSC_EP_AFTER_SPEECH) {
        int rc = QISRAudioWrite(id, nullptr, 0, MSC_AUDIO_LAST, &ep, &rec);
        if (rc != 0)
            out.push_back("!" + std::to_string(rc));
    }
    for (int guard = 0; rec != MSC_REC_COMPLETE && guard < 100; ++guard) {
        const char *text = QISRGetResult(id, &rec, 0, &err);
        if (err != 0) {
            out.push_back("!" + std::to_string(err));
            break;
        }
        if (text)
            out.push_back(text);
    }
    EXPECT_EQ(QISRSessionEnd(id, "normal"), 0);
    return out;
}

using Texts = std::vector<std::string>;

TEST_F(MscApi, ResultsComeAtTheirByteCountsAndAfterTheLastBlock) {
    LoginWithScript("session\n at 6400 result 今天\n at 12800 result 天气\n final result 很好。\n");
    EXPECT_EQ(RunSession("result_type = plain, result_encoding = UTF-8", 3),
              (Texts{"今天", "天气", "很好。"}));
}

TEST_F(MscApi, Gb2312ResultsAreConverted) {
    LoginWithScript("session\n final result 今天 ok €\n");
    // 今 C2F1, 天 CCEC; the euro sign has no GB2312 form and becomes '?'.
    EXPECT_EQ(RunSession("result_type = plain, result_encoding = gb2312", 1),
              (Texts{"\xbd\xf1\xcc\xec ok \x80"}))
        << "code page 936 has the euro sign at 0x80";
}

TEST_F(MscApi, EndOfSpeechEndsTheAudio) {
    LoginWithScript(
        "session\n at 6400 result a\n at 12800 eos\n at 19200 result never\n final result b\n");
    bool eos = false;
    EXPECT_EQ(RunSession("result_type = json", 10, &eos), (Texts{"a", "b"}));
    EXPECT_TRUE(eos);
}

TEST_F(MscApi, ScriptedErrorsReachTheCaller) {
    LoginWithScript(
        "session\n begin error 10108\n"
        "session\n at 12800 error 10115\n"
        "session\n final result x\n final error 10120\n");
    EXPECT_EQ(RunSession("", 3), (Texts{"!10108"}));
    EXPECT_EQ(RunSession("", 3), (Texts{"!10115"}));
    EXPECT_EQ(RunSession("", 3), (Texts{"x", "!10120"}));
    EXPECT_EQ(RunSession("", 3), (Texts{})) << "no plan left: no results";
}

TEST_F(MscApi, LoopStartsTheScriptAgain) {
    LoginWithScript("loop\nsession\n final result one\nsession\n final result two\n");
    EXPECT_EQ(RunSession("", 1), (Texts{"one"}));
    EXPECT_EQ(RunSession("", 1), (Texts{"two"}));
    EXPECT_EQ(RunSession("", 1), (Texts{"one"}));
}

TEST_F(MscApi, EmptyUtteranceCompletesAtOnce) {
    LoginWithScript("session\n at 6400 result never\n");
    EXPECT_EQ(RunSession("", 0), (Texts{}));
}

TEST_F(MscApi, RefusesBadSessionParameters) {
    LoginWithScript("");
    for (const char *params :
         {"result_encoding = latin1", "result_type = xml", "sample_rate = 44100", "broken"}) {
        int err = 0;
        EXPECT_EQ(QISRSessionBegin(nullptr, params, &err), nullptr) << params;
        EXPECT_EQ(err, MSC_ERROR_INVALID_PARAMS);
    }
    int err = -1;
    const char *id = QISRSessionBegin(nullptr, "sample_rate = 8000", &err);
    EXPECT_NE(id, nullptr);
    EXPECT_EQ(err, 0);
}

TEST_F(MscApi, AudioStatusesMustComeInOrder) {
    LoginWithScript("");
    int err = 0, ep = 0, rec = 0;
    const char *id = QISRSessionBegin(nullptr, "", &err);
    ASSERT_NE(id, nullptr);
    const char *data = kBlock.data();
    EXPECT_EQ(QISRAudioWrite(id, data, 6400, MSC_AUDIO_CONTINUE, &ep, &rec), MSC_ERROR_AUDIO_ORDER);
    EXPECT_EQ(QISRAudioWrite(id, data, 6400, 3, &ep, &rec), MSC_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(QISRAudioWrite(id, data, 6399, MSC_AUDIO_FIRST, &ep, &rec),
              MSC_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(QISRAudioWrite(id, nullptr, 6400, MSC_AUDIO_FIRST, &ep, &rec),
              MSC_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(QISRAudioWrite(id, data, 6400, MSC_AUDIO_FIRST, &ep, &rec), 0);
    EXPECT_EQ(ep, MSC_EP_IN_SPEECH);
    EXPECT_EQ(rec, MSC_REC_INCOMPLETE);
    EXPECT_EQ(QISRAudioWrite(id, data, 6400, MSC_AUDIO_FIRST, &ep, &rec), MSC_ERROR_AUDIO_ORDER);
    EXPECT_EQ(QISRAudioWrite(id, nullptr, 0, MSC_AUDIO_LAST, &ep, &rec), 0);
    EXPECT_EQ(QISRAudioWrite(id, data, 6400, MSC_AUDIO_CONTINUE, &ep, &rec), MSC_ERROR_AUDIO_ORDER);
    EXPECT_EQ(QISRGetResult(id, &rec, 0, &err), nullptr);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(rec, MSC_REC_COMPLETE);
    EXPECT_EQ(QISRSessionEnd(id, "normal"), 0);
}

TEST_F(MscApi, EndedSessionIdsAreRefused) {
    LoginWithScript("");
    int err = 0, ep = 0, rec = 0;
    std::string id = QISRSessionBegin(nullptr, "", &err);
    EXPECT_EQ(QISRSessionEnd(id.c_str(), "normal"), 0);
    EXPECT_EQ(QISRSessionEnd(id.c_str(), "normal"), MSC_ERROR_INVALID_SESSION);
    EXPECT_EQ(QISRAudioWrite(id.c_str(), nullptr, 0, MSC_AUDIO_LAST, &ep, &rec),
              MSC_ERROR_INVALID_SESSION);
    EXPECT_EQ(QISRGetResult(id.c_str(), &rec, 0, &err), nullptr);
    EXPECT_EQ(err, MSC_ERROR_INVALID_SESSION);
    EXPECT_EQ(QISRSessionEnd(nullptr, nullptr), MSC_ERROR_INVALID_SESSION);
    EXPECT_EQ(QISRSessionEnd("7d3e21a9-999999", nullptr), MSC_ERROR_INVALID_SESSION);
}

TEST_F(MscApi, JournalRecordsWhatTheProgramAsked) {
    LoginWithScript("session\n final result 好\n");
    RunSession("language = zh_cn, accent = mandarin, result_type = plain, ptt = 1", 2);
    int err = 0;
    const char *id = QISRSessionBegin(nullptr, "ptt = 0", &err);
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(MSPLogout(), 0);
    EXPECT_EQ(Journal(),
              "login appid=7d3e21a9\n"
              "begin language = zh_cn, accent = mandarin, result_type = plain, ptt = 1\n"
              "write 6400 1\n"
              "write 6400 2\n"
              "write 0 4\n"
              "result 好\n"
              "end normal\n"
              "begin ptt = 0\n"
              "end logout\n"
              "logout\n");
}

TEST_F(MscApi, SearchAnswersFromTheScript) {
    LoginWithScript(
        "search 北京天气\nanswer {\"rc\":0,\"service\":\"weather\"}\n"
        "search 坏\nfail 10115\n");
    const std::string request = "北京天气";
    unsigned int length = request.size();
    int err = -1;
    const char *answer = MSPSearch("nlp_version =2.0", request.c_str(), &length, &err);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(std::string(answer), "{\"rc\":0,\"service\":\"weather\"}");
    EXPECT_EQ(length, std::string(answer).size());

    length = 0;  // up to the terminating zero
    EXPECT_EQ(MSPSearch("nlp_version =2.0", "坏", &length, &err), nullptr);
    EXPECT_EQ(err, 10115);
    length = 0;
    EXPECT_EQ(MSPSearch("nlp_version =2.0", "其他", &length, &err), nullptr);
    EXPECT_EQ(err, MSC_ERROR_NOT_SUPPORTED);
    EXPECT_EQ(MSPSearch("nlp_version =2.0", nullptr, &length, &err), nullptr);
    EXPECT_EQ(err, MSC_ERROR_INVALID_ARGUMENT);
    MSPLogout();
    EXPECT_EQ(MSPSearch("nlp_version =2.0", "北京天气", &length, &err), nullptr);
    EXPECT_EQ(err, MSC_ERROR_NOT_LOGGED_IN);
}

// The program writes audio on the recorder thread and finishes on a stop worker, while semantic
// workers search beside it.
TEST_F(MscApi, SessionPassesBetweenThreadsBesideSearches) {
    LoginWithScript("loop\nsession\n at 6400 result a\n final result b\nsearch *\nanswer {}\n");
    std::vector<std::thread> searchers;
    std::atomic<int> answers{0};
    for (int t = 0; t < 3; ++t) {
        searchers.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                unsigned int length = 0;
                int err = 0;
                if (MSPSearch("nlp_version =2.0", "x", &length, &err) && length == 2)
                    ++answers;
            }
        });
    }
    for (int round = 0; round < 20; ++round) {
        int err = 0;
        const char *id = QISRSessionBegin(nullptr, "", &err);
        ASSERT_NE(id, nullptr);
        std::vector<std::string> texts;
        std::thread recorder([&] {
            int ep = 0, rec = 0;
            QISRAudioWrite(id, kBlock.data(), kBlock.size(), MSC_AUDIO_FIRST, &ep, &rec);
            if (const char *t = QISRGetResult(id, &rec, 0, &err))
                texts.push_back(t);
        });
        recorder.join();
        std::thread stopper([&] {
            int ep = 0, rec = 0;
            QISRAudioWrite(id, nullptr, 0, MSC_AUDIO_LAST, &ep, &rec);
            while (rec != MSC_REC_COMPLETE)
                if (const char *t = QISRGetResult(id, &rec, 0, &err))
                    texts.push_back(t);
            QISRSessionEnd(id, "normal");
        });
        stopper.join();
        EXPECT_EQ(texts, (Texts{"a", "b"}));
    }
    for (auto &t : searchers)
        t.join();
    EXPECT_EQ(answers, 150);
}

TEST_F(MscApi, GetResultWaitsWhenAsked) {
    LoginWithScript("session\n at 6400 result late\n");
    int err = 0, rec = 0;
    const char *id = QISRSessionBegin(nullptr, "", &err);
    ASSERT_NE(id, nullptr);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(QISRGetResult(id, &rec, 50, &err), nullptr);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(rec, MSC_REC_INCOMPLETE);
}

}  // namespace
