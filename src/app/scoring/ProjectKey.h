#pragma once

#include <QString>
#include <optional>

#include "core/scoring/AnswerKey.h"

namespace quorlen {

class TFormMain;

// The answer key of the window's project, kept as <project>.klucz.json beside
// the project file and loaded with it; with a key, a run's results are scored.
// A part of the main window: it reads the window's project and results.
class TProjectKey {
public:
    explicit TProjectKey(TFormMain& window) : window_(window) {}

    const std::optional<TAnswerKey>& Key() const { return key_; }
    // Empty while the project has no file.
    QString FilePath() const;
    // Reads the project's key file; a broken one is reported and leaves no key.
    void Load();
    // Writes the key as the project's; saved under another project's name,
    // the key stays with the project it came from and the new one gets its
    // own file's key or none.
    void Save();
    // A new project: no key until the teacher makes one.
    void Reset();
    // Scores the window's results in place; a key that does not fit them says
    // why in the status line.
    void Score();
    // The key editor (the "Klucz odpowiedzi…" button).
    void Edit();
    // Makes the key from the results row's sheet after the teacher confirms.
    void UseRow(int row);
    // Writes the class report beside the results and opens it.
    void OpenReport();

private:
    void ShowError(const QString& text);

    TFormMain& window_;
    std::optional<TAnswerKey> key_;
    // The key file the key was read from or written to; empty while the key
    // belongs to a project that has no file yet.
    QString owner_;
};

}  // namespace quorlen
