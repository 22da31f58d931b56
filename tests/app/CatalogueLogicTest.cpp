#include <gtest/gtest.h>

#include "WindowHarness.h"
#include "core/OnlineVersionList.h"
#include "core/ReleaseTree.h"

TEST(ReleaseTree, ModesAreJudgedByTheNamesInTheDeviceFolder) {
    TestResources resources;
    resources.addFolder("data/QK1/standard");
    resources.addFolder("data/QK2/template"); // "te" inside counts as Tournament
    resources.addFolder("data/normal/te");
    const ReleaseTree tree(resources.path());

    const auto both = tree.probeModes(QString("qk1"));
    ASSERT_TRUE(both.has_value()); // the folder is looked up upper-cased
    EXPECT_TRUE(both->standard);
    EXPECT_FALSE(both->tournament);
    const auto tournament = tree.probeModes(QString("QK2"));
    ASSERT_TRUE(tournament.has_value());
    EXPECT_FALSE(tournament->standard);
    EXPECT_TRUE(tournament->tournament);
    const auto unnamed = tree.probeModes(std::nullopt); // data/normal
    ASSERT_TRUE(unnamed.has_value());
    EXPECT_TRUE(unnamed->tournament);
    EXPECT_FALSE(tree.probeModes(QString("QK3")).has_value());
}

TEST(ReleaseTree, EveryEntryOfAModeFolderIsAVersionAndOnlyReleasePathsAreTrimmed) {
    TestResources resources;
    resources.addFolder("data/QK1/standard/V1");
    resources.addFolder("data/QK1/standard/V2");
    resources.addFolder("data/QK1/standard/V3");
    resources.addFile("data/QK1/standard/.notes", "x");
    resources.addFile("data/QK1/standard/V2/tmp.hex", "x");
    const ReleaseTree tree(resources.path());

    QStringList versions = tree.listFwVersions(QString("QK1"), true);
    versions.sort();
    EXPECT_EQ(versions, (QStringList{".notes", "V1", "V2", "V3"}));
    EXPECT_TRUE(tree.listFwVersions(QString("QK1"), false).isEmpty());
    EXPECT_TRUE(tree.listFwVersions(QString(" QK1"), true).isEmpty()); // not trimmed here

    EXPECT_EQ(tree.releaseFile(QString(" qk1\n"), true, "V2", "tmp.hex"),
              resources.path() + "/data/QK1/standard/V2/tmp.hex");
    EXPECT_FALSE(tree.releaseFile(QString("QK1"), true, "V1", "tmp.hex").has_value());
}

// What the window's online tests do not reach: line ends and text that is not UTF-8.
TEST(OnlineVersionList, OnlyCrLfEndsALineAndTextMustBeUtf8) {
    EXPECT_EQ(OnlineVersionList::entries("V1,0x1,a.hex\nV2,0x2,b.hex\n")->size(), 1);
    EXPECT_EQ(OnlineVersionList::entries("\xc3\x28"), std::nullopt);
}
