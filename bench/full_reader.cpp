#include "bench/full_reader.h"

#include "bench/bench_driver.h"
#include "bench/replies.h"

namespace pagora {

void ServeFullReader(BenchDriver& driver) {
  const std::vector<std::string> names = BookNames(kFullFiles);
  driver.Serve("__DIR", BookDirReply(names));
  driver.Serve("__TITLES", TitlesReply(names, kFullTitles));
  driver.Serve("__STATUS", StatusReply(kFullStatusLines));
  driver.Serve("__SMDIR", BookDirReply({}));
}

}  // namespace pagora
