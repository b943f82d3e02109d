#include "common/reply_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/wire_text.h"

namespace fidora {
namespace {

using test::operator""_w;

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

const std::string kNowBlock = "B|43|C\r\nTIME|10:00:00\r\nDATE|01/02/2021\r\nSTAT|OK|0\r\n"_w;

std::vector<Case> Cases() {
  constexpr size_t kAll = std::string::npos;
  return {
      {"one-line success",
       "STAT|OK|0\r\n"_w,
       1,
       {"L:STAT|OK|0"_w, "END block=0 lines=1 progress=0 ok=1"},
       kAll},
      {"one-line failure",
       "STAT|Unknown Command - \"FOO\"\r\n"_w,
       1,
       {"L:STAT|Unknown Command - \"FOO\""_w, "END block=0 lines=1 progress=0 ok=0"},
       kAll},
      {"block of three lines",
       kNowBlock,
       1,
       {"L:TIME|10:00:00"_w, "L:DATE|01/02/2021"_w, "L:STAT|OK|0"_w,
        "END block=1 lines=3 progress=0 ok=1"},
       kAll},
      {"progress lines before a one-line reply",
       "PROGRESS|Start Reindex\r\nPROGRESS|+50%\r\nSTAT|OK|12\r\n"_w,
       1,
       {"P:PROGRESS|Start Reindex"_w, "P:PROGRESS|+50%"_w, "L:STAT|OK|12"_w,
        "END block=0 lines=1 progress=2 ok=1"},
       kAll},
      {"progress line before a block",
       "PROGRESS|x\r\n"_w + kNowBlock,
       1,
       {"P:PROGRESS|x"_w, "L:TIME|10:00:00"_w, "L:DATE|01/02/2021"_w, "L:STAT|OK|0"_w,
        "END block=1 lines=3 progress=1 ok=1"},
       kAll},
      {"empty progress text",
       "PROGRESS|\r\nX\r\n"_w,
       1,
       {"P:PROGRESS|"_w, "L:X", "END block=0 lines=1 progress=1 ok=0"},
       kAll},
      {"almost progress",
       "PROGRESSX\r\n",
       1,
       {"L:PROGRESSX", "END block=0 lines=1 progress=0 ok=0"},
       kAll},
      {"short line", "PROG\r\n", 1, {"L:PROG", "END block=0 lines=1 progress=0 ok=0"}, kAll},
      {"reply ended by LF alone",
       "STAT|OK|1\n"_w,
       1,
       {"L:STAT|OK|1"_w, "END block=0 lines=1 progress=0 ok=1"},
       kAll},
      {"CR inside a one-line reply",
       "A\rB\r\n",
       1,
       {"L:A\rB", "END block=0 lines=1 progress=0 ok=0"},
       kAll},
      {"empty one-line reply", "\r\n", 1, {"L:", "END block=0 lines=1 progress=0 ok=0"}, kAll},
      {"block without a final line end",
       "B|5|C\r\nA\r\nBC"_w,
       1,
       {"L:A", "L:BC", "END block=1 lines=2 progress=0 ok=0"},
       kAll},
      {"block lines ended by LF, CR and CR LF",
       "B|7|C\r\nA\nB\rC\r\n"_w,
       1,
       {"L:A", "L:B", "L:C", "END block=1 lines=3 progress=0 ok=0"},
       kAll},
      {"empty line inside a block",
       "B|6|C\r\nA\r\n\r\nB"_w,
       1,
       {"L:A", "L:", "L:B", "END block=1 lines=3 progress=0 ok=0"},
       kAll},
      {"block header with other text",
       "B|3|anything\r\nA\r\n"_w,
       1,
       {"L:A", "END block=1 lines=1 progress=0 ok=0"},
       kAll},
      {"block lines that look like progress and headers",
       "B|31|C\r\nPROGRESS|no\r\nB|2|C\r\nSTAT|OK|0\r\n"_w,
       1,
       {"L:PROGRESS|no"_w, "L:B|2|C"_w, "L:STAT|OK|0"_w, "END block=1 lines=3 progress=0 ok=1"},
       kAll},
      {"success line not last",
       "B|14|C\r\nSTAT|OK|3\r\nX\r\n"_w,
       1,
       {"L:STAT|OK|3"_w, "L:X", "END block=1 lines=2 progress=0 ok=0"},
       kAll},
      {"NUL inside a block",
       "B|4|C\r\nA\0B\n"_w,
       1,
       {std::string("L:A\0B", 5), "END block=1 lines=1 progress=0 ok=0"},
       kAll},
      {"zero length is no header",
       "B|0|C\r\n"_w,
       1,
       {"L:B|0|C"_w, "END block=0 lines=1 progress=0 ok=0"},
       kAll},
      {"length not a number",
       "B|x|C\r\n"_w,
       1,
       {"L:B|x|C"_w, "END block=0 lines=1 progress=0 ok=0"},
       kAll},
      {"empty length", "B||C\r\n"_w, 1, {"L:B||C"_w, "END block=0 lines=1 progress=0 ok=0"}, kAll},
      {"length without its closing bar",
       "B|12\r\n"_w,
       1,
       {"L:B|12"_w, "END block=0 lines=1 progress=0 ok=0"},
       kAll},
      {"nineteen-digit length",
       "B|1234567890123456789|C\r\n"_w,
       1,
       {"L:B|1234567890123456789|C"_w, "END block=0 lines=1 progress=0 ok=0"},
       kAll},
      {"bytes after a one-line reply stay unread",
       "STAT|OK|0\r\nPROGRESS|z\r\n"_w,
       1,
       {"L:STAT|OK|0"_w, "END block=0 lines=1 progress=0 ok=1"},
       11},
      {"file bytes after a block stay unread",
       kNowBlock + "B|9|C\r\nraw"_w,
       1,
       {"L:TIME|10:00:00"_w, "L:DATE|01/02/2021"_w, "L:STAT|OK|0"_w,
        "END block=1 lines=3 progress=0 ok=1"},
       kNowBlock.size()},
      {"several replies in one read",
       "STAT|OK|0\r\n"_w + kNowBlock + "PROGRESS|p\r\nSTAT|x\r\n"_w,
       3,
       {"L:STAT|OK|0"_w, "END block=0 lines=1 progress=0 ok=1", "L:TIME|10:00:00"_w,
        "L:DATE|01/02/2021"_w, "L:STAT|OK|0"_w, "END block=1 lines=3 progress=0 ok=1",
        "P:PROGRESS|p"_w, "L:STAT|x"_w, "END block=0 lines=1 progress=1 ok=0"},
       kAll},
      {"incomplete block", "B|43|C\r\nTIME|10:00:00\r\nDA"_w, 1, {"L:TIME|10:00:00"_w}, kAll},
      {"progress only", "PROGRESS|50%\r\n"_w, 1, {"P:PROGRESS|50%"_w}, kAll},
      {"line without its end", "STAT|OK|0\r"_w, 1, {}, kAll},
      {"block header without its end", "B|3|C"_w, 1, {}, kAll},
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
