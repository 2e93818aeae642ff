#include "tools/cli/progress.h"

#include <algorithm>

#include "tools/cli/host_messages.h"
#include "tools/cli/interrupt.h"

namespace pagora_cli {

namespace {

constexpr std::size_t kBarCells = 30;

ProgressDisplay* g_display = nullptr;

}  // namespace

std::string ProgressLine(const std::string& source, const std::string& target, int percent) {
  return source + " -> " + target + ": " + std::to_string(percent) + "%";
}

std::string ProgressBar(const std::string& source, const std::string& target, int percent,
                        std::size_t width) {
  // The plugin computes its percentages itself; a bar only shows 0 to 100.
  const int clamped = std::min(100, std::max(0, percent));
  const std::size_t filled = kBarCells * static_cast<std::size_t>(clamped) / 100;
  std::string bar = "[" + std::string(filled, '#') + std::string(kBarCells - filled, '.') + "] ";
  std::string number = std::to_string(percent) + "%";
  if (number.size() < 4) number.insert(0, 4 - number.size(), ' ');
  bar += number + "  ";
  std::string names = source + " -> " + target;
  const std::size_t room = width > bar.size() ? width - bar.size() : 0;
  if (names.size() > room) {
    names = room > 3 ? "..." + names.substr(names.size() - (room - 3)) : std::string();
  }
  return bar + names;
}

void ProgressDisplay::Begin() {
  End();
  last_names_.clear();
  last_percent_ = 0;
}

void ProgressDisplay::End() {
  if (shown_ && terminal_) std::fputc('\n', out_);
  shown_ = false;
  std::fflush(out_);
}

void ProgressDisplay::Report(const std::string& source, const std::string& target, int percent) {
  const std::string names = source + '\n' + target;
  const bool same_transfer = shown_ && names == last_names_;
  // Transfers report once per block. A bar is redrawn when its number
  // changes; a log gets a line per tenth, so a big file stays readable.
  if (same_transfer && (terminal_ ? percent == last_percent_ : percent / 10 == last_percent_ / 10)) {
    return;
  }
  last_names_ = names;
  last_percent_ = percent;
  if (terminal_) {
    // Carriage return and clear-to-end-of-line redraw the bar in place; the
    // last column stays free, since filling it makes some terminals wrap.
    std::fprintf(out_, "\r%s\x1b[K", ProgressBar(source, target, percent, width_ > 1 ? width_ - 1 : 1).c_str());
  } else {
    std::fprintf(out_, "%s\n", ProgressLine(source, target, percent).c_str());
  }
  shown_ = true;
  std::fflush(out_);
}

void SetProgressDisplay(ProgressDisplay* display) { g_display = display; }

int WFX_CALL HostProgress(int, char* source_name, char* target_name, int percent_done) {
  if (g_display != nullptr) {
    g_display->Report(Printable(source_name != nullptr ? source_name : ""),
                      Printable(target_name != nullptr ? target_name : ""), percent_done);
  }
  return InterruptRequested() ? 1 : 0;
}

}  // namespace pagora_cli
