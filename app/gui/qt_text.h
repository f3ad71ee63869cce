// The edge between the program's code page 936 text and Qt's UTF-16 strings.
#pragma once

#include "text/text.h"

#include <QString>

namespace iploc {

QString TextToQString(const Text& text);
// Characters that code page 936 lacks become "?".
Text QStringToText(const QString& string);

} // namespace iploc
