#include "protocol.h"

namespace readersim {

const char* CodeName(std::uint32_t code) {
  switch (code) {
    case kCodeProbe:
      return "probe";
    case kCodeQueryStart:
      return "query-start";
    case kCodeQueryNext:
      return "query-next";
    case kCodeUploadStart:
      return "upload-start";
    case kCodeUploadNext:
      return "upload-next";
    default:
      return "unknown";
  }
}

}  // namespace readersim
