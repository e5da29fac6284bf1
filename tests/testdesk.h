#pragma once

#include "app/srcdesk.h"
#include "platform/appfolder.h"
#include "table/tablemodel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

// Gives the tests the controller's state, and its widgets by object name.
class TestDesk : public SrcDesk
{
public:
    using SrcDesk::busy;
    using SrcDesk::CommandState;
    using SrcDesk::freqTable;
    using SrcDesk::gpsLeapDone;
    using SrcDesk::gpsLocked;
    using SrcDesk::linkIdle;
    using SrcDesk::logLines;
    using SrcDesk::logModel;
    using SrcDesk::on_btn_out_clicked;
    using SrcDesk::pollTimer;
    using SrcDesk::responseTimer;
    using SrcDesk::serialPort;
    using SrcDesk::showTimer;
    using SrcDesk::stepTimer;
    using SrcDesk::tableModel;
    using SrcDesk::TimeUpdate;
    using SrcDesk::transmitting;
    using SrcDesk::versionCompatible;

    // The table's file dialogs, answered from a list; none left is a cancel.
    struct DialogCall
    {
        bool forReading;
        QString caption, dir, filter;
    };
    QList<DialogCall> dialogCalls;
    QStringList dialogAnswers;
    QString AskTableFileName(
        bool forReading, const QString &caption, const QString &dir, const QString &filter) override
    {
        dialogCalls.append({ forReading, caption, dir, filter });
        return dialogAnswers.isEmpty() ? QString() : dialogAnswers.takeFirst();
    }

    // Appends a table row with these frequency and sending-time texts, as
    // typed into the cells, and brings the total up to date.
    void addRow(const QString &frequency, const QString &sendTime)
    {
        tableModel->appendDefaultRow();
        const int row = tableModel->rowCount() - 1;
        tableModel->item(row, 1)->setText(frequency);
        tableModel->item(row, 2)->setText(sendTime);
        tableModel->recomputeTotal();
    }

    // The day the settings save names its table after; today unless a test fixes it.
    QDate fixedDate;
    QDate TableDate() const override { return fixedDate.isValid() ? fixedDate : SrcDesk::TableDate(); }

    template <class T> T *w(const char *name) const
    {
        T *found = findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
};

// Each test gets an application folder of its own, so parallel tests never
// share log, settings or table files.
class AppFolderFixture
{
public:
    AppFolderFixture() { SetAppFolder(dir.path()); }
    ~AppFolderFixture() { SetAppFolder(QString()); }
    QString path() const { return dir.path(); }
    QString file(const QString &name) const { return dir.filePath(name); }

private:
    QTemporaryDir dir;
};

// Answers every message box that opens while it lives, keeping "title|text"
// of each; of several alive, the latest answers. Boxes are modal, so by the
// time the action that opened one returns, it has been answered and recorded.
class BoxAnswerer
{
public:
    explicit BoxAnswerer(QMessageBox::StandardButton given = QMessageBox::Ok)
        : answer(given)
    {
        answerers().append(this);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || answerers().last() != this)
                return;
            seen << box->windowTitle() + "|" + box->text();
            defaults << box->standardButton(box->defaultButton());
            if (QAbstractButton *button = box->button(answer))
                button->click();
            else
                box->reject();
        });
        timer.start(10);
    }
    QStringList seen;
    QList<QMessageBox::StandardButton> defaults; // what Enter would have pressed
    QMessageBox::StandardButton answer;
    ~BoxAnswerer() { answerers().removeOne(this); }

private:
    static QList<BoxAnswerer *> &answerers()
    {
        static QList<BoxAnswerer *> alive;
        return alive;
    }
    QTimer timer;
};

// Lines of today's log file in the given folder, without their time stamps.
// The file is in the locale's code page (GBK under a Chinese Windows), so a
// test reads it under the locale of the copy that wrote it.
inline QStringList logFileTexts(const QString &folder)
{
    QFile file(folder + "/" + QDate::currentDate().toString("yyyy-MM-dd") + "_log.txt");
    QStringList texts;
    if (!file.open(QIODevice::ReadOnly))
        return texts;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        texts << QString::fromLocal8Bit(line.mid(10)); // "hh:mm:ss->"
    }
    return texts;
}

// A file's bytes, or "<missing>" when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
