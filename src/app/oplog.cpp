#include "app/appfolder.h"
#include "app/srcdesk.h"
#include "ui_srcdesk.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
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
    logModel->setStringList(logLines);
    ui->v_list_log->scrollToBottom();
}

void SrcDesk::LogToFile(const QString &text)
{
    // The once-a-second status poll stays out of the file.
    if (CommandState == 5)
        return;

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
