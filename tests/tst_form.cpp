#include "app/startup.h"
#include "testdesk.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTranslator>
#include <QValidator>

#include <cmath>

namespace {

// Every layout with its widgets and sub-layouts in order; "-" is a spacer.
const char *const kLayouts[][2] = {
    { "horizontalLayout_10", "fram1 frame2" },
    { "verticalLayout_6", "verticalLayout_5 verticalLayout" },
    { "verticalLayout_5",
        "horizontalLayout_19 horizontalLayout_11 horizontalLayout_16 horizontalLayout_15 horizontalLayout_18 "
        "horizontalLayout_14 horizontalLayout horizontalLayout_3 horizontalLayout_4 horizontalLayout_5 "
        "horizontalLayout_8 horizontalLayout_12 horizontalLayout_6 layout_freq horizontalLayout_13 "
        "horizontalLayout_7" },
    { "horizontalLayout_19", "label_v lbVersion" },
    { "horizontalLayout_11", "label_8 label_dev_statu label_15 label_work_statu" },
    { "horizontalLayout_16", "" },
    { "horizontalLayout_15", "label_14 label_gps_lock label_16 label_gps_sec" },
    { "horizontalLayout_18", "label_safe lbInterrupt" },
    { "horizontalLayout_14", "label_warning label_warning_info" },
    { "horizontalLayout", "label edt_com_auto pushButton" },
    { "horizontalLayout_3", "label_3 edt_system_time" },
    { "horizontalLayout_4", "label_4 edt_send_time" },
    { "horizontalLayout_5", "- btn_round_min btn_round_circel" },
    { "horizontalLayout_8", "label_time_delay edt_time_delay btn_time_delay" },
    { "horizontalLayout_12", "label_9 rBtn_single rBtn_continue" },
    { "horizontalLayout_6", "label_5 cmb_signal" },
    { "layout_freq", "label_freq cmb_freq" },
    { "horizontalLayout_13", "label_model_scan cmb_model_scan" },
    { "horizontalLayout_7", "btn_hidden - btn_start btn_stop" },
    { "verticalLayout", "label_6 v_list_log" },
    { "horizontalLayout_9", "verticalLayout_7 fram_tab_btn" },
    { "verticalLayout_7", "tableView" },
    { "verticalLayout_8", "btn_import btn_out - btn_insert btn_add btn_delete btn_clear - label_11 label_total_sec" },
};

const char *const kRed = "color: rgb(255, 0, 0);";
const char *const kWhite = "background-color: rgb(255, 255, 255);";
const char *const kGrey = "color: rgb(208, 204, 188);";

// Every widget of the window as it starts, in single-frequency output (which
// greys the table's buttons): type, enabled, minimum size, style sheet, texts.
// A null English text has no catalogue entry, a null Chinese one means no text
// at all; a combo box's text is its current item.
struct FormWidget
{
    const char *name, *type;
    bool enabled;
    const char *minimum, *sheet, *cn, *en;
};
const FormWidget kWidgets[] = {
    { "centralWidget", "QWidget", true, "0x0", "background-color: rgb(236, 233, 216);\ncolor: rgb(0, 0, 0);", nullptr,
        nullptr },
    { "fram1", "QFrame", true, "350x0", "", nullptr, nullptr },
    { "label_v", "QLabel", true, "68x0", "", "固件版本：", "Firmware version：" },
    { "lbVersion", "QLabel", false, "55x26", "", "未获取", "unknown" },
    { "label_8", "QLabel", true, "68x0", "", "设备状态：", "DeviceStatus:" },
    { "label_dev_statu", "QLabel", false, "55x26", "", "未获取", "unknown" },
    { "label_15", "QLabel", true, "68x0", "", "工作状态：", "WorkingStatus:" },
    { "label_work_statu", "QLabel", false, "55x26", "", "未获取", "unknown" },
    { "label_14", "QLabel", true, "68x0", "", "GPS锁定：", "GPS lock:" },
    { "label_gps_lock", "QLabel", true, "55x26", "", "未获取", "unknown" },
    { "label_16", "QLabel", true, "68x0", "", "GPS闰秒：", "GPS leap second:" },
    { "label_gps_sec", "QLabel", false, "55x26", "", "未获取", "unknown" },
    { "label_safe", "QLabel", true, "68x0", "", "特殊状态：", "Special state：" },
    { "lbInterrupt", "QLabel", false, "55x26", kRed, "中断保护", "Interrupt protection" },
    { "label_warning", "QLabel", true, "68x0", "", "预警信息：", "Warning:" },
    { "label_warning_info", "QLabel", false, "55x26", kRed, "", nullptr },
    { "label", "QLabel", true, "68x0", "", "通信端口：", "Port:" },
    { "edt_com_auto", "QLineEdit", false, "0x26", "", "", nullptr },
    { "pushButton", "QPushButton", true, "0x0", "", "自动扫描连接", "Automatic connection" },
    { "label_3", "QLabel", true, "68x0", "", "GPS时间：", "GPS Time:" },
    { "edt_system_time", "QLineEdit", false, "0x26", "color: rgb(0, 0, 0);", "", nullptr },
    { "label_4", "QLabel", true, "68x0", "", "发送时间：", "Send Time:" },
    { "edt_send_time", "QLineEdit", true, "0x26", kWhite, "", nullptr },
    { "btn_round_min", "QPushButton", true, "0x0", "", "整分", "Integral minute" },
    { "btn_round_circel", "QPushButton", true, "0x0", "", "整周期", "Integral period" },
    { "label_time_delay", "QLabel", true, "68x0", "", "同步延时：", "Sync delay:" },
    { "edt_time_delay", "QLineEdit", true, "0x26", kWhite, "0", nullptr },
    { "btn_time_delay", "QPushButton", true, "0x0", "", "设置延时(mS)", "Set delay (mS)" },
    { "label_9", "QLabel", true, "68x0", "", "输出模式:", "Mode:" },
    { "rBtn_single", "QRadioButton", true, "0x0", "", "单频输出", "Single frequency" },
    { "rBtn_continue", "QRadioButton", true, "0x0", "", "扫频输出", "Sweep output" },
    { "label_5", "QLabel", true, "68x0", "", "信号类型:", "Signal:" },
    { "cmb_signal", "QComboBox", true, "0x26", kWhite, "5阶扩频波", "Order 5 spread spectrum wave" },
    { "label_freq", "QLabel", true, "68x0", "", "频率(Hz):", "Frequency(Hz):" },
    { "cmb_freq", "QComboBox", true, "0x26", kWhite, "1/8192", nullptr },
    { "label_model_scan", "QLabel", true, "68x0", "", "扫频模式:", "Sweep mode:" },
    { "cmb_model_scan", "QComboBox", true, "0x26", kWhite, "单次扫频", "Single frequency sweep" },
    { "btn_hidden", "QPushButton", true, "80x0", "background-color: transparent;", "", nullptr },
    { "btn_start", "QPushButton", false, "0x0", kGrey, "启动", "Startup" },
    { "btn_stop", "QPushButton", false, "0x0", kGrey, "停止", "Stop" },
    { "label_6", "QLabel", true, "68x0", "", "历史记录", "History record" },
    { "v_list_log", "QListView", true, "0x0", kWhite, nullptr, nullptr },
    { "frame2", "QFrame", true, "650x0", "", nullptr, nullptr },
    { "tableView", "QTableView", true, "0x0", "background-color: rgb(236, 233, 216);", nullptr, nullptr },
    { "fram_tab_btn", "QFrame", true, "0x0", "", nullptr, nullptr },
    { "btn_import", "QPushButton", false, "0x40", kGrey, "导入", "Import" },
    { "btn_out", "QPushButton", false, "0x40", kGrey, "导出", "Export" },
    { "btn_insert", "QPushButton", false, "0x40", kGrey, "插入", "Insert" },
    { "btn_add", "QPushButton", false, "0x40", kGrey, "增加", "Add" },
    { "btn_delete", "QPushButton", false, "0x40", kGrey, "删除", "Delete" },
    { "btn_clear", "QPushButton", false, "0x40", kGrey, "清空", "Empty" },
    { "label_11", "QLabel", true, "60x0", "", "总时间", "Totaltime" },
    { "label_total_sec", "QLineEdit", false, "80x26", "", "00:00:00", nullptr },
};

const char *const kSignals[][2] = {
    { "方波", "Square wave" },
    { "3阶扩频波", "Order 3 spread spectrum wave" },
    { "4阶扩频波", "Order 4 spread spectrum wave" },
    { "5阶扩频波", "Order 5 spread spectrum wave" },
    { "6阶扩频波", "Order 6 spread spectrum wave" },
    { "7阶扩频波", "Order 7 spread spectrum wave" },
    { "8阶扩频波", "Order 8 spread spectrum wave" },
    { "3阶多频波", "Order 3 multifrequency wave" },
    { "5阶多频波", "Order 5 multifrequency wave" },
    { "7阶多频波", "Order 7 multifrequency wave" },
    { "9阶多频波", "Order 9 multifrequency wave" },
    { "过零方波-25%占空", "Zero passage square wave-duty ratio 25%" },
    { "过零方波-50%占空", "Zero passage square wave-duty ratio 50%" },
    { "过零方波-70%占空", "Zero passage square wave-duty ratio 70%" },
};

QStringList itemNames(const QLayout *layout)
{
    QStringList names;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        names << (item->widget() ? item->widget()->objectName() : item->layout() ? item->layout()->objectName() : "-");
    }
    return names;
}

QStringList comboItems(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

// A widget in one line, so that a failure names it.
QString describe(const QWidget *w)
{
    const QVariant text = w->property(qobject_cast<const QComboBox *>(w) ? "currentText" : "text");
    const QSize minimum = w->minimumSize();
    return QStringList({ w->objectName(), w->metaObject()->className(), w->isEnabled() ? "enabled" : "disabled",
                           QString("%1x%2").arg(minimum.width()).arg(minimum.height()), w->styleSheet(),
                           text.isValid() ? text.toString() : "-" })
        .join(" | ");
}

} // namespace

class FormTest : public QObject
{
    Q_OBJECT

private slots:
    void treeAndLayout();
    void widgetsInBothLanguages_data();
    void widgetsInBothLanguages();
    void signalTableLadderAndDropDownRows();
    void delayValidator_data();
    void delayValidator();

private:
    AppFolderFixture folder;
};

void FormTest::treeAndLayout()
{
    TestDesk d;
    for (const auto &row : kLayouts) {
        const QLayout *layout = d.findChild<QLayout *>(row[0]);
        QVERIFY2(layout, row[0]);
        QCOMPARE(itemNames(layout).join(' '), QString(row[1]));
    }
    auto *main = d.findChild<QBoxLayout *>("horizontalLayout_10");
    QCOMPARE(main->parentWidget(), d.centralWidget());
    QCOMPARE(main->stretch(0), 4);
    QCOMPARE(main->stretch(1), 7);
    for (const char *name : { "horizontalLayout_10", "verticalLayout_6", "horizontalLayout_9", "verticalLayout_8" })
        QCOMPARE(d.findChild<QLayout *>(name)->contentsMargins(), QMargins(11, 11, 11, 11));
    for (QLayout *l : d.centralWidget()->findChildren<QLayout *>())
        QVERIFY2(l->objectName().isEmpty() || l->spacing() == 6, qPrintable(l->objectName())); // unnamed: Qt's own
    QVERIFY(!d.menuWidget());
    QCOMPARE(d.size(), QSize(1280, 800));

    for (const char *n : { "lbVersion", "label_dev_statu", "label_work_statu", "label_gps_lock", "label_gps_sec",
             "lbInterrupt", "label_warning_info" }) {
        QVERIFY2(d.w<QLabel>(n)->alignment() == (Qt::AlignLeading | Qt::AlignLeft | Qt::AlignVCenter), n);
        QVERIFY2(d.w<QLabel>(n)->textInteractionFlags() == Qt::TextSelectableByMouse, n);
    }
    for (const char *n : { "lbVersion", "lbInterrupt", "label_warning_info" })
        QVERIFY2(d.w<QLabel>(n)->wordWrap(), n);
    for (const char *n : { "edt_com_auto", "edt_system_time", "edt_send_time", "edt_time_delay", "label_total_sec" })
        QVERIFY2(d.w<QLineEdit>(n)->alignment() == Qt::AlignCenter, n);
    QCOMPARE(d.w<QLabel>("label_11")->alignment(), Qt::AlignCenter);
    QCOMPARE(d.w<QFrame>("fram_tab_btn")->maximumWidth(), 95);
}

void FormTest::widgetsInBothLanguages_data()
{
    QTest::addColumn<bool>("english");
    QTest::newRow("zh_CN") << false;
    QTest::newRow("en_US") << true;
}

void FormTest::widgetsInBothLanguages()
{
    QFETCH(bool, english);
    QTranslator translator;
    InstallLanguage(*qApp, translator, english ? "en_US" : "zh_CN");
    TestDesk d;
    QApplication::removeTranslator(&translator);

    for (const FormWidget &f : kWidgets) {
        const QWidget *w = d.findChild<QWidget *>(f.name);
        QVERIFY2(w, f.name);
        const char *text = english && f.en ? f.en : f.cn;
        QCOMPARE(describe(w),
            QStringList({ f.name, f.type, f.enabled ? "enabled" : "disabled", f.minimum, f.sheet, text ? text : "-" })
                .join(" | "));
    }
    QCOMPARE(d.windowTitle(), QString("SrcDesk"));
    QVERIFY(d.w<QRadioButton>("rBtn_single")->isChecked());
    QVERIFY(!d.w<QRadioButton>("rBtn_continue")->isChecked());

    QStringList signalItems, freqItems;
    for (const auto &item : kSignals)
        signalItems << QString::fromUtf8(item[english]);
    for (int i = 0; i < 27; ++i) // 2^-13 … 2^13 Hz
        freqItems << (i < 13 ? QString("1/%1").arg(1 << (13 - i)) : QString::number(1 << (i - 13)));
    QCOMPARE(comboItems(d.w<QComboBox>("cmb_signal")), signalItems);
    QCOMPARE(comboItems(d.w<QComboBox>("cmb_freq")), freqItems);
    QCOMPARE(comboItems(d.w<QComboBox>("cmb_model_scan")),
        english ? QStringList({ "Single frequency sweep", "Cyclic frequency sweep" })
                : QStringList({ "单次扫频", "循环扫频" }));

    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    for (const char *n : { "label_safe", "lbInterrupt", "label_warning", "label_warning_info" })
        QVERIFY2(!d.findChild<QWidget *>(n)->isVisible(), n);
    QVERIFY(d.w<QLabel>("label_v")->isVisible());
    // The transparent button must look like the window behind it, not a dark box.
    auto *holder = d.w<QPushButton>("btn_hidden");
    const QImage shot = d.grab().toImage();
    QCOMPARE(QColor(shot.pixel(holder->mapTo(&d, holder->rect().center()))), QColor(236, 233, 216));
}

void FormTest::signalTableLadderAndDropDownRows()
{
    TestDesk d;
    QCOMPARE(d.signalCodes, QVector<quint8>({ 4, 1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 16, 17, 18 }));
    QCOMPARE(
        d.signalMaxFreq, QVector<double>({ 8192, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 8192, 8192, 8192 }));
    for (int i = 0; i < 26; ++i) // 8192 Hz down to 1/4096 Hz
        QCOMPARE(d.freqLadder[i], std::ldexp(1.0f, 13 - i));
    QVERIFY(!d.responseTimer->isActive() && !d.pollTimer->isActive() && !d.stepTimer->isActive());
    QCOMPARE(d.pollTimer->interval(), 1000);
    QVERIFY(!d.busy && !d.linkIdle && d.versionCompatible && d.CommandState != 5);

    for (const char *n : { "cmb_signal", "cmb_freq", "cmb_model_scan" }) {
        auto *model = qobject_cast<QStandardItemModel *>(d.w<QComboBox>(n)->model());
        QVERIFY2(model && model->rowCount() > 1, n);
        for (int row = 0; row < model->rowCount(); ++row)
            QCOMPARE(model->item(row)->data(Qt::SizeHintRole).toSize(), QSize(0, 35));
    }
}

void FormTest::delayValidator_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");
    for (const char *text : { "12", "12.5", "0.5", "7", "7.5" })
        QTest::newRow(text) << text << int(QValidator::Acceptable);
    for (const char *text : { "7.55", "07", "1a", "-3" })
        QTest::newRow(text) << text << int(QValidator::Invalid);
    QTest::newRow("0 only while typing") << "0" << int(QValidator::Intermediate);
}

void FormTest::delayValidator()
{
    QFETCH(QString, text);
    QFETCH(int, state);
    TestDesk d;
    auto *edit = d.w<QLineEdit>("edt_time_delay");
    QVERIFY(edit->validator());
    int pos = 0;
    QCOMPARE(int(edit->validator()->validate(text, pos)), state);

    // What an operator can actually type into the field.
    edit->clear();
    QTest::keyClicks(edit, text);
    QCOMPARE(edit->text() == text, state != int(QValidator::Invalid));
}

QTEST_MAIN(FormTest)
#include "tst_form.moc"
