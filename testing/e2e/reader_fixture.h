// Each test gets its own simulator, serving a fresh copy of the demo image
// from a private folder, and its own working directory for local files.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/e2e/demo_titles.h"
#include "testing/e2e/simulator_process.h"
#include "testing/run_process.h"

namespace pagora_e2e {


// The entry names of kDemoTitles, in order.
std::vector<std::string> DemoEntries();

// The plugin module the tests load: PAGORA_E2E_MODULE when set (the suite
// runs a second time against the shipped Windows DLL so), else the build's.
std::string ModuleUnderTest();

class ReaderFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs pagora-cli with the plugin in the working directory.
  pagora_test::ProcessResult Cli(const std::vector<std::string>& args);

  // The entry names that `pagora-cli ls` printed.
  static std::vector<std::string> ListedNames(const pagora_test::ProcessResult& ls);

  // Sends a control line to the simulator; it must answer "ok".
  void Control(const std::string& line);

  std::string Local(const std::string& name) const { return work_ + "/" + name; }

  // Free internal memory as the reader reports it now.
  std::uint64_t FreeMemory(const std::string& storage = "internal") const;

  std::string root_;
  std::string image_;
  std::string sockets_;
  std::string work_;
  SimulatorProcess simulator_;
};

}  // namespace pagora_e2e
