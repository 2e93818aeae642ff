#include "testing/e2e/reader_fixture.h"

#include <stdlib.h>

#include <filesystem>
#include <sstream>

#include "testing/e2e/reader_image.h"

namespace pagora_e2e {

std::vector<std::string> DemoEntries() {
  std::vector<std::string> entries;
  for (const DemoTitle& title : kDemoTitles) entries.push_back(title.entry);
  return entries;
}

std::string ModuleUnderTest() {
  const char* module = getenv("PAGORA_E2E_MODULE");
  return module != nullptr && *module != '\0' ? module : PAGORA_MODULE_PATH;
}

void ReaderFixture::SetUp() {
  root_ = pagora_test::MakeTempDir("pagora-e2e");
  ASSERT_FALSE(root_.empty());
  image_ = root_ + "/image";
  sockets_ = root_ + "/readers";
  work_ = root_ + "/work";
  std::filesystem::create_directories(work_);
  const pagora_test::ProcessResult demo =
      pagora_test::RunProcess(READERSIM_PATH, {"--write-demo", image_}, {}, root_, root_);
  ASSERT_EQ(demo.status, 0) << demo.err;
  std::string error;
  ASSERT_TRUE(simulator_.Start(READERSIM_PATH, image_, sockets_, root_ + "/control",
                               root_ + "/simulator.log", &error))
      << error;
  // The in-process host's plugin finds the reader through this variable.
  setenv("PAGORA_READER_DIR", sockets_.c_str(), 1);
}

void ReaderFixture::TearDown() {
  EXPECT_EQ(simulator_.Stop(), 0) << "the simulator ends cleanly";
  unsetenv("PAGORA_READER_DIR");
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

pagora_test::ProcessResult ReaderFixture::Cli(const std::vector<std::string>& args) {
  std::vector<std::string> full = {"--module", ModuleUnderTest()};
  full.insert(full.end(), args.begin(), args.end());
  return pagora_test::RunProcess(PAGORA_CLI_PATH, full, {{"PAGORA_READER_DIR", sockets_}}, work_,
                                 root_);
}

std::vector<std::string> ReaderFixture::ListedNames(const pagora_test::ProcessResult& ls) {
  // "Pagora eBook:" and then one "<size, 12 wide>  <name>" line per entry.
  std::vector<std::string> names;
  std::istringstream lines(ls.out);
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) {
    if (line.size() > 14 && line.compare(12, 2, "  ") == 0) names.push_back(line.substr(14));
  }
  return names;
}

void ReaderFixture::Control(const std::string& line) {
  ASSERT_EQ(simulator_.Control(line), "ok") << line;
}

std::uint64_t ReaderFixture::FreeMemory(const std::string& storage) const {
  return CapacityBytes(image_, storage) - UsedBytes(image_, storage);
}

}  // namespace pagora_e2e
