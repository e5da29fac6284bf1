#pragma once

#include <QString>

class QApplication;
class QRect;
class QMargins;
class QTranslator;
class QWidget;

// Takes the machine-wide single-instance guard. False while another copy runs.
bool TakeInstanceGuard();

// True when the operator should see the English catalogue: the system locale
// name does not contain "CN".
bool WantsEnglish(const QString &localeName);

// Loads and installs the catalogue the locale asks for: ours in English, or
// Qt's own in Chinese for its dialogs and buttons.
void InstallLanguage(QApplication &app, QTranslator &translator, const QString &localeName);

// Shows the window at the form's size where that fits the screen's free area,
// and at the area's size where it does not.
void ShowFitted(QWidget *window);
// The sizing and placing of ShowFitted for a given area and window frame.
void FitToArea(QWidget *window, const QRect &area, const QMargins &frame);

// "SourceDesk-V2.1.2A", the same in both languages.
QString WindowTitle();

// The program's main function: guard, language, window, event loop.
int SourceDeskMain(int argc, char *argv[]);
