#include "bench/local_files.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/test_support.h"

namespace pagora {
namespace {

TEST(LocalFiles, PatternFilesAreRecognisedAndChangesAreNot) {
  TempDir dir;
  const std::string path = dir.File("p.rb");
  ASSERT_TRUE(WritePatternFile(path, 10000));
  EXPECT_EQ(ReadFile(path).size(), 10000u);
  EXPECT_TRUE(HoldsPattern(path, 10000));
  EXPECT_FALSE(HoldsPattern(path, 9999)) << "longer than said";
  EXPECT_FALSE(HoldsPattern(path, 10001)) << "shorter than said";

  std::string bytes = ReadFile(path);
  bytes[5000] = static_cast<char>(bytes[5000] ^ 1);
  WriteFile(path, bytes);
  EXPECT_FALSE(HoldsPattern(path, 10000)) << "one byte changed";

  ASSERT_TRUE(WritePatternFile(path, 0));
  EXPECT_TRUE(HoldsPattern(path, 0)) << "empty";
  EXPECT_FALSE(HoldsPattern(dir.File("missing"), 0)) << "missing file";
  EXPECT_FALSE(WritePatternFile(dir.File("no-dir/p.rb"), 10)) << "unwritable";
}

}  // namespace
}  // namespace pagora
