// The association plug-in through the kit's public interface: the real libvra_hwr.so loads the
// real libvra_hwr_associate.so, which reads the shipped dictionaries of resources/hwr.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <dirent.h>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "KitTestSupport.h"
#include "vra_hwr.h"

using Words = std::vector<std::string>;

namespace {

const std::string kData = QV_HWR_SOURCE_DATA_DIR;
constexpr size_t kUserDictSize = 1064984;

std::string Slurp(const std::string &path) {
    return kit_test::ReadFile(path);
}

bool FileExists(const std::string &path) {
    return std::ifstream(path).good();
}

std::vector<std::string> FilesIn(const std::string &dir) {
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d))
            if (e->d_name[0] != '.')
                names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

// The system library and the kit over a data path, released in reverse order.
class Kit {
  public:
    explicit Kit(const std::string &dataPath = kData) {
        code_ = vra_hwr_init(("datapath=" + dataPath).c_str());
    }
    ~Kit() {
        for (uint32_t id : open_)
            vra_hwr_session_stop(id);
        vra_hwr_release();
    }
    int code() const { return code_; }
    const kit_test::SysSession &sys() const { return sys_; }
    std::string Dir() const { return sys_.Dir().Path(); }

    // Starts a session; 0 and the id, or the code.
    int Start(const std::string &config, uint32_t *id) {
        const int rc =
            vra_hwr_session_start(("capkey=hwr.local.associateword," + config).c_str(), id);
        if (rc == 0)
            open_.push_back(*id);
        return rc;
    }
    int Stop(uint32_t id) {
        const int rc = vra_hwr_session_stop(id);
        if (rc == 0)
            open_.erase(std::find(open_.begin(), open_.end(), id));
        return rc;
    }

  private:
    kit_test::SysSession sys_;
    int code_;
    std::vector<uint32_t> open_;
};

Words Associate(uint32_t id, const std::string &words, const char *config = nullptr,
                int *code = nullptr) {
    HwrAssociateResult r{};
    const int rc = vra_hwr_associate_words(id, config, words.c_str(), &r);
    if (code)
        *code = rc;
    Words out;
    for (uint32_t i = 0; i < r.count; ++i)
        out.emplace_back(r.items[i]);
    if (rc != 0)
        EXPECT_EQ(r.count, 0u);
    vra_hwr_free_associate_words_result(&r);
    return out;
}

bool Contains(const Words &w, const std::string &s) {
    return std::find(w.begin(), w.end(), s) != w.end();
}

// ---------------------------------------------------------------------------------------------

TEST(AssociatePlugin, RanksContinuationsFromTheShippedDictionary) {
    Kit kit;
    ASSERT_EQ(kit.code(), 0);
    uint32_t id = 0;
    ASSERT_EQ(kit.Start("userdatapath=" + kit.Dir() + "/wa.user.dct", &id), 0);
    int rc;
    const Words zhong = Associate(id, "中", "recursive=no", &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(zhong.size(), 16u);  // the default candnum
    EXPECT_EQ(Words(zhong.begin(), zhong.begin() + 3), (Words{"国", "心", "央"}));
    EXPECT_TRUE(Contains(Associate(id, "中", "candnum=64"), "文"));
    EXPECT_TRUE(Contains(Associate(id, "今天", "recursive=no"), "下午"));
    // Single-character mode: the first characters, each once.
    const Words single = Associate(id, "中", "associatemodel=single,candnum=64");
    ASSERT_FALSE(single.empty());
    EXPECT_EQ(single[0], "国");
    for (const std::string &w : single)
        EXPECT_EQ(w.size(), 3u) << w;  // one CJK character
    EXPECT_EQ(std::set<std::string>(single.begin(), single.end()).size(), single.size());
    // Recursive association falls back to the last character.
    EXPECT_TRUE(Associate(id, "丨今天", "recursive=no").empty());
    EXPECT_TRUE(Contains(Associate(id, "丨今天"), "下午"));
}

TEST(AssociatePlugin, TextWithoutContinuationFailsWithAnEmptyRecord) {
    Kit kit;
    uint32_t id = 0;
    ASSERT_EQ(kit.Start("userdatapath=" + kit.Dir() + "/wa.user.dct", &id), 0);
    int rc;
    EXPECT_TRUE(Associate(id, "丨丨", "recursive=no", &rc).empty());
    EXPECT_EQ(rc, HWR_ERR_ENGINE);
    EXPECT_TRUE(Associate(id, "hello world", nullptr, &rc).empty());
    EXPECT_EQ(rc, HWR_ERR_ENGINE);
}

TEST(AssociatePlugin, CandnumOutsideTheEngineRangeKeepsTheLimitInForce) {
    Kit kit;
    uint32_t id = 0;
    ASSERT_EQ(kit.Start("userdatapath=" + kit.Dir() + "/wa.user.dct", &id), 0);
    EXPECT_EQ(Associate(id, "中", "candnum=5").size(), 5u);
    int rc;
    EXPECT_EQ(Associate(id, "中", "candnum=300", &rc).size(), 5u);
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(
        kit.sys().Logged("[vra_hwr_associate][HwrAssociateEngine::SetConfig] Set associate "
                         "candnum failed(1)."));
    EXPECT_EQ(Associate(id, "中", "candnum=256").size(), 256u);
}

TEST(AssociatePlugin, AdjustedWordsOutrankTheTrieAndOutliveTheSession) {
    Kit kit;
    const std::string user = kit.Dir() + "/wa.user.dct";
    uint32_t id = 0;
    ASSERT_EQ(kit.Start("userdatapath=" + user, &id), 0);
    EXPECT_EQ(vra_hwr_associate_words_adjust(id, nullptr, "中秋"), 0);
    EXPECT_EQ(vra_hwr_associate_words_adjust(id, nullptr, "中关村"), 0);
    Words got = Associate(id, "中");
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(Words(got.begin(), got.begin() + 3), (Words{"关村", "秋", "国"}));
    ASSERT_EQ(kit.Stop(id), 0);
    EXPECT_EQ(Slurp(user).size(), kUserDictSize);

    // A new session of the set reads the learnt words back.
    ASSERT_EQ(kit.Start("userdatapath=" + user, &id), 0);
    got = Associate(id, "中", "recursive=no,candnum=3");
    EXPECT_EQ(got, (Words{"关村", "秋", "国"}));
    EXPECT_EQ(Associate(id, "中关", "recursive=no", nullptr).front(), "村");
}

TEST(AssociatePlugin, AdjustmentChecksTheWord) {
    Kit kit;
    uint32_t id = 0;
    ASSERT_EQ(kit.Start("userdatapath=" + kit.Dir() + "/wa.user.dct", &id), 0);
    const struct {
        const char *word;
        int code;
    } cases[] = {
        {"ab", HWR_ERR_NOT_SUPPORTED},  // English comes first, before the length
        {"it's well-known", HWR_ERR_NOT_SUPPORTED},
        {"中", HWR_ERR_INVALID_ARG},
        {"中国", 0},
        {"一二三四五六七八九十一二三四五", 0},  // 15
        {"一二三四五六七八九十一二三四五六", HWR_ERR_TOO_LARGE},
        {"\xe4\xb8", HWR_ERR_INVALID_ARG},  // cut UTF-8
        {"", HWR_ERR_INVALID_ARG},
    };
    for (const auto &c : cases)
        EXPECT_EQ(vra_hwr_associate_words_adjust(id, nullptr, c.word), c.code) << c.word;
}

TEST(AssociatePlugin, CreatesTheUserFileFromTheDefault) {
    Kit kit;
    const std::string user = kit.Dir() + "/wa.user.dct";
    ASSERT_FALSE(FileExists(user));
    uint32_t id = 0;
    ASSERT_EQ(kit.Start("userdatapath=" + user, &id), 0);
    EXPECT_EQ(Slurp(user), Slurp(kData + "/wa.user.dct"));
    EXPECT_TRUE(kit.sys().LogContains("Load User Dict not exists:" + user));
}

TEST(AssociatePlugin, DefaultUserFileLivesInTheAuthPath) {
    Kit kit;
    uint32_t id = 0;
    ASSERT_EQ(kit.Start("", &id), 0);
    EXPECT_TRUE(kit.sys().LogContains("userDataPath is not exist，using default path"));
    EXPECT_EQ(Slurp(kit.Dir() + "/auth/wa.user.dct").size(), kUserDictSize);
}

TEST(AssociatePlugin, PrefixNamesTheFilesOfADictionarySet) {
    // A data path with the keyed dictionaries under the prefix keyed_ only.
    kit_test::TempDir data;
    for (const char *f : {"keyed_wa.system.dct", "keyed_wa.user.dct"})
        data.Write(f, Slurp(kData + "/" + f));
    Kit kit(data.Path());
    const std::string dir = kit.Dir();
    uint32_t keyed = 0;
    ASSERT_EQ(kit.Start("resPrefix=keyed_,userdatapath=" + dir + "/wa.user.dct", &keyed), 0);
    EXPECT_TRUE(FileExists(dir + "/keyed_wa.user.dct"));
    EXPECT_FALSE(FileExists(dir + "/wa.user.dct"));
    // The plain set is not there: its system dictionary is missing.
    uint32_t plain = 0;
    EXPECT_EQ(kit.Start("userdatapath=" + dir + "/wa.user.dct", &plain), HWR_ERR_RESOURCE_MISSING);
    EXPECT_TRUE(kit.sys().LogContains("wa.user.dct missing"));
}

TEST(AssociatePlugin, KeyedDictionaryGivesThePlainCandidates) {
    Kit kit;
    uint32_t plain = 0, keyed = 0;
    ASSERT_EQ(kit.Start("userdatapath=" + kit.Dir() + "/wa.user.dct", &plain), 0);
    ASSERT_EQ(kit.Start("resPrefix=keyed_,userdatapath=" + kit.Dir() + "/wa.user.dct", &keyed), 0);
    for (const char *text : {"中", "今天", "我们", "中华人民", "的"}) {
        for (const char *config : {"recursive=no", "associatemodel=single,candnum=40"}) {
            SCOPED_TRACE(std::string(text) + " " + config);
            int a, b;
            EXPECT_EQ(Associate(plain, text, config, &a), Associate(keyed, text, config, &b));
            EXPECT_EQ(a, b);
        }
    }
}

TEST(AssociatePlugin, SessionsOfOneSetShareTheEngine) {
    Kit kit;
    const std::string config = "userdatapath=" + kit.Dir() + "/wa.user.dct";
    uint32_t a = 0, b = 0;
    ASSERT_EQ(kit.Start(config, &a), 0);
    kit.sys().ClearLog();
    ASSERT_EQ(kit.Start(config, &b), 0);
    EXPECT_TRUE(kit.sys().LogContains("fetch engine handle = "));
    EXPECT_FALSE(kit.sys().LogContains("InitVraEngineHandle_i user_dict_file_name"));
    EXPECT_FALSE(kit.sys().LogContains("FileReader::Load"));
    // Each session learns into its own copy; the one that stops last writes the file last.
    ASSERT_EQ(vra_hwr_associate_words_adjust(a, nullptr, "中秋"), 0);
    EXPECT_EQ(Associate(a, "中", "candnum=1"), Words{"秋"});
    EXPECT_EQ(Associate(b, "中", "candnum=1"), Words{"国"});
    ASSERT_EQ(kit.Stop(a), 0);
    ASSERT_EQ(kit.Stop(b), 0);
    EXPECT_TRUE(kit.sys().LogContains("engine exit, handle = "));
}

TEST(AssociatePlugin, StopWritesTheUserFileEvenWithoutAdjustment) {
    Kit kit;
    const std::string user = kit.Dir() + "/wa.user.dct";
    uint32_t id = 0;
    ASSERT_EQ(kit.Start("userdatapath=" + user, &id), 0);
    { std::ofstream(user, std::ios::trunc) << "x"; }
    ASSERT_EQ(kit.Stop(id), 0);
    EXPECT_EQ(Slurp(user), Slurp(kData + "/wa.user.dct"));
}

TEST(AssociatePlugin, FullDiskLeavesThePreviousUserFileWhole) {
    Kit kit;
    const std::string user = kit.Dir() + "/wa.user.dct";
    uint32_t id = 0;
    ASSERT_EQ(kit.Start("userdatapath=" + user, &id), 0);
    ASSERT_EQ(vra_hwr_associate_words_adjust(id, nullptr, "中秋"), 0);
    ASSERT_EQ(kit.Stop(id), 0);
    const std::string before = Slurp(user);
    ASSERT_EQ(kit.Start("userdatapath=" + user, &id), 0);
    ASSERT_EQ(vra_hwr_associate_words_adjust(id, nullptr, "中关村"), 0);

    // A file-size limit stands in for a full disk: writes past it fail with EFBIG.
    kit.sys().ClearLog();
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    const sighandler_t oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 256 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int rc = kit.Stop(id);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(rc, 0);  // saving never fails the stop
    EXPECT_EQ(Slurp(user), before);
    for (const std::string &f : FilesIn(kit.Dir()))
        EXPECT_EQ(f.find("wa.user.dct."), std::string::npos) << f;
    EXPECT_TRUE(kit.sys().LogContains("fwrite() error! Writing user dictionary to file failed."));
}

TEST(AssociatePlugin, RefusesBrokenDictionaries) {
    const std::string system = Slurp(kData + "/wa.system.dct");
    const std::string userDefault = Slurp(kData + "/wa.user.dct");
    std::string badChecksum = system, badFormat = system, badRecord = system;
    badChecksum[168] ^= 1;
    badFormat[0] = 2;
    // Record 0 claims to run past the data; the checksum is made to match again.
    auto put32 = [](std::string &b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); };
    uint32_t sum;
    std::memcpy(&sum, &badRecord[168], 4);
    for (int i = 0; i < 4; ++i)
        sum -= static_cast<uint8_t>(badRecord[176 + i]);
    put32(badRecord, 176, 0x7fffffff);
    for (int i = 0; i < 4; ++i)
        sum += static_cast<uint8_t>(badRecord[176 + i]);
    put32(badRecord, 168, sum);
    struct Case {
        const char *name;
        std::string system;
        const char *user;  // the user's own file, or null to have it made from the default
        int code;
        const char *line;
    };
    const std::vector<Case> cases = {
        {"bad checksum", badChecksum, nullptr, HWR_ERR_ENGINE, "Get Engine buffer size failed(6)."},
        {"wrong format number", badFormat, nullptr, HWR_ERR_ENGINE,
         "Get Engine buffer size failed(6)."},
        {"truncated", system.substr(0, system.size() / 2), nullptr, HWR_ERR_ENGINE,
         "Get Engine buffer size failed(6)."},
        {"record past the data", badRecord, nullptr, HWR_ERR_ENGINE, "Engine Init Failed(6)"},
        {"user dictionary of the wrong size", system, "not a ring", HWR_ERR_ENGINE,
         "Session Init Failed(10)."},
        {"empty user dictionary", system, "", HWR_ERR_RESOURCE_MISSING, "wa.user.dct missing"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        kit_test::TempDir data;
        data.Write("wa.system.dct", c.system);
        data.Write("wa.user.dct", userDefault);
        Kit kit(data.Path());
        const std::string user = kit.Dir() + "/wa.user.dct";
        if (c.user)
            std::ofstream(user, std::ios::binary) << c.user;
        uint32_t id = 0;
        EXPECT_EQ(kit.Start("userdatapath=" + user, &id), c.code);
        EXPECT_TRUE(kit.sys().LogContains(c.line));
        EXPECT_TRUE(kit.sys().LogContains("StartSession failed."));
    }
}

TEST(AssociatePlugin, OffersOnlyAssociation) {
    Kit kit;
    uint32_t id = 0;
    ASSERT_EQ(kit.Start("userdatapath=" + kit.Dir() + "/wa.user.dct", &id), 0);
    const std::vector<int16_t> strokes = kit_test::Strokes({{10, 10}, {-1, 0}, {-1, -1}});
    HwrRecogResult recog{};
    EXPECT_EQ(vra_hwr_recog(id, strokes.data(), 12, nullptr, &recog), HWR_ERR_NOT_SUPPORTED);
    HwrPinyinResult pinyin{};
    EXPECT_EQ(vra_hwr_pinyin(id, nullptr, "中", &pinyin), HWR_ERR_NOT_SUPPORTED);
    HwrConfirmItem confirm{const_cast<char *>("中国")};
    EXPECT_EQ(vra_hwr_confirm(id, &confirm), HWR_ERR_NOT_SUPPORTED);
}

TEST(AssociatePlugin, SessionsRunInParallel) {
    Kit kit;
    const std::string config = "userdatapath=" + kit.Dir() + "/wa.user.dct";
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            uint32_t id = 0;
            if (vra_hwr_session_start(("capkey=hwr.local.associateword," + config).c_str(), &id) !=
                0) {
                ++failures;
                return;
            }
            const char *texts[] = {"中", "今天", "我们", "大学"};
            for (int i = 0; i < 40; ++i) {
                HwrAssociateResult r{};
                if (vra_hwr_associate_words(id, nullptr, texts[(i + t) % 4], &r) != 0)
                    ++failures;
                vra_hwr_free_associate_words_result(&r);
            }
            if (vra_hwr_associate_words_adjust(id, nullptr, t % 2 ? "中秋" : "大学生") != 0)
                ++failures;
            if (vra_hwr_session_stop(id) != 0)
                ++failures;
        });
    }
    for (std::thread &th : threads)
        th.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(Slurp(kit.Dir() + "/wa.user.dct").size(), kUserDictSize);
}

}  // namespace
