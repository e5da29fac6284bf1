#pragma once

#include "app/srcdesk.h"
#include "platform/appfolder.h"
#include "table/tablemodel.h"

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
    using SrcDesk::busy, SrcDesk::CommandState, SrcDesk::linkIdle;
    using SrcDesk::logLines, SrcDesk::logModel, SrcDesk::on_btn_out_clicked, SrcDesk::pollTimer, SrcDesk::responseTimer;
    using SrcDesk::serialPort, SrcDesk::stepTimer, SrcDesk::tableModel, SrcDesk::TimeUpdate, SrcDesk::transmitting;
    using SrcDesk::versionCompatible;

    // The table's file dialogs, answered from a list (none left is a cancel); the folders they start in.
    QStringList dialogAnswers, dialogDirs;
    QString AskTableFileName(bool, const QString &, const QString &dir, const QString &) override
    {
        dialogDirs << dir;
        return dialogAnswers.isEmpty() ? QString() : dialogAnswers.takeFirst();
    }

    // Appends a row as if these texts were typed into its cells, and updates the total.
    void addRow(const QString &frequency, const QString &sendTime)
    {
        tableModel->appendDefaultRow();
        tableModel->item(tableModel->rowCount() - 1, 1)->setText(frequency);
        tableModel->item(tableModel->rowCount() - 1, 2)->setText(sendTime);
        tableModel->recomputeTotal();
    }

    QDate fixedDate; // the day the settings save names its table after, when a test fixes one
    QDate TableDate() const override { return fixedDate.isValid() ? fixedDate : SrcDesk::TableDate(); }

    template <class T> T *w(const char *name) const
    {
        if (T *found = findChild<T *>(QString::fromLatin1(name)))
            return found;
        qFatal("no widget %s", name);
    }
};

// An application folder per test, so parallel tests never share log, settings or table files.
struct AppFolderFixture
{
    QTemporaryDir dir;
    AppFolderFixture() { SetAppFolder(dir.path()); }
    ~AppFolderFixture() { SetAppFolder(QString()); }
    QString path() const { return dir.path(); }
    QString file(const QString &name) const { return dir.filePath(name); }
};

// Answers every message box opening while it lives, keeping "title|text"; of several alive, the
// latest answers. Boxes are modal: once the action that opened one returns, it is answered.
struct BoxAnswerer
{
    explicit BoxAnswerer(QMessageBox::StandardButton given = QMessageBox::Ok)
        : answer(given)
    {
        alive.append(this);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || alive.last() != this)
                return;
            seen << box->windowTitle() + "|" + box->text();
            defaults << box->standardButton(box->defaultButton());
            box->button(answer) ? box->button(answer)->click() : box->reject();
        });
        timer.start(10);
    }
    ~BoxAnswerer() { alive.removeOne(this); }
    QStringList seen;
    QList<QMessageBox::StandardButton> defaults; // what Enter would have pressed
    QMessageBox::StandardButton answer;
    static inline QList<BoxAnswerer *> alive;
    QTimer timer;
};

// Today's log file lines in the folder, without time stamps. The file is in the locale's code
// page (GBK under a Chinese Windows), so a test reads it under the locale that wrote it.
inline QStringList logFileTexts(const QString &folder)
{
    QFile file(folder + "/" + QDate::currentDate().toString("yyyy-MM-dd") + "_log.txt");
    QStringList texts;
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray &line : file.readAll().split('\n'))
            if (!line.isEmpty())
                texts << QString::fromLocal8Bit(line.mid(10)); // "hh:mm:ss->"
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
