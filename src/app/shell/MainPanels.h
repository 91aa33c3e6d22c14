#pragma once

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "core/project/ProjectSettings.h"

namespace quorlen {

// The main window's controls: the project panel, the scan panel, the results
// row, the status line and the menu. They are named as their objectName, the
// name tests and automation find them by; the window owns them through Qt's
// parent chain and wires their signals itself.
struct TMainPanels {
    // Builds every control into window, in the order the tab key visits them;
    // resizeWatcher gets the panels' resize events (see Layout).
    TMainPanels(QMainWindow& window, QObject* resizeWatcher);

    // Lays out the panel that was resized; the fields and the main buttons
    // stay anchored to the right edge.
    void Layout(QObject* resized);
    void LayoutScanPanel();

    // A number field left with a number outside [lo, hi], or none, shows the
    // nearest bound.
    static void ClampField(QLineEdit* edit, int lo, int hi);
    // The letters beside the answer count.
    void RefreshLetters();
    void ShowSettings(const TProjectSettings& s);
    // s with the values the controls hold.
    TProjectSettings ReadSettings(TProjectSettings s) const;
    // Greys out the project's settings while a run reads them.
    void EnableSettings(bool on);
    // The main button prints until the project is changed, then saves it.
    void ShowSaveState(bool save);

    QLabel *lblProjectFile, *lblProjectName, *lblIlePyt, *lblCount, *lblWYbor, *lblPrintLine1, *lblPrintLine2, *Label1,
        *Label2, *lblLetters, *lblStatus;
    QLineEdit *edtProjectFile, *edtProjectName, *edtIlePyt, *edtIleOdp, *edtPrintLine1, *edtPrintLine2, *edtScanFolder;
    QWidget *Panel1, *Panel2, *Panel3;
    QAction *btnProjectFile, *btnScanFolder, *actWyniki, *actAbout;
    QRadioButton *rbOnlyOne, *rbMultiOne;
    QCheckBox *chkKontrPuste, *chkSkanJakPoprzedni;
    QSlider* tbrPoziom;
    QPushButton *btnNowy, *btnSave, *btnExecute, *btnSaveWyniki, *btnKlucz, *btnSkanuj;
    QProgressBar* ProgressBar;

private:
    void BuildPanels(QMainWindow& window, QObject* resizeWatcher);
    void BuildProjectPanel(QMainWindow& window);
    void BuildScanPanel(QMainWindow& window);
    void BuildResultsPanel(QMainWindow& window);
    void LayoutProjectPanel();
    void LayoutResultsPanel();
};

// "AB" and the following letters up to the answer count.
QString LettersFor(int answerCount);

}  // namespace quorlen
