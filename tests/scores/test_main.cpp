#include <cstdio>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

// Nothing in these tests may touch the real ~/.config. The user's own store is
// pointed into a scratch folder before anything asks Qt where it lies: QSettings
// works the answer out once and keeps it for the rest of the process.
int main(int argc, char** argv) {
    QTemporaryDir configHome;
    if (!configHome.isValid()) {
        std::fputs("scores_tests: could not create a scratch config folder\n", stderr);
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));

    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
