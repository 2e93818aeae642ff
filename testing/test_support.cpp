#include "testing/test_support.h"

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

namespace pagora {

int ProcessId() {
#if defined(_WIN32)
  return _getpid();
#else
  return static_cast<int>(getpid());
#endif
}

}  // namespace pagora
