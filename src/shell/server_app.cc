#include "shell/server_app.h"

#include <fmt/format.h>
#include <malloc.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "engine/table/alias_table.h"
#include "engine/table/engine_questions.h"
#include "protocol/application_errors.h"
#include "protocol/operator_view.h"
#include "protocol/server_settings.h"
#include "protocol/status_log.h"
#include "protocol/transaction_log.h"
#include "shell/config_file.h"
#include "shell/crash_report.h"
#include "shell/data_path.h"
#include "shell/display_probe.h"
#include "shell/headless_console.h"
#include "shell/instance_guard.h"
#include "shell/journal_line.h"
#include "shell/operator_window.h"
#include "shell/options.h"
#include "shell/server_config.h"
#include "shell/server_end.h"
#include "shell/server_main.h"
#include "shell/version.h"
#include "shopper/shopper_module.h"
#include "tables/data_module.h"

namespace fidora {

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitNoDataPath = 2;

int signal_pipe[2] = {-1, -1};

extern "C" void OnSignal(int number) {
  const unsigned char byte = static_cast<unsigned char>(number);
  [[maybe_unused]] const ssize_t ignored = ::write(signal_pipe[1], &byte, 1);
}

// Turns SIGTERM and SIGINT into an orderly end of the event loop, and SIGUSR1 (the debug break)
// into an error report; the handlers only write to a pipe that the event loop watches.
class TSignalWatcher {
 public:
  explicit TSignalWatcher(TCrashReporter& crash) : crash_(crash) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signal_pipe) != 0)
      throw std::runtime_error("cannot create the signal pipe");
    notifier_ = std::make_unique<QSocketNotifier>(signal_pipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Drain(); });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGINT, SIGUSR1}) ::sigaction(number, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
  }
  ~TSignalWatcher() {
    for (int number : {SIGTERM, SIGINT, SIGUSR1}) std::signal(number, SIG_DFL);
    notifier_.reset();
    ::close(signal_pipe[0]);
    ::close(signal_pipe[1]);
  }
  TSignalWatcher(const TSignalWatcher&) = delete;
  TSignalWatcher& operator=(const TSignalWatcher&) = delete;

 private:
  void Drain() {
    unsigned char byte = 0;
    if (::read(signal_pipe[0], &byte, 1) != 1) return;
    if (byte == SIGUSR1) {
      crash_.Report("Debug Break Thread", "Debug break by user pressed Ctrl+Shift+End");
    } else {
      EndServer();
    }
  }

  TCrashReporter& crash_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

// A window needs a display that answers: without one (none named, or the X server or
// compositor named is gone) the server runs headless rather than let Qt abort the start.
bool DisplayAvailable() {
  std::string why_not;
  if (DisplayReachable(why_not)) return true;
  if (!why_not.empty())
    fmt::print(stderr, "fidora: no display answers at {}; running without a window\n", why_not);
  return false;
}

bool FindDataPath(const TOptions& options, std::string& config_path) {
  if (options.data_dir) return SetDataPath(std::filesystem::absolute(*options.data_dir).string());
  config_path = ConfigFilePath(options.config_file);
  return LoadDataPath(TConfigFile(config_path));
}

// The engine's OK/Cancel questions, put to the operator as Yes/No ones.
class TEngineQuestionsToOperator : public TxEngineQuestions {
 public:
  TEngineQuestionsToOperator() { SetEngineQuestions(this); }
  ~TEngineQuestionsToOperator() override { SetEngineQuestions(nullptr); }
  TEngineQuestionsToOperator(const TEngineQuestionsToOperator&) = delete;
  TEngineQuestionsToOperator& operator=(const TEngineQuestionsToOperator&) = delete;
  bool ConfirmOkCancel(std::string_view message, std::string_view caption) override {
    return Operator().AskYesNo(message, caption);
  }
};

// The data modules of the running server, reachable as DM() and SDM() while they live.
class TDataModules {
 public:
  TDataModules() {
    SetDM(&dm_);
    SetSDM(&sdm_);
  }
  ~TDataModules() {
    SetSDM(nullptr);
    SetDM(nullptr);
  }
  TDataModules(const TDataModules&) = delete;
  TDataModules& operator=(const TDataModules&) = delete;

 private:
  TDM dm_{SystemFileIo()};
  TSDM sdm_{dm_};
};

// The dataset component's alias table takes the entries of the configuration file's
// "Alias" section.
void LoadAliases(const TOptions& options) {
  for (const auto& [name, directory] :
       TConfigFile(ConfigFilePath(options.config_file)).ReadSection(kConfigSection))
    AddAlias(name, directory);
}

// The connection limits and the terminal access; std::invalid_argument for an access setting
// that cannot be read.
TConnectionLimits LoadConnectionLimits(const TOptions& options) {
  std::vector<std::string> problems;
  const TConfigFile config(ConfigFilePath(options.config_file));
  TConnectionLimits limits = ReadConnectionLimits(config, problems);
  for (const std::string& problem : problems) fmt::print(stderr, "{}\n", problem);
  ReadTerminalAccess(config, options, limits);
  return limits;
}

// Says at every start who may connect: the allowed terminals, or a warning that every machine
// may.
void LogTerminalAccess(const TOptions& options, const TConnectionLimits& limits) {
  if (limits.terminals.Restricted()) {
    StatusLog("Terminals allowed to connect: " + limits.terminals.Text());
    return;
  }
  const std::string warning = OpenAccessWarning(options);
  StatusLog(warning);
  StderrLine(TLinePriority::Warning, warning);
}

void ExplainMissingDataPath(const std::string& config_path) {
  const std::string where =
      config_path.empty() ? "the configuration file (--config FILE)" : config_path;
  if (ServerSettings().DataPath.size() >= kDataPathLength)
    StderrLine(TLinePriority::Error,
               fmt::format("The data directory may have at most {} characters.", kDataPathLength));
  StderrLine(TLinePriority::Error,
             fmt::format("Fidora cannot start: no valid data directory (TRACKER.DBF was not found "
                         "in \"{}\").\nGive the data directory with --data-dir DIR, or set {}=DIR "
                         "in section [{}] of {}.",
                         ServerSettings().DataPath, kConfigKey, kConfigSection, where));
}

}  // namespace

int RunServer(int argc, char** argv) {
  TOptions options;
  try {
    options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::invalid_argument& e) {
    fmt::print(stderr, "fidora: {}\n{}", e.what(), kUsage);
    return kExitFailure;
  }
  if (options.show_help) {
    fmt::print("{}", kUsage);
    return 0;
  }
  if (options.show_version) {
    fmt::print("Fidora V{}\n", VersionString(false));
    return 0;
  }

  // Buffers of a quarter MiB and more (a connection's long request, a large reply) get memory
  // of their own that goes back to the system as soon as they are freed, instead of staying in
  // the heap after a burst.
  ::mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  const bool windowed = !options.headless && DisplayAvailable();
  std::unique_ptr<QCoreApplication> app;
  if (windowed) {
    app = std::make_unique<QApplication>(argc, argv);
    // The window hides to the notification area and dialogs come and go: only the
    // operator's confirmed close or a signal ends the server.
    QApplication::setQuitOnLastWindowClosed(false);
  } else {
    app = std::make_unique<QCoreApplication>(argc, argv);
  }
  // Qt has applied the environment's locale to the C library. Numbers in tables, index keys,
  // expressions and replies are written with "." whatever the shop's language; only the
  // regional date text (LC_TIME) follows the environment.
  std::setlocale(LC_NUMERIC, "C");
  THeadlessConsole console;
  SetOperator(&console);
  const TEngineQuestionsToOperator engine_questions;

  TInstanceGuard guard;
  switch (guard.Acquire()) {
    case TInstanceGuard::TResult::Owned:
      break;
    case TInstanceGuard::TResult::AlreadyRunning:
      Operator().ShowInfo("Fidora is already running.", "Try Alt-TAB");
      if (windowed)
        QMessageBox::information(nullptr, QStringLiteral("Try Alt-TAB"),
                                 QStringLiteral("Fidora is already running."));
      return kExitFailure;
    case TInstanceGuard::TResult::Failed:
      StderrLine(TLinePriority::Error,
                 "Fidora cannot take its single-instance lock " + TInstanceGuard::LockFilePath());
      return kExitFailure;
  }
  ServerSettings().Version = VersionString(false).substr(0, 20);
  SetTransactionLogEnabled(options.log_transactions);

  TCrashReporter crash;
  SetApplicationErrorHandler(
      [&crash](std::string_view where, std::string_view message) { crash.Report(where, message); });
  TSignalWatcher signal_watcher(crash);

  TConnectionLimits limits;
  try {
    limits = LoadConnectionLimits(options);
  } catch (const std::invalid_argument& e) {
    StderrLine(TLinePriority::Error, std::string("Fidora cannot start: ") + e.what());
    return kExitFailure;
  }

  int status = kExitFailure;
  {
    TServerMain main(options.port, options.second_port, limits);
    std::unique_ptr<TOperatorWindow> window;
    if (windowed) window = std::make_unique<TOperatorWindow>(main, options);
    try {
      main.Create();
    } catch (const std::exception& e) {
      const std::string reason = std::string("Fidora cannot start: ") + e.what();
      StderrLine(TLinePriority::Error, reason);
      if (window) Operator().ShowInfo(reason, "Error");  // an operator at a desktop sees no console
      return kExitFailure;
    }
    if (window) window->ShowSplash();
    Operator().ShowProgress("Loading...");
    LoadAliases(options);
    TDataModules modules;
    std::string config_path;
    if (!FindDataPath(options, config_path)) {
      // With a window the operator is asked; a cancelled search ends the server silently.
      if (!window) ExplainMissingDataPath(config_path);
      if (!window || !window->LocateAtStart(options)) return kExitNoDataPath;
    }
    RunGuarded("Startup", [&] {
      crash.SetFolder(ServerSettings().DataPath + "Debug/");
      StatusLog("Fidora Started : V" + ServerSettings().Version);
      LogTerminalAccess(options, limits);
    });
    if (window) window->ShowMain();
    main.PostDeferredStart();
    // A signal taken while the start-up let events run (the splash's progress) has already
    // asked the event loop to end, before there was one to end: Qt forgets such a request.
    status = ServerEnding() ? 0 : QCoreApplication::exec();
    main.Close();
    main.Destroy();
  }
  SetApplicationErrorHandler(nullptr);
  SetOperator(nullptr);
  return status;
}

}  // namespace fidora
