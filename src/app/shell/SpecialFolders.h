#pragma once

#include <QString>

namespace quorlen {

// Where the program keeps its per-user files. QUORLEN_DATA_DIR, when set,
// replaces the data folder so that tests and portable installs stay apart
// from the user's own settings.
class TSpecialFolders {
public:
    // The program file's name without folder and extension.
    static QString AppName();
    // The data folder, <data>/Brenvik/<AppName> (config.json lives here);
    // created when asked and missing. Empty when it cannot be created, or
    // when QUORLEN_DATA_DIR, XDG_DATA_HOME and HOME give no absolute folder
    // (relative values are ignored).
    static QString DataFolder(bool create = true);
    static QString DocumentsFolder();
    // A fresh, unique, already created file in the temporary folder; the
    // caller removes it. Empty when none could be made.
    static QString TempFileName(const QString& suffix = QString());
};

}  // namespace quorlen
