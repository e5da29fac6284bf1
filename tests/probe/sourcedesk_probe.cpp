// Runs SourceDesk's own start-up and answers its message boxes, so tests can
// drive the product's main function in a child process. It prints what it
// saw on standard output:
//   BOX|<title>|<text>     for every message box, before answering it
//   TITLE|<window title>   once the main window is shown
// Arguments: --quit-when-shown closes the window once shown;
//            --answer-yes answers question boxes with Yes (default No).
#include "app/startup.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstring>

static bool quitWhenShown = false;
static bool answerYes = false;

static void say(const QString &line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

static void watch()
{
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            say("BOX|" + box->windowTitle() + "|" + box->text());
            QAbstractButton *button = box->button(answerYes ? QMessageBox::Yes : QMessageBox::No);
            if (!button)
                button = box->button(QMessageBox::Ok);
            if (button)
                button->click();
            else
                box->reject();
            return;
        }
        static bool shown = false;
        if (shown)
            return;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *window = qobject_cast<QMainWindow *>(w);
            if (window && window->isVisible()) {
                shown = true;
                say("TITLE|" + window->windowTitle());
                if (quitWhenShown)
                    QTimer::singleShot(0, window, &QWidget::close);
            }
        }
    });
    timer->start(20);
}
Q_COREAPP_STARTUP_FUNCTION(watch)

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--quit-when-shown"))
            quitWhenShown = true;
        else if (!std::strcmp(argv[i], "--answer-yes"))
            answerYes = true;
    }
    return SourceDeskMain(argc, argv);
}
