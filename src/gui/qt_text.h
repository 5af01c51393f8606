#pragma once

#include <QString>

#include "text/text.h"

namespace qs {

// The one crossing between internal texts (GB18030) and Qt's UTF-16 strings.
QString ToQt(const Text& text);
Text FromQt(const QString& text);

// Multi-line boxes hold CR LF line breaks in the model; Qt's text widgets use LF.
QString ToQtLines(const Text& text);
Text FromQtLines(const QString& text);

}  // namespace qs
