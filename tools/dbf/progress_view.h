// The maintenance routines' events on a terminal: progress lines and messages go to standard
// error. When standard error is a terminal, a percentage line ("+" TAB "TRACKER.DBF - 40%")
// redraws one progress bar in place; otherwise every line is written as it comes.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "tables/maintenance_events.h"

namespace fidora::tool {

class TProgressView : public fidora::TMaintenanceEvents {
 public:
  // `bar` draws percentage lines as a bar; by default when `out` is a terminal.
  explicit TProgressView(std::FILE* out = stderr);
  TProgressView(std::FILE* out, bool bar) : out_(out), bar_(bar) {}
  ~TProgressView() override;

  void Progress(std::string_view text) override;
  void Message(std::string_view text, std::string_view caption) override;
  void Log(std::string_view text) override;

 private:
  void Line(std::string_view text);
  void EndBar();

  std::FILE* out_;
  bool bar_;
  bool bar_shown_ = false;
};

// A percentage line drawn as a bar of `width` cells: "TRACKER.DBF [#####     ]  40%". The text
// is what follows the "+"; a text without a percentage comes back as it is.
std::string ProgressBar(std::string_view text, int width);

}  // namespace fidora::tool
