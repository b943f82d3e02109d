// The real fidora on a real X display (Xvfb, a display of the test's own), after a few
// requests: the main window must be there with its caption and its size, and a screenshot of
// it must show the title, drawn in blue and centred. The picture is kept as
// build/screenshots/fidora-window.png (docs/ holds the copy shown in the README).
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <thread>

#include "support/fidora_process.h"
#include "support/loopback_socket.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

using test::FidoraProcess;
using test::LoopbackSocket;

// An X server of the test's own: Xvfb on the first free display number, which it reports
// through -displayfd once it accepts clients.
class XvfbDisplay {
 public:
  XvfbDisplay() {
    int ready[2];
    if (::pipe(ready) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The read end goes first: it may be descriptor 3 itself.
    posix_spawn_file_actions_addclose(&actions, ready[0]);
    posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = {"/usr/bin/Xvfb", "-displayfd", "3",  "-screen", "0",
                                     "1024x768x24",   "-nolisten",  "tcp"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    char c = 0;
    while (pid_ > 0 && ::poll(&wait, 1, 10000) > 0 && ::read(ready[0], &c, 1) == 1 && c != '\n')
      number += c;
    ::close(ready[0]);
    if (!number.empty()) name_ = ":" + number;
  }
  ~XvfbDisplay() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  // ":N", empty when Xvfb did not start.
  const std::string& Name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

struct TWindowPlace {
  int x = 0, y = 0, width = 0, height = 0;
};

// Where the top-level window with this exact caption is, as the X server tells.
std::optional<TWindowPlace> FindWindow(const std::string& display, const std::string& caption) {
  const test::ProgramResult r =
      test::RunProgram("/usr/bin/xwininfo", {"-display", display, "-name", caption});
  if (r.status != 0) return std::nullopt;
  auto value = [&](const char* label) {
    std::smatch match;
    const std::regex pattern(std::string(label) + ":\\s+(-?\\d+)");
    return std::regex_search(r.out, match, pattern) ? std::stoi(match[1]) : -1;
  };
  return TWindowPlace{value("Absolute upper-left X"), value("Absolute upper-left Y"),
                      value("Width"), value("Height")};
}

// The box around the pure blue pixels of the window's top band, where the title is.
QRect BlueTextBox(const QImage& image) {
  QRect box;
  for (int y = 0; y < std::min(image.height(), 90); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.blue() >= 200 && c.red() <= 60 && c.green() <= 60) box |= QRect(x, y, 1, 1);
    }
  return box;
}

TEST(ScreenshotTest, TheMainWindowAfterAFewRequests) {
  XvfbDisplay display;
  ASSERT_FALSE(display.Name().empty()) << "Xvfb did not start (scripts/setup.sh installs xvfb)";
  ::setenv("DISPLAY", display.Name().c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  ::unsetenv("WAYLAND_DISPLAY");

  test::TempDir root;
  const auto data = root / "shop";
  const test::ProgramResult demo = test::RunProgram(
      std::string(FIDORA_BINARY_DIR) + "/tools/dbf/fidora-dbf", {"demo", data.string()});
  ASSERT_EQ(demo.status, 0) << demo.err;
  std::filesystem::create_directories(root / "run");
  std::filesystem::permissions(root / "run", std::filesystem::perms::owner_all);
  const uint16_t port = test::FreeLoopbackPort();
  FidoraProcess server(root.path(), root / "run",
                       {"--data-dir", data.string(), "--port", std::to_string(port),
                        "--second-port", std::to_string(test::FreeLoopbackPort())});
  ASSERT_TRUE(server.WaitUntilListening(port)) << server.Stderr();

  // The caption carries the version once the deferred start has run.
  const std::string caption = "Fidora : V" FIDORA_EXPECTED_VERSION;
  std::optional<TWindowPlace> place;
  for (int i = 0; i < 300 && !place; ++i) {
    place = FindWindow(display.Name(), caption);
    if (!place) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(place) << server.Stderr();
  EXPECT_EQ(place->width, 560);
  EXPECT_EQ(place->height, 520);

  LoopbackSocket terminal(port);  // stays connected: the client list shows it
  // A one-line reply sets the status bar's time; the last reply stays in the reply pane.
  for (const char* request : {"VERS\xA6"
                              "15.17.23\r\n",
                              "PING\r\n", "NOW\r\n"}) {
    terminal.Send(request);
    EXPECT_FALSE(terminal.ReadReply().empty());
  }

  int argc = 1;
  char name[] = "screenshot_test";
  char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);
  QFont title_font = QGuiApplication::font();
  title_font.setBold(true);
  title_font.setPointSize(title_font.pointSize() + 5);
  const int title_width =
      QFontMetrics(title_font)
          .horizontalAdvance(QStringLiteral("Frequent Shopper (Global) Server"));

  QImage shot;
  QRect title;
  for (int i = 0; i < 100; ++i) {  // until the window has painted
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    shot = QGuiApplication::primaryScreen()
               ->grabWindow(0, place->x, place->y, place->width, place->height)
               .toImage();
    title = BlueTextBox(shot);
    if (std::abs(title.width() - title_width) <= 8) break;
  }
  EXPECT_EQ(shot.size(), QSize(place->width, place->height));
  EXPECT_NEAR(title.width(), title_width, 8);
  EXPECT_GE(title.height(), 8);
  EXPECT_NEAR(title.center().x(), place->width / 2, 6);

  const std::filesystem::path kept = std::filesystem::path(FIDORA_BINARY_DIR) / "screenshots";
  std::filesystem::create_directories(kept);
  EXPECT_TRUE(shot.save(QString::fromStdString((kept / "fidora-window.png").string())));

  terminal.Close();
  server.Signal(SIGTERM);
  EXPECT_EQ(server.Wait(), 0) << server.Stderr();
}

}  // namespace
}  // namespace fidora
