#include "tools/cli/result_codes.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "plugin/fs_api.h"

namespace pagora_cli {
namespace {

TEST(ResultCodes, EachResultHasItsOwnStatus) {
  struct Case {
    int code;
    int exit_status;
    const char* name;
  };
  const Case cases[] = {
      {FS_FILE_OK, 0, "FS_FILE_OK"},
      {FS_FILE_EXISTS, 11, "FS_FILE_EXISTS"},
      {FS_FILE_NOTFOUND, 12, "FS_FILE_NOTFOUND"},
      {FS_FILE_READERROR, 13, "FS_FILE_READERROR"},
      {FS_FILE_WRITEERROR, 14, "FS_FILE_WRITEERROR"},
      {FS_FILE_USERABORT, 15, "FS_FILE_USERABORT"},
      {FS_FILE_NOTSUPPORTED, 16, "FS_FILE_NOTSUPPORTED"},
      {7, kExitUnknownResult, "unknown result"},
      {-1, kExitUnknownResult, "unknown result"},
      {1000, kExitUnknownResult, "unknown result"},
  };
  std::set<int> statuses = {kExitDeleteRefused, kExitUsage, kExitModule, kExitLocalFile};
  for (const Case& c : cases) {
    const ResultInfo info = DescribeResult(c.code);
    EXPECT_EQ(info.exit_status, c.exit_status) << c.code;
    EXPECT_STREQ(info.name, c.name) << c.code;
    EXPECT_GT(std::string(info.message).size(), 3u) << c.code;
    if (c.code >= 0 && c.code <= FS_FILE_NOTSUPPORTED) {
      EXPECT_TRUE(statuses.insert(info.exit_status).second)
          << "status " << info.exit_status << " is shared";
    }
  }
}

TEST(ResultCodes, AWriteErrorNamesItsSide) {
  const std::string download = DescribeResult(FS_FILE_WRITEERROR, Direction::kDownload).message;
  const std::string upload = DescribeResult(FS_FILE_WRITEERROR, Direction::kUpload).message;
  EXPECT_NE(download.find("local file"), std::string::npos) << download;
  EXPECT_NE(upload.find("reader"), std::string::npos) << upload;
  EXPECT_EQ(DescribeResult(FS_FILE_WRITEERROR, Direction::kUpload).exit_status, 14);
  const std::string table = ExitStatusTable();
  EXPECT_NE(table.find("get: " + download), std::string::npos) << table;
  EXPECT_NE(table.find("put: " + upload), std::string::npos) << table;
}

TEST(ResultCodes, HelpTableListsEveryStatus) {
  const std::string table = ExitStatusTable();
  for (int code = FS_FILE_EXISTS; code <= FS_FILE_NOTSUPPORTED; ++code) {
    const ResultInfo info = DescribeResult(code);
    const std::string row = "  " + std::to_string(info.exit_status) + "  " + info.name;
    EXPECT_NE(table.find(row), std::string::npos) << row;
  }
  for (int status : {kExitDeleteRefused, kExitUsage, kExitModule, kExitLocalFile,
                     kExitUnknownResult}) {
    EXPECT_NE(table.find("\n  " + std::string(status < 10 ? " " : "") + std::to_string(status) +
                         "  "),
              std::string::npos)
        << status;
  }
}

}  // namespace
}  // namespace pagora_cli
