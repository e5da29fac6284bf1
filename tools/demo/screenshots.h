#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QWidget;

// Drives the demo window the way a new user would, without a person: connect,
// wait for version, status, GPS lock and time, build a sweep, start, wait for
// its send time, watch it run, stop, and leave without saving. Three
// screenshots are kept on the way: connected, waiting, transmitting.
class ScreenshotTour : public QObject
{
    Q_OBJECT

public:
    ScreenshotTour(QWidget *window, const QString &folder, QObject *parent = nullptr);
    void start();

    // Paths of the screenshots saved so far.
    QStringList saved() const { return shots; }

signals:
    void finished(bool ok, const QString &message);

private:
    struct Step
    {
        QString waitingFor;
        std::function<bool()> ready;
        std::function<void()> act;
    };

    void tick();
    void answerBoxes();
    bool shoot(const QString &name);
    QString text(const char *objectName) const;
    bool is(const char *objectName, const char *source) const;
    void click(const char *objectName);
    void buildSweep();

    QWidget *window;
    QString folder;
    QList<Step> steps;
    QStringList shots;
    QTimer poll;
    // A timer of its own: a box opened by a step runs inside that step's tick,
    // and a timer never fires again while its own slot is still running.
    QTimer boxes;
    QDateTime stepDeadline;
    bool saveAnswer = false;
};
