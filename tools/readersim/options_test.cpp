#include "options.h"

#include <gtest/gtest.h>

namespace readersim {
namespace {

TEST(Options, SocketFolderFollowsTheEnvironment) {
  EXPECT_EQ(DefaultSocketDir("/r", "/run/user/5", 5), "/r");
  EXPECT_EQ(DefaultSocketDir("", "/run/user/5", 5), "/run/user/5/pagora-readers");
  EXPECT_EQ(DefaultSocketDir(nullptr, "/run/user/5", 5), "/run/user/5/pagora-readers");
  EXPECT_EQ(DefaultSocketDir(nullptr, "", 1000), "/tmp/pagora-readers-1000");
  EXPECT_EQ(DefaultSocketDir(nullptr, nullptr, 0), "/tmp/pagora-readers-0");
}

TEST(Options, ParsesEveryOptionAndRefusesMistakes) {
  struct Case {
    const char* label;
    std::vector<std::string> args;
    bool ok;
    std::string error_part;
  };
  const Case cases[] = {
      {"nothing", {}, true, ""},
      {"all of them",
       {"--image", "img", "--socket-dir=/s", "--name", "r1", "--control", "/c", "--usb-speed", "--log",
        "--fail-next", "3"},
       true, ""},
      {"help", {"--help"}, true, ""},
      {"unknown", {"--images", "x"}, false, "unknown option '--images'"},
      {"missing value", {"--image"}, false, "--image needs a value"},
      {"empty value", {"--name="}, false, "--name needs a value"},
      {"name with a slash", {"--name", "a/b"}, false, "plain file name"},
      {"flag with a value", {"--log=yes"}, false, "--log takes no value"},
      {"count not a number", {"--fail-next", "-1"}, false, "--fail-next needs a count"},
      {"image and demo output", {"--image", "a", "--write-demo", "b"}, false, "do not go together"},
      {"loopback port", {"--tcp", "40123"}, true, ""},
      {"loopback port out of range", {"--tcp", "65535"}, false, "--tcp needs a port"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Options options;
    std::string error;
    EXPECT_EQ(ParseOptions(c.args, "/default", &options, &error), c.ok);
    if (!c.ok) {
      EXPECT_NE(error.find(c.error_part), std::string::npos) << error;
    }
  }

  Options options;
  std::string error;
  ASSERT_TRUE(ParseOptions({"--image", "img", "--socket-dir=/s", "--name", "r1", "--control", "/c",
                            "--usb-speed", "--log", "--fail-next", "3"},
                           "/default", &options, &error));
  EXPECT_EQ(options.image_dir, "img");
  EXPECT_EQ(options.socket_dir, "/s");
  EXPECT_EQ(options.name, "r1");
  EXPECT_EQ(options.control_path, "/c");
  EXPECT_TRUE(options.usb_speed);
  EXPECT_TRUE(options.log);
  EXPECT_EQ(options.fail_next, 3u);
  ASSERT_TRUE(ParseOptions({}, "/default", &options, &error));
  EXPECT_EQ(options.socket_dir, "/default");
  EXPECT_EQ(options.name, "reader0");
  EXPECT_TRUE(options.image_dir.empty());
}

}  // namespace
}  // namespace readersim
