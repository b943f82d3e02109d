#include "tools/dbf/table_progress.h"

#include <fmt/format.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <utility>

namespace fidora::tool {

namespace {
constexpr uint32_t kRecordsWorthABar = 100000;
}  // namespace

TTableProgress::TTableProgress(std::string table_name, bool shown)
    : table_name_(std::move(table_name)),
      view_(shown ? std::make_unique<TProgressView>(stderr, true) : nullptr) {}

void TTableProgress::Notice(int stat1, int stat2, int stat3) {
  if (!view_) return;
  if (stat1 == -1) {
    total_ = stat3;
    percent_ = -1;
    return;
  }
  if (stat1 == 0 || total_ <= 0) return;
  const int percent = static_cast<int>(std::lround(100.0 * stat2 / static_cast<double>(total_)));
  if (percent == percent_) return;
  percent_ = percent;
  view_->Progress(fmt::format("+\t{} - {}%", table_name_, percent));
}

bool WantsProgressBar(uint32_t records) {
  return records > kRecordsWorthABar && ::isatty(STDERR_FILENO) == 1;
}

void ShowProgressOf(TDataSetHandler& table) {
  if (!WantsProgressBar(table.record_count())) return;
  auto progress = std::make_shared<TTableProgress>(
      std::filesystem::path(table.path()).filename().string(), true);
  table.on_status = [progress](int s1, int s2, int s3) { progress->Notice(s1, s2, s3); };
}

void TCheckProgress::BuildFirst() {
  walked_ = 0;
  progress_.Notice(-1, 1, static_cast<int>(table_.RecordCount()));
  table_.BuildFirst();
}

void TCheckProgress::BuildNext() {
  table_.BuildNext();
  progress_.Notice(1, ++walked_, 0);
}

bool TCheckProgress::BuildAtEnd() {
  return table_.BuildAtEnd();
}

}  // namespace fidora::tool
