#include "table/tablefile.h"

#include "app/srcdesk.h"
#include "platform/appfolder.h"
#include "platform/narrowpath.h"
#include "platform/readablefile.h"
#include "platform/stagedfile.h"
#include "table/tablemodel.h"
#include "ui_srcdesk.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

const char kFilter[] = "Text File(*.FTB2)";

} // namespace

bool SaveFreqTableFile(const QString &path, const freq_table *table)
{
    StagedFile file(path);
    return file.write([table](FILE *fp) { return freq_table_write(fp, table) == freq_table_file_size(table); })
        && file.commit();
}

QString SrcDesk::AskTableFileName(bool forReading, const QString &caption, const QString &dir, const QString &filter)
{
    if (forReading)
        return QFileDialog::getOpenFileName(this, caption, dir, filter);
    return QFileDialog::getSaveFileName(this, caption, dir, filter);
}

QString SrcDesk::ChooseTableFile(bool forReading)
{
    // Only the Windows dialog adds the filter's suffix itself; a table saved
    // without it would be hidden from the next import.
    // A No to the question below offers the dialog again, as its own would.
    if (!forReading) {
        for (;;) {
            // Where that folder does not exist (the root, on Linux) the
            // dialog starts beside the program instead.
            const QString dir = QFileInfo("/transParam").isDir() ? QString("/transParam") : AppFolder();
            QString name = AskTableFileName(false, "Save File", dir, kFilter);
            if (name.isEmpty() || !QFileInfo(name).suffix().isEmpty())
                return name;
            name += ".FTB2";
            const QString replace = tr("%1 已存在，是否替换？").arg(QFileInfo(name).fileName());
            if (!QFileInfo::exists(name)
                || QMessageBox::question(this, tr("提示"), replace, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
                    == QMessageBox::Yes)
                return name;
        }
    }
    if (!tableOpenDirSet) {
        tableOpenDir = AppFolder();
        tableOpenDirSet = true;
    }
    tableOpenDir = AskTableFileName(true, "Open File", tableOpenDir, kFilter);
    return tableOpenDir;
}

// The export does not come here for its stream: it writes beside the target
// (SaveFreqTableFile) instead of truncating the target at once.
FILE *SrcDesk::OpenTableFile(bool forReading)
{
    const QString path = ChooseTableFile(forReading);
    if (forReading)
        return OpenRegularFile(path);
    QByteArray narrow;
    return NarrowPath(path, &narrow) ? csamt_fopen(narrow.constData(), "wb") : nullptr;
}

void SrcDesk::on_btn_import_clicked()
{
    FILE *fp = OpenTableFile(true);
    if (!fp) {
        QMessageBox::warning(this, tr("提示"), tr("文件打开失败！"), QMessageBox::Ok);
        return;
    }
    const int result = freq_table_read(fp, &freqTable);
    freqData = &freqTable.freq_num;
    std::fclose(fp);
    // A refused file leaves both the record and the operator's table alone.
    if (result != 1) {
        QMessageBox::warning(this, tr("提示"), tr("文件打开失败！"), QMessageBox::Ok);
        return;
    }
    SyncFreqTable(false);
    ui->label_total_sec->setText(tableModel->totalText);
    ReportStep(tr("已导入频率表%1，共%2行").arg(QDir::toNativeSeparators(tableOpenDir)).arg(tableModel->rowCount()));
}

void SrcDesk::on_btn_out_clicked()
{
    if (tableModel->rowCount() == 0)
        return;
    const QString target = ChooseTableFile(false);
    if (!target.isEmpty()) {
        BuildFreqTable();
        if (SaveFreqTableFile(target, &freqTable)) {
            ReportStep(tr("已导出频率表%1").arg(QDir::toNativeSeparators(target)));
            return;
        }
    }
    QMessageBox::warning(this, tr("提示"), tr("文件导出失败！"), QMessageBox::Ok);
}
