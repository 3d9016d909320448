// The fourteen entry points of a kit plug-in, as the front end looks them up by name. Session
// handles are 32-bit values that the plug-in gives out (0 is none); configurations arrive as
// parsed maps; result records are filled from the plug-in's own heap and returned to the
// plug-in's own free function.
#pragma once

#include <cstdint>

#include "ConfigAssistant.h"
#include "vra_hwr.h"

using VraHwrInitFunc = int (*)(const qvcommon::ConfigAssistant *initConfig);
using VraHwrGetPinyinFunc = int (*)(uint32_t handle, const qvcommon::ConfigAssistant *config,
                                    const char *word, HwrPinyinResult *result);
using VraHwrFreePinyinResultFunc = int (*)(HwrPinyinResult *result);
using VraHwrFreeAssociateResultFunc = int (*)(HwrAssociateResult *result);
using VraHwrGetAssociateWordsFunc = int (*)(uint32_t handle,
                                            const qvcommon::ConfigAssistant *config,
                                            const char *words, HwrAssociateResult *result);
using VraHwrAssociateAdjustWordsFunc = int (*)(uint32_t handle,
                                               const qvcommon::ConfigAssistant *config,
                                               const char *words);
using VraHwrGetPenscriptFunc = int (*)(uint32_t handle, const qvcommon::ConfigAssistant *config,
                                       int32_t x, int32_t y, HwrPenScriptResult *result);
using VraHwrFreePenscriptResultFunc = int (*)(HwrPenScriptResult *result);
using VraHwrStartSessionFunc = int (*)(const qvcommon::ConfigAssistant *config, uint32_t *handle);
using VraHwrRecogFunc = int (*)(uint32_t handle, const qvcommon::ConfigAssistant *config,
                                const int16_t *strokes, uint32_t length, HwrRecogResult *result);
using VraHwrFreeRecogResultFunc = int (*)(HwrRecogResult *result);
using VraHwrConfirmResultFunc = int (*)(uint32_t handle, const HwrConfirmItem *item);
using VraHwrStopSessionFunc = int (*)(uint32_t *handle);
using VraHwrReleaseFunc = int (*)();
