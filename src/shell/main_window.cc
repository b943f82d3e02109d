#include "shell/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSessionManager>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTextBlock>
#include <QTime>
#include <QVBoxLayout>

#include "protocol/application_errors.h"
#include "protocol/server_settings.h"
#include "protocol/transaction_log.h"
#include "shell/config_file.h"
#include "shell/delete_old_dialog.h"
#include "shell/local_address.h"
#include "shell/locate_data_path.h"
#include "shell/message_box.h"
#include "shell/operator_event.h"
#include "shell/options_dialog.h"
#include "shell/qt_text.h"
#include "shell/server_end.h"
#include "shell/server_main.h"
#include "shopper/shopper_module.h"

namespace fidora {

namespace {

constexpr int kTimePanelWidth = 180;
constexpr int kSecondPanelWidth = 50;
constexpr QSize kWindowSize(560, 520);

QString JoinLines(const TLines& lines) {
  QString text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += QLatin1Char('\n');
    text += FromProtocolText(lines[i]);
  }
  return text;
}

// The program's icon: a blue square with a white "F", drawn rather than shipped.
QIcon FidoraIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x1f, 0x3f, 0x8f));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(size * 3 / 4);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("F"));
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

QPlainTextEdit* MakeMemo(const char* name) {
  auto* memo = new QPlainTextEdit;
  memo->setObjectName(QLatin1String(name));
  memo->setReadOnly(true);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  return memo;
}

}  // namespace

std::string TrayHint(std::string_view caption) {
  std::string hint = std::string(caption) + "\r\nRequired for POS system to work.";
  if (hint.size() > kTrayHintLength) hint.resize(kTrayHintLength);
  return hint;
}

TfMain::TfMain(TMainWindowSetup setup) : setup_(std::move(setup)) {
  setObjectName(QStringLiteral("fMain"));
  setWindowTitle(QLatin1String(kDesignCaption));
  setWindowIcon(FidoraIcon());
  BuildMenus();
  setCentralWidget(BuildPanes());
  BuildStatusBar();
  BuildTrayIcon();
  resize(kWindowSize);
  // The debug break: a report of where the server is, while it goes on (SIGUSR1 does the same
  // without the window).
  auto* debug_break = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_End), this);
  debug_break->setContext(Qt::ApplicationShortcut);
  connect(debug_break, &QShortcut::activated, this, [] {
    HandleApplicationError("Debug Break Thread", "Debug break by user pressed Ctrl+Shift+End");
  });
  if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    connect(gui, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { EndSession(); });
}

TfMain::~TfMain() {
  if (tray_icon_) tray_icon_->hide();
}

void TfMain::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  connect(file->addAction(QStringLiteral("Options...")), &QAction::triggered, this,
          [this] { OptionsClick(); });
  file->addSeparator();
  connect(file->addAction(QStringLiteral("&Hide")), &QAction::triggered, this,
          [this] { HideClick(); });
  connect(file->addAction(QStringLiteral("E&xit")), &QAction::triggered, this, [this] { close(); });

  QMenu* data_menu = menuBar()->addMenu(QStringLiteral("&Data"));
  connect(data_menu->addAction(QStringLiteral("&Reindex")), &QAction::triggered, this,
          [this] { ReindexClick(); });
  connect(data_menu->addAction(QStringLiteral("&Delete old records")), &QAction::triggered, this,
          [this] { DeleteOldRecordsClick(); });

  QMenu* debug = menuBar()->addMenu(QStringLiteral("Debug"));
  mi_tx_log_ = debug->addAction(QStringLiteral("Log Transactions"));
  mi_tx_log_->setObjectName(QStringLiteral("miTxLog"));
  mi_tx_log_->setCheckable(true);
  mi_tx_log_->setChecked(TransactionLogEnabled());
  connect(mi_tx_log_, &QAction::toggled, this, [](bool on) { SetTransactionLogEnabled(on); });
}

QWidget* TfMain::BuildPanes() {
  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);

  auto* title = new QLabel(QLatin1String(kWindowTitle));
  title->setObjectName(QStringLiteral("lblTitle"));
  QFont font = title->font();
  font.setBold(true);
  font.setPointSize(font.pointSize() + 5);
  title->setFont(font);
  title->setStyleSheet(QStringLiteral("color: #0000ff;"));
  title->setAlignment(Qt::AlignCenter);
  layout->addWidget(title);

  auto* grid = new QGridLayout;
  edt_local_ip_ = new QLineEdit;
  edt_local_ip_->setObjectName(QStringLiteral("edtLocalIP"));
  edt_local_ip_->setReadOnly(true);
  grid->addWidget(new QLabel(QStringLiteral("Local IP:")), 0, 0);
  grid->addWidget(edt_local_ip_, 0, 1, 1, 2);
  id_path_ = new QLineEdit;
  id_path_->setObjectName(QStringLiteral("ID_Path"));
  id_path_->setReadOnly(true);
  cm_path_ = new QPushButton(QStringLiteral("..."));
  cm_path_->setObjectName(QStringLiteral("CM_Path"));
  cm_path_->setFixedWidth(cm_path_->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
  connect(cm_path_, &QPushButton::clicked, this, [this] { ChangeDataPathClick(); });
  grid->addWidget(new QLabel(QStringLiteral("Data:")), 1, 0);
  grid->addWidget(id_path_, 1, 1);
  grid->addWidget(cm_path_, 1, 2);
  layout->addLayout(grid);

  layout->addWidget(new QLabel(QStringLiteral("Clients that are currently connected")));
  id_clients_ = new QListWidget;
  id_clients_->setObjectName(QStringLiteral("ID_Clients"));
  id_clients_->setMaximumHeight(90);
  layout->addWidget(id_clients_);

  memo1_ = MakeMemo("Memo1");
  memo2_ = MakeMemo("Memo2");
  splitter_ = new QSplitter(Qt::Vertical);
  splitter_->setObjectName(QStringLiteral("Splitter1"));
  splitter_->addWidget(memo1_);
  splitter_->addWidget(memo2_);
  splitter_->setChildrenCollapsible(false);
  splitter_->setStretchFactor(0, 1);
  splitter_->setStretchFactor(1, 2);
  layout->addWidget(splitter_, 1);
  return central;
}

void TfMain::BuildStatusBar() {
  statusBar()->setObjectName(QStringLiteral("StatusBar1"));
  statusBar()->setSizeGripEnabled(false);
  panel_time_ = new QLabel;
  panel_time_->setObjectName(QStringLiteral("Panel1"));
  panel_time_->setFixedWidth(kTimePanelWidth);
  panel_time_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel_second_ = new QLabel;
  panel_second_->setObjectName(QStringLiteral("Panel2"));
  panel_second_->setFixedWidth(kSecondPanelWidth);
  panel_second_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  statusBar()->addWidget(panel_time_);
  statusBar()->addWidget(panel_second_);
}

void TfMain::BuildTrayIcon() {
  if (!setup_.tray_available) return;
  tray_icon_ = std::make_unique<QSystemTrayIcon>(windowIcon());
  tray_icon_->setObjectName(QStringLiteral("TrayIcon"));
  connect(tray_icon_.get(), &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::DoubleClick) ShowFromTray();
          });
}

void TfMain::Started() {
  const std::string caption = "Fidora : V" + ServerSettings().Version;
  setWindowTitle(FromProtocolText(caption));
  if (!tray_icon_) return;
  tray_icon_->setToolTip(FromProtocolText(TrayHint(caption)));
  tray_icon_->show();
}

void TfMain::ShowRequest(const TLines& request) {
  memo1_->setPlainText(JoinLines(request));
}

void TfMain::ShowReply(const TLines& reply, bool one_line) {
  memo2_->setPlainText(JoinLines(reply));
  if (one_line) panel_time_->setText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
}

void TfMain::ShowProgressLine(std::string_view text) {
  if (!text.empty() && text.front() == '+') {
    QTextCursor cursor(memo2_->document()->lastBlock());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(FromProtocolText(text));
    return;
  }
  AddLogLine(text);
}

void TfMain::AddLogLine(std::string_view text) {
  memo2_->appendPlainText(FromProtocolText(text));
}

void TfMain::ClearLog() {
  memo2_->clear();
}

void TfMain::ShowDataPath(std::string_view path) {
  id_path_->setText(FromPath(path));
}

void TfMain::ShowClients(const std::vector<std::string>& clients) {
  id_clients_->clear();
  for (const std::string& client : clients) id_clients_->addItem(FromProtocolText(client));
}

void TfMain::OptionsClick() {
  RunOperatorEvent("TfMain.Options1Click", [this] {
    TSDM* sdm = SDM();
    if (!sdm) throw std::runtime_error("The frequent-shopper module is not running");
    TfOptions dialog(sdm->tMorvex, this);
    const TNormalTopMosts normal(&dialog);
    dialog.exec();
  });
}

void TfMain::HideClick() {
  // Hidden only when the icon is there to bring it back.
  if (tray_icon_ && tray_icon_->isVisible())
    hide();
  else
    showMinimized();
}

void TfMain::ReindexClick() {
  RunOperatorEvent("TfMain.Reindex1Click", [this] {
    const std::string error = setup_.maintenance.reindex();
    panel_second_->clear();
    if (!error.empty())
      ShowInfoBox(error, "Reindex Failed");
    else
      ShowInfoBox("Reindex successful!", "Reindex");
  });
}

void TfMain::DeleteOldRecordsClick() {
  RunOperatorEvent("TfMain.DeleteOldRecords1Click", [this] {
    TfDeleteOldData dialog(setup_.maintenance.delete_old_records, this);
    const TNormalTopMosts normal(&dialog);
    if (dialog.exec() == QDialog::Accepted) setup_.maintenance.reindex_after_deletion();
  });
}

void TfMain::ChangeDataPathClick() {
  RunOperatorEvent("TfMain.CM_PathClick", [this] {
    std::optional<TConfigFile> config;
    if (setup_.config) config.emplace(*setup_.config);
    const bool located =
        LocateDataPath(config ? &*config : nullptr,
                       [this](const std::string& dir) { return ChooseTrackerFile(dir, this); });
    if (located) TServerMain::ApplyDataPath();
  });
}

void TfMain::ShowFromTray() {
  showNormal();
  raise();
  activateWindow();
}

void TfMain::EndSession() {
  EndServer();
}

void TfMain::closeEvent(QCloseEvent* event) {
  if (!ServerEnding() && !AskYesNoBox(kCloseQuestion, kCloseCaption)) {
    event->ignore();
    return;
  }
  event->accept();
  if (setup_.server) setup_.server->Close();
  EndServer();
}

void TfMain::showEvent(QShowEvent* event) {
  edt_local_ip_->setText(QString::fromStdString(LocalHostIP()));
  QMainWindow::showEvent(event);
}

}  // namespace fidora
