#include "tools/cli/progress.h"

#include "tools/cli/host_messages.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <string>

namespace pagora_cli {
namespace {

std::string Contents(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text.push_back(static_cast<char>(c));
  return text;
}

TEST(Progress, BarShowsClampedFillAndFitsWidth) {
  struct Case {
    const char* label;
    int percent;
    std::size_t hashes;
    const char* number;
  };
  const Case cases[] = {
      {"start", 0, 0, "   0%"},   {"a third", 34, 10, "  34%"}, {"done", 100, 30, " 100%"},
      {"below", -5, 0, "  -5%"},  {"above", 250, 30, " 250%"},
  };
  for (const Case& c : cases) {
    const std::string bar = ProgressBar("/a.rb", "out.rb", c.percent, 79);
    EXPECT_EQ(bar.find('['), 0u) << c.label;
    EXPECT_EQ(bar.find(']'), 31u) << c.label;
    EXPECT_EQ(static_cast<std::size_t>(std::count(bar.begin(), bar.end(), '#')), c.hashes)
        << c.label;
    EXPECT_NE(bar.find(c.number), std::string::npos) << c.label << ": " << bar;
    EXPECT_NE(bar.find("/a.rb -> out.rb"), std::string::npos) << c.label;
  }
  const std::string long_name(200, 'n');
  const std::string bar = ProgressBar("/" + long_name, "/tmp/target.rb", 50, 79);
  EXPECT_EQ(bar.size(), 79u);
  EXPECT_EQ(bar.substr(bar.size() - 14), "/tmp/target.rb") << "the target's end stays visible";
  EXPECT_NE(bar.find("..."), std::string::npos);
}

TEST(Progress, PlainLinesThinOutAndBarsEndTheirLine) {
  std::FILE* plain = std::tmpfile();
  ASSERT_NE(plain, nullptr);
  ProgressDisplay lines(plain, false);
  lines.Begin();
  for (int percent : {0, 0, 4, 9, 40, 40, 45, 49, 50, 99, 100}) {
    lines.Report("/a.rb", "a.rb", percent);
  }
  lines.Report("/b.rb", "b.rb", 100);  // another name pair is another transfer
  lines.End();
  lines.Begin();
  lines.Report("/a.rb", "a.rb", 100);  // a new transfer shows its first report
  lines.End();
  EXPECT_EQ(Contents(plain),
            "/a.rb -> a.rb: 0%\n/a.rb -> a.rb: 40%\n/a.rb -> a.rb: 50%\n/a.rb -> a.rb: 99%\n"
            "/a.rb -> a.rb: 100%\n/b.rb -> b.rb: 100%\n/a.rb -> a.rb: 100%\n");
  std::fclose(plain);

  std::FILE* terminal = std::tmpfile();
  ASSERT_NE(terminal, nullptr);
  ProgressDisplay bar(terminal, true, 40);
  bar.Begin();
  const std::string target = "/home/user/books/" + std::string(60, 'b') + ".rb";
  for (int percent : {0, 0, 1, 100}) bar.Report("/a.rb", target, percent);
  bar.End();
  bar.End();  // a second end adds nothing
  const std::string text = Contents(terminal);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 3) << "each new number redraws";
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
  EXPECT_EQ(text.back(), '\n');
  for (std::size_t start = text.find('\r'); start != std::string::npos;
       start = text.find('\r', start + 1)) {
    const std::size_t end = text.find("\x1b[K", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(end - start - 1, 39u) << "a bar leaves the terminal's last column free";
  }
  std::fclose(terminal);
}

TEST(Progress, CallbackFeedsTheDisplayInUse) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  ProgressDisplay display(file, false);
  char source[] = "/t [a].rb";
  char target[] = "t.rb";
  SetProgressDisplay(&display);
  EXPECT_EQ(HostProgress(1, source, target, 60), 0);
  SetProgressDisplay(nullptr);
  EXPECT_EQ(HostProgress(1, source, target, 70), 0);  // nobody shows it, nothing breaks
  SetProgressDisplay(&display);
  EXPECT_EQ(HostProgress(1, nullptr, nullptr, 80), 0);
  SetProgressDisplay(nullptr);
  EXPECT_EQ(Contents(file), "/t [a].rb -> t.rb: 60%\n -> : 80%\n");
  std::fclose(file);
}

TEST(HostMessages, TextsFromThePluginCannotSteerTheTerminal) {
  struct Case {
    const char* label;
    std::string text;
    bool keep_lines;
    std::string shown;
  } cases[] = {
      {"plain UTF-8 stays", "Caf\xC3\xA9 \xE2\x82\xAC [Zo\xC3\xAB].rb", false,
       "Caf\xC3\xA9 \xE2\x82\xAC [Zo\xC3\xAB].rb"},
      {"escape sequence", "a\x1b[2Jb", false, "a?[2Jb"},
      {"carriage return and DEL", "x\ry\x7F", false, "x?y?"},
      {"a C1 control (CSI)", "p\xC2\x9B" "2Jq", false, "p?2Jq"},
      {"line feeds of a message", "one\ntwo", true, "one\ntwo"},
      {"line feeds of a name", "one\ntwo", false, "one?two"},
  };
  for (const Case& c : cases) EXPECT_EQ(Printable(c.text, c.keep_lines), c.shown) << c.label;

  std::FILE* out = std::tmpfile();
  SetMessageStream(out);
  char title[] = "Error!";
  char text[] = "Insufficiently memory!\n\x1b]0;x\x07";
  char answer[4] = {};
  EXPECT_EQ(HostRequest(1, RT_MsgOK, title, text, answer, sizeof answer), kTrue);
  EXPECT_EQ(HostRequest(1, 1, title, text, answer, sizeof answer), kFalse) << "not a message box";
  SetMessageStream(nullptr);
  EXPECT_EQ(Contents(out), "Error!: Insufficiently memory!\n?]0;x?\n");
  std::fclose(out);
}

}  // namespace
}  // namespace pagora_cli
