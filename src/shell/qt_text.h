// Text as the window shows it. Protocol and message texts are Windows-1252 bytes; file paths
// are bytes of the file system's encoding.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace fidora {

// Windows-1252 bytes as a QString; CR LF and lone CR become LF.
QString FromProtocolText(std::string_view text);
// A file-system path as a QString, and back.
QString FromPath(std::string_view path);
std::string ToPath(const QString& path);

}  // namespace fidora
