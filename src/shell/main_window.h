// TfMain: the operator's main window. Top to bottom: the title, the local address
// (`edtLocalIP`, refreshed whenever the window is shown), the data directory (`ID_Path`) with
// the "..." button (`CM_Path`), the terminals connected on the listed port (`ID_Clients`), the
// last request (`Memo1`) and, below a splitter, the last reply and the log lines (`Memo2`),
// and the status bar (`StatusBar1`: the time of the last one-line reply, and a second panel).
// Menus: "&File" (Options..., &Hide, E&xit), "&Data" (&Reindex, &Delete old records) and
// "Debug" ("Log Transactions").
//
// The notification-area icon appears once the server has started (Started) and shows the
// window again on a double click. Without the icon (no notification area, or a start that
// failed before the icon was shown), "&Hide" minimises the window instead, so that it never
// vanishes. Closing asks the close question; once confirmed the
// listeners close and the event loop ends. The end of the desktop session ends it without
// the question. Ctrl+Shift+End in any of the program's windows hands the crash reporter a
// debug-break report.
#pragma once

#include <QMainWindow>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/text_lines.h"
#include "shell/maintenance_actions.h"

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QSystemTrayIcon;

namespace fidora {

class TServerMain;

inline constexpr char kDesignCaption[] = "Morvex Server";
inline constexpr char kWindowTitle[] = "Frequent Shopper (Global) Server";
inline constexpr char kCloseQuestion[] =
    "Shut down the Frequent Shopper server? \r\nWithout it NONE of the POS system will work "
    "until this program is started again.\r\nPush NO to keep this program active.";
inline constexpr char kCloseCaption[] = "Are You Sure?";
inline constexpr std::size_t kTrayHintLength = 62;

// The icon's hint: the caption, CR LF and "Required for POS system to work.", cut to 62.
std::string TrayHint(std::string_view caption);

struct TMainWindowSetup {
  TServerMain* server = nullptr;      // its listeners close when the window closes
  TMaintenanceActions maintenance;    // what the "&Data" menu runs
  bool tray_available = true;         // whether the desktop has a notification area
  std::optional<std::string> config;  // the configuration file; none when --data-dir is used
};

class TfMain : public QMainWindow {
 public:
  explicit TfMain(TMainWindowSetup setup);
  ~TfMain() override;

  // The deferred start has bound the data: the caption gets the version, the icon its hint,
  // and the icon is shown.
  void Started();

  // What the operator view shows.
  void ShowRequest(const TLines& request);
  void ShowReply(const TLines& reply, bool one_line);
  // A text beginning with "+" replaces the last line of Memo2, any other is added.
  void ShowProgressLine(std::string_view text);
  void AddLogLine(std::string_view text);
  void ClearLog();
  void ShowDataPath(std::string_view path);
  void ShowClients(const std::vector<std::string>& clients);

  // The menu items.
  void OptionsClick();
  void HideClick();
  void ReindexClick();
  void DeleteOldRecordsClick();
  // The "..." button: LocateDataPath, and on success ApplyDataPath.
  void ChangeDataPathClick();
  // The tray icon's double click.
  void ShowFromTray();
  // The desktop session ends: the event loop ends without the close question.
  void EndSession();

  QAction* TxLogItem() const { return mi_tx_log_; }
  QSystemTrayIcon* TrayIcon() const { return tray_icon_.get(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildMenus();
  QWidget* BuildPanes();
  void BuildStatusBar();
  void BuildTrayIcon();

  TMainWindowSetup setup_;
  QLineEdit* edt_local_ip_ = nullptr;
  QLineEdit* id_path_ = nullptr;
  QPushButton* cm_path_ = nullptr;
  QListWidget* id_clients_ = nullptr;
  QPlainTextEdit* memo1_ = nullptr;
  QPlainTextEdit* memo2_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QLabel* panel_time_ = nullptr;
  QLabel* panel_second_ = nullptr;
  QAction* mi_tx_log_ = nullptr;
  std::unique_ptr<QSystemTrayIcon> tray_icon_;
};

}  // namespace fidora
