// SpeechScript: the script file that the scripted engine plays back, parsed.
//
// A line-oriented UTF-8 text; blank lines and lines starting with '#' are skipped, leading
// blanks ignored:
//   session               starts the plan of the next recognition session (used in order)
//   begin error CODE      QISRSessionBegin of this session fails with CODE
//   at BYTES result TEXT  once BYTES bytes of audio have been written, TEXT can be fetched
//   at BYTES eos          the end of speech is detected at BYTES (endpoint status 3); the audio
//                         ends there as if the last block had come
//   at BYTES error CODE   the audio write that reaches BYTES fails with CODE
//   final result TEXT     TEXT can be fetched after the audio has ended
//   final error CODE      fetching results after the end of the audio fails with CODE
//   search REQUEST        MSPSearch of exactly REQUEST ('*' alone: any request) ...
//   answer TEXT           ... answers TEXT,
//   fail CODE             ... or fails with CODE
//   loop                  after the last session plan, start again with the first
//   appid ID              login admits only this application id
// TEXT is the rest of the line; the escapes \\ \n \r \t and \xHH stand for one byte each.
// A session without plan (none left, no loop) gives no results.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace msc {

struct ScriptEvent {
    enum Kind { kResult, kEndOfSpeech, kError };
    static constexpr long long kFinal = -1;  // `at` of the final events

    Kind kind = kResult;
    long long at = kFinal;  // bytes of audio written before it happens
    std::string text;       // kResult
    int code = 0;           // kError
};

struct SessionPlan {
    int beginError = 0;
    std::vector<ScriptEvent> events;  // audio events by `at`, then the final ones, in file order
};

struct SearchRule {
    std::string request;  // "*" matches any request
    std::string answer;
    int error = 0;
};

struct SpeechScript {
    std::vector<SessionPlan> sessions;
    std::vector<SearchRule> searches;
    bool loop = false;
    std::string appid;  // empty: any

    // Reads a script; on failure returns false with "line N: what is wrong" in *error.
    bool Parse(std::string_view text, std::string *error);
};

}  // namespace msc
