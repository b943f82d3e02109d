// fidora-load: keeps a number of connections to a Fidora server busy with one request and
// reports throughput and latency.
#include <fmt/format.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include "common/request.h"
#include "common/tcp.h"
#include "load/load_options.h"
#include "load/load_request.h"
#include "load/load_run.h"
#include "protocol/cp1252.h"

namespace fidora {
namespace {

constexpr int kAllAnswered = 0;
constexpr int kSomeFailed = 1;
constexpr int kUsageOrConnection = 2;

void Complain(const std::string& message) {
  fmt::print(stderr, "fidora-load: {}\n", message);
}

std::string Count(long long n, const char* one, const char* many) {
  return fmt::format("{} {}", n, n == 1 ? one : many);
}

// Each connection needs a descriptor; lift the soft limit when the default is too low.
void AllowDescriptors(int connections) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  const rlim_t wanted = static_cast<rlim_t>(connections) + 32;
  if (limit.rlim_cur >= wanted) return;
  limit.rlim_cur = std::min(wanted, limit.rlim_max);
  ::setrlimit(RLIMIT_NOFILE, &limit);
}

// `expected` is what the last line of a successful reply begins with, as the user typed it.
void ReportProblems(const LoadRun& run, const LoadTotals& totals, const std::string& expected) {
  const LoadProblems& problems = run.problems();
  if (problems.connect_failures > 0) {
    Complain(fmt::format("{} could not be made: {}",
                         Count(problems.connect_failures, "connection", "connections"),
                         problems.connect_reason));
  }
  if (problems.broken_connections > 0) {
    Complain(fmt::format("{} broke: {}",
                         Count(problems.broken_connections, "connection", "connections"),
                         problems.break_reason));
  }
  if (problems.timed_out) {
    Complain(fmt::format("stopped at the time limit with {} unanswered",
                         Count(problems.unanswered, "request", "requests")));
  }
  if (totals.replies > totals.successful) {
    Complain(fmt::format("{} did not end with {}",
                         Count(totals.replies - totals.successful, "reply", "replies"), expected));
  }
}

int Run(const LoadOptions& options) {
  std::string error;
  auto request = MakeRequest(options.line, std::cin, error);
  if (!request) {
    Complain(error);
    return kUsageOrConnection;
  }
  LoadRequest load_request(std::move(*request), options.line == "-");
  if (load_request.HasNumber() != options.has_range) {
    Complain(options.has_range ? "--range needs {n} in the request"
                               : "{n} in the request needs --range A-B");
    return kUsageOrConnection;
  }
  if (options.has_range) load_request.SetRange(options.range_first, options.range_last);
  auto endpoint = ResolveTcp(options.host, options.port, error);
  if (!endpoint) {
    Complain(error);
    return kUsageOrConnection;
  }
  std::optional<std::string> success = std::string();
  if (!options.expect.empty()) success = ToCp1252(options.expect, error);
  if (!success) {
    Complain("--expect: " + error);
    return kUsageOrConnection;
  }
  AllowDescriptors(options.connections);
  LoadRun run(std::move(*endpoint), std::move(load_request), options.connections, options.requests,
              options.timeout_ms, std::move(*success));
  run.Run();
  LoadTotals& totals = run.totals();
  const long long successful = totals.successful;
  std::fputs((FormatSummary(totals) + "\n").c_str(), stdout);
  std::fflush(stdout);
  ReportProblems(run, totals, options.expect.empty() ? "STAT\xC2\xA6OK\xC2\xA6" : options.expect);
  if (!run.connected_once()) return kUsageOrConnection;
  return successful == options.requests ? kAllAnswered : kSomeFailed;
}

}  // namespace
}  // namespace fidora

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  std::string error;
  const auto options = fidora::ParseLoadOptions(argc - 1, argv + 1, error);
  if (!options) {
    fidora::Complain(error);
    std::fputs(fidora::kLoadUsage, stderr);
    return fidora::kUsageOrConnection;
  }
  if (options->help) {
    std::fputs(fidora::kLoadUsage, stdout);
    return 0;
  }
  return fidora::Run(*options);
}
