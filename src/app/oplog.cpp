#include "app/srcdesk.h"
#include "platform/appfolder.h"
#include "ui_srcdesk.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QListView>
#include <QStringListModel>
#include <QTextStream>

void SrcDesk::LogToView(LogCategory category, const QString &text)
{
    const QString prefix = tr("%1-").arg(QDateTime::currentDateTime().toString("hh:mm:ss"));
    QString line;
    if (category == LogUserOperation)
        line = tr("%1用户操作->%2").arg(prefix, text);
    else if (category == LogSystemInfo)
        line = tr("%1系统信息->%2").arg(prefix, text);
    logLines.append(line);

    // One row at a time, so a line costs the same however long the run; an
    // operator's edit in the view does not outlive the next line.
    const int row = logModel->rowCount();
    restoringLogView = true;
    logModel->insertRows(row, 1);
    logModel->setData(logModel->index(row), line);
    for (int edited : qAsConst(editedLogRows))
        logModel->setData(logModel->index(edited), logLines.value(edited));
    editedLogRows.clear();
    restoringLogView = false;

    // The view places rows on a grid the size of the widest line so far; it
    // then lays out its rows without measuring each one, and shows them as it
    // would without the grid.
    QListView *view = ui->v_list_log;
    const QSize cell = view->sizeHintForIndex(logModel->index(row));
    if (cell != view->gridSize())
        view->setGridSize(cell);
    // Laid out before scrolling: scrolling to a view whose layout is pending
    // lays it out and then sizes the scroll bars a second time.
    view->doItemsLayout();
    view->scrollToBottom();
}

void SrcDesk::NoteLogViewEdit(const QModelIndex &first, const QModelIndex &last)
{
    if (restoringLogView)
        return;
    for (int row = first.row(); row <= last.row(); ++row)
        editedLogRows.insert(row);
}

void SrcDesk::LogToFile(const QString &text)
{
    // The once-a-second status poll stays out of the file.
    if (CommandState == StateDeviceStatus)
        return;
    WriteLogFile(text);
}

void SrcDesk::WriteLogFile(const QString &text)
{
    const QString line = QDateTime::currentDateTime().toString("hh:mm:ss") + "->" + text;
    if (logFilePath.isEmpty())
        logFilePath = AppFolder() + "/" + tr("%1_log.txt").arg(QDate::currentDate().toString("yyyy-MM-dd"));

    QFile file(logFilePath);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return;
    QTextStream stream(&file);
    stream << line << Qt::endl;
    file.flush();
    file.close();
}
