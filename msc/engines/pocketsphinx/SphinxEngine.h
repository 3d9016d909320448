// SphinxEngine: the speech library's offline recogniser, pocketsphinx with installed models.
//
// Models by language: login items "model.LANGUAGE = DIR" or "model.LANGUAGE.ACCENT = DIR" (the
// accent-specific one wins); DIR holds an acoustic model folder (the one with "mdef"), a language
// model (*.lm.bin or *.lm) and a dictionary (*.dict). US English ("en_us") is built in when the
// Debian model is installed. A session for a language without a model fails with
// MSC_ERROR_NO_LANGUAGE.
//
// Sessions stream 16 kHz audio through the decoder as it arrives. The end of speech is the
// silence of "vad_eos" milliseconds (default 2000) after speech. Results: plain text, or JSON
// pieces ("ws"/"cw"/"w", "sn", "ls"); with "dwa = wpgs" the partial hypotheses become pieces
// that replace the previous one ("pgs": "rpl"). "ptt = 1" ends the text with a full stop.
#pragma once

#include <memory>

#include "Engine.h"

namespace msc {

int CreateSphinxEngine(const LoginContext &login, std::unique_ptr<Engine> *engine);

}  // namespace msc
