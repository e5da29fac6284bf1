#include "app/startup.h"
#include "testdesk.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTranslator>
#include <QValidator>
#include <QSerialPort>

namespace {

// Names of the widgets and sub-layouts of a layout, in order; spacers as "-".
QStringList itemNames(const QLayout *layout)
{
    QStringList names;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget())
            names << item->widget()->objectName();
        else if (item->layout())
            names << item->layout()->objectName();
        else
            names << "-";
    }
    return names;
}

const QStringList kSignalItems = { "方波", "3阶扩频波", "4阶扩频波", "5阶扩频波", "6阶扩频波", "7阶扩频波", "8阶扩频波",
    "3阶多频波", "5阶多频波", "7阶多频波", "9阶多频波", "过零方波-25%占空", "过零方波-50%占空", "过零方波-70%占空" };

} // namespace

class FormTest : public QObject
{
    Q_OBJECT

private slots:
    void treeHasEveryObjectInOrder();
    void widgetTypes_data();
    void widgetTypes();
    void chineseTexts_data();
    void chineseTexts();
    void englishTexts_data();
    void englishTexts();
    void enabledStatesAndStyles();
    void sizesAndAlignment();
    void placeHolderPaintsNothing();
    void comboContentsAndDefaults();
    void signalTableAndLadder();
    void delayValidator_data();
    void delayValidator();
    void dropDownRowsAre35Pixels();
    void startUpLogLines();

private:
    AppFolderFixture folder;
};

void FormTest::treeHasEveryObjectInOrder()
{
    TestDesk d;
    auto layout = [&](const char *name) { return d.findChild<QLayout *>(name); };
    QCOMPARE(d.centralWidget()->objectName(), QString("centralWidget"));
    QCOMPARE(itemNames(layout("horizontalLayout_10")), QStringList({ "fram1", "frame2" }));
    QCOMPARE(layout("horizontalLayout_10")->parentWidget(), d.centralWidget());
    QCOMPARE(itemNames(layout("verticalLayout_6")), QStringList({ "verticalLayout_5", "verticalLayout" }));
    QCOMPARE(itemNames(layout("verticalLayout_5")),
             QStringList({ "horizontalLayout_19", "horizontalLayout_11", "horizontalLayout_16", "horizontalLayout_15",
                           "horizontalLayout_18", "horizontalLayout_14", "horizontalLayout", "horizontalLayout_3",
                           "horizontalLayout_4", "horizontalLayout_5", "horizontalLayout_8", "horizontalLayout_12",
                           "horizontalLayout_6", "layout_freq", "horizontalLayout_13", "horizontalLayout_7" }));
    QCOMPARE(itemNames(layout("horizontalLayout_19")), QStringList({ "label_v", "lbVersion" }));
    QCOMPARE(itemNames(layout("horizontalLayout_11")),
             QStringList({ "label_8", "label_dev_statu", "label_15", "label_work_statu" }));
    QCOMPARE(itemNames(layout("horizontalLayout_16")), QStringList());
    QCOMPARE(itemNames(layout("horizontalLayout_15")),
             QStringList({ "label_14", "label_gps_lock", "label_16", "label_gps_sec" }));
    QCOMPARE(itemNames(layout("horizontalLayout_18")), QStringList({ "label_safe", "lbInterrupt" }));
    QCOMPARE(itemNames(layout("horizontalLayout_14")), QStringList({ "label_warning", "label_warning_info" }));
    QCOMPARE(itemNames(layout("horizontalLayout")), QStringList({ "label", "edt_com_auto", "pushButton" }));
    QCOMPARE(itemNames(layout("horizontalLayout_3")), QStringList({ "label_3", "edt_system_time" }));
    QCOMPARE(itemNames(layout("horizontalLayout_4")), QStringList({ "label_4", "edt_send_time" }));
    QCOMPARE(itemNames(layout("horizontalLayout_5")), QStringList({ "-", "btn_round_min", "btn_round_circel" }));
    QCOMPARE(itemNames(layout("horizontalLayout_8")),
             QStringList({ "label_time_delay", "edt_time_delay", "btn_time_delay" }));
    QCOMPARE(itemNames(layout("horizontalLayout_12")), QStringList({ "label_9", "rBtn_single", "rBtn_continue" }));
    QCOMPARE(itemNames(layout("horizontalLayout_6")), QStringList({ "label_5", "cmb_signal" }));
    QCOMPARE(itemNames(layout("layout_freq")), QStringList({ "label_freq", "cmb_freq" }));
    QCOMPARE(itemNames(layout("horizontalLayout_13")), QStringList({ "label_model_scan", "cmb_model_scan" }));
    QCOMPARE(itemNames(layout("horizontalLayout_7")), QStringList({ "btn_hidden", "-", "btn_start", "btn_stop" }));
    QCOMPARE(itemNames(layout("verticalLayout")), QStringList({ "label_6", "v_list_log" }));
    QCOMPARE(itemNames(layout("horizontalLayout_9")), QStringList({ "verticalLayout_7", "fram_tab_btn" }));
    QCOMPARE(itemNames(layout("verticalLayout_7")), QStringList({ "tableView" }));
    QCOMPARE(itemNames(layout("verticalLayout_8")),
             QStringList({ "btn_import", "btn_out", "-", "btn_insert", "btn_add", "btn_delete", "btn_clear", "-",
                           "label_11", "label_total_sec" }));

    auto *main = qobject_cast<QBoxLayout *>(layout("horizontalLayout_10"));
    QCOMPARE(main->stretch(0), 4);
    QCOMPARE(main->stretch(1), 7);
    for (const char *name : { "horizontalLayout_10", "verticalLayout_6", "horizontalLayout_9", "verticalLayout_8" })
        QCOMPARE(layout(name)->contentsMargins(), QMargins(11, 11, 11, 11));
    for (QLayout *l : d.centralWidget()->findChildren<QLayout *>())
        QVERIFY2(l->objectName().isEmpty() || l->spacing() == 6, qPrintable(l->objectName())); // unnamed: Qt's own
    QVERIFY(!d.menuWidget());
    QCOMPARE(d.size(), QSize(1280, 800));
}

void FormTest::widgetTypes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    const char *labels[] = { "label_v", "lbVersion", "label_8", "label_dev_statu", "label_15", "label_work_statu",
        "label_14", "label_gps_lock", "label_16", "label_gps_sec", "label_safe", "lbInterrupt", "label_warning",
        "label_warning_info", "label", "label_3", "label_4", "label_time_delay", "label_9", "label_5", "label_freq",
        "label_model_scan", "label_6", "label_11" };
    for (const char *n : labels)
        QTest::newRow(n) << n << "QLabel";
    for (const char *n : { "edt_com_auto", "edt_system_time", "edt_send_time", "edt_time_delay", "label_total_sec" })
        QTest::newRow(n) << n << "QLineEdit";
    for (const char *n : { "pushButton", "btn_round_min", "btn_round_circel", "btn_time_delay", "btn_hidden",
                           "btn_start", "btn_stop", "btn_import", "btn_out", "btn_insert", "btn_add", "btn_delete",
                           "btn_clear" })
        QTest::newRow(n) << n << "QPushButton";
    for (const char *n : { "rBtn_single", "rBtn_continue" })
        QTest::newRow(n) << n << "QRadioButton";
    for (const char *n : { "cmb_signal", "cmb_freq", "cmb_model_scan" })
        QTest::newRow(n) << n << "QComboBox";
    for (const char *n : { "fram1", "frame2", "fram_tab_btn" })
        QTest::newRow(n) << n << "QFrame";
    QTest::newRow("v_list_log") << "v_list_log" << "QListView";
    QTest::newRow("tableView") << "tableView" << "QTableView";
    QTest::newRow("centralWidget") << "centralWidget" << "QWidget";
}

void FormTest::widgetTypes()
{
    QFETCH(QString, name);
    QFETCH(QString, type);
    TestDesk d;
    QWidget *w = d.findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(QString(w->metaObject()->className()), type);
}

static void addTextRows(bool english)
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    auto row = [&](const char *name, const char *cn, const char *en) {
        QTest::newRow(name) << name << QString::fromUtf8(english ? en : cn);
    };
    row("label_v", "固件版本：", "Firmware version：");
    for (const char *n : { "lbVersion", "label_dev_statu", "label_work_statu", "label_gps_lock", "label_gps_sec" })
        row(n, "未获取", "unknown");
    row("label_8", "设备状态：", "DeviceStatus:");
    row("label_15", "工作状态：", "WorkingStatus:");
    row("label_14", "GPS锁定：", "GPS lock:");
    row("label_16", "GPS闰秒：", "GPS leap second:");
    row("label_safe", "特殊状态：", "Special state：");
    row("lbInterrupt", "中断保护", "Interrupt protection");
    row("label_warning", "预警信息：", "Warning:");
    row("label_warning_info", "", "");
    row("edt_system_time", "", "");
    row("btn_hidden", "", "");
    row("label", "通信端口：", "Port:");
    row("pushButton", "自动扫描连接", "Automatic connection");
    row("label_3", "GPS时间：", "GPS Time:");
    row("label_4", "发送时间：", "Send Time:");
    row("btn_round_min", "整分", "Integral minute");
    row("btn_round_circel", "整周期", "Integral period");
    row("label_time_delay", "同步延时：", "Sync delay:");
    row("edt_time_delay", "0", "0");
    row("btn_time_delay", "设置延时(mS)", "Set delay (mS)");
    row("label_9", "输出模式:", "Mode:");
    row("rBtn_single", "单频输出", "Single frequency");
    row("rBtn_continue", "扫频输出", "Sweep output");
    row("label_5", "信号类型:", "Signal:");
    row("label_freq", "频率(Hz):", "Frequency(Hz):");
    row("label_model_scan", "扫频模式:", "Sweep mode:");
    row("btn_start", "启动", "Startup");
    row("btn_stop", "停止", "Stop");
    row("label_6", "历史记录", "History record");
    row("btn_import", "导入", "Import");
    row("btn_out", "导出", "Export");
    row("btn_insert", "插入", "Insert");
    row("btn_add", "增加", "Add");
    row("btn_delete", "删除", "Delete");
    row("btn_clear", "清空", "Empty");
    row("label_11", "总时间", "Totaltime");
    row("label_total_sec", "00:00:00", "00:00:00");
}

static QString widgetText(QWidget *w)
{
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    return QString("?");
}

void FormTest::chineseTexts_data()
{
    addTextRows(false);
}

void FormTest::chineseTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QTranslator translator;
    InstallLanguage(*qApp, translator, "zh_CN");
    TestDesk d;
    QCOMPARE(widgetText(d.findChild<QWidget *>(name)), text);
    QCOMPARE(d.windowTitle(), QString("SrcDesk"));
}

void FormTest::englishTexts_data()
{
    addTextRows(true);
}

void FormTest::englishTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QTranslator translator;
    InstallLanguage(*qApp, translator, "en_US");
    TestDesk d;
    QApplication::removeTranslator(&translator);
    QCOMPARE(widgetText(d.findChild<QWidget *>(name)), text);
}

void FormTest::enabledStatesAndStyles()
{
    TestDesk d;
    for (const char *n : { "lbVersion", "label_dev_statu", "label_work_statu", "label_gps_sec", "lbInterrupt",
                           "label_warning_info", "edt_com_auto", "edt_system_time", "btn_start", "btn_stop",
                           "label_total_sec" })
        QVERIFY2(!d.findChild<QWidget *>(n)->isEnabled(), n);
    for (const char *n : { "label_gps_lock", "pushButton", "edt_send_time", "edt_time_delay", "btn_time_delay",
                           "rBtn_single", "rBtn_continue", "cmb_signal", "cmb_freq", "cmb_model_scan",
                           "btn_round_min", "btn_round_circel" })
        QVERIFY2(d.findChild<QWidget *>(n)->isEnabled(), n);

    auto sheet = [&](const char *n) { return d.findChild<QWidget *>(n)->styleSheet(); };
    QCOMPARE(sheet("centralWidget"), QString("background-color: rgb(236, 233, 216);\ncolor: rgb(0, 0, 0);"));
    QCOMPARE(sheet("label_warning_info"), QString("color: rgb(255, 0, 0);"));
    QCOMPARE(sheet("lbInterrupt"), QString("color: rgb(255, 0, 0);"));
    QCOMPARE(sheet("edt_system_time"), QString("color: rgb(0, 0, 0);"));
    for (const char *n : { "edt_send_time", "edt_time_delay", "cmb_signal", "cmb_freq", "cmb_model_scan", "v_list_log" })
        QCOMPARE(sheet(n), QString("background-color: rgb(255, 255, 255);"));
    QCOMPARE(sheet("btn_hidden"), QString("background-color: transparent;"));
    QCOMPARE(sheet("btn_start"), QString("color: rgb(208, 204, 188);"));
    QCOMPARE(sheet("btn_stop"), QString("color: rgb(208, 204, 188);"));
    QVERIFY(d.w<QRadioButton>("rBtn_single")->isChecked());
    QVERIFY(!d.w<QRadioButton>("rBtn_continue")->isChecked());

    // The interrupt and warning rows start hidden.
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    for (const char *n : { "label_safe", "lbInterrupt", "label_warning", "label_warning_info" })
        QVERIFY2(!d.findChild<QWidget *>(n)->isVisible(), n);
    QVERIFY(d.w<QLabel>("label_v")->isVisible());
}

void FormTest::sizesAndAlignment()
{
    TestDesk d;
    for (const char *n : { "lbVersion", "label_dev_statu", "label_work_statu", "label_gps_lock", "label_gps_sec",
                           "lbInterrupt", "label_warning_info" }) {
        auto *l = d.w<QLabel>(n);
        QCOMPARE(l->minimumSize(), QSize(55, 26));
        QCOMPARE(l->alignment(), Qt::AlignLeading | Qt::AlignLeft | Qt::AlignVCenter);
        QCOMPARE(l->textInteractionFlags(), Qt::TextSelectableByMouse);
    }
    for (const char *n : { "lbVersion", "lbInterrupt", "label_warning_info" })
        QVERIFY(d.w<QLabel>(n)->wordWrap());
    QCOMPARE(d.w<QLabel>("label_v")->minimumWidth(), 68);
    QCOMPARE(d.w<QLabel>("label_time_delay")->minimumWidth(), 68);
    for (const char *n : { "edt_com_auto", "edt_system_time", "edt_send_time", "edt_time_delay" }) {
        QCOMPARE(d.w<QLineEdit>(n)->alignment(), Qt::AlignCenter);
        QCOMPARE(d.w<QLineEdit>(n)->minimumHeight(), 26);
    }
    for (const char *n : { "cmb_signal", "cmb_freq", "cmb_model_scan" })
        QCOMPARE(d.w<QComboBox>(n)->minimumHeight(), 26);
    QCOMPARE(d.w<QFrame>("fram1")->minimumWidth(), 350);
    QCOMPARE(d.w<QFrame>("frame2")->minimumWidth(), 650);
    QCOMPARE(d.w<QFrame>("fram_tab_btn")->maximumWidth(), 95);
    QCOMPARE(d.w<QPushButton>("btn_hidden")->minimumWidth(), 80);
    for (const char *n : { "btn_import", "btn_out", "btn_insert", "btn_add", "btn_delete", "btn_clear" })
        QCOMPARE(d.w<QPushButton>(n)->minimumHeight(), 40);
    QCOMPARE(d.w<QLabel>("label_11")->minimumWidth(), 60);
    QCOMPARE(d.w<QLabel>("label_11")->alignment(), Qt::AlignCenter);
    QCOMPARE(d.w<QLineEdit>("label_total_sec")->minimumSize(), QSize(80, 26));
    QCOMPARE(d.w<QLineEdit>("label_total_sec")->alignment(), Qt::AlignCenter);
}

void FormTest::placeHolderPaintsNothing()
{
    // The transparent button must look like the window behind it, not a dark box.
    TestDesk d;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    auto *holder = d.w<QPushButton>("btn_hidden");
    const QImage shot = d.grab().toImage();
    const QPoint centre = holder->mapTo(&d, holder->rect().center());
    QCOMPARE(QColor(shot.pixel(centre)), QColor(236, 233, 216));
}

void FormTest::comboContentsAndDefaults()
{
    TestDesk d;
    auto items = [](QComboBox *box) {
        QStringList texts;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        return texts;
    };
    QCOMPARE(items(d.w<QComboBox>("cmb_signal")), kSignalItems);
    QCOMPARE(items(d.w<QComboBox>("cmb_freq")),
             QStringList({ "1/8192", "1/4096", "1/2048", "1/1024", "1/512", "1/256", "1/128", "1/64", "1/32", "1/16",
                           "1/8", "1/4", "1/2", "1", "2", "4", "8", "16", "32", "64", "128", "256", "512", "1024",
                           "2048", "4096", "8192" }));
    QCOMPARE(items(d.w<QComboBox>("cmb_model_scan")), QStringList({ "单次扫频", "循环扫频" }));
    QCOMPARE(d.w<QComboBox>("cmb_signal")->currentIndex(), 3);
    QCOMPARE(d.w<QComboBox>("cmb_freq")->currentIndex(), 0);
    QCOMPARE(d.w<QComboBox>("cmb_model_scan")->currentIndex(), 0);

    QTranslator translator;
    InstallLanguage(*qApp, translator, "en_US");
    TestDesk english;
    QApplication::removeTranslator(&translator);
    QCOMPARE(english.w<QComboBox>("cmb_signal")->itemText(13), QString("Zero passage square wave-duty ratio 70%"));
    QCOMPARE(english.w<QComboBox>("cmb_model_scan")->itemText(1), QString("Cyclic frequency sweep"));
    QCOMPARE(english.w<QComboBox>("cmb_freq")->itemText(0), QString("1/8192"));
}

void FormTest::signalTableAndLadder()
{
    TestDesk d;
    QCOMPARE(d.signalCodes, QVector<quint8>({ 4, 1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 16, 17, 18 }));
    QCOMPARE(d.signalMaxFreq,
             QVector<double>({ 8192, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 8192, 8192, 8192 }));
    QCOMPARE(d.freqLadder[0], 8192.0f);
    QCOMPARE(d.freqLadder[13], 1.0f);
    QCOMPARE(d.freqLadder[25], 1.0f / 4096.0f);
    QCOMPARE(d.freqData, &d.freqTable.freq_num);
    QVERIFY(!d.busy);
    QVERIFY(!d.linkIdle);
    QVERIFY(d.versionCompatible);
    QVERIFY(d.CommandState != 5);
    QVERIFY(!d.responseTimer->isActive() && !d.pollTimer->isActive() && !d.stepTimer->isActive());
    QCOMPARE(d.pollTimer->interval(), 1000);
    QVERIFY(!d.serialPort->isOpen());
}

void FormTest::delayValidator_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");
    QTest::newRow("12") << "12" << int(QValidator::Acceptable);
    QTest::newRow("12.5") << "12.5" << int(QValidator::Acceptable);
    QTest::newRow("0.5") << "0.5" << int(QValidator::Acceptable);
    QTest::newRow("7") << "7" << int(QValidator::Acceptable);
    QTest::newRow("7.5") << "7.5" << int(QValidator::Acceptable);
    QTest::newRow("0 only while typing") << "0" << int(QValidator::Intermediate);
    QTest::newRow("7.55") << "7.55" << int(QValidator::Invalid);
    QTest::newRow("07") << "07" << int(QValidator::Invalid);
    QTest::newRow("letters") << "1a" << int(QValidator::Invalid);
    QTest::newRow("negative") << "-3" << int(QValidator::Invalid);
}

void FormTest::delayValidator()
{
    QFETCH(QString, text);
    QFETCH(int, state);
    TestDesk d;
    const QValidator *v = d.w<QLineEdit>("edt_time_delay")->validator();
    QVERIFY(v);
    int pos = 0;
    QCOMPARE(int(v->validate(text, pos)), state);

    // What an operator can actually type into the field.
    auto *edit = d.w<QLineEdit>("edt_time_delay");
    edit->clear();
    QTest::keyClicks(edit, text);
    QCOMPARE(edit->text() == text, state != int(QValidator::Invalid));
}

void FormTest::dropDownRowsAre35Pixels()
{
    TestDesk d;
    for (const char *n : { "cmb_signal", "cmb_freq", "cmb_model_scan" }) {
        auto *box = d.w<QComboBox>(n);
        auto *model = qobject_cast<QStandardItemModel *>(box->model());
        QVERIFY(model);
        for (int row = 0; row < box->count(); ++row)
            QCOMPARE(model->item(row)->data(Qt::SizeHintRole).toSize(), QSize(0, 35));
    }
}

void FormTest::startUpLogLines()
{
    AppFolderFixture own;
    TestDesk d;
    // Lines of the settings load and the output mode may come between the last two.
    const QStringList lines = logFileTexts(own.path());
    QCOMPARE(lines.value(0), QString("应用启动!"));
    QCOMPARE(lines.value(1), QString("应用初始化..."));
    QCOMPARE(lines.last(), QString("应用初始化完成."));
    QCOMPARE(d.logLines.size(), 1);
    QVERIFY(d.logLines.first().endsWith("-系统信息->程序已启动！"));
    QCOMPARE(WindowTitle(), QString("SourceDesk-V2.1.2A"));
}

QTEST_MAIN(FormTest)
#include "tst_form.moc"
