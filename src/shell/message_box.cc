#include "shell/message_box.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <memory>

#include "shell/message_box_text.h"
#include "shell/qt_text.h"
#include "shell/server_end.h"

namespace fidora {

namespace {

constexpr int kBoxWidth = 420;
constexpr int kBoxHeight = 180;
constexpr int kCentredLines = 3;  // messages with fewer lines are centred

std::unique_ptr<TMyMsgBox>& SharedBoxSlot() {
  static std::unique_ptr<TMyMsgBox> box;
  return box;
}

TMyMsgBox& SharedBox() {
  std::unique_ptr<TMyMsgBox>& box = SharedBoxSlot();
  if (!box) {
    box = std::make_unique<TMyMsgBox>();
    // Widgets must go before the application object does.
    qAddPostRoutine([] { SharedBoxSlot().reset(); });
  }
  return *box;
}

QPushButton* AddButton(QHBoxLayout& row, const char* text) {
  auto* button = new QPushButton(QString::fromLatin1(text));
  row.addWidget(button);
  return button;
}

void CentreOnScreen(QWidget& widget) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = widget.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  widget.move(frame.topLeft());
}

}  // namespace

TMyMsgBox::TMyMsgBox() {
  setObjectName(QStringLiteral("MyMsgBox"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  message_ = new QLabel;
  message_->setObjectName(QStringLiteral("lblMessage"));
  message_->setWordWrap(true);
  message_->setTextFormat(Qt::PlainText);
  message_->setMinimumHeight(kBoxHeight - 70);
  layout->addWidget(message_, 1);
  auto* row = new QHBoxLayout;
  row->addStretch();
  ok_ = AddButton(*row, "OK");
  yes_ = AddButton(*row, "Yes");
  no_ = AddButton(*row, "&No");
  row->addStretch();
  layout->addLayout(row);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(yes_, &QPushButton::clicked, this, &QDialog::accept);
  connect(no_, &QPushButton::clicked, this, &QDialog::reject);
  setFixedSize(kBoxWidth, kBoxHeight);
}

bool TMyMsgBox::Run(std::string_view message, std::string_view caption, TKind kind) {
  if (ServerEnding()) return false;
  const bool question = kind == TKind::YesNo;
  setWindowTitle(FromProtocolText(caption));
  const QString text = FromProtocolText(MessageBoxText(message));
  message_->setText(text);
  message_->setAlignment(
      (text.count(QLatin1Char('\n')) + 1 < kCentredLines ? Qt::AlignHCenter : Qt::AlignLeft) |
      Qt::AlignVCenter);
  ok_->setVisible(!question);
  yes_->setVisible(question);
  no_->setVisible(question);
  // Enter presses the default button; Esc rejects, which a message takes as OK.
  ok_->setDefault(!question);
  yes_->setDefault(question);
  no_->setDefault(false);
  (question ? yes_ : ok_)->setFocus();
  CentreOnScreen(*this);

  const TNormalTopMosts normal(this);
  busy_ = true;
  const int result = exec();
  busy_ = false;
  hide();
  return question ? result == QDialog::Accepted : true;
}

void ShowInfoBox(std::string_view message, std::string_view caption) {
  TMyMsgBox& shared = SharedBox();
  if (!shared.Busy()) {
    shared.Run(message, caption, TMyMsgBox::TKind::Info);
    return;
  }
  // The earlier call sits below this one and cannot return first: once its box is closed,
  // this message takes a box of its own.
  while (shared.isVisible() && !ServerEnding())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  TMyMsgBox temporary;
  temporary.Run(message, caption, TMyMsgBox::TKind::Info);
}

bool AskYesNoBox(std::string_view message, std::string_view caption) {
  TMyMsgBox& shared = SharedBox();
  if (!shared.Busy()) return shared.Run(message, caption, TMyMsgBox::TKind::YesNo);
  TMyMsgBox temporary;
  return temporary.Run(message, caption, TMyMsgBox::TKind::YesNo);
}

TNormalTopMosts::TNormalTopMosts(const QWidget* except) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget == except || !widget->isVisible() ||
        !widget->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
      continue;
    widget->setWindowFlag(Qt::WindowStaysOnTopHint, false);
    widget->show();
    lowered_.emplace_back(widget);
  }
}

TNormalTopMosts::~TNormalTopMosts() {
  for (const QPointer<QWidget>& widget : lowered_) {
    if (!widget) continue;
    widget->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    widget->show();
  }
}

}  // namespace fidora
