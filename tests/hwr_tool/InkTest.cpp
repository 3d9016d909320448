#include "Ink.h"

#include <gtest/gtest.h>

#include "KitTestSupport.h"

using namespace hwr_ink;

namespace {

std::string Render(const Ink &ink) {
    std::string out;
    for (const InkStroke &s : ink.strokes) {
        out += "|";
        for (const InkPoint &p : s)
            out += std::to_string(p.x) + "," + std::to_string(p.y) + " ";
    }
    return out;
}

TEST(InkML, ParsesTracesAndFitsCoordinates) {
    struct Case {
        const char *name, *text, *strokes;
    } cases[] = {
        {"plain", "<ink><trace>300 400, 310 420</trace><trace>500 400</trace></ink>",
         "|300,400 310,420 |500,400 "},
        {"namespaces, groups, comments",
         "<?xml version='1.0'?><!-- x --><inkml:ink xmlns:inkml='http://www.w3.org/2003/InkML'>"
         "<inkml:traceGroup><inkml:trace id='t1'>300 300, 600 300</inkml:trace></inkml:traceGroup>"
         "<annotation>a &lt; b</annotation></inkml:ink>",
         "|300,300 600,300 "},
        {"channel order from traceFormat",
         "<ink><traceFormat><channel name='T'/><channel name='Y'/><channel name='X'/>"
         "</traceFormat><trace>0 400 300, 1 401 302</trace></ink>",
         "|300,400 302,401 "},
        {"pen-up traces are skipped",
         "<ink><trace type='penUp'>1 1</trace><trace type='penDown'>300 300, 400 400</trace></ink>",
         "|300,300 400,400 "},
        {"first and second differences", "<ink><trace>300 300, '10 '0, 10 0, \"0 \"5</trace></ink>",
         "|300,300 310,300 320,300 330,305 "},
        {"negative coordinates are shifted", "<ink><trace>-300 -300, 300 300</trace></ink>",
         "|0,0 600,600 "},
        {"small units are scaled up", "<ink><trace>1.5 2, 3.5 2, 3.5 4</trace></ink>",
         "|750,1000 1750,1000 1750,2000 "},
        {"wide ink is scaled down", "<ink><trace>0 0, 64000 32000</trace></ink>",
         "|0,0 32000,16000 "},
        {"CDATA", "<ink><trace><![CDATA[300 300, 400 400]]></trace></ink>", "|300,300 400,400 "},
    };
    for (const Case &c : cases) {
        Ink ink;
        std::string error;
        ASSERT_TRUE(ParseInkML(c.text, ink, error)) << c.name << ": " << error;
        EXPECT_EQ(Render(ink), c.strokes) << c.name;
    }
}

TEST(InkML, RefusesBrokenDocuments) {
    const char *bad[] = {
        "",
        "<trace>1 2</trace>",                // no <ink>
        "<ink></ink>",                       // no trace
        "<ink><trace>1 2, 3</trace></ink>",  // a point without Y
        "<ink><trace>1 x</trace></ink>",
        "<ink><trace>1 2",                    // unterminated
        "<ink><trace a=b>1 2</trace></ink>",  // unquoted attribute
        "<ink><trace>1e300 1</trace></ink>",
        "<ink><traceFormat><channel name='T'/></traceFormat><trace>1</trace></ink>",
    };
    for (const char *text : bad) {
        Ink ink;
        std::string error;
        EXPECT_FALSE(ParseInkML(text, ink, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(Ink, StrokeDataRoundTrip) {
    Ink ink{{{{1, 2}, {3, 4}}, {{5, 6}}}};
    std::vector<int16_t> data = ToStrokeData(ink);
    EXPECT_EQ(data, (std::vector<int16_t>{1, 2, 3, 4, -1, 0, 5, 6, -1, 0, -1, -1}));
    Ink back;
    std::string error;
    ASSERT_TRUE(FromStrokeData(data.data(), data.size() / 2, back, error));
    EXPECT_EQ(Render(back), "|1,2 3,4 |5,6 ");
    std::vector<int16_t> bad = {1, 2, -1, 3};
    EXPECT_FALSE(FromStrokeData(bad.data(), 2, back, error));
    std::vector<int16_t> trailing = {1, 2, -1, 0, -1, -1, 4, 4};
    EXPECT_FALSE(FromStrokeData(trailing.data(), 4, back, error));

    Ink parsed;
    ASSERT_TRUE(ParseInkML(WriteInkML(Ink{{{{300, 400}, {350, 450}}}}), parsed, error)) << error;
    EXPECT_EQ(Render(parsed), "|300,400 350,450 ");
}

TEST(Ink, FilesAreReadByContent) {
    kit_test::TempDir dir;
    std::string raw = dir.Write("w.raw", ToRawBytes({10, 10, -1, 0, -1, -1}));
    std::string odd = dir.Write("odd.raw", std::string("\x01\x00\x02", 3));
    std::string inkml = dir.Write("w.xml", "\xEF\xBB\xBF\n <ink><trace>300 300</trace></ink>");
    StrokeBytes bytes;
    std::string error;
    ASSERT_TRUE(LoadStrokeFile(raw, InkFormat::Auto, bytes, error));
    EXPECT_EQ(bytes.lengthBytes, 12u);
    EXPECT_EQ(bytes.data, (std::vector<int16_t>{10, 10, -1, 0, -1, -1}));
    ASSERT_TRUE(LoadStrokeFile(odd, InkFormat::Auto, bytes, error)) << "raw bytes pass as they are";
    EXPECT_EQ(bytes.lengthBytes, 3u);
    EXPECT_EQ(bytes.data, (std::vector<int16_t>{1, 2}));
    ASSERT_TRUE(LoadStrokeFile(inkml, InkFormat::Auto, bytes, error)) << error;
    EXPECT_EQ(bytes.data, (std::vector<int16_t>{300, 300, -1, 0, -1, -1}));
    EXPECT_FALSE(LoadStrokeFile(inkml, InkFormat::Raw, bytes, error) && bytes.data.size() == 6);
    EXPECT_FALSE(LoadStrokeFile(dir.File("absent"), InkFormat::Auto, bytes, error));
    // Raw data whose first x is 60 begins with '<' too.
    std::string lt = dir.Write("lt.raw", ToRawBytes({60, 10, -1, 0, -1, -1}));
    ASSERT_TRUE(LoadStrokeFile(lt, InkFormat::Auto, bytes, error)) << error;
    EXPECT_EQ(bytes.data, (std::vector<int16_t>{60, 10, -1, 0, -1, -1}));
    Ink ink;
    EXPECT_FALSE(LoadInk(odd, InkFormat::Auto, ink, error)) << "strokes need whole points";
    ASSERT_TRUE(LoadInk(raw, InkFormat::Auto, ink, error)) << error;
    EXPECT_EQ(Render(ink), "|10,10 ");
}

}  // namespace
