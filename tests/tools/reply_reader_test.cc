#include "common/reply_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace fidora {
namespace {

// Writes down what the reader reports: "P:" progress lines, "L:" reply lines and one "END …"
// entry per complete reply.
class Transcript : public ReplyListener {
 public:
  void OnProgress(std::string_view piece, bool line_end) override { Add("P:", piece, line_end); }
  void OnReplyLine(std::string_view piece, bool line_end) override { Add("L:", piece, line_end); }

  void Add(const char* kind, std::string_view piece, bool line_end) {
    if (!open_kind_.empty() && open_kind_ != kind) entries.push_back("MIXED " + line_);
    open_kind_ = kind;
    line_ += piece;
    if (!line_end) return;
    entries.push_back(open_kind_ + line_);
    line_.clear();
    open_kind_.clear();
  }

  std::vector<std::string> entries;

 private:
  std::string open_kind_;
  std::string line_;
};

std::string End(const ReplyInfo& info) {
  return "END block=" + std::to_string(info.block) + " lines=" + std::to_string(info.lines) +
         " progress=" + std::to_string(info.progress_lines) + " ok=" + std::to_string(info.ok);
}

struct Outcome {
  std::vector<std::string> entries;
  size_t consumed = 0;
  bool operator==(const Outcome&) const = default;
};

// Feeds the segments one after another, starting a new reply after each complete one, until
// `replies` replies are complete or the bytes run out.
Outcome Read(const std::vector<std::string>& segments, size_t replies, bool with_listener) {
  ReplyReader reader;
  Transcript transcript;
  Outcome outcome;
  size_t done = 0;
  for (const std::string& segment : segments) {
    size_t pos = 0;
    while (pos < segment.size() && done < replies) {
      const size_t used =
          reader.Feed(std::string_view(segment).substr(pos), with_listener ? &transcript : nullptr);
      if (!reader.complete()) {
        EXPECT_EQ(used, segment.size() - pos) << "stopped inside a reply";
      }
      pos += used;
      outcome.consumed += used;
      if (reader.complete()) {
        transcript.entries.push_back(End(reader.info()));
        reader.Reset();
        ++done;
      }
    }
  }
  outcome.entries = transcript.entries;
  return outcome;
}

// The ways of cutting the bytes into reads: at once, byte by byte, every cut in two, and a few
// random cuttings.
std::vector<std::vector<std::string>> Segmentations(const std::string& bytes) {
  std::vector<std::vector<std::string>> all;
  all.push_back({bytes});
  std::vector<std::string> single;
  for (char c : bytes) single.emplace_back(1, c);
  all.push_back(single);
  for (size_t cut = 1; cut < bytes.size(); ++cut) {
    all.push_back({bytes.substr(0, cut), bytes.substr(cut)});
  }
  std::mt19937 random(12345);
  for (int round = 0; round < 20; ++round) {
    std::vector<std::string> pieces;
    for (size_t pos = 0; pos < bytes.size();) {
      const size_t length = std::uniform_int_distribution<size_t>(1, 7)(random);
      pieces.push_back(bytes.substr(pos, length));
      pos += length;
    }
    all.push_back(pieces);
  }
  return all;
}

struct Case {
  const char* name;
  std::string bytes;
  size_t replies;  // replies to read
  std::vector<std::string> entries;
  size_t consumed;  // npos: all of the bytes
};

const std::string kNowBlock = "B\xA6" "43\xA6" "C\r\nTIME\xA6" "10:00:00\r\nDATE\xA6" "01/02/2021\r\nSTAT\xA6OK\xA6" "0\r\n";

std::vector<Case> Cases() {
  constexpr size_t kAll = std::string::npos;
  return {
      {"one-line success", "STAT\xA6OK\xA6" "0\r\n", 1,
       {"L:STAT\xA6OK\xA6" "0", "END block=0 lines=1 progress=0 ok=1"}, kAll},
      {"one-line failure", "STAT\xA6Unknown Command - \"FOO\"\r\n", 1,
       {"L:STAT\xA6Unknown Command - \"FOO\"", "END block=0 lines=1 progress=0 ok=0"}, kAll},
      {"block of three lines", kNowBlock, 1,
       {"L:TIME\xA6" "10:00:00", "L:DATE\xA6" "01/02/2021", "L:STAT\xA6OK\xA6" "0",
        "END block=1 lines=3 progress=0 ok=1"}, kAll},
      {"progress lines before a one-line reply",
       "PROGRESS\xA6Start Reindex\r\nPROGRESS\xA6+50%\r\nSTAT\xA6OK\xA6" "12\r\n", 1,
       {"P:PROGRESS\xA6Start Reindex", "P:PROGRESS\xA6+50%", "L:STAT\xA6OK\xA6" "12",
        "END block=0 lines=1 progress=2 ok=1"}, kAll},
      {"progress line before a block", "PROGRESS\xA6x\r\n" + kNowBlock, 1,
       {"P:PROGRESS\xA6x", "L:TIME\xA6" "10:00:00", "L:DATE\xA6" "01/02/2021", "L:STAT\xA6OK\xA6" "0",
        "END block=1 lines=3 progress=1 ok=1"}, kAll},
      {"empty progress text", "PROGRESS\xA6\r\nX\r\n", 1,
       {"P:PROGRESS\xA6", "L:X", "END block=0 lines=1 progress=1 ok=0"}, kAll},
      {"almost progress", "PROGRESSX\r\n", 1, {"L:PROGRESSX", "END block=0 lines=1 progress=0 ok=0"}, kAll},
      {"short line", "PROG\r\n", 1, {"L:PROG", "END block=0 lines=1 progress=0 ok=0"}, kAll},
      {"reply ended by LF alone", "STAT\xA6OK\xA6" "1\n", 1,
       {"L:STAT\xA6OK\xA6" "1", "END block=0 lines=1 progress=0 ok=1"}, kAll},
      {"CR inside a one-line reply", "A\rB\r\n", 1, {"L:A\rB", "END block=0 lines=1 progress=0 ok=0"}, kAll},
      {"empty one-line reply", "\r\n", 1, {"L:", "END block=0 lines=1 progress=0 ok=0"}, kAll},
      {"block without a final line end", "B\xA6" "5\xA6" "C\r\nA\r\nBC", 1,
       {"L:A", "L:BC", "END block=1 lines=2 progress=0 ok=0"}, kAll},
      {"block lines ended by LF, CR and CR LF", "B\xA6" "7\xA6" "C\r\nA\nB\rC\r\n", 1,
       {"L:A", "L:B", "L:C", "END block=1 lines=3 progress=0 ok=0"}, kAll},
      {"empty line inside a block", "B\xA6" "6\xA6" "C\r\nA\r\n\r\nB", 1,
       {"L:A", "L:", "L:B", "END block=1 lines=3 progress=0 ok=0"}, kAll},
      {"block header with other text", "B\xA6" "3\xA6" "anything\r\nA\r\n", 1,
       {"L:A", "END block=1 lines=1 progress=0 ok=0"}, kAll},
      {"block lines that look like progress and headers",
       "B\xA6" "31\xA6" "C\r\nPROGRESS\xA6no\r\nB\xA6" "2\xA6" "C\r\nSTAT\xA6OK\xA6" "0\r\n", 1,
       {"L:PROGRESS\xA6no", "L:B\xA6" "2\xA6" "C", "L:STAT\xA6OK\xA6" "0",
        "END block=1 lines=3 progress=0 ok=1"}, kAll},
      {"success line not last", "B\xA6" "14\xA6" "C\r\nSTAT\xA6OK\xA6" "3\r\nX\r\n", 1,
       {"L:STAT\xA6OK\xA6" "3", "L:X", "END block=1 lines=2 progress=0 ok=0"}, kAll},
      {"NUL inside a block", std::string("B\xA6" "4\xA6" "C\r\nA\0B\n", 11), 1,
       {std::string("L:A\0B", 5), "END block=1 lines=1 progress=0 ok=0"}, kAll},
      {"zero length is no header", "B\xA6" "0\xA6" "C\r\n", 1,
       {"L:B\xA6" "0\xA6" "C", "END block=0 lines=1 progress=0 ok=0"}, kAll},
      {"length not a number", "B\xA6x\xA6" "C\r\n", 1,
       {"L:B\xA6x\xA6" "C", "END block=0 lines=1 progress=0 ok=0"}, kAll},
      {"empty length", "B\xA6\xA6" "C\r\n", 1,
       {"L:B\xA6\xA6" "C", "END block=0 lines=1 progress=0 ok=0"}, kAll},
      {"length without its closing bar", "B\xA6" "12\r\n", 1,
       {"L:B\xA6" "12", "END block=0 lines=1 progress=0 ok=0"}, kAll},
      {"nineteen-digit length", "B\xA6" "1234567890123456789\xA6" "C\r\n", 1,
       {"L:B\xA6" "1234567890123456789\xA6" "C", "END block=0 lines=1 progress=0 ok=0"}, kAll},
      {"bytes after a one-line reply stay unread", "STAT\xA6OK\xA6" "0\r\nPROGRESS\xA6z\r\n", 1,
       {"L:STAT\xA6OK\xA6" "0", "END block=0 lines=1 progress=0 ok=1"}, 11},
      {"file bytes after a block stay unread", kNowBlock + "B\xA6" "9\xA6" "C\r\nraw", 1,
       {"L:TIME\xA6" "10:00:00", "L:DATE\xA6" "01/02/2021", "L:STAT\xA6OK\xA6" "0",
        "END block=1 lines=3 progress=0 ok=1"}, kNowBlock.size()},
      {"several replies in one read",
       "STAT\xA6OK\xA6" "0\r\n" + kNowBlock + "PROGRESS\xA6p\r\nSTAT\xA6x\r\n", 3,
       {"L:STAT\xA6OK\xA6" "0", "END block=0 lines=1 progress=0 ok=1", "L:TIME\xA6" "10:00:00",
        "L:DATE\xA6" "01/02/2021", "L:STAT\xA6OK\xA6" "0", "END block=1 lines=3 progress=0 ok=1",
        "P:PROGRESS\xA6p", "L:STAT\xA6x", "END block=0 lines=1 progress=1 ok=0"}, kAll},
      {"incomplete block", "B\xA6" "43\xA6" "C\r\nTIME\xA6" "10:00:00\r\nDA", 1,
       {"L:TIME\xA6" "10:00:00"}, kAll},
      {"progress only", "PROGRESS\xA6" "50%\r\n", 1, {"P:PROGRESS\xA6" "50%"}, kAll},
      {"line without its end", "STAT\xA6OK\xA6" "0\r", 1, {}, kAll},
      {"block header without its end", "B\xA6" "3\xA6" "C", 1, {}, kAll},
  };
}

TEST(ReplyReader, CutsRepliesHoweverTheBytesAreSegmented) {
  for (const Case& c : Cases()) {
    const size_t consumed = c.consumed == std::string::npos ? c.bytes.size() : c.consumed;
    const Outcome expected{c.entries, consumed};
    for (const auto& segments : Segmentations(c.bytes)) {
      const Outcome outcome = Read(segments, c.replies, true);
      ASSERT_EQ(outcome, expected) << c.name << ", in " << segments.size() << " reads";
    }
  }
}

// The load tool reads without a listener; completion and the reply's facts must not depend on it.
TEST(ReplyReader, GivesTheSameRepliesWithoutAListener) {
  for (const Case& c : Cases()) {
    for (const auto& segments : Segmentations(c.bytes)) {
      Outcome with = Read(segments, c.replies, true);
      const Outcome without = Read(segments, c.replies, false);
      std::erase_if(with.entries, [](const std::string& e) { return e.rfind("END", 0) != 0; });
      ASSERT_EQ(without, with) << c.name;
    }
  }
}

TEST(ReplyReader, ReportsTheAnnouncedBlockLength) {
  ReplyReader reader;
  ASSERT_EQ(reader.Feed(kNowBlock, nullptr), kNowBlock.size());
  ASSERT_TRUE(reader.complete());
  EXPECT_EQ(reader.info().block_length, 43u);
  reader.Reset();
  EXPECT_FALSE(reader.complete());
  EXPECT_EQ(reader.info().lines, 0u);
}

}  // namespace
}  // namespace fidora
