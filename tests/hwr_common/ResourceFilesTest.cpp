#include <gtest/gtest.h>

#include "ConfigAssistant.h"
#include "FileReader.h"
#include "KitTestSupport.h"
#include "LibraryContext.h"
#include "ReadOnlyResManager.h"

using namespace qvcommon;

TEST(ResourceFiles, ResPathFollowsTheFileFlag) {
    LibraryContext &lib = LibraryContext::Instance();
    ConfigAssistant init;
    ASSERT_TRUE(init.ParseConfig("datapath=D:\\res\\,fileflag=none"));
    lib.Configure(init);
    EXPECT_EQ(GetResPath("zh_", "letter.conf"), "D:\\res\\zh_letter.conf");
    lib.SetFileFlag("android_so");
    EXPECT_EQ(GetResPath("zh_", "letter.conf"), "D:\\res\\libzh_letter.conf.so");
    lib.SetFileFlag("Android_so");  // the comparison is exact
    EXPECT_EQ(GetResPath("", "letter.conf"), "D:\\res\\letter.conf");
    lib.Clear();
}

TEST(ResourceFiles, DataPathNormalisation) {
    EXPECT_EQ(NormalizeDataPath("  /opt/res \t"), "/opt/res/");
    EXPECT_EQ(NormalizeDataPath("/opt/res/"), "/opt/res/");
    EXPECT_EQ(NormalizeDataPath("D:\\res\\"), "D:\\res\\");
    EXPECT_EQ(NormalizeDataPath(""), "");
}

TEST(ResourceFiles, FileReaderLoads) {
    kit_test::SysSession sys;
    kit_test::TempDir dir;
    FileReader reader;
    std::string ten = dir.Write("ten", "0123456789");
    ASSERT_TRUE(reader.Load(ten, 1));
    EXPECT_EQ(reader.Size(), 11u);
    EXPECT_EQ(reader.Data()[10], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(reader.Data())), "0123456789");

    std::string empty = dir.Write("empty", "");
    EXPECT_FALSE(reader.Load(empty, 1));
    EXPECT_FALSE(reader.Loaded());
    EXPECT_TRUE(sys.Logged("[qvcommon][FileReader::Load] file (" + empty + ") len==0"));
    EXPECT_FALSE(reader.Load(dir.File("absent")));
    EXPECT_TRUE(sys.Logged("[qvcommon][FileReader::Load] open file (" + dir.File("absent") +
                           ") failed and errno=2"));
    EXPECT_FALSE(reader.Load(dir.Path())) << "a directory is not a resource";
}

TEST(ResourceFiles, SharedFilesAreCounted) {
    kit_test::TempDir dir;
    std::string path = dir.Write("res.bin", "abc");
    ReadOnlyResManager manager;
    const FileReader *first = manager.AcquireFile(path);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(manager.AcquireFile(path), first) << "loaded once";
    EXPECT_EQ(manager.RefCount(path), 2u);
    manager.ReleaseFile(path);
    EXPECT_EQ(manager.RefCount(path), 1u);
    EXPECT_EQ(first->Size(), 3u);
    manager.ReleaseFile(path);
    EXPECT_EQ(manager.RefCount(path), 0u);
    manager.ReleaseFile(path);  // a third release is ignored
    EXPECT_EQ(manager.AcquireFile(""), nullptr);
    EXPECT_EQ(manager.AcquireFile(dir.File("absent")), nullptr);
    EXPECT_EQ(manager.RefCount(dir.File("absent")), 0u);
    manager.AcquireFile(path);  // left for the destructor to free
}
