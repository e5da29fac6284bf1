#include "app/srcdesk.h"
#include "ui_srcdesk.h"

#include "table/tablemodel.h"

#include <QMessageBox>

bool SrcDesk::RoomForAnotherRow()
{
    // A longer table could be neither exported nor read back.
    if (tableModel->rowCount() < TableModel::MaxRows)
        return true;
    QMessageBox::warning(this, tr("提示"), tr("频率表最多只能有127行！"), QMessageBox::Ok);
    return false;
}

void SrcDesk::on_btn_insert_clicked()
{
    if (!RoomForAnotherRow())
        return;
    tableModel->insertDefaultRow(ui->tableView->currentIndex().row());
    ui->label_total_sec->setText(tableModel->totalText);
}

void SrcDesk::on_btn_add_clicked()
{
    if (!RoomForAnotherRow())
        return;
    tableModel->appendDefaultRow();
    ui->label_total_sec->setText(tableModel->totalText);
}

void SrcDesk::on_btn_delete_clicked()
{
    if (!tableModel->deleteRow(ui->tableView->currentIndex().row())) {
        QMessageBox::warning(this, tr("提示"), tr("请选择需要删除的条目"), QMessageBox::Ok);
        return;
    }
    ui->label_total_sec->setText(tableModel->totalText);
}

void SrcDesk::on_btn_clear_clicked()
{
    tableModel->clearRows();
    ui->label_total_sec->setText(tableModel->totalText);
}

void SrcDesk::onTableItemChanged()
{
    tableModel->recomputeTotal();
    ui->label_total_sec->setText(tableModel->totalText);
}
