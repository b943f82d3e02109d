// TOpenFileList: the process-wide list of open disk files. Opening adds a file, closing
// removes it; at program end every file still open has its lock released and is closed.
#pragma once

#include <cstddef>

namespace fidora {

class TDiskFile;

class TOpenFileList {
 public:
  static void Add(TDiskFile* file);
  static void Remove(TDiskFile* file);
  static size_t Count();
  // Unlocks and closes every file in the list (also run at exit).
  static void CloseAll();
};

}  // namespace fidora
