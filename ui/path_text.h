#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace brindlewick {

// Image paths travel between Qt and the core as the file system's own bytes.
inline std::string ToPathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
inline QString FromPathBytes(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// Comments and settings values are UTF-8 in the core.
inline std::string ToUtf8(const QString& text) {
    return text.toStdString();
}
inline QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace brindlewick
