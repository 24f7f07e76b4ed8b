#include "app/textcodec.h"

#include "app/displaytext.h"

namespace vistrel::app {

QString decodeText(const std::string& bytes) {
    const std::string utf8 = decodeToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString displayText(const std::string& bytes) {
    const std::string utf8 = displayUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string toBytes(const QString& text) {
    return text.toStdString();
}

} // namespace vistrel::app
