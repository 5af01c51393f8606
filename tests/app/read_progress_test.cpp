#include "app/read_progress.h"

#include <gtest/gtest.h>

#include "platform/posix_file_system.h"
#include "support/temp_folder.h"

namespace qs {
namespace {

// The window reaches the disk through this file system: whatever it does not watch must
// answer as the disk does, or the window never deletes a source (no stamp, so "changed")
// and leaves the empty folders of a failed job behind.
TEST(ReadProgressFileSystem, AnswersWhatItDoesNotWatchAsTheDiskDoes) {
    TempFolder temp;
    temp.Write("a.txt", "abc");
    PosixFileSystem disk;
    ReadProgressFileSystem reading(disk);
    ASSERT_TRUE(reading.CreateFolder(temp.File("empty")));
    EXPECT_EQ(reading.Stamp(temp.File("a.txt")), disk.Stamp(temp.File("a.txt")));
    EXPECT_TRUE(reading.Stamp(temp.File("a.txt")).has_value());
    EXPECT_TRUE(reading.RemoveEmptyFolder(temp.File("empty")));
    EXPECT_NE(reading.HoldFolder(temp.Path()), nullptr);
}

}  // namespace
}  // namespace qs
