#include "engine/dbf/open_file_list.h"

#include <cstdlib>

#include "engine/dbf/disk_file.h"

namespace fidora {
namespace {

// Plain pointers so the list outlives every static file object: it is never destroyed.
constinit TDiskFile* g_head = nullptr;
constinit bool g_exit_hook = false;

void CloseAllAtExit() {
  TOpenFileList::CloseAll();
}

}  // namespace

void TOpenFileList::Add(TDiskFile* file) {
  if (!g_exit_hook) {
    g_exit_hook = true;
    std::atexit(CloseAllAtExit);
  }
  file->prev_open_ = nullptr;
  file->next_open_ = g_head;
  if (g_head) g_head->prev_open_ = file;
  g_head = file;
}

void TOpenFileList::Remove(TDiskFile* file) {
  if (file->prev_open_)
    file->prev_open_->next_open_ = file->next_open_;
  else if (g_head == file)
    g_head = file->next_open_;
  if (file->next_open_) file->next_open_->prev_open_ = file->prev_open_;
  file->prev_open_ = file->next_open_ = nullptr;
}

size_t TOpenFileList::Count() {
  size_t n = 0;
  for (TDiskFile* f = g_head; f; f = f->next_open_) ++n;
  return n;
}

void TOpenFileList::CloseAll() {
  // Every file in the list is alive (destroying a file closes it), so its own Close runs:
  // an exclusive table still writes its header.
  while (TDiskFile* file = g_head) {
    try {
      file->Close();
    } catch (...) {
      // Nothing can be reported at exit; the handle is closed below all the same.
    }
    if (g_head == file) file->TDiskFile::Close();
  }
}

}  // namespace fidora
