#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include "support/ResourceDirectory.h"

TEST(ResourceDirectory, PrefersTheBuildTreeFolderThenTheInstalledOne) {
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    QDir root(prefix.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("bin")));
    const QString bin = root.filePath(QStringLiteral("bin"));

    EXPECT_EQ(ResourceDirectory::locate(bin),
              root.filePath(QStringLiteral("share/velmar-converter-update")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("bin/resources")));
    EXPECT_EQ(ResourceDirectory::locate(bin), root.filePath(QStringLiteral("bin/resources")));
    EXPECT_EQ(ResourceDirectory::path(),
              ResourceDirectory::locate(QCoreApplication::applicationDirPath()));
}
