#include "shell/splash_form.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "shell/qt_text.h"

namespace fidora {

TSplashForm::TSplashForm()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("SplashForm"));
  setWindowTitle(QStringLiteral("Starting POS Server"));
  setStyleSheet(
      QStringLiteral("TSplashForm, QWidget#SplashForm { background: #1f3f8f; }"
                     "QLabel { color: white; }"));
  setAttribute(Qt::WA_StyledBackground);
  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel(QStringLiteral("Starting POS Server"));
  title->setObjectName(QStringLiteral("lblTitle"));
  QFont font = title->font();
  font.setPointSize(font.pointSize() + 6);
  font.setBold(true);
  title->setFont(font);
  title->setAlignment(Qt::AlignCenter);
  progress_ = new QLabel(QStringLiteral("Loading..."));
  progress_->setObjectName(QStringLiteral("lblProgress"));
  progress_->setAlignment(Qt::AlignCenter);
  layout->addStretch();
  layout->addWidget(title);
  layout->addWidget(progress_);
  layout->addStretch();
  setFixedSize(380, 160);
}

void TSplashForm::ShowNow() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  show();
  repaint();
}

void TSplashForm::SplashProgress(std::string_view text) {
  progress_->setText(FromProtocolText(text));
  QCoreApplication::processEvents();
}

QString TSplashForm::ProgressText() const {
  return progress_->text();
}

}  // namespace fidora
