#include "tools/cli/host_messages.h"

namespace pagora_cli {

namespace {

std::FILE* g_messages = nullptr;

}  // namespace

std::string Printable(const std::string& text, bool keep_lines) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n' && keep_lines) {
      out += '\n';
    } else if (c < 0x20 || c == 0x7F) {
      out += '?';
    } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      out += '?';  // U+0080 to U+009F
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

void SetMessageStream(std::FILE* out) { g_messages = out; }

BOOL WFX_CALL HostRequest(int, int request_type, char* custom_title, char* custom_text, char*,
                          int) {
  if (request_type != RT_MsgOK) return kFalse;
  std::FILE* out = g_messages != nullptr ? g_messages : stderr;
  std::fprintf(out, "%s: %s\n", Printable(custom_title != nullptr ? custom_title : "").c_str(),
               Printable(custom_text != nullptr ? custom_text : "", true).c_str());
  std::fflush(out);
  return kTrue;
}

}  // namespace pagora_cli
