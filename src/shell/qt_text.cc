#include "shell/qt_text.h"

#include <QFile>

#include "protocol/cp1252.h"

namespace fidora {

QString FromProtocolText(std::string_view text) {
  std::string utf8;
  utf8.reserve(text.size());
  AppendCp1252AsUtf8(text, utf8);
  QString result = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  result.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return result;
}

QString FromPath(std::string_view path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string ToPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

}  // namespace fidora
