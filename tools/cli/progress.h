// Shows the plugin's progress reports and answers them.
#pragma once

#include <cstdio>
#include <string>

#include "plugin/fs_api.h"

namespace pagora_cli {

// One line of the form "source -> target: 40%".
std::string ProgressLine(const std::string& source, const std::string& target, int percent);

// One terminal bar, without line control: "[#####.....]  40%  source -> target",
// the names shortened from the left so that the whole fits `width` columns.
std::string ProgressBar(const std::string& source, const std::string& target, int percent,
                        std::size_t width);

// Where the progress of the running transfer goes. One at a time. On a
// terminal a bar is redrawn in place; otherwise a line is written for the
// first report and for each report that enters a new tenth (0-9, 10-19, ...).
class ProgressDisplay {
 public:
  // `width`: the terminal's columns, the room a bar may take.
  ProgressDisplay(std::FILE* out, bool terminal, std::size_t width = 80)
      : out_(out), terminal_(terminal), width_(width) {}

  // Called before and after each transfer: forgets the last report and ends
  // a bar that is still on screen.
  void Begin();
  void End();

  void Report(const std::string& source, const std::string& target, int percent);

 private:
  std::FILE* out_;
  bool terminal_;
  std::size_t width_;
  bool shown_ = false;
  int last_percent_ = 0;
  std::string last_names_;
};

// Makes `display` receive the reports of HostProgress (nullptr: none).
void SetProgressDisplay(ProgressDisplay* display);

// The progress callback handed to FsInit: shows the report and answers
// non-zero (abort) once Ctrl-C was pressed.
int WFX_CALL HostProgress(int plugin_nr, char* source_name, char* target_name, int percent_done);

}  // namespace pagora_cli
