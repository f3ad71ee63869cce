#include "app/gui/qt_text.h"

#include "text/encoding.h"

namespace iploc {

QString TextToQString(const Text& text) {
    return QString::fromStdU16String(TextToU16(text));
}

Text QStringToText(const QString& string) {
    return U16ToText(string.toStdU16String());
}

} // namespace iploc
