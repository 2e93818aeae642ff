#include "device.h"

#include <gtest/gtest.h>

#include "names.h"
#include "protocol.h"
#include "test_support.h"

namespace readersim {
namespace {

using testing_support::ReadStatusLines;

std::string Bytes(std::size_t size, unsigned seed = 7) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 31 + seed * 17 + i / 251) & 0xFF);
  return data;
}

Reader TestReader() {
  Reader reader;
  reader.internal.size_mib = 1;
  reader.card.size_mib = 1;
  reader.card_present = true;
  for (std::size_t size : {1u, 4095u, 4096u, 4097u, 8192u, 10000u})
    reader.Put({false, "book", "b" + std::to_string(size) + ".rb"}, Bytes(size), {});
  reader.Put({true, "book", "Card [Someone].rb"}, Bytes(3000), {"Card", "Someone", "", "", "", "", "no"});
  reader.Put({false, "system", "config.ini"}, "a=1\n", {});
  return reader;
}

struct Reply {
  bool ok = true;
  std::vector<std::size_t> blocks;
  std::string data;
};

// Reads a reply the way the plugin does: blocks until one is shorter than
// 4096 bytes.
Reply Query(Device& device, const std::string& name) {
  Reply reply;
  Answer answer = device.Call(kCodeQueryStart, std::string(name) + '\0', 4096);
  while (true) {
    reply.ok = reply.ok && answer.ok;
    reply.blocks.push_back(answer.out.size());
    reply.data += answer.out;
    if (!answer.ok || answer.out.size() != kBlockSize) break;
    answer = device.Call(kCodeQueryNext, "", 4096);
  }
  return reply;
}

// The plugin's upload: the start call carries everything, continuations
// repeat the data from offset 4096 on. Gives each call's answer.
std::vector<Answer> Upload(Device& device, const std::string& target, const std::string& data) {
  std::vector<Answer> answers;
  answers.push_back(device.Call(kCodeUploadStart, target + '\0' + data, 0));
  for (std::size_t offset = kBlockSize; offset < data.size() && answers.back().ok; offset += kBlockSize)
    answers.push_back(device.Call(kCodeUploadNext, data.substr(offset, kBlockSize), 0));
  return answers;
}

std::uint64_t Free(Device& device, const char* key) {
  return std::stoull(ReadStatusLines(Query(device, "__STATUS").data)[key].at(0));
}

TEST(DeviceQuery, ServesRepliesInBlocksOf4096) {
  struct Case {
    const char* name;
    std::vector<std::size_t> blocks;
  };
  const Case cases[] = {
      {"\\book\\b1.rb", {1}},
      {"\\book\\b4095.rb", {4095}},
      {"\\book\\b4096.rb", {4096, 0}},  // a full last block is followed by an empty one
      {"\\book\\b4097.rb", {4096, 1}},
      {"\\book\\b8192.rb", {4096, 4096, 0}},
      {"\\book\\b10000.rb", {4096, 4096, 1808}},
      {"\\SM\\book\\Card [Someone].rb", {3000}},
      {"\\system\\config.ini", {4}},
      {"\\book\\missing.rb", {0}},
      {"\\SM\\book\\b1.rb", {0}},  // the card holds no such file
      {"__NOSUCH", {0}},
      {"", {0}},
  };
  Device device(TestReader());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reply reply = Query(device, c.name);
    EXPECT_TRUE(reply.ok);
    EXPECT_EQ(reply.blocks, c.blocks);
    const FileEntry* file = device.reader().Find(ParseDevicePath(c.name).value_or(Location{}));
    if (file) {
      EXPECT_EQ(reply.data, file->data);
    }
    // Once a reply has ended, a further query-next gets an empty block.
    Answer after = device.Call(kCodeQueryNext, "", 4096);
    EXPECT_TRUE(after.ok);
    EXPECT_EQ(after.out.size(), 0u);
  }
}

TEST(DeviceQuery, RoomLimitsEachBlockAndTheRestStaysPending) {
  Device device(TestReader());
  std::string expected = device.reader().Find({false, "book", "b10000.rb"})->data;
  Answer first = device.Call(kCodeQueryStart, std::string("\\book\\b10000.rb") + '\0', 1000);
  ASSERT_TRUE(first.ok);
  EXPECT_EQ(first.out, expected.substr(0, 1000));
  Answer second = device.Call(kCodeQueryNext, "", 100000);
  EXPECT_EQ(second.out, expected.substr(1000, 4096));
  // A new query replaces what was pending.
  Answer other = device.Call(kCodeQueryStart, std::string("\\book\\b1.rb") + '\0', 4096);
  EXPECT_EQ(other.out.size(), 1u);
  EXPECT_EQ(device.Call(kCodeQueryNext, "", 4096).out.size(), 0u);
  // A name without its NUL is taken whole; input after the NUL is ignored.
  EXPECT_EQ(device.Call(kCodeQueryStart, "\\book\\b1.rb", 4096).out.size(), 1u);
  EXPECT_EQ(device.Call(kCodeQueryStart, std::string("\\book\\b1.rb\0junk", 16), 4096).out.size(), 1u);
  // A dropped connection forgets the pending reply.
  device.Call(kCodeQueryStart, std::string("\\book\\b8192.rb") + '\0', 4096);
  device.Disconnect();
  EXPECT_EQ(device.Call(kCodeQueryNext, "", 4096).out.size(), 0u);
}

TEST(DeviceQuery, CardRequestsWithoutACardGetNothing) {
  Reader reader = TestReader();
  reader.card_present = false;
  Device device(reader);
  EXPECT_EQ(Query(device, "__SMDIR").blocks, std::vector<std::size_t>{0});
  EXPECT_EQ(Query(device, "\\SM\\book\\Card [Someone].rb").blocks, std::vector<std::size_t>{0});
  EXPECT_GT(Query(device, "__DIR").data.size(), 0u);
  EXPECT_EQ(Query(device, "__TITLES").data.find("\\SM\\"), std::string::npos);
}

TEST(DeviceProbe, AnswersAtMost50BytesAndNeverMoreThanTheRoom) {
  Device device(TestReader());
  Answer wide = device.Call(kCodeProbe, "", 50);
  EXPECT_TRUE(wide.ok);
  EXPECT_GT(wide.out.size(), 0u);
  EXPECT_LE(wide.out.size(), 50u);
  EXPECT_EQ(device.Call(kCodeProbe, "", 4).out.size(), 4u);
  EXPECT_EQ(device.Call(kCodeProbe, "", 0).out.size(), 0u);
}

TEST(DeviceUpload, StoresTheDataOnceAfterTheLastContinuation) {
  Device device(TestReader());
  std::uint64_t free_before = Free(device, "FLASHFREE");
  std::string data = Bytes(10000, 3);
  const std::string target = "\\book\\The Sea Road [Ann Other].rb";

  Answer start = device.Call(kCodeUploadStart, target + '\0' + data, 0);
  ASSERT_TRUE(start.ok) << start.note;
  Answer middle = device.Call(kCodeUploadNext, data.substr(4096, 4096), 0);
  ASSERT_TRUE(middle.ok) << middle.note;
  EXPECT_EQ(device.reader().Find({false, "book", "The Sea Road [Ann Other].rb"}), nullptr)
      << "committed before the data was repeated";
  Answer last = device.Call(kCodeUploadNext, data.substr(8192), 0);
  ASSERT_TRUE(last.ok) << last.note;

  Reply back = Query(device, target);
  EXPECT_EQ(back.data, data);
  EXPECT_EQ(Free(device, "FLASHFREE"), free_before - 10000);
  std::string titles = Query(device, "__TITLES").data;
  EXPECT_NE(titles.find("title=\"The Sea Road\" author=\"Ann Other\" filename=\"" + target +
                        "\" size=\"10000\""),
            std::string::npos)
      << titles;
  // A continuation after the commit belongs to no upload.
  Answer stray = device.Call(kCodeUploadNext, data.substr(0, 10), 0);
  EXPECT_FALSE(stray.ok);
  EXPECT_EQ(stray.error, kErrorInvalidParameter);
}

TEST(DeviceUpload, SmallUploadsCommitAtOnceAndReplaceTheirNamesake) {
  struct Case {
    const char* label;
    std::string target;
    std::size_t size;
    bool card;
  };
  const Case cases[] = {
      {"one byte", "\\book\\tiny.rb", 1, false},
      {"exactly one block", "\\book\\block.rb", 4096, false},
      {"one block onto the card", "\\SM\\book\\block.rb", 4096, true},
      {"a file that is no book", "\\system\\config.ini", 20, false},
      {"a name in Windows-1252", "\\book\\Caf\xe9 \x80 \x93x\x94 \x96.rb", 10, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Device device(TestReader());
    const char* key = c.card ? "SM_FLASHFREE" : "FLASHFREE";
    Location where = *ParseDevicePath(c.target);
    const FileEntry* old = device.reader().Find(where);
    std::uint64_t expected_free = Free(device, key) + (old ? old->data.size() : 0) - c.size;
    std::string data = Bytes(c.size, 5);
    std::vector<Answer> answers = Upload(device, c.target, data);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_TRUE(answers[0].ok) << answers[0].note;
    EXPECT_EQ(Query(device, c.target).data, data);
    EXPECT_EQ(Free(device, key), expected_free);
  }
}

TEST(DeviceUpload, RefusesWhatItCannotStore) {
  struct Case {
    const char* label;
    std::string input;
    std::uint32_t error;
  };
  const std::string one_mib(1u << 20, 'x');
  const Case cases[] = {
      {"no NUL after the name", "\\book\\x.rb", kErrorInvalidName},
      {"name longer than any target", std::string(2000, 'a') + '\0' + "data", kErrorInvalidName},
      {"relative target", std::string("book\\x.rb") + '\0' + "data", kErrorInvalidName},
      {"folder inside a folder", std::string("\\book\\a\\x.rb") + '\0' + "data", kErrorInvalidName},
      {"quote in the name", std::string("\\book\\a\"b.rb") + '\0' + "data", kErrorInvalidName},
      {"empty file", std::string("\\book\\x.rb") + '\0', kErrorInvalidData},
      {"larger than the free memory", "\\book\\big.rb" + std::string(1, '\0') + one_mib, kErrorDiskFull},
      {"card missing", std::string("\\SM\\book\\x.rb") + '\0' + "data", kErrorNotReady},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Reader reader = TestReader();
    reader.card_present = std::string(c.label) != "card missing";
    Device device(reader);
    std::string titles_before = Query(device, "__TITLES").data;
    std::string dir_before = Query(device, "__DIR").data;
    Answer answer = device.Call(kCodeUploadStart, c.input, 0);
    EXPECT_FALSE(answer.ok);
    EXPECT_EQ(answer.error, c.error) << answer.note;
    EXPECT_EQ(Query(device, "__TITLES").data, titles_before);
    EXPECT_EQ(Query(device, "__DIR").data, dir_before);
  }
}

TEST(DeviceUpload, AMismatchingContinuationDropsTheUpload) {
  struct Case {
    const char* label;
    std::size_t corrupt_block;  // index of the continuation that differs
    std::string replacement;    // its bytes, or empty to flip one byte
    std::uint32_t error;
  };
  const Case cases[] = {
      {"first continuation differs", 0, "", kErrorCrc},
      {"last continuation differs", 1, "", kErrorCrc},
      {"continuation longer than a block", 0, std::string(4097, 'x'), kErrorInvalidParameter},
      {"empty continuation", 0, std::string(), kErrorInvalidParameter},
  };
  std::string data = Bytes(10000, 9);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Device device(TestReader());
    ASSERT_TRUE(device.Call(kCodeUploadStart, "\\book\\x.rb" + std::string(1, '\0') + data, 0).ok);
    Answer answer;
    for (std::size_t block = 0; block <= c.corrupt_block; ++block) {
      std::string piece = data.substr(4096 * (block + 1), 4096);
      if (block == c.corrupt_block) {
        if (std::string(c.label) == "empty continuation") {
          piece.clear();
        } else if (c.replacement.empty()) {
          piece[piece.size() / 2] ^= 0x20;
        } else {
          piece = c.replacement;
        }
      }
      answer = device.Call(kCodeUploadNext, piece, 0);
    }
    EXPECT_FALSE(answer.ok);
    EXPECT_EQ(answer.error, c.error) << answer.note;
    // The upload is gone: the correct rest no longer completes it.
    Answer rest = device.Call(kCodeUploadNext, data.substr(8192), 0);
    EXPECT_FALSE(rest.ok);
    EXPECT_EQ(device.reader().Find({false, "book", "x.rb"}), nullptr);
  }
}

TEST(DeviceUpload, AQueryInTheMiddleAbandonsTheUpload) {
  Device device(TestReader());
  std::string data = Bytes(9000);
  ASSERT_TRUE(device.Call(kCodeUploadStart, "\\book\\x.rb" + std::string(1, '\0') + data, 0).ok);
  Query(device, "__STATUS");
  EXPECT_FALSE(device.Call(kCodeUploadNext, data.substr(4096, 4096), 0).ok);
  EXPECT_EQ(device.reader().Find({false, "book", "x.rb"}), nullptr);
}

TEST(DeviceScript, DeltitleRemovesTheTitleAndFreesItsMemory) {
  struct Case {
    const char* label;
    std::string script;
    Location removed;  // empty name: nothing changes
    bool card_present = true;
  };
  const Case cases[] = {
      {"internal book", "CMD!\nDELTITLE book\\b4096.rb\n#/* Erase title */\n", {false, "book", "b4096.rb"}},
      {"card book", "CMD!\nDELTITLE SM\\book\\Card [Someone].rb\n#/* Erase title */\n",
       {true, "book", "Card [Someone].rb"}},
      {"CRLF lines", "CMD!\r\nDELTITLE book\\b1.rb\r\n", {false, "book", "b1.rb"}},
      {"unknown path", "CMD!\nDELTITLE book\\nothing.rb\n", {}},
      {"a file that is no title", "CMD!\nDELTITLE system\\config.ini\n", {}},
      {"leading backslash is no reader path", "CMD!\nDELTITLE \\book\\b1.rb\n", {}},
      {"unknown command", "CMD!\nERASEALL book\\b1.rb\n", {}},
      {"commented out", "CMD!\n#DELTITLE book\\b1.rb\n", {}},
      {"no header", "DELTITLE book\\b1.rb\n", {}},
      {"card book while the card is out", "CMD!\nDELTITLE SM\\book\\Card [Someone].rb\n", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Reader reader = TestReader();
    reader.card_present = c.card_present;
    Device device(reader);
    const char* key = c.removed.card ? "SM_FLASHFREE" : "FLASHFREE";
    std::uint64_t free_before = Free(device, key);
    std::string titles_before = Query(device, "__TITLES").data;
    const FileEntry* file = c.removed.name.empty() ? nullptr : device.reader().Find(c.removed);
    std::size_t size = file ? file->data.size() : 0;

    std::vector<Answer> answers = Upload(device, "__WHATYOUWANT", c.script);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_TRUE(answers[0].ok) << answers[0].note;

    if (c.removed.name.empty()) {
      EXPECT_EQ(Query(device, "__TITLES").data, titles_before);
      EXPECT_EQ(Free(device, key), free_before);
      EXPECT_EQ(device.reader().card.Used(), TestReader().card.Used());
      continue;
    }
    ASSERT_NE(size, 0u);
    EXPECT_EQ(device.reader().Find(c.removed), nullptr);
    EXPECT_EQ(Query(device, "__TITLES").data.find(DevicePath(c.removed)), std::string::npos);
    EXPECT_EQ(Query(device, DevicePath(c.removed)).blocks, std::vector<std::size_t>{0});
    EXPECT_EQ(Free(device, key), free_before + size);
  }
}

TEST(DeviceCalls, UnknownCodesAndInjectedFailuresAnswerFailure) {
  Device device(TestReader());
  for (std::uint32_t code : {0u, 0x222010u, 0x222028u, 0xFFFFFFFFu}) {
    Answer answer = device.Call(code, "anything", 4096);
    EXPECT_FALSE(answer.ok) << code;
    EXPECT_EQ(answer.error, kErrorInvalidFunction) << code;
    EXPECT_TRUE(answer.out.empty()) << code;
  }
  device.FailNext(2, kErrorGenFailure);
  Answer first = device.Call(kCodeProbe, "", 50);
  Answer second = device.Call(kCodeQueryStart, std::string("__STATUS") + '\0', 4096);
  Answer third = device.Call(kCodeProbe, "", 50);
  EXPECT_FALSE(first.ok);
  EXPECT_EQ(first.error, kErrorGenFailure);
  EXPECT_FALSE(second.ok);
  EXPECT_TRUE(second.out.empty());
  EXPECT_TRUE(third.ok);
  // A failed query leaves nothing pending.
  EXPECT_EQ(device.Call(kCodeQueryNext, "", 4096).out.size(), 0u);
}

// Records what the device asks to write and refuses on request.
class FakeWriter : public ImageWriter {
 public:
  bool fail_file = false;
  bool fail_metadata = false;
  std::vector<std::string> calls;

  bool WriteFile(const Location& where, std::string_view, std::string* error) override {
    calls.push_back("file " + ReaderPath(where));
    *error = "disk refused";
    return !fail_file;
  }
  bool RemoveFile(const Location& where, std::string*) override {
    calls.push_back("remove " + ReaderPath(where));
    return true;
  }
  bool WriteMetadata(const Reader&, std::string* error) override {
    calls.push_back("metadata");
    *error = "disk refused";
    return !fail_metadata;
  }
};

TEST(DeviceWriteBack, WritesInTheSafeOrderAndKeepsStateOnRefusal) {
  struct Case {
    const char* label;
    bool fail_file, fail_metadata;
    bool upload_ok, upload_stored;
    std::vector<std::string> upload_calls;
    bool deleted;
    std::vector<std::string> delete_calls;
  };
  const Case cases[] = {
      {"disk takes everything", false, false, true, true, {"file book\\n.rb", "metadata"}, true,
       {"metadata", "remove book\\b1.rb"}},
      {"book file refused", true, false, false, false, {"file book\\n.rb"}, true,
       {"metadata", "remove book\\b1.rb"}},
      // The book file is stored; its title section only lags behind.
      {"reader.ini refused", false, true, true, true, {"file book\\n.rb", "metadata"}, false,
       {"metadata"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    FakeWriter writer;
    writer.fail_file = c.fail_file;
    writer.fail_metadata = c.fail_metadata;
    Device device(TestReader(), &writer);

    std::vector<Answer> upload = Upload(device, "\\book\\n.rb", "new book");
    EXPECT_EQ(upload.back().ok, c.upload_ok);
    if (!c.upload_ok) {
      EXPECT_EQ(upload.back().error, kErrorWriteFault);
    }
    EXPECT_EQ(device.reader().Find({false, "book", "n.rb"}) != nullptr, c.upload_stored);
    EXPECT_EQ(writer.calls, c.upload_calls);

    writer.calls.clear();
    Upload(device, "__WHATYOUWANT", "CMD!\nDELTITLE book\\b1.rb\n");
    EXPECT_EQ(device.reader().Find({false, "book", "b1.rb"}) == nullptr, c.deleted);
    EXPECT_EQ(writer.calls, c.delete_calls);
  }
}

}  // namespace
}  // namespace readersim
