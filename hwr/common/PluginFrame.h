// The plug-in frame: the fourteen entry points of a kit plug-in over one engine class. A plug-in
// writes its engine (derived from RecogEngineInterface) with the request members it offers and
// declares the library in one line:
//
//     QV_HWR_PLUGIN(HwrLocalEngine, QV_TAG_LOCAL)
//
// Request members the frame forwards to when the engine has them (others answer 22):
//     int Recog(const int16_t *strokes, uint32_t length, const ConfigAssistant &config,
//               HwrRecogResult *result);
//     int ConfirmResult(const HwrConfirmItem *item);
//     int GetAssociateWords(const ConfigAssistant &config, const char *words,
//                           HwrAssociateResult *result);
//     int AssociateAdjustWords(const ConfigAssistant &config, const char *words);
//     int GetPinyin(const ConfigAssistant &config, const char *word, HwrPinyinResult *result);
//     int GetPenScript(const ConfigAssistant &config, int32_t x, int32_t y,
//                      HwrPenScriptResult *result);
// Optional static hooks:
//     static int LibraryInit(const ConfigAssistant &initConfig);  // after datapath/fileflag
//     static int LibraryRelease();                                // from VraHwrRelease
//     static void LogStartFailure(int code);                      // a failed engine start
// Results are filled with the helpers of PluginResults.h; the frame's free entry points free them.
#pragma once

#include <concepts>
#include <cstdint>
#include <new>

#include "ConfigAssistant.h"
#include "HandleTable.h"
#include "HwrLog.h"
#include "LibraryContext.h"
#include "PluginContract.h"
#include "PluginResults.h"

namespace qvcommon {

// What an engine class may offer; the frame forwards to what it finds.
template <class E>
concept OffersRecog = requires(E &e, const int16_t *s, uint32_t n, const ConfigAssistant &c,
                               HwrRecogResult *r) {
    { e.Recog(s, n, c, r) } -> std::convertible_to<int>;
};
template <class E>
concept OffersConfirm = requires(E &e, const HwrConfirmItem *i) {
    { e.ConfirmResult(i) } -> std::convertible_to<int>;
};
template <class E>
concept OffersAssociate = requires(E &e, const ConfigAssistant &c, const char *w,
                                   HwrAssociateResult *r) {
    { e.GetAssociateWords(c, w, r) } -> std::convertible_to<int>;
};
template <class E>
concept OffersAdjust = requires(E &e, const ConfigAssistant &c, const char *w) {
    { e.AssociateAdjustWords(c, w) } -> std::convertible_to<int>;
};
template <class E>
concept OffersPinyin = requires(E &e, const ConfigAssistant &c, const char *w, HwrPinyinResult *r) {
    { e.GetPinyin(c, w, r) } -> std::convertible_to<int>;
};
template <class E>
concept OffersPenScript = requires(E &e, const ConfigAssistant &c, int32_t x,
                                   HwrPenScriptResult *r) {
    { e.GetPenScript(c, x, x, r) } -> std::convertible_to<int>;
};
template <class E>
concept HasLibraryInit = requires(const ConfigAssistant &c) {
    { E::LibraryInit(c) } -> std::convertible_to<int>;
};
template <class E>
concept HasLibraryRelease = requires {
    { E::LibraryRelease() } -> std::convertible_to<int>;
};
template <class E>
concept HasStartFailureLog = requires(int code) {
    E::LogStartFailure(code);
};

template <class Engine>
struct PluginFrame {
    // The live engines of the library; their handles are what the front end holds.
    static HandleTable<Engine> &Engines() {
        static HandleTable<Engine> table;
        return table;
    }

    // Nothing throws across the plug-in boundary.
    template <class F>
    static int Guarded(F &&f) {
        try {
            return f();
        } catch (const std::bad_alloc &) {
            return HWR_ERR_NO_MEMORY;
        } catch (...) {
            return HWR_ERR_ENGINE;
        }
    }

    static const ConfigAssistant &OrEmpty(const ConfigAssistant *config) {
        static const ConfigAssistant empty;
        return config ? *config : empty;
    }

    static int Init(const char *tag, const ConfigAssistant *initConfig) {
        QV_TRACE(tag, "VraHwrInit");
        return Guarded([&] {
            const ConfigAssistant &c = OrEmpty(initConfig);
            LibraryContext::Instance().Configure(c);
            if constexpr (HasLibraryInit<Engine>) {
                return Engine::LibraryInit(c);
            }
            return 0;
        });
    }

    static int Release(const char *tag) {
        QV_TRACE(tag, "VraHwrRelease");
        return Guarded([&] {
            // Engines whose stop failed are still here; the library goes away after this.
            for (Engine *e : Engines().RemoveAll())
                delete e;
            if constexpr (HasLibraryRelease<Engine>) {
                return Engine::LibraryRelease();
            }
            return 0;
        });
    }

    static int StartSession(const char *tag, const ConfigAssistant *config, uint32_t *handle) {
        QV_TRACE(tag, "VraHwrStartSession");
        if (!handle)
            return HWR_ERR_INVALID_ARG;
        return Guarded([&] {
            Engine *engine = new (std::nothrow) Engine();
            if (!engine) {
                QV_LOG_FAIL(tag, "VraHwrStartSession", " create cloud engine failed");
                return static_cast<int>(HWR_ERR_NO_MEMORY);
            }
            int code = engine->StartSession(OrEmpty(config));
            if (code != 0) {
                if constexpr (HasStartFailureLog<Engine>) {
                    Engine::LogStartFailure(code);
                }
                delete engine;
                return code;
            }
            uint32_t h = Engines().Add(engine);
            if (h == 0) {
                engine->StopSession();
                delete engine;
                return static_cast<int>(HWR_ERR_TOO_MANY_SESSIONS);
            }
            *handle = h;
            return 0;
        });
    }

    static int StopSession(const char *tag, uint32_t *handle) {
        QV_TRACE(tag, "VraHwrStopSession");
        if (!handle)
            return HWR_ERR_INVALID_ARG;
        return Guarded([&] {
            Engine *engine = Engines().Get(*handle);
            if (!engine)
                return static_cast<int>(HWR_ERR_NO_SESSION);
            int code = engine->StopSession();
            if (code != 0)
                return code;  // the engine stays and the handle stays usable
            Engines().Remove(*handle);
            delete engine;
            *handle = 0;
            return 0;
        });
    }

    static int Recog(const char *tag, uint32_t handle, const ConfigAssistant *config,
                     const int16_t *strokes, uint32_t length, HwrRecogResult *result) {
        QV_TRACE(tag, "VraHwrRecog");
        if constexpr (OffersRecog<Engine>) {
            if (!strokes || !result)
                return HWR_ERR_INVALID_ARG;
            return Guarded([&] {
                Engine *engine = Engines().Get(handle);
                if (!engine)
                    return static_cast<int>(HWR_ERR_NO_SESSION);
                return engine->Recog(strokes, length, OrEmpty(config), result);
            });
        }
        return HWR_ERR_NOT_SUPPORTED;
    }

    static int ConfirmResult(const char *tag, uint32_t handle, const HwrConfirmItem *item) {
        QV_TRACE(tag, "VraHwrConfirmResult");
        if constexpr (OffersConfirm<Engine>) {
            if (!item)
                return HWR_ERR_INVALID_ARG;
            return Guarded([&] {
                Engine *engine = Engines().Get(handle);
                if (!engine)
                    return static_cast<int>(HWR_ERR_NO_SESSION);
                return engine->ConfirmResult(item);
            });
        }
        return HWR_ERR_NOT_SUPPORTED;
    }

    static int GetAssociateWords(const char *tag, uint32_t handle, const ConfigAssistant *config,
                                 const char *words, HwrAssociateResult *result) {
        QV_TRACE(tag, "VraHwrGetAssociateWords");
        if constexpr (OffersAssociate<Engine>) {
            if (!words || !result)
                return HWR_ERR_INVALID_ARG;
            return Guarded([&] {
                Engine *engine = Engines().Get(handle);
                if (!engine)
                    return static_cast<int>(HWR_ERR_NO_SESSION);
                return engine->GetAssociateWords(OrEmpty(config), words, result);
            });
        }
        return HWR_ERR_NOT_SUPPORTED;
    }

    static int AssociateAdjustWords(const char *tag, uint32_t handle, const ConfigAssistant *config,
                                    const char *words) {
        QV_TRACE(tag, "VraHwrAssociateAdjustWords");
        if constexpr (OffersAdjust<Engine>) {
            if (!words)
                return HWR_ERR_INVALID_ARG;
            return Guarded([&] {
                Engine *engine = Engines().Get(handle);
                if (!engine)
                    return static_cast<int>(HWR_ERR_NO_SESSION);
                return engine->AssociateAdjustWords(OrEmpty(config), words);
            });
        }
        return HWR_ERR_NOT_SUPPORTED;
    }

    static int GetPinyin(const char *tag, uint32_t handle, const ConfigAssistant *config,
                         const char *word, HwrPinyinResult *result) {
        QV_TRACE(tag, "VraHwrGetPinyin");
        if constexpr (OffersPinyin<Engine>) {
            if (!word || !result)
                return HWR_ERR_INVALID_ARG;
            return Guarded([&] {
                Engine *engine = Engines().Get(handle);
                if (!engine)
                    return static_cast<int>(HWR_ERR_NO_SESSION);
                return engine->GetPinyin(OrEmpty(config), word, result);
            });
        }
        return HWR_ERR_NOT_SUPPORTED;
    }

    static int GetPenScript(const char *tag, uint32_t handle, const ConfigAssistant *config,
                            int32_t x, int32_t y, HwrPenScriptResult *result) {
        QV_TRACE(tag, "VraHwrGetPenscript");
        if constexpr (OffersPenScript<Engine>) {
            if (!result)
                return HWR_ERR_INVALID_ARG;
            return Guarded([&] {
                Engine *engine = Engines().Get(handle);
                if (!engine)
                    return static_cast<int>(HWR_ERR_NO_SESSION);
                return engine->GetPenScript(OrEmpty(config), x, y, result);
            });
        }
        return HWR_ERR_NOT_SUPPORTED;
    }

    template <class Record, class Free>
    static int FreeResult(const char *tag, const char *name, Record *result, Free free) {
        QV_TRACE(tag, name);
        if (!result)
            return HWR_ERR_INVALID_ARG;
        free(result);
        return 0;
    }
};

}  // namespace qvcommon

#define QV_HWR_EXPORT extern "C" __attribute__((visibility("default")))

// Defines the fourteen exported entry points of a plug-in library over `EngineType`, logging with
// `tag` (QV_TAG_LOCAL, QV_TAG_CLOUD, QV_TAG_ASSOCIATE).
#define QV_HWR_PLUGIN(EngineType, tag)                                                             \
    using QvPluginFrame = ::qvcommon::PluginFrame<EngineType>;                                     \
    QV_HWR_EXPORT int VraHwrInit(const ::qvcommon::ConfigAssistant *c) {                           \
        return QvPluginFrame::Init(tag, c);                                                        \
    }                                                                                              \
    QV_HWR_EXPORT int VraHwrRelease() {                                                            \
        return QvPluginFrame::Release(tag);                                                        \
    }                                                                                              \
    QV_HWR_EXPORT int VraHwrStartSession(const ::qvcommon::ConfigAssistant *c, uint32_t *h) {      \
        return QvPluginFrame::StartSession(tag, c, h);                                             \
    }                                                                                              \
    QV_HWR_EXPORT int VraHwrStopSession(uint32_t *h) {                                             \
        return QvPluginFrame::StopSession(tag, h);                                                 \
    }                                                                                              \
    QV_HWR_EXPORT int VraHwrRecog(uint32_t h, const ::qvcommon::ConfigAssistant *c,                \
                                  const int16_t *s, uint32_t n, HwrRecogResult *r) {               \
        return QvPluginFrame::Recog(tag, h, c, s, n, r);                                           \
    }                                                                                              \
    QV_HWR_EXPORT int VraHwrFreeRecogResult(HwrRecogResult *r) {                                   \
        return QvPluginFrame::FreeResult(tag, "VraHwrFreeRecogResult", r, [](HwrRecogResult *x) {  \
            ::qvcommon::FreeRecogResult(x);                                                        \
        });                                                                                        \
    }                                                                                              \
    QV_HWR_EXPORT int VraHwrConfirmResult(uint32_t h, const HwrConfirmItem *i) {                   \
        return QvPluginFrame::ConfirmResult(tag, h, i);                                            \
    }                                                                                              \
    QV_HWR_EXPORT int VraHwrGetAssociateWords(uint32_t h, const ::qvcommon::ConfigAssistant *c,    \
                                              const char *w, HwrAssociateResult *r) {              \
        return QvPluginFrame::GetAssociateWords(tag, h, c, w, r);                                  \
    }                                                                                              \
    QV_HWR_EXPORT int VraHwrAssociateAdjustWords(uint32_t h, const ::qvcommon::ConfigAssistant *c, \
                                                 const char *w) {                                  \
        return QvPluginFrame::AssociateAdjustWords(tag, h, c, w);                                  \
    }                                                                                              \
    QV_HWR_EXPORT int VraHwrFreeAssociateResult(HwrAssociateResult *r) {                           \
        return QvPluginFrame::FreeResult(                                                          \
            tag, "VraHwrFreeAssociateResult", r,                                                   \
            [](HwrAssociateResult *x) { ::qvcommon::FreeTextResult(x); });                         \
    }                                                                                              \
    QV_HWR_EXPORT int VraHwrGetPinyin(uint32_t h, const ::qvcommon::ConfigAssistant *c,            \
                                      const char *w, HwrPinyinResult *r) {                         \
        return QvPluginFrame::GetPinyin(tag, h, c, w, r);                                          \
    }                                                                                              \
    QV_HWR_EXPORT int VraHwrFreePinyinResult(HwrPinyinResult *r) {                                 \
        return QvPluginFrame::FreeResult(                                                          \
            tag, "VraHwrFreePinyinResult", r,                                                      \
            [](HwrPinyinResult *x) { ::qvcommon::FreeTextResult(x); });                            \
    }                                                                                              \
    QV_HWR_EXPORT int VraHwrGetPenscript(uint32_t h, const ::qvcommon::ConfigAssistant *c,         \
                                         int32_t x, int32_t y, HwrPenScriptResult *r) {            \
        return QvPluginFrame::GetPenScript(tag, h, c, x, y, r);                                    \
    }                                                                                              \
    QV_HWR_EXPORT int VraHwrFreePenscriptResult(HwrPenScriptResult *r) {                           \
        return QvPluginFrame::FreeResult(                                                          \
            tag, "VraHwrFreePenscriptResult", r,                                                   \
            [](HwrPenScriptResult *x) { ::qvcommon::FreePenScriptResult(x); });                    \
    }                                                                                              \
    static_assert(true, "")
