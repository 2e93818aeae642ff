#include "plugin/messages.h"

#include <cstring>

#include "platform/platform.h"
#include "plugin/fs_api.h"
#include "plugin/host_context.h"
#include "plugin/host_text.h"
#include "plugin/reader_text.h"

namespace pagora {
namespace {

constexpr std::size_t kMaxText = 4096;   // longer than any message the plugin shows
constexpr std::size_t kMaxCaption = 64;
constexpr int kAnswerRoom = 16;          // an OK box returns no text

}  // namespace

void ShowMessage(const char* text, const char* caption, std::uint32_t type) {
  const HostContext& host = Host();
  if (host.unicode) {
    // A text too long keeps the whole characters that fit.
    char16_t wide_text[kMaxText];
    char16_t wide_caption[kMaxCaption];
    ReaderToUtf16(text, wide_text, kMaxText);
    ReaderToUtf16(caption, wide_caption, kMaxCaption);
    if (!kSystemShowsMessageBoxes && host.request_w != nullptr) {
      char16_t answer[kAnswerRoom] = {};
      host.request_w(host.plugin_nr, RT_MsgOK, wide_caption, wide_text, answer, kAnswerRoom);
      return;
    }
    Os().message_box_w(wide_text, wide_caption, type);
    return;
  }
  // A character the code page lacks shows as its replacement.
  char shown[3 * kMaxText];
  char shown_caption[kMaxCaption];
  ReaderToAnsi(text, shown, sizeof shown, true);
  ReaderToAnsi(caption, shown_caption, sizeof shown_caption, true);
  if (!kSystemShowsMessageBoxes && host.request != nullptr) {
    char answer[kAnswerRoom] = {};
    host.request(host.plugin_nr, RT_MsgOK, shown_caption, shown, answer, kAnswerRoom);
    return;
  }
  Os().message_box(shown, shown_caption, type);
}

}  // namespace pagora
