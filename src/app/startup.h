#pragma once

#include <QString>

#include <functional>

class QApplication;
class QRect;
class QMargins;
class QTranslator;
class QWidget;
class SrcDesk;

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

// The start-up of every program around the window: the single-instance guard,
// the language, the window at a size that fits, the event loop. `prepare`
// adds what that program needs before the window shows (false ends it with
// 1); `run` stands in for the plain event loop. -1 when another copy runs.
int StartDesk(
    QApplication &app, const std::function<bool(SrcDesk &)> &prepare = {}, const std::function<int()> &run = {});

// The program's main function.
int SourceDeskMain(int argc, char *argv[]);
