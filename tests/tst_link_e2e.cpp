#include "txsimfield.h"

#include <QComboBox>
#include <QElapsedTimer>

// The link as the operator reads it: the device label and its colour, the
// work and GPS labels, and whether a start can be pressed.
static QString linkAsShown(const Field &f)
{
    const bool start = f.d.w<QPushButton>("btn_start")->isEnabled();
    return QStringList({ f.text("label_dev_statu"), f.sheet("label_dev_statu"), f.text("label_work_statu"),
                           f.text("label_gps_lock"), f.text("label_gps_sec"), start ? "start" : "no start" })
        .join('|');
}

class LinkEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void scanWithoutAnAnsweringPort();
    void scanSkipsSilentAndGarbagePorts();
    void statusBytePaintsTheWindow_data();
    void statusBytePaintsTheWindow();
    void firmwareVersion_data();
    void firmwareVersion();
    void lostTransmitterIsShownUntilItAnswers_data();
    void lostTransmitterIsShownUntilItAnswers();
};

void LinkEndToEndTest::scanWithoutAnAnsweringPort()
{
    Field f(0);
    f.d.EnableStartStop(true, false);
    f.scan();
    QCOMPARE(f.text("label_dev_statu"), QString("连接失败"));
    QCOMPARE(f.sheet("label_dev_statu"), kRed);
    for (const char *name : { "label_work_statu", "label_gps_lock", "label_gps_sec" }) {
        QCOMPARE(f.text(name), QString());
        QCOMPARE(f.sheet(name), kBlack);
    }
    QVERIFY(f.d.w<QPushButton>("btn_start")->isEnabled()); // no port: the buttons keep what they showed
    QCOMPARE(f.view().mid(1),
        QStringList({ "用户操作->扫描端口...", "系统信息->发现端口数：0", "系统信息->警告：未连接！" }));
    QCOMPARE(f.file().mid(f.file().indexOf("开始自动扫描连接")),
        QStringList({ "开始自动扫描连接", "扫描端口...", "串口关闭!", "串口未开启，无需关闭" }));
    QVERIFY(!f.d.pollTimer->isActive());

    // Ports that fail to open are each tried, then the buttons are greyed.
    const QString gone1 = f.folder.file("ttyGONE1");
    const QString gone2 = f.folder.file("ttyGONE2");
    f.ports = QStringList { gone1, gone2 };
    const int viewFrom = f.view().size();
    f.scan();
    QCOMPARE(f.text("label_dev_statu"), QString("连接失败"));
    QVERIFY(!f.d.w<QPushButton>("btn_start")->isEnabled());
    QVERIFY(!f.d.w<QPushButton>("btn_stop")->isEnabled());
    QCOMPARE(f.view().mid(viewFrom + 2),
        QStringList({ "系统信息->打开" + gone1, "系统信息->打开" + gone1 + "失败", "系统信息->打开" + gone2,
            "系统信息->打开" + gone2 + "失败", "系统信息->警告：未连接！" }));
    QCOMPARE(f.file().mid(f.file().indexOf("打开端口")),
        QStringList({ "打开端口", "端口打开失败", "打开端口", "端口打开失败", "非法设备" }));
}

void LinkEndToEndTest::scanSkipsSilentAndGarbagePorts()
{
    Field f(3);
    f.tx(0).setFault(0, FaultSpec { Fault::NoAnswer });
    f.tx(1).setFault(0, FaultSpec { Fault::WrongStartByte });
    f.tx(2).setVersion(0x22, 23, 11, 30);
    f.live = 2;
    QVERIFY(f.connectAndPoll(1));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(f.awaitPolls(2));
    QVERIFY(clock.elapsed() >= 1800); // once a second, not faster

    const QString third = f.d.serialPort->portName();
    QCOMPARE(third, f.tx(2).portPath());
    QCOMPARE(f.d.w<QLineEdit>("edt_com_auto")->text(), third);
    QCOMPARE(f.text("label_dev_statu"), QString("已连接"));
    QCOMPARE(f.sheet("label_dev_statu"), kGreen);
    QCOMPARE(f.text("lbVersion"), QString("V2.2_2023-11-30"));
    QCOMPARE(f.text("label_work_statu"), QString("空闲"));

    // Every line of the scan in order; the polls add none.
    QCOMPARE(f.view(),
        QStringList({ "系统信息->程序已启动！", "用户操作->扫描端口...", "系统信息->发现端口数：3",
            "系统信息->打开" + f.tx(0).portPath(), "系统信息->连接测试中...", "系统信息->打开" + f.tx(1).portPath(),
            "系统信息->连接测试中...", "系统信息->警告：异常！", "系统信息->打开" + third, "系统信息->连接测试中...",
            "系统信息->端口连接成功." }));
    const QStringList file = f.file();
    QCOMPARE(file.mid(file.indexOf("开始自动扫描连接")),
        QStringList({ "开始自动扫描连接", "扫描端口...", "串口关闭!", "串口未开启，无需关闭", "打开端口",
            "启动连接测试", "命令超时", "串口关闭!", "串口关闭成功", "打开端口", "启动连接测试", "串口关闭!",
            "串口关闭成功", "打开端口", "启动连接测试", "命令返回异常!", "端口连接测试成功", "获取硬件版本号",
            "版本号获取成功，开始解析", "版本号解析成功", "串口已正常开启!" }));

    // The first two only ever saw the connection test; the third exactly the
    // frames of the connection test, the version query and three polls.
    QCOMPARE(commandCodes(f.tx(0)), QList<quint8>({ 0x02 }));
    QCOMPARE(commandCodes(f.tx(1)), QList<quint8>({ 0x02 }));
    const QByteArray poll = hex("7E 00 03 07 00 01 76");
    QCOMPARE(f.tx(2).rawFrames(),
        QList<QByteArray>({ hex("7E 00 05 02 00 02 55 AA 79"), hex("7E 00 01 0A 76"), poll, poll, poll }));
}

void LinkEndToEndTest::statusBytePaintsTheWindow_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("pending"); // a start accepted, its moment still to come
    QTest::addColumn<QString>("work");
    QTest::addColumn<QString>("warning");
    QTest::newRow("0x00 idle, nothing") << 0x00 << false << "空闲" << QString();
    QTest::newRow("0xE0 transmitting, locked, leap second") << 0xE0 << false << "工作中" << QString();
    QTest::newRow("0x1F every warning, interrupt") << 0x1F << false << "空闲" << QString("设备过温,过压,过流,缺水");
    QTest::newRow("0x40 locked, no leap second") << 0x40 << false << "空闲" << QString();
    QTest::newRow("0x12 temperature and water") << 0x12 << false << "空闲" << QString("设备过温,缺水");
    QTest::newRow("0x04 current alone") << 0x04 << false << "空闲" << QString("设备过流");
    QTest::newRow("0x00 while a start waits") << 0x00 << true << "待发送" << QString();
}

void LinkEndToEndTest::statusBytePaintsTheWindow()
{
    QFETCH(int, status);
    QFETCH(bool, pending);
    QFETCH(QString, work);
    QFETCH(QString, warning);
    const bool running = status & 0x80, lock = status & 0x40, leap = status & 0x20, interrupt = status & 0x01;

    Field f;
    Transmitter &tx = f.tx();
    tx.setGpsLocked(lock);
    tx.setLeapDone(leap);
    tx.setWarnings(status & 0x10, status & 0x08, status & 0x04, status & 0x02);
    tx.setInterruptProtection(interrupt);
    tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(8, 3, 9)));
    // Started by another controller at 08:00: it runs at once, until stopped.
    if (running) {
        QVERIFY(commandFromOutside(tx, hex("06 04")));
        QVERIFY(commandFromOutside(tx, hex("01 14 18 05 11 08 00 00 00 0D 7F FF FF FF")));
        QVERIFY(tx.isTransmitting());
    }
    tx.clearRecord();
    QVERIFY(f.connectAndPoll(1));
    if (pending) {
        // What an accepted start leaves behind; the poll must not take it for idle.
        f.d.transmitting = true;
        f.d.ShowWorkStatus("待发送", 0);
        f.d.EnableStartStop(false, true);
        f.d.EnableSettings(false);
        QVERIFY(f.awaitPolls(1));
        QVERIFY(f.d.transmitting);
    }

    QCOMPARE(f.text("label_dev_statu"), QString("已连接"));
    QCOMPARE(f.text("label_work_statu"), work);
    QCOMPARE(f.sheet("label_work_statu"), running ? kGreen : kBlack);
    QCOMPARE(f.text("label_gps_lock"), lock ? QString("已锁定") : QString("未锁定"));
    QCOMPARE(f.sheet("label_gps_lock"), lock ? kGreen : kRed);
    QCOMPARE(f.text("label_gps_sec"), leap ? QString("已闰秒") : QString("未闰秒"));
    QCOMPARE(f.sheet("label_gps_sec"), leap ? kGreen : kRed);
    QCOMPARE(f.label("label_safe")->isVisibleTo(&f.d), interrupt);
    QCOMPARE(f.label("lbInterrupt")->isVisibleTo(&f.d), interrupt);
    QCOMPARE(f.label("label_warning")->isVisibleTo(&f.d), !warning.isEmpty());
    QCOMPARE(f.label("label_warning_info")->isVisibleTo(&f.d), !warning.isEmpty());
    if (!warning.isEmpty())
        QCOMPARE(f.text("label_warning_info"), warning);

    const bool settable = !running && !pending;
    QCOMPARE(f.d.w<QPushButton>("btn_start")->isEnabled(), settable);
    QVERIFY(f.d.w<QPushButton>("btn_stop")->isEnabled());
    QCOMPARE(f.d.w<QPushButton>("pushButton")->isEnabled(), settable);
    QCOMPARE(f.d.w<QComboBox>("cmb_signal")->isEnabled(), settable);

    // Locked with the leap second, the GPS time follows the poll on the port
    // held open; otherwise each poll closes it.
    const bool gps = lock && leap;
    QTRY_COMPARE(commandCodes(tx).mid(2, 2), gps ? QList<quint8>({ 0x07, 0x03 }) : QList<quint8>({ 0x07, 0x07 }));
    QTRY_COMPARE(f.d.serialPort->isOpen(), gps);
    auto *system = f.d.w<QLineEdit>("edt_system_time");
    auto *send = f.d.w<QLineEdit>("edt_send_time");
    if (!gps) {
        QVERIFY(system->text().isEmpty());
        return;
    }
    // The first GPS time fills both fields; later ones move the GPS field only.
    QTRY_VERIFY(!system->text().isEmpty());
    const QString first = system->text();
    QVERIFY2(first.startsWith("2024/05/17 08:03:"), qPrintable(first));
    QCOMPARE(send->text(), first);
    QTRY_VERIFY_WITH_TIMEOUT(system->text() > first, 10000);
    QCOMPARE(send->text(), first);
    QVERIFY(f.file().contains("GPS时间解析成功"));
    QVERIFY(!f.file().contains("获取GPS时间")); // asked right after the silent status poll
}

void LinkEndToEndTest::firmwareVersion_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("build"); // year since 2000, month, day
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("polls");
    const int none = int(Fault::None);
    const QString tooOld = "控制软件版本过低,与发送机不兼容！";
    QTest::newRow("0x21") << 0x21 << hex("13 06 03") << none << "V2.1_2019-06-03" << true;
    QTest::newRow("0x29") << 0x29 << hex("18 0C 1F") << none << "V2.9_2024-12-31" << true;
    QTest::newRow("0x10 single digits") << 0x10 << hex("05 01 02") << none << "V1.0_2005-01-02" << true;
    QTest::newRow("year byte 100") << 0x21 << hex("64 06 03") << none << "V2.1_20100-06-03" << true;
    QTest::newRow("0x30") << 0x30 << hex("13 06 03") << none << tooOld << false;
    QTest::newRow("0xA0") << 0xA0 << hex("13 06 03") << none << tooOld << false;
    // Refused and unanswered versions are in the fault matrix; a stuffed code is a refusal too.
    QTest::newRow("stuffed response code") << 0x21 << hex("13 06 03") << int(Fault::StuffedCode) << "获取失败" << true;
}

void LinkEndToEndTest::firmwareVersion()
{
    QFETCH(int, version);
    QFETCH(QByteArray, build);
    QFETCH(int, fault);
    QFETCH(QString, shown);
    QFETCH(bool, polls);

    Field f;
    f.tx().setVersion(quint8(version), build.at(0), build.at(1), build.at(2));
    f.tx().setFault(0x0A, FaultSpec { Fault(fault) });
    f.scan();
    QTRY_COMPARE_WITH_TIMEOUT(f.text("lbVersion"), shown, 10000);
    QCOMPARE(f.sheet("lbVersion"), shown.startsWith('V') ? kBlack : kRed);
    QCOMPARE(f.file().contains("版本号解析成功"), fault == int(Fault::None));
    QCOMPARE(f.file().contains("版本号获取失败"), fault != int(Fault::None));
    if (polls) {
        QVERIFY(f.awaitPolls(1));
        QCOMPARE(f.text("label_dev_statu"), QString("已连接"));
        QCOMPARE(f.text("label_work_statu"), QString("空闲"));
        return;
    }
    QVERIFY(!f.d.pollTimer->isActive());
    for (const char *name : { "btn_start", "btn_stop", "pushButton" })
        QVERIFY2(!f.d.w<QPushButton>(name)->isEnabled(), name);
    QVERIFY(!f.d.w<QComboBox>("cmb_signal")->isEnabled());
    QCOMPARE(commandCodes(f.tx()), QList<quint8>({ 0x02, 0x0A }));
}

void LinkEndToEndTest::lostTransmitterIsShownUntilItAnswers_data()
{
    QTest::addColumn<bool>("gps"); // locked with the leap second: the port stays open for the GPS time
    QTest::addColumn<int>("code"); // the command left unanswered; 0: the adapter is pulled and put back
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("fileLines"); // new in the log file; none: neither log changes
    QTest::newRow("pulled between polls") << false << 0 << 1 << QStringList();
    QTest::newRow("pulled, port held open for GPS") << true << 0 << 1 << QStringList({ "串口重新打开成功." });
    QTest::newRow("three status polls unanswered") << false << 0x07 << 3 << QStringList();
    QTest::newRow("GPS time unanswered") << true << 0x03 << 1 << QStringList({ "命令超时", "串口重新打开成功." });
}

void LinkEndToEndTest::lostTransmitterIsShownUntilItAnswers()
{
    QFETCH(bool, gps);
    QFETCH(int, code);
    QFETCH(int, count);
    QFETCH(QStringList, fileLines);

    Field f;
    Transmitter &tx = f.tx();
    tx.setGpsLocked(gps);
    tx.setLeapDone(gps);
    QVERIFY(f.connectAndPoll(1));
    QTRY_VERIFY(!gps || commandsOf(tx, 0x03) > 0);
    const QStringList fileBefore = f.file();
    const QStringList viewBefore = f.view();
    // What the window shows each time a status poll reaches the transmitter.
    QStringList shownAtPoll;
    connect(&tx, &Transmitter::commandReceived, [&](const QByteArray &payload) {
        if (quint8(payload.at(0)) == 0x07)
            shownAtPoll << linkAsShown(f);
    });

    const int lostAt = tx.payloads().size();
    const quint8 awaited = code ? quint8(code) : quint8(0x07);
    const int sent = commandsOf(tx, awaited);
    if (code) {
        FaultSpec spec { Fault::NoAnswer };
        spec.count = count;
        tx.setFault(quint8(code), spec);
    } else {
        tx.unplug();
        QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("连接失败"), 10000);
        QVERIFY(tx.replug());
        QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("已连接"), 3000);
    }
    QTRY_VERIFY_WITH_TIMEOUT(
        commandsOf(tx, awaited) > sent + (code ? count : 0) && f.text("label_dev_statu") == "已连接", 20000);
    QCOMPARE(f.sheet("label_dev_statu"), kGreen);
    QCOMPARE(f.view().count("用户操作->扫描端口..."), 1); // no new scan
    // Each loss is painted (buttons untouched) and found by the next poll.
    QCOMPARE(shownAtPoll.count("连接失败|" + kRed + "||||start"), count);

    // The next try after the loss goes through the link check and a status poll.
    const QList<quint8> codes = commandCodes(tx);
    const int lastBeforeTry = code ? codes.indexOf(quint8(code), lostAt) : lostAt - 1;
    QCOMPARE(codes.value(lastBeforeTry + 1), quint8(0x07));
    if (gps) {
        const int asked = commandsOf(tx, 0x03);
        QTRY_VERIFY(commandsOf(tx, 0x03) > asked);
    }

    const QStringList added = f.file().mid(fileBefore.size());
    for (const QString &line : fileLines)
        QVERIFY2(added.contains(line), qPrintable(line));
    if (fileLines.isEmpty()) {
        QCOMPARE(f.file(), fileBefore);
        QCOMPARE(f.view(), viewBefore);
    }
}

QTEST_MAIN(LinkEndToEndTest)
#include "tst_link_e2e.moc"
