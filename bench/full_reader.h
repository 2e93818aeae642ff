// The reader the parser and listing benchmarks talk to: every reply the
// listing asks for is as large as the plugin reads.
#pragma once

namespace pagora {

class FakeDriver;

constexpr int kFullTitles = 600;        // title lines in the "__TITLES" reply
constexpr int kFullFiles = 1000;        // book files in "book" in the "__DIR" reply
constexpr int kFullStatusLines = 1500;  // key lines in "__STATUS" after the reader's own
constexpr int kReaderStatusKeys = 11;   // the reader's own keys in front of them

// Serves "__DIR" (kFullFiles book files), "__TITLES" (kFullTitles titles,
// each naming one of those files), "__STATUS" (65,536 bytes each) and an
// "__SMDIR" with an empty "book" directory. With a `scale`, each reply is
// that many times as long and holds that many times the lines.
void ServeFullReader(FakeDriver& driver, int scale = 1);

}  // namespace pagora
