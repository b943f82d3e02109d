// Maintenance events kept in lists, for tests to compare.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "tables/maintenance_events.h"

namespace fidora::test {

class RecordingEvents : public TMaintenanceEvents {
 public:
  void Progress(std::string_view text) override { progress.emplace_back(text); }
  void Message(std::string_view text, std::string_view caption) override {
    messages.push_back(std::string(caption) + ": " + std::string(text));
  }
  void Log(std::string_view text) override { log.emplace_back(text); }
  void LetEventsRun() override { ++events_run; }

  bool Saw(const std::string& line) const {
    return std::find(progress.begin(), progress.end(), line) != progress.end();
  }

  std::vector<std::string> progress, messages, log;
  int events_run = 0;
};

}  // namespace fidora::test
