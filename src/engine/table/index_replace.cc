#include "engine/table/index_replace.h"

#include <fmt/printf.h>

#include <memory>
#include <optional>

#include "engine/dbf/file_names.h"
#include "engine/dbf/xb_error.h"
#include "engine/index/index_disk_storage.h"
#include "engine/index/ntx_file.h"

namespace fidora {

namespace {

// Removes the temporary file unless the replacement went through.
class TemporaryFile {
 public:
  TemporaryFile(FileIo& io, std::string path) : io_(io), path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!kept_) io_.Unlink(path_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  FileIo& io_;
  std::string path_;
  bool kept_ = false;
};

void BuildInto(TIndexTable& table, FileIo& io, const std::string& temp,
               const std::string& file_name, const TIndexDefinition& d) {
  auto storage = std::make_unique<TIndexDiskStorage>(temp, false, true, true, io);
  auto file = TNtxFile::Create(table, std::move(storage), file_name, d.key_expr, d.for_expr,
                               d.unique, d.ascending);
  file->Flush();
}

// Proves that no other open holds the file at path (the guard keeps it so until the rename).
void ClaimExclusiveUse(FileIo& io, const std::string& path, TDiskFile* current,
                       std::optional<TDiskFile>& guard) {
  if (current) {
    if (!current->TryExclusiveUse())
      throw EXbError(XbErrorKind::kAccessDenied, fmt::sprintf("Access denied to file %s", path));
    return;
  }
  if (!io.Exists(path)) return;
  guard.emplace(path, false, false, io);
  guard->Open();
}

}  // namespace

std::string IndexBuildPath(const std::string& path) {
  return path + ".tmp";
}

void ReplaceIndexFile(TIndexTable& table, FileIo& io, const std::string& path,
                      const std::string& file_name, const TIndexDefinition& definition,
                      TDiskFile* current, bool* replaced) {
  *replaced = false;
  const std::string target = ResolveFileName(path, io);
  TemporaryFile temp(io, ResolveFileName(IndexBuildPath(target), io));
  BuildInto(table, io, temp.path(), file_name, definition);
  std::optional<TDiskFile> guard;
  ClaimExclusiveUse(io, target, current, guard);
  if (io.Rename(temp.path(), target) != 0)
    throw EXbError(XbErrorKind::kIO, fmt::sprintf("Error on Rename of file %s", temp.path()));
  temp.Keep();
  *replaced = true;
  // The new name must survive a power cut as well.
  if (io.SyncDirectory(target.substr(0, target.rfind('/') + 1)) != 0)
    throw EXbError(XbErrorKind::kIO, fmt::sprintf("Error on Flush for file %s", target));
}

}  // namespace fidora
