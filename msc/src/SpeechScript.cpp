#include "SpeechScript.h"

#include <algorithm>
#include <charconv>
#include <climits>

namespace msc {
namespace {

// Splits off the first blank-separated word of `line`.
std::string_view NextWord(std::string_view *line) {
    size_t start = line->find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        *line = {};
        return {};
    }
    line->remove_prefix(start);
    size_t end = line->find_first_of(" \t");
    std::string_view word = line->substr(0, end);
    *line = end == std::string_view::npos ? std::string_view{} : line->substr(end + 1);
    return word;
}

bool ParseNumber(std::string_view word, long long max, long long *out) {
    if (word.empty())
        return false;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), *out);
    return ec == std::errc() && end == word.data() + word.size() && *out >= -max && *out <= max;
}

bool ParseCode(std::string_view word, int *code) {
    long long value = 0;
    if (!ParseNumber(word, INT_MAX, &value) || value == 0)
        return false;
    *code = static_cast<int>(value);
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool Unescape(std::string_view in, std::string *out) {
    out->clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out->push_back(in[i]);
            continue;
        }
        if (++i == in.size())
            return false;
        switch (in[i]) {
            case '\\':
                out->push_back('\\');
                break;
            case 'n':
                out->push_back('\n');
                break;
            case 'r':
                out->push_back('\r');
                break;
            case 't':
                out->push_back('\t');
                break;
            case 'x': {
                if (i + 2 >= in.size())
                    return false;
                int hi = HexDigit(in[i + 1]), lo = HexDigit(in[i + 2]);
                if (hi < 0 || lo < 0)
                    return false;
                out->push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                break;
            }
            default:
                return false;
        }
    }
    return true;
}

}  // namespace

bool SpeechScript::Parse(std::string_view text, std::string *error) {
    SpeechScript script;
    SessionPlan *plan = nullptr;
    SearchRule *openSearch = nullptr;  // a search line waiting for its answer
    int lineNo = 0;
    auto fail = [&](const std::string &what) {
        *error = "line " + std::to_string(lineNo) + ": " + what;
        return false;
    };

    while (!text.empty()) {
        ++lineNo;
        size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        std::string_view rest = line;
        std::string_view word = NextWord(&rest);
        if (word.empty() || word.front() == '#')
            continue;

        if (openSearch && word != "answer" && word != "fail")
            return fail("'search' must be followed by 'answer' or 'fail'");

        if (word == "session") {
            script.sessions.emplace_back();
            plan = &script.sessions.back();
        } else if (word == "loop") {
            script.loop = true;
        } else if (word == "appid") {
            script.appid = std::string(NextWord(&rest));
            if (script.appid.empty())
                return fail("'appid' needs an id");
        } else if (word == "search") {
            std::string request;
            if (!Unescape(rest, &request))
                return fail("bad escape in the request");
            if (request.empty())
                return fail("'search' needs a request");
            script.searches.push_back({std::move(request), {}, 0});
            openSearch = &script.searches.back();
        } else if (word == "answer" || word == "fail") {
            if (!openSearch)
                return fail("'" + std::string(word) + "' without 'search'");
            if (word == "answer") {
                if (!Unescape(rest, &openSearch->answer))
                    return fail("bad escape in the answer");
            } else if (!ParseCode(NextWord(&rest), &openSearch->error)) {
                return fail("'fail' needs a non-zero code");
            }
            openSearch = nullptr;
        } else if (word == "begin" || word == "at" || word == "final") {
            if (!plan)
                return fail("'" + std::string(word) + "' outside a session");
            ScriptEvent event;
            if (word == "at" && !ParseNumber(NextWord(&rest), 1LL << 50, &event.at))
                return fail("'at' needs a byte count");
            if (word == "at" && event.at < 0)
                return fail("'at' needs a byte count");
            std::string_view what = NextWord(&rest);
            if (word == "begin") {
                if (what != "error" || !ParseCode(NextWord(&rest), &plan->beginError))
                    return fail("expected 'begin error CODE'");
                continue;
            }
            if (what == "result") {
                event.kind = ScriptEvent::kResult;
                if (!Unescape(rest, &event.text))
                    return fail("bad escape in the result");
            } else if (what == "error") {
                event.kind = ScriptEvent::kError;
                if (!ParseCode(NextWord(&rest), &event.code))
                    return fail("'error' needs a non-zero code");
            } else if (what == "eos" && word == "at") {
                event.kind = ScriptEvent::kEndOfSpeech;
            } else {
                return fail("unknown event '" + std::string(what) + "'");
            }
            plan->events.push_back(std::move(event));
        } else {
            return fail("unknown directive '" + std::string(word) + "'");
        }
    }
    if (openSearch)
        return fail("'search' must be followed by 'answer' or 'fail'");

    // Audio events in byte order (file order among equals), the final ones after them.
    for (SessionPlan &p : script.sessions) {
        std::stable_sort(p.events.begin(), p.events.end(),
                         [](const ScriptEvent &a, const ScriptEvent &b) {
                             auto key = [](const ScriptEvent &e) {
                                 return e.at == ScriptEvent::kFinal ? LLONG_MAX : e.at;
                             };
                             return key(a) < key(b);
                         });
    }
    *this = std::move(script);
    return true;
}

}  // namespace msc
