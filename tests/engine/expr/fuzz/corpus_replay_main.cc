// Replays the fuzz corpus through the fuzz entry point: fidora-expr-corpus-replay DIR...
// Exits 0 when every file ran to its end; a fault ends the program as it would the fuzzer.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "expr_fuzz_target.h"

int main(int argc, char** argv) {
  std::size_t files = 0;
  for (int i = 1; i < argc; ++i) {
    for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream text;
      text << in.rdbuf();
      fidora::test::FuzzOneExpression(text.str());
      ++files;
    }
  }
  std::cout << files << " corpus files replayed\n";
  return files > 0 ? 0 : 1;
}
