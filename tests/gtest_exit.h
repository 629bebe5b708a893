// How a test program that CTest runs as one test ends: 77 (the tests'
// SKIP_RETURN_CODE) only when every case it ran skipped itself, otherwise
// GoogleTest's own result. A pattern over the output ("[  SKIPPED ]") would
// mark the whole program skipped as soon as one case skipped, even beside a
// case that failed.
#pragma once

#include <gtest/gtest.h>

namespace vqd::test {

inline constexpr int kAllSkipped = 77;

inline int program_result(int result) {
    const auto& unit = *::testing::UnitTest::GetInstance();
    if (result == 0 && unit.test_to_run_count() > 0 && unit.skipped_test_count() == unit.test_to_run_count())
        return kAllSkipped;
    return result;
}

}  // namespace vqd::test
