#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "support/ResourceDirectory.h"

TEST(ResourceDirectory, PrefersTheBuildTreeFolderThenTheInstalledOne) {
    QTemporaryDir prefix;
    QDir root(prefix.path());
    ASSERT_TRUE(root.mkpath("bin"));
    EXPECT_EQ(ResourceDirectory::locate(root.filePath("bin")),
              root.filePath("share/velmar-converter-update"));
    ASSERT_TRUE(root.mkpath("bin/resources"));
    EXPECT_EQ(ResourceDirectory::locate(root.filePath("bin")), root.filePath("bin/resources"));
}
