#pragma once

#include <QCoreApplication>

namespace quorlen {

// Loads Qt's own Polish texts (message-box buttons, file dialogs) so that
// the standard dialogs speak the program's language. False when the
// translation files are not installed; the dialogs then stay in English.
bool InstallPolishTranslations(QCoreApplication& app);

}  // namespace quorlen
