// main() of the tests that drive the real program as a separate process: a
// Qt core application (for QProcess and QSettings), then every test.
#include <QCoreApplication>

#include "gtest_exit.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return vqd::test::program_result(RUN_ALL_TESTS());
}
