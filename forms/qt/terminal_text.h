#pragma once

#include <QByteArray>
#include <QString>

namespace forms::qt {

// Text as the program was given it, from the command line or the environment: UTF-8, where each
// byte that is not part of a valid character is kept apart, so that it can be shown as it was.
QString givenText(const char* bytes);

// Text to be written into one line on a terminal, in its encoding: line breaks, control
// characters, invisible ones and bytes that were not valid UTF-8 are written as escapes (`\n`,
// `\t`, `\r`, `\xNN` for each byte) and a backslash as two, so that nothing breaks the line or
// reaches the terminal as a command. Outside a UTF-8 locale every non-ASCII byte is escaped too.
QByteArray terminalText(const QString& text);

}  // namespace forms::qt
