// The operator window under Qt's offscreen platform: real widgets, real listeners on free
// loopback ports, real tables in temporary directories.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDate>
#include <QListWidget>
#include <QSpinBox>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTest>
#include <atomic>
#include <fstream>
#include <thread>

#include "engine/table/xb_create_dataset.h"
#include "engine/table/xb_dataset.h"
#include "protocol/application_errors.h"
#include "protocol/operator_view.h"
#include "protocol/rx_tx.h"
#include "protocol/server_settings.h"
#include "protocol/transaction_log.h"
#include "shell/config_file.h"
#include "shell/delete_old_dialog.h"
#include "shell/locate_data_path.h"
#include "shell/main_window.h"
#include "shell/message_box.h"
#include "shell/options_dialog.h"
#include "shell/qt_text.h"
#include "shell/server_end.h"
#include "shell/server_main.h"
#include "shell/window_operator.h"
#include "shopper/numbering_settings.h"
#include "support/loopback_socket.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "tables/dataset_binding.h"
#include "window_helpers.h"

namespace fidora {
namespace {

using test::ButtonNamed;
using test::LoopbackSocket;
using test::MemoLines;
using test::MenuItem;
using test::Std;
using test::WhenModalShows;
using test::WhenTrue;
using testing::ElementsAre;
using testing::StartsWith;

// What a box showed and the button the test pressed.
struct TBoxSeen {
  std::string caption;
  std::string message;
  bool ok_shown = false, yes_shown = false, no_shown = false;
  Qt::Alignment alignment;
};

TBoxSeen Look(TMyMsgBox& box) {
  TBoxSeen seen;
  seen.caption = Std(box.windowTitle());
  auto* label = box.findChild<QLabel*>(QStringLiteral("lblMessage"));
  seen.message = Std(label->text());
  seen.alignment = label->alignment() & Qt::AlignHorizontal_Mask;
  seen.ok_shown = ButtonNamed(box, QStringLiteral("OK"))->isVisible();
  seen.yes_shown = ButtonNamed(box, QStringLiteral("Yes"))->isVisible();
  seen.no_shown = ButtonNamed(box, QStringLiteral("&No"))->isVisible();
  return seen;
}

// Answers the next box with a key and records what it showed.
void AnswerNextBox(TBoxSeen& seen, Qt::Key key) {
  WhenModalShows<TMyMsgBox>([&seen, key](TMyMsgBox& box) {
    seen = Look(box);
    QTest::keyClick(&box, key);
  });
}

TEST(MessageBoxTest, ShowsTheKindsButtonsCutsLongTextsAndAlignsByLineCount) {
  TBoxSeen seen;
  AnswerNextBox(seen, Qt::Key_Return);
  ShowInfoBox(std::string(250, 'x'), "Long");
  EXPECT_EQ(seen.caption, "Long");
  EXPECT_EQ(seen.message, std::string(200, 'x') + "...");
  EXPECT_TRUE(seen.ok_shown);
  EXPECT_FALSE(seen.yes_shown || seen.no_shown);
  EXPECT_EQ(seen.alignment, Qt::AlignHCenter);

  AnswerNextBox(seen, Qt::Key_Escape);
  ShowInfoBox("one\r\ntwo\r\nthree", "Three lines");
  EXPECT_EQ(seen.message, "one\ntwo\nthree");
  EXPECT_EQ(seen.alignment, Qt::AlignLeft);

  AnswerNextBox(seen, Qt::Key_Return);
  EXPECT_TRUE(AskYesNoBox("one\r\ntwo", "Question"));  // Enter is Yes
  EXPECT_EQ(seen.alignment, Qt::AlignHCenter);
  EXPECT_TRUE(seen.yes_shown && seen.no_shown);
  EXPECT_FALSE(seen.ok_shown);

  AnswerNextBox(seen, Qt::Key_Escape);
  EXPECT_FALSE(AskYesNoBox("Sure?", "Question"));  // Esc is not Yes
  WhenModalShows<TMyMsgBox>([](TMyMsgBox& box) { ButtonNamed(box, "&No")->click(); });
  EXPECT_FALSE(AskYesNoBox("Sure?", "Question"));
}

// Calls `act` once the active modal box is another than `other` (or has the given caption).
void WhenOtherBoxShows(const QWidget* other, const std::string& caption,
                       std::function<void(TMyMsgBox&)> act) {
  auto active = [] { return dynamic_cast<TMyMsgBox*>(QApplication::activeModalWidget()); };
  WhenTrue(
      [=] {
        TMyMsgBox* box = active();
        return box && box->isVisible() && box != other &&
               (caption.empty() || Std(box->windowTitle()) == caption);
      },
      [=] {
        if (TMyMsgBox* box = active()) act(*box);
      });
}

TEST(MessageBoxTest, CallsDuringAMessageGetBoxesOfTheirOwnAndAMessageWaitsForTheFirst) {
  std::vector<std::string> order;
  WhenModalShows<TMyMsgBox>([&](TMyMsgBox& first) {
    // Inside the first box's loop (an event handled meanwhile): a question, then a message.
    WhenOtherBoxShows(&first, "Q", [&](TMyMsgBox& box) {
      order.push_back(first.isVisible() ? "question over the first" : "question alone");
      ButtonNamed(box, "Yes")->click();
    });
    order.push_back(AskYesNoBox("Go on?", "Q") ? "yes" : "no");
    WhenTrue([] { return false; },
             [&] {
               order.push_back("first closed");
               first.accept();
             },
             std::chrono::steady_clock::now() + std::chrono::milliseconds(100));
    WhenOtherBoxShows(nullptr, "Two", [&](TMyMsgBox& box) {
      order.push_back("second shown");
      ButtonNamed(box, "OK")->click();
    });
    ShowInfoBox("Second", "Two");
    order.push_back("second returned");
  });
  ShowInfoBox("First", "One");
  EXPECT_THAT(order, ElementsAre("question over the first", "yes", "first closed", "second shown",
                                 "second returned"));
}

// A settings table Morvex.DBF in a temporary directory, as the point-of-sale programs make it.
using TRows = std::vector<std::pair<std::string, std::string>>;

class SettingsTable {
 public:
  explicit SettingsTable(const TRows& rows = {}) {
    ApplyModuleSettings(dataset);
    dataset.SetDatabaseName(dir_.dir());
    dataset.SetTableName("Morvex.DBF");
    TCreateXbDataSet create;
    create.DBFTable = &dataset;
    create.CreateFields = {"SECTION;C;40;0", "VALUE;C;60;0"};
    create.AutoOverwrite = true;
    create.Execute();
    for (const auto& [section, value] : rows) {
      dataset.Append();
      dataset.FieldByName("SECTION").SetAsString(section);
      dataset.FieldByName("VALUE").SetAsString(value);
      dataset.Post();
    }
    dataset.Close();
  }

  // The rows as an independent DBF reader sees them, "SECTION=VALUE;" each.
  std::string ReadByDbfread() const {
    const test::ProgramResult r = test::RunProgram(
        "/usr/bin/python3",
        {"-c",
         "import sys, dbfread\n"
         "print(''.join('%s=%s;' % (r['SECTION'], r['VALUE']) for r in dbfread.DBF(sys.argv[1])))",
         (dir_ / "Morvex.DBF").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out.substr(0, r.out.find('\n'));
  }

  test::TempDir dir_;
  TXbDataSet dataset;
};

TEST(OptionsDialogTest, WithoutTheRowsShowsUntickedAndZeroAndOkAddsBothRows) {
  SettingsTable table(TRows{{"Shop:Name", "Demo"}});
  {
    TfOptions dialog(table.dataset, nullptr);
    EXPECT_EQ(Std(dialog.windowTitle()), "Options");
    EXPECT_FALSE(dialog.AutoAssign()->isChecked());
    EXPECT_EQ(dialog.StartNumber()->value(), 0);
    EXPECT_FALSE(table.dataset.Active());
    dialog.AutoAssign()->setChecked(true);
    dialog.StartNumber()->setValue(1234);
    ButtonNamed(dialog, "OK")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  }
  EXPECT_FALSE(table.dataset.Active());
  EXPECT_EQ(table.ReadByDbfread(),
            "Shop:Name=Demo;FreqShop:AutoGenNumber=1;FreqShop:AutoGenStart=1234;");

  // Existing rows are read back and edited in place; Cancel writes nothing.
  {
    TfOptions dialog(table.dataset, nullptr);
    EXPECT_TRUE(dialog.AutoAssign()->isChecked());
    EXPECT_EQ(dialog.StartNumber()->value(), 1234);
    dialog.AutoAssign()->setChecked(false);
    dialog.StartNumber()->setValue(-5);
    ButtonNamed(dialog, "Cancel")->click();
  }
  EXPECT_EQ(table.ReadByDbfread(),
            "Shop:Name=Demo;FreqShop:AutoGenNumber=1;FreqShop:AutoGenStart=1234;");
  {
    TfOptions dialog(table.dataset, nullptr);
    dialog.AutoAssign()->setChecked(false);
    dialog.StartNumber()->setValue(-5);
    ButtonNamed(dialog, "OK")->click();
  }
  EXPECT_EQ(table.ReadByDbfread(),
            "Shop:Name=Demo;FreqShop:AutoGenNumber=0;FreqShop:AutoGenStart=-5;");
}

TEST(OptionsDialogTest, RowsThatAreNotOneOrANumberShowUntickedAndZero) {
  SettingsTable table(TRows{{"FreqShop:AutoGenNumber", "yes"}, {"FreqShop:AutoGenStart", "12a"}});
  TfOptions dialog(table.dataset, nullptr);
  EXPECT_FALSE(dialog.AutoAssign()->isChecked());
  EXPECT_EQ(dialog.StartNumber()->value(), 0);
}

TEST(OptionsDialogTest, ATableThatCannotBeOpenedIsShownAndTheDialogStaysOpen) {
  SettingsTable table;
  std::filesystem::remove(table.dir_ / "Morvex.DBF");
  TBoxSeen seen;
  AnswerNextBox(seen, Qt::Key_Return);
  TfOptions dialog(table.dataset, nullptr);
  EXPECT_EQ(seen.caption, "Error");
  EXPECT_THAT(seen.message, testing::HasSubstr("Morvex.DBF"));

  dialog.show();
  AnswerNextBox(seen, Qt::Key_Return);
  ButtonNamed(dialog, "OK")->click();
  EXPECT_EQ(seen.caption, "Error");
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(table.dataset.Active());
}

// A main window over real listeners on free ports, with the operator view installed and
// maintenance routines that report progress like the real ones.
class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest()
      : port_(test::FreeLoopbackPort()),
        second_port_(test::FreeLoopbackPort()),
        server_(port_, second_port_) {
    TMainWindowSetup setup;
    setup.server = &server_;
    setup.tray_available = false;
    // As the table module's routines report: progress through SendProgress, the frame of the
    // operator's reindex through the operator view.
    auto general_reindex = [] {
      SendProgress(nullptr, "Reindex General Data");
      SendProgress(nullptr, "\tCLUB.DBF");
      SendProgress(nullptr, "+\tCLUB.DBF - 50%");
      SendProgress(nullptr, "+\tCLUB.DBF - 100%");
    };
    setup.maintenance.reindex = [this, general_reindex] {
      ++reindex_runs_;
      Operator().ClearLog();
      Operator().AddLogLine("Start Reindex");
      general_reindex();
      Operator().AddLogLine("End Reindex");
      return reindex_error_;
    };
    setup.maintenance.reindex_after_deletion = [this, general_reindex] {
      ++reindex_runs_;
      SendProgress(nullptr, "Reindexing...");
      general_reindex();
      SendProgress(nullptr, "All done.");
    };
    setup.maintenance.delete_old_records = [this](int64_t cutoff) {
      if (delete_fails_) throw std::runtime_error("Access denied to file tracklog.dbf");
      cutoff_ = cutoff;
      SendProgress(nullptr, "Deleting records...");
      SendProgress(nullptr, "+\t1%");
      SendProgress(nullptr, "Packing...");
    };
    window_ = std::make_unique<TfMain>(std::move(setup));
    view_ = std::make_unique<TWindowOperator>(*window_);
    SetOperator(view_.get());
  }
  ~MainWindowTest() override { SetOperator(nullptr); }

  QStringList Memo2() { return MemoLines(*window_, "Memo2"); }

  uint16_t port_, second_port_;
  TServerMain server_;
  std::unique_ptr<TfMain> window_;
  std::unique_ptr<TWindowOperator> view_;
  int reindex_runs_ = 0;
  std::string reindex_error_;
  bool delete_fails_ = false;
  int64_t cutoff_ = 0;
};

TEST_F(MainWindowTest, HasTheMenusPanesAndCaptionOfTheOperatorWindow) {
  EXPECT_EQ(Std(window_->windowTitle()), "Morvex Server");
  std::vector<std::string> menus;
  for (QAction* top : window_->menuBar()->actions()) {
    std::string line = Std(top->text()) + ":";
    for (QAction* item : top->menu()->actions())
      line += item->isSeparator() ? "|--" : "|" + Std(item->text());
    menus.push_back(line);
  }
  EXPECT_THAT(menus, ElementsAre("&File:|Options...|--|&Hide|E&xit",
                                 "&Data:|&Reindex|&Delete old records", "Debug:|Log Transactions"));
  for (const char* name :
       {"edtLocalIP", "ID_Path", "CM_Path", "ID_Clients", "Memo1", "Memo2", "StatusBar1"})
    EXPECT_NE(window_->findChild<QWidget*>(QLatin1String(name)), nullptr) << name;

  QAction* tx_log = window_->TxLogItem();
  EXPECT_TRUE(tx_log->isCheckable());
  EXPECT_FALSE(tx_log->isChecked());
  tx_log->trigger();
  EXPECT_TRUE(TransactionLogEnabled());
  tx_log->trigger();
  EXPECT_FALSE(TransactionLogEnabled());

  ServerSettings().Version = "21.07.26";
  window_->Started();
  EXPECT_EQ(Std(window_->windowTitle()), "Fidora : V21.07.26");
  EXPECT_EQ(TrayHint("Fidora : V21.07.26"),
            "Fidora : V21.07.26\r\nRequired for POS system to work.");
  EXPECT_EQ(TrayHint(std::string(70, 'c')), std::string(62, 'c'));
}

TEST_F(MainWindowTest, ReindexFromTheMenuShowsFramedProgressAndItsResult) {
  window_->show();
  window_->AddLogLine("earlier line");
  TBoxSeen seen;
  AnswerNextBox(seen, Qt::Key_Return);
  MenuItem(*window_, "&Data", "&Reindex")->trigger();
  // "+" lines replace the line before them.
  EXPECT_THAT(Memo2(), ElementsAre("Start Reindex", "Reindex General Data", "+\tCLUB.DBF - 100%",
                                   "End Reindex"));
  EXPECT_EQ(seen.caption, "Reindex");
  EXPECT_EQ(seen.message, "Reindex successful!");

  reindex_error_ = "Failed to re-build index : TRACKLOG.DBF";
  AnswerNextBox(seen, Qt::Key_Return);
  MenuItem(*window_, "&Data", "&Reindex")->trigger();
  EXPECT_EQ(seen.caption, "Reindex Failed");
  EXPECT_EQ(seen.message, reindex_error_);

  // While the window is hidden, progress is not shown, but the frame lines are.
  window_->hide();
  AnswerNextBox(seen, Qt::Key_Return);
  MenuItem(*window_, "&Data", "&Reindex")->trigger();
  window_->show();
  EXPECT_THAT(Memo2(), ElementsAre("Start Reindex", "End Reindex"));
  EXPECT_EQ(reindex_runs_, 3);
}

TEST_F(MainWindowTest, DeleteOldRecordsRunsTheDeletionThenTheReindex) {
  window_->show();
  int64_t shown_date = 0;
  WhenModalShows<TfDeleteOldData>([&](TfDeleteOldData& dialog) {
    EXPECT_EQ(Std(dialog.windowTitle()), "Delete Old Records");
    shown_date = dialog.CutoffDay();
    ButtonNamed(dialog, "Cancel")->click();
  });
  MenuItem(*window_, "&Data", "&Delete old records")->trigger();
  EXPECT_EQ(shown_date, QDate::currentDate().addDays(-730).toJulianDay());
  EXPECT_EQ(reindex_runs_, 0);

  // A failed deletion is shown and keeps the dialog open; the reindex does not run.
  delete_fails_ = true;
  TBoxSeen error;
  WhenModalShows<TfDeleteOldData>([&](TfDeleteOldData& dialog) {
    AnswerNextBox(error, Qt::Key_Return);
    ButtonNamed(dialog, "Delete")->click();
    EXPECT_TRUE(dialog.isVisible());
    ButtonNamed(dialog, "Cancel")->click();
  });
  MenuItem(*window_, "&Data", "&Delete old records")->trigger();
  EXPECT_EQ(error.message, "Access denied to file tracklog.dbf");
  EXPECT_EQ(reindex_runs_, 0);

  delete_fails_ = false;
  const QDate chosen(2020, 2, 29);
  WhenModalShows<TfDeleteOldData>([&](TfDeleteOldData& dialog) {
    dialog.Calendar()->setSelectedDate(chosen);
    ButtonNamed(dialog, "Delete")->click();
  });
  MenuItem(*window_, "&Data", "&Delete old records")->trigger();
  EXPECT_EQ(cutoff_, chosen.toJulianDay());
  EXPECT_EQ(reindex_runs_, 1);
  EXPECT_THAT(Memo2(), ElementsAre("+\t1%", "Packing...", "Reindexing...", "Reindex General Data",
                                   "+\tCLUB.DBF - 100%", "All done."));
}

TEST_F(MainWindowTest, RequestsAndRepliesShowOnlyWhileVisible) {
  window_->show();
  view_->ShowRequest({"NOW"});
  view_->ShowReply({"STAT\xA6Unknown Command - \"X\""}, true);
  EXPECT_THAT(MemoLines(*window_, "Memo1"), ElementsAre("NOW"));
  EXPECT_THAT(Memo2(), ElementsAre("STAT\u00A6Unknown Command - \"X\""));
  auto* time_panel = window_->statusBar()->findChild<QLabel*>(QStringLiteral("Panel1"));
  EXPECT_EQ(time_panel->text().size(), 8);  // hh:mm:ss

  view_->ShowReply({"TIME\xA6x", "STAT\xA6OK\xA6"}, false);
  EXPECT_THAT(Memo2(), ElementsAre("TIME\u00A6x", "STAT\u00A6OK\u00A6"));
  window_->hide();
  EXPECT_FALSE(view_->IsVisible());
}

TEST_F(MainWindowTest, CtrlShiftEndReportsADebugBreakAndTheWindowGoesOn) {
  std::vector<std::string> reports;
  SetApplicationErrorHandler([&](std::string_view where, std::string_view message) {
    reports.push_back(std::string(where) + ": " + std::string(message));
  });
  window_->show();
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  QTest::keyClick(window_.get(), Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
  QTest::keyClick(window_.get(), Qt::Key_End, Qt::ControlModifier);
  SetApplicationErrorHandler(nullptr);
  EXPECT_THAT(reports,
              ElementsAre("Debug Break Thread: Debug break by user pressed Ctrl+Shift+End"));
  EXPECT_TRUE(window_->isVisible());
}

TEST_F(MainWindowTest, HideMinimisesWithoutATrayAndHidesWithOne) {
  window_->show();
  MenuItem(*window_, "&File", "&Hide")->trigger();
  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(window_->isMinimized());

  TMainWindowSetup setup;
  setup.tray_available = true;
  TfMain with_tray(std::move(setup));
  with_tray.show();
  with_tray.Started();
  ASSERT_NE(with_tray.TrayIcon(), nullptr);
  EXPECT_TRUE(with_tray.TrayIcon()->isVisible());
  MenuItem(with_tray, "&File", "&Hide")->trigger();
  EXPECT_FALSE(with_tray.isVisible());
  emit with_tray.TrayIcon()->activated(QSystemTrayIcon::Trigger);
  EXPECT_FALSE(with_tray.isVisible());
  emit with_tray.TrayIcon()->activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(with_tray.isVisible());
}

TEST_F(MainWindowTest, TheClientListFollowsConnectionsOnTheListedPortOnly) {
  server_.Create();
  auto* clients = window_->findChild<QListWidget*>(QStringLiteral("ID_Clients"));
  auto settle = [&](int count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (clients->count() != count && std::chrono::steady_clock::now() < deadline)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return clients->count();
  };
  LoopbackSocket listed(port_);
  EXPECT_EQ(settle(1), 1);
  EXPECT_EQ(Std(clients->item(0)->text()), "127.0.0.1");
  LoopbackSocket unlisted(second_port_);
  LoopbackSocket second_listed(port_);
  EXPECT_EQ(settle(2), 2);
  unlisted.Close();
  listed.Close();
  EXPECT_EQ(settle(1), 1);
  second_listed.Close();
  EXPECT_EQ(settle(0), 0);
  server_.Close();
}

// A terminal's NOW, sent from another thread while the test's own call sits in a dialog's
// nested event loop; `close` ends the dialog once the reply came (or after 5 s).
void AnswerTerminalThen(uint16_t port, std::vector<std::string>& reply, std::thread& terminal,
                        std::function<void()> close) {
  auto done = std::make_shared<std::atomic<bool>>(false);
  terminal = std::thread([port, &reply, done] {
    LoopbackSocket socket(port);
    socket.Send("NOW\r\n");
    reply = socket.ReadReply();
    *done = true;
  });
  WhenTrue([done] { return done->load(); }, std::move(close));
}

TEST_F(MainWindowTest, TerminalsAreAnsweredWhileAMessageBoxOrTheOptionsDialogIsOpen) {
  server_.Create();
  std::vector<std::string> reply;
  std::thread terminal;
  WhenModalShows<TMyMsgBox>([&](TMyMsgBox& box) {
    AnswerTerminalThen(port_, reply, terminal, [&box] { ButtonNamed(box, "OK")->click(); });
  });
  ShowInfoBox("Reading this", "Operator");
  terminal.join();
  ASSERT_EQ(reply.size(), 3u);
  EXPECT_THAT(reply[0], StartsWith("TIME\xA6"));

  SettingsTable table;
  reply.clear();
  WhenModalShows<TfOptions>([&](TfOptions& dialog) {
    AnswerTerminalThen(second_port_, reply, terminal,
                       [&dialog] { ButtonNamed(dialog, "Cancel")->click(); });
  });
  TfOptions dialog(table.dataset, window_.get());
  dialog.exec();
  terminal.join();
  ASSERT_EQ(reply.size(), 3u);
  EXPECT_THAT(reply[2], StartsWith("STAT\xA6OK\xA6"));
  server_.Close();
}

// Ends the event loop, and ServerEnding stays set: these two tests come last among those with
// dialogs (ctest runs each test in a process of its own anyway).
TEST_F(MainWindowTest, ClosingAsksTheQuestionAndOnlyYesEndsTheServer) {
  server_.Create();
  window_->show();
  TBoxSeen seen;
  AnswerNextBox(seen, Qt::Key_Escape);
  EXPECT_FALSE(window_->close());
  EXPECT_EQ(seen.caption, "Are You Sure?");
  EXPECT_EQ(seen.message, Std(FromProtocolText(kCloseQuestion)));
  EXPECT_TRUE(window_->isVisible());
  EXPECT_FALSE(ServerEnding());
  LoopbackSocket still_served(port_);
  still_served.Send("NOW\r\n");
  std::vector<std::string> reply;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (reply.empty() && std::chrono::steady_clock::now() < deadline) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    reply = still_served.ReadReply(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(reply.size(), 3u);

  AnswerNextBox(seen, Qt::Key_Return);
  EXPECT_TRUE(window_->close());
  EXPECT_TRUE(ServerEnding());
  EXPECT_TRUE(still_served.ClosedByPeer(std::chrono::seconds(2)));
}

// Ends the event loop too.
TEST_F(MainWindowTest, TheEndOfTheSessionEndsTheServerWithoutTheQuestion) {
  window_->show();
  window_->EndSession();
  EXPECT_TRUE(ServerEnding());
  EXPECT_TRUE(window_->close());  // a question would be answered No and keep the window
}

// The operator's data-directory search with the open dialog played by the test.
class LocateTest : public ::testing::Test {
 protected:
  struct View : TOperatorView {
    std::vector<std::string> said;
    bool answer = false;
    void ShowDataPath(std::string_view path) override {
      said.push_back("path " + std::string(path));
    }
    bool AskYesNo(std::string_view, std::string_view caption) override {
      said.push_back("ask " + std::string(caption));
      return answer;
    }
  };
  LocateTest() {
    SetOperator(&view_);
    ServerSettings().DataPath = "/nowhere/";
    std::filesystem::create_directories(root_ / "empty");
    std::filesystem::create_directories(root_ / "shop");
    std::ofstream(root_ / "shop" / "tracker.dbf") << "x";
  }
  ~LocateTest() override { SetOperator(nullptr); }

  bool Locate(std::vector<std::optional<std::string>> choices) {
    size_t next = 0;
    return LocateDataPath(&config_, [&](const std::string& initial) {
      initials_.push_back(initial);
      return next < choices.size() ? choices[next++] : std::nullopt;
    });
  }

  test::TempDir root_;
  TConfigFile config_{(root_ / "vorlund.cfg").string()};
  View view_;
  std::vector<std::string> initials_;
};

TEST_F(LocateTest, AsksAgainUntilTrackerIsFoundAndKeepsTheChoice) {
  view_.answer = true;
  EXPECT_TRUE(Locate({root_.dir() + "empty/Tracker.dbf", root_.dir() + "shop/tracker.dbf"}));
  EXPECT_EQ(ServerSettings().DataPath, root_.dir() + "shop/");
  EXPECT_EQ(config_.ReadString("Alias", "POSPATH"), root_.dir() + "shop/");
  EXPECT_THAT(view_.said,
              ElementsAre("path " + root_.dir() + "empty/", "path " + root_.dir() + "empty/",
                          "ask Cannot find data path", "path " + root_.dir() + "shop/",
                          "path " + root_.dir() + "shop/"));
  EXPECT_THAT(initials_, ElementsAre("/nowhere/", "/nowhere/"));
}

TEST_F(LocateTest, CancelNoOrTheSameDirectoryEndTheSearchWithoutSuccess) {
  EXPECT_FALSE(Locate({}));
  view_.answer = false;
  EXPECT_FALSE(Locate({root_.dir() + "empty/Tracker.dbf", root_.dir() + "shop/tracker.dbf"}));
  EXPECT_EQ(initials_.size(), 2u);  // No ends it after the first choice
  ServerSettings().DataPath = root_.dir() + "shop/";
  view_.said.clear();
  EXPECT_FALSE(Locate({root_.dir() + "shop/tracker.dbf"}));
  EXPECT_TRUE(view_.said.empty());
}

}  // namespace
}  // namespace fidora
