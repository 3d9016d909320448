// The whole public interface with arbitrary arguments: a byte program of calls on the real
// front end, which loads the well-formed test plug-ins.
#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "vra_hwr.h"
#include "vra_sys.h"

namespace {

class Bytes {
  public:
    Bytes(const uint8_t *d, size_t n) : d_(d), n_(n) {}
    bool Empty() const { return i_ >= n_; }
    uint8_t U8() { return i_ < n_ ? d_[i_++] : 0; }
    uint32_t U32() {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k)
            v = v << 8 | U8();
        return v;
    }
    std::string Text() {
        size_t len = U8() % 48;
        std::string s;
        while (len-- && !Empty())
            s.push_back(static_cast<char>(U8()));
        return s;
    }

  private:
    const uint8_t *d_;
    size_t n_, i_ = 0;
};

const char *const kConfigs[] = {
    "capkey=hwr.local.letter",
    "capkey=hwr.local.associateword",
    "capkey=hwr.cloud.letter",
    "capkey=hwr.local.letter,realtime=yes",
    "capkey=hwr.local.freestylus,candnum=3",
    "capkey=hwr.local.letter,tp_stop=fail",
    "candnum=4",
    "capkey=HWR.local.x",
    nullptr,
};

// Picks a fixed configuration, or an arbitrary text.
std::string Config(Bytes &in, bool &isNull) {
    uint8_t pick = in.U8();
    isNull = false;
    if (pick % 2)
        return in.Text();
    const char *c = kConfigs[(pick / 2) % (sizeof kConfigs / sizeof kConfigs[0])];
    isNull = c == nullptr;
    return c ? c : "";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // libFuzzer keeps the coverage counters of every instrumented library it has seen, and the
    // kit unloads its plug-ins at each release: loaded here once and never unloaded, they stay
    // mapped while the front end opens and closes them.
    for (const char *name :
         {"libvra_hwr_local_recog.so", "libvra_hwr_cloud_recog.so", "libvra_hwr_associate.so"}) {
        std::string path = std::string(QV_TEST_PLUGIN_DIR) + "/wellformed/" + name;
        if (!dlopen(path.c_str(), RTLD_NOW | RTLD_NODELETE)) abort();
    }
    setenv("XDG_DATA_HOME", "/tmp/fuzz_hwr_api", 1);
    VRA_Init("loglevel=0,history=no,maxsessions=4,serviceurl=http://127.0.0.1:9");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Bytes in(data, size);
    std::string init =
        std::string("datapath=/tmp,pluginpath=") + QV_TEST_PLUGIN_DIR + "/wellformed";
    if (in.U8() % 8 == 0)
        init = in.Text();
    vra_hwr_init(init.c_str());
    std::vector<uint32_t> ids;
    for (int steps = 0; steps < 64 && !in.Empty(); ++steps) {
        bool isNull = false;
        const uint8_t op = in.U8() % 11;
        // Ids are mostly ones handed out, sometimes anything.
        uint32_t id = !ids.empty() && in.U8() % 4 ? ids[in.U8() % ids.size()] : in.U32();
        std::string config = Config(in, isNull);
        const char *cfg = isNull ? nullptr : config.c_str();
        switch (op) {
            case 0: {
                uint32_t out = 0;
                if (vra_hwr_session_start(cfg, &out) == 0)
                    ids.push_back(out);
                break;
            }
            case 1: {
                std::vector<int16_t> strokes(in.U8() % 24);
                for (int16_t &v : strokes)
                    v = static_cast<int16_t>(in.U8() % 2 ? -1 : in.U8());
                uint32_t length = in.U8() % 2 ? in.U32() % 70000 : strokes.size() * 2;
                if (length > strokes.size() * 2)
                    length = strokes.size() * 2;
                HwrRecogResult r{};
                vra_hwr_recog(id, strokes.empty() ? nullptr : strokes.data(), length, cfg, &r);
                for (uint32_t i = 0; i < r.count; ++i) {
                    if (!r.items[i].text)
                        abort();  // never null in a returned record
                }
                vra_hwr_free_recog_result(&r);
                vra_hwr_free_recog_result(&r);
                break;
            }
            case 2: {
                HwrAssociateResult a{};
                std::string words = in.Text();
                vra_hwr_associate_words(id, cfg, in.U8() % 8 ? words.c_str() : nullptr, &a);
                vra_hwr_free_associate_words_result(&a);
                break;
            }
            case 3: {
                std::string words = in.Text();
                vra_hwr_associate_words_adjust(id, cfg, words.c_str());
                break;
            }
            case 4: {
                HwrPinyinResult p{};
                std::string word = in.Text();
                vra_hwr_pinyin(id, cfg, word.c_str(), &p);
                vra_hwr_free_pinyin_result(&p);
                break;
            }
            case 5: {
                HwrPenScriptResult ps{};
                vra_hwr_pen_script(id, cfg, static_cast<int32_t>(in.U32()),
                                   static_cast<int32_t>(in.U32()), &ps);
                vra_hwr_free_pen_script_result(&ps);
                break;
            }
            case 6: {
                std::string text = in.Text();
                HwrConfirmItem item{in.U8() % 8 ? text.c_str() : nullptr};
                vra_hwr_confirm(id, in.U8() % 8 ? &item : nullptr);
                break;
            }
            case 7:
                vra_hwr_session_stop(id);
                break;
            case 8:
                vra_hwr_release();
                break;
            case 9:
                vra_hwr_init(cfg);
                break;
            default:
                vra_hwr_free_recog_result(nullptr);
                break;
        }
    }
    for (uint32_t id : ids)
        vra_hwr_session_stop(id);
    if (vra_hwr_release() == 18)
        abort();  // every session handed out was stopped
    return 0;
}
