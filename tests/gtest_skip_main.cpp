// main() of the test programs CTest runs whole: exits 77 only when every case skipped.
#include "gtest_exit.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return vqd::test::program_result(RUN_ALL_TESTS());
}
