#include "KeyTables.h"

namespace KeyTables {
namespace {

using qvcommon::ConfigKeyRule;

#define QV_CANDNUM_VALUES "|1|2|3|4|5|6|7|8|9|10|"
#define QV_DISPCODE_VALUES "|nochange|tosimplified|totraditional|"
#define QV_WORDMODE_VALUES "|mixed|capital|lowercase|initial|"

const ConfigKeyRule kInitRows[] = {
    {"datapath", nullptr, nullptr, 0},
    {"fileflag", "|none|android_so|", "none", 0},
    {"initcapkeys", nullptr, nullptr, 0},
};

const ConfigKeyRule kSessionRows[] = {
    {"capkey", nullptr, nullptr, 4},
    {"candnum", QV_CANDNUM_VALUES, "10", 0},
    {"recogrange", nullptr, nullptr, 0},
    {"openslant", "|no|yes|", "no", 0},
    {"splitmode", "|line|overlap|", "line", 0},
    {"dispcode", QV_DISPCODE_VALUES, "nochange", 0},
    {"fullhalf", "|full|half|", "half", 0},
    {"wordmode", QV_WORDMODE_VALUES, "mixed", 0},
    {"realtime", "|no|yes|", "no", 0},
    {"resPrefix", nullptr, nullptr, 0},
};

// A recognition may ask for "single" although a session start may not.
const ConfigKeyRule kRecogRows[] = {
    {"candnum", QV_CANDNUM_VALUES, nullptr, 0},
    {"recogrange", nullptr, nullptr, 0},
    {"domain", nullptr, nullptr, 0},
    {"sublang", nullptr, nullptr, 0},
    {"openslant", "|no|yes|", nullptr, 0},
    {"dispcode", QV_DISPCODE_VALUES, nullptr, 0},
    {"fullhalf", "|full|half|", nullptr, 0},
    {"splitmode", "|line|overlap|single|", nullptr, 0},
    {"wordmode", QV_WORDMODE_VALUES, nullptr, 0},
};

const ConfigKeyRule kPinyinRows[] = {
    {"pinyinmodel", "|withtone|withouttone|", "withtone", 0},
};

const ConfigKeyRule kAssociateRows[] = {
    {"associatemodel", "|multi|single|", "multi", 0},
    {"recursive", "|yes|no|", "yes", 0},
    {"candnum", nullptr, "16", 0},
};

template <size_t N>
constexpr Table Of(const ConfigKeyRule (&rows)[N]) {
    return {rows, N};
}

}  // namespace

const Table kInit = Of(kInitRows);
const Table kSession = Of(kSessionRows);
const Table kRecog = Of(kRecogRows);
const Table kPinyin = Of(kPinyinRows);
const Table kAssociate = Of(kAssociateRows);

}  // namespace KeyTables
