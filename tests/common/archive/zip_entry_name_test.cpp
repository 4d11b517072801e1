#include "archive/zip_entry_name_internal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ZipEntryName, SplitsNamesThatStayBelowTheFolder) {
    struct Case {
        const char* name;
        bool fileNameOnly;
        std::vector<std::string> parts;  // empty: refused
    };
    const Case cases[] = {
        {"a.txt", false, {"a.txt"}},
        {"fw/APP0.bin", false, {"fw", "APP0.bin"}},
        {"fw\\sub\\APP0.bin", false, {"fw", "sub", "APP0.bin"}},
        {"./fw//./APP0.bin", false, {"fw", "APP0.bin"}},
        {"folder/", false, {"folder"}},
        {"a..b/..c/d..", false, {"a..b", "..c", "d.."}},
        {"../a.txt", false, {}},
        {"a/../b.txt", false, {}},
        {"a\\..\\..\\b.txt", false, {}},
        {"..", false, {}},
        {"/etc/passwd", false, {}},
        {"\\abs.txt", false, {}},
        {"", false, {}},
        {"./", false, {}},
        {"../../fw/APP0.bin", true, {"APP0.bin"}},
        {"/etc/passwd", true, {"passwd"}},
        {"fw\\APP1.bin", true, {"APP1.bin"}},
        {"fw/..", true, {}},
        {"", true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> parts{"stale"};
        EXPECT_EQ(EntryPathParts(c.name, c.fileNameOnly, parts), !c.parts.empty());
        EXPECT_EQ(parts, c.parts);
        if (!c.fileNameOnly) {
            EXPECT_EQ(IsSafeEntryName(c.name), !c.parts.empty());
        }
    }
}

TEST(ZipEntryName, NormalisesSeparatorsAndSeesFolderNames) {
    EXPECT_EQ(NormalizedEntryName("fw\\sub/APP0.bin"), "fw/sub/APP0.bin");
    EXPECT_TRUE(HasTrailingSeparator("fw/"));
    EXPECT_TRUE(HasTrailingSeparator("fw\\"));
    EXPECT_FALSE(HasTrailingSeparator("fw"));
    EXPECT_FALSE(HasTrailingSeparator(""));
}
