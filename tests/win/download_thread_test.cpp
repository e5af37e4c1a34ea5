// The worker's own arithmetic, as the i686 program computes it: the division comes first, in
// double precision, so some exact percentages come out one lower.
#include <gtest/gtest.h>

#include "download/download_thread.h"

namespace {

TEST(DownloadPercentageTest, DividesFirstAndTruncates) {
    const struct {
        int line;
        DWORD received, total;
        int percent;
    } rows[] = {
        {__LINE__, 29, 100, 28},
        {__LINE__, 57, 100, 56},
        {__LINE__, 58, 100, 57},
        {__LINE__, 1, 100, 1},
        {__LINE__, 100, 100, 100},
        {__LINE__, 10240, 1048576, 0},  // a megabyte's first chunk: no notice
        {__LINE__, 20480, 1048576, 1},
        {__LINE__, 0xFFFFFFFFu, 0xFFFFFFFFu, 100},
        {__LINE__, 0x7FFFFFFFu, 0xFFFFFFFFu, 49},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(DownloadPercentage(row.received, row.total), row.percent);
    }
}

}  // namespace
