#pragma once

#include <QPrinter>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "core/scoring/AnswerKey.h"

namespace quorlen {

class TFormMain;
struct TAutomationCommand;

// Another program's command carried out in the main window: the project set
// through the controls as typing would, then the print job or the batch run
// as the window's buttons start them. A part of the main window.
class TWindowCommand {
public:
    // Gets the command's Progress events: (maximum, position).
    using TSink = std::function<void(int maximum, int position)>;
    using TDone = std::function<void(const QString& reply)>;

    explicit TWindowCommand(TFormMain& window) : window_(window) {}

    // done gets the reply, at once or, for an analysis, when the run has
    // ended. Text that is not a JSON object throws TInvalidCommand and a
    // printer failure std::exception; done is then not called.
    void Run(const QString& params, const TSink& sink, TDone done);
    bool Active() const { return active_; }
    // True while an analysis runs for a caller that waits for its end.
    bool AwaitsRun() const { return static_cast<bool>(done_); }
    // Ends the command whose analysis ran: its reply and the cleared state.
    void FinishRun(const QString& reply);
    // The run's results for the caller, scored when its command carried a key.
    QString ResultsReply() const;

private:
    void SetProject(const TAutomationCommand& command);
    QString Print(const TAutomationCommand& command);
    void StartAnalysis(TDone done);

    TFormMain& window_;
    bool active_ = false;
    TDone done_;
    // Empty outside a command.
    TSink sink_;
    std::optional<TAnswerKey> key_;
    std::unique_ptr<QPrinter> printer_;
};

}  // namespace quorlen
