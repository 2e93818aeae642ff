#include "bench/replies.h"

#include <cstdio>

namespace pagora {
namespace {

constexpr std::size_t kLongNameLimit = 127;  // the listing's long-name column
constexpr std::size_t kTitleLimit = 127;     // TitleRecord::title
constexpr std::size_t kValueLimit = 63;      // one status value

const char kFiller[] = "abcdefghijklmnopqrstuvwxyz";

std::string Filler(std::size_t n) {
  std::string s;
  s.reserve(n);
  for (std::size_t i = 0; i < n; ++i) s += kFiller[i % (sizeof kFiller - 1)];
  return s;
}

std::string Format(const char* format, int i) {
  char text[64];
  std::snprintf(text, sizeof text, format, i);
  return text;
}

std::string BookName(int i, std::size_t pad) {
  const std::string stem = Format("Book %05d", i);
  const std::size_t room = kLongNameLimit - stem.size() - 3;  // ".rb"
  return stem + Filler(pad < room ? pad : room) + ".rb";
}

// One line of a storage listing in its fixed columns; `plus` makes it a
// line inside the directory above it.
std::string ListingLine(bool plus, const std::string& name, const std::string& extension,
                        const std::string& attributes, const std::string& size,
                        const std::string& long_name) {
  char line[512];
  std::snprintf(line, sizeof line, "%s%-8s %-3s %-6s %8s %s\n", plus ? "+  " : "", name.c_str(),
                extension.c_str(), attributes.c_str(), size.c_str(), long_name.c_str());
  return line;
}

std::string BookLine(int i, const std::string& name) {
  return ListingLine(true, Format("B%07d", i), "RB", "-----", Format("%d", 1000 + i * 37), name);
}

const std::string& DirHead() {
  static const std::string head =
      "Pagora storage listing\nName     Ext Attr     Size Long name\n" +
      ListingLine(false, "BOOK", "", "-D---", "0", "book");
  return head;
}

std::string TitleLine(int i, const std::string& name, std::size_t pad) {
  std::string title = Format("Title %d", i);
  title += Filler(pad < kTitleLimit - title.size() ? pad : kTitleLimit - title.size());
  return Format("T%d=", i + 1) + "title=\"" + title + "\" author=\"" + Format("Author %d", i) +
         "\" filename=\"\\book\\" + name + "\" size=\"" + Format("%d", 1000 + i * 37) + "\"\n";
}

std::string StatusLine(int i, std::size_t pad) {
  std::string value = Format("value %d", i);
  value += Filler(pad < kValueLimit - value.size() ? pad : kValueLimit - value.size());
  return Format("X%05d=\"", i) + value + "\" \"second\"\n";
}

const char kReaderKeys[] =
    "SM_PRESENT=\"Yes\"\nFLASHFREE=\"2818048\"\nSM_FLASHFREE=\"1048576\"\n"
    "FLASHID=\"A1\" \"32\"\nOFLASHID01=\"B2\" \"16\"\nDATE=\"2003 11 27\"\nTIME=\"9 5 30\"\n"
    "VERSION=\"1.2\"\nBATTERY=\"Full\"\nEXTID=\"E\"\nUSERID=\"U\"\n";

}  // namespace

std::vector<std::size_t> SpreadPadding(std::size_t base, std::size_t bytes, int count) {
  if (count <= 0 || base > bytes) return {};
  const std::size_t n = static_cast<std::size_t>(count);
  const std::size_t extra = bytes - base;
  std::vector<std::size_t> pads(n, extra / n);
  for (std::size_t i = 0; i < extra % n; ++i) ++pads[i];
  return pads;
}

std::vector<std::string> BookNames(int count, std::size_t bytes) {
  std::size_t base = DirHead().size();
  for (int i = 0; i < count; ++i) base += BookLine(i, BookName(i, 0)).size();
  std::vector<std::size_t> pads = SpreadPadding(base, bytes, count);
  pads.resize(static_cast<std::size_t>(count > 0 ? count : 0), 0);
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back(BookName(i, pads[static_cast<std::size_t>(i)]));
  return names;
}

std::string BookDirReply(const std::vector<std::string>& names) {
  std::string reply = DirHead();
  for (std::size_t i = 0; i < names.size(); ++i) reply += BookLine(static_cast<int>(i), names[i]);
  return reply;
}

std::string TitlesReply(const std::vector<std::string>& names, int count, std::size_t bytes) {
  if (count > static_cast<int>(names.size())) count = static_cast<int>(names.size());
  const std::string head = Format("TITLECOUNT=\"%d\"\n", count);
  std::size_t base = head.size();
  for (int i = 0; i < count; ++i) base += TitleLine(i, names[static_cast<std::size_t>(i)], 0).size();
  std::vector<std::size_t> pads = SpreadPadding(base, bytes, count);
  pads.resize(static_cast<std::size_t>(count > 0 ? count : 0), 0);
  std::string reply = head;
  for (int i = 0; i < count; ++i) {
    const auto k = static_cast<std::size_t>(i);
    reply += TitleLine(i, names[k], pads[k]);
  }
  return reply;
}

std::string StatusReply(int count, std::size_t bytes) {
  std::size_t base = sizeof kReaderKeys - 1;
  for (int i = 0; i < count; ++i) base += StatusLine(i, 0).size();
  std::vector<std::size_t> pads = SpreadPadding(base, bytes, count);
  pads.resize(static_cast<std::size_t>(count > 0 ? count : 0), 0);
  std::string reply = kReaderKeys;
  for (int i = 0; i < count; ++i) reply += StatusLine(i, pads[static_cast<std::size_t>(i)]);
  return reply;
}

}  // namespace pagora
