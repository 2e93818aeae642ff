#include "bench/full_reader.h"

#include "testing/fake_driver.h"
#include "bench/replies.h"

namespace pagora {

void ServeFullReader(FakeDriver& driver, int scale) {
  const std::size_t bytes = kFullReply * static_cast<std::size_t>(scale);
  const std::vector<std::string> names = BookNames(kFullFiles * scale, bytes);
  driver.SetReply("__DIR", BookDirReply(names));
  driver.SetReply("__TITLES", TitlesReply(names, kFullTitles * scale, bytes));
  driver.SetReply("__STATUS", StatusReply(kFullStatusLines * scale, bytes));
  driver.SetReply("__SMDIR", BookDirReply({}));
}

}  // namespace pagora
