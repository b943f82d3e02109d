// libFuzzer entry: every input is a two-byte block choice followed by the bytes of a DBT memo
// file. The memo file is read from memory at the chosen block and at every block of the file,
// then a text is written and read back, which must give the text. Engine errors (EXbError)
// are the expected outcome of bad input; anything else is a fault.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/dbf/memo_file.h"
#include "engine/dbf/xb_error.h"
#include "support/memory_file_io.h"

namespace fidora::test {
namespace {

constexpr uint32_t kMaxBlocks = 64;
const char* const kMemo = "/fuzz/T.dbt";

void Exercise(MemoryFileIo& io, uint32_t chosen) {
  TMemoFile memo(kMemo, false, true, io);
  memo.Open();
  (void)memo.NextFreeBlock();
  const auto blocks = static_cast<uint32_t>(memo.Size() / TMemoFile::kBlockSize);
  for (uint32_t b = 0; b <= std::min(blocks, kMaxBlocks); ++b) (void)memo.ReadMemo(b);
  (void)memo.MemoLength(chosen);
  // A text stored over the chosen block (or moved to the end of the file) reads back whole.
  const std::string text(chosen % 1500, 'x');
  const uint32_t at = memo.WriteMemo(chosen, text);
  const std::string back = memo.ReadMemo(at);
  if (back != text) std::abort();
}

}  // namespace
}  // namespace fidora::test

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fidora;
  if (size < 2) return 0;
  const uint32_t chosen = data[0] | (uint32_t{data[1]} << 8);
  test::MemoryFileIo io(1 << 20);
  io.files[test::kMemo].assign(data + 2, data + size);
  try {
    test::Exercise(io, chosen);
  } catch (const EXbError&) {
  }
  return 0;
}
