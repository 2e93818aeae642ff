#include "bench/full_reader.h"

#include "testing/fake_driver.h"
#include "bench/replies.h"

namespace pagora {

void ServeFullReader(FakeDriver& driver) {
  const std::vector<std::string> names = BookNames(kFullFiles);
  driver.SetReply("__DIR", BookDirReply(names));
  driver.SetReply("__TITLES", TitlesReply(names, kFullTitles));
  driver.SetReply("__STATUS", StatusReply(kFullStatusLines));
  driver.SetReply("__SMDIR", BookDirReply({}));
}

}  // namespace pagora
