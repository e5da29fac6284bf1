#include "txsimfield.h"

#include <QComboBox>
#include <QElapsedTimer>

// Start signal (square wave), then start parameters running from now until stopped.
static QByteArray startNowUntilStopped(const Transmitter &tx)
{
    const QDateTime now = tx.clock();
    const QDate day = now.date();
    const QTime time = now.time();
    QByteArray payload;
    payload.append(char(0x01)).append(char(day.year() / 100)).append(char(day.year() % 100));
    payload.append(char(day.month())).append(char(day.day()));
    payload.append(char(time.hour())).append(char(time.minute())).append(char(time.second()));
    payload.append(hex("00 0D 7F FF FF FF"));
    return payload;
}

class LinkEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void noPortFound();
    void firstScanWritesItsLinesInOrder();
    void silentAndGarbagePortsAreSkipped();
    void portsThatFailToOpen();
    void statusBytePaintsTheWindow_data();
    void statusBytePaintsTheWindow();
    void pendingStartWaitsForTheTransmitter();
    void firmwareVersion_data();
    void firmwareVersion();
    void versionRefusedOrUnansweredStillStartsPolling_data();
    void versionRefusedOrUnansweredStillStartsPolling();
    void gpsTimeFillsBothFieldsOnce();
    void gpsTimeTimeoutShowsTheLinkLost();
    void missingStatusAnswersTurnTheLinkRed();
    void unplugAndReplugWhilePolling_data();
    void unplugAndReplugWhilePolling();
};

void LinkEndToEndTest::noPortFound()
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
    // The buttons keep what they showed.
    QVERIFY(f.d.w<QPushButton>("btn_start")->isEnabled());
    QCOMPARE(f.view().mid(1),
        QStringList({ "用户操作->扫描端口...", "系统信息->发现端口数：0", "系统信息->警告：未连接！" }));
    QCOMPARE(f.file().mid(f.file().indexOf("开始自动扫描连接")),
        QStringList({ "开始自动扫描连接", "扫描端口...", "串口关闭!", "串口未开启，无需关闭" }));
    QVERIFY(!f.d.pollTimer->isActive());
}

void LinkEndToEndTest::firstScanWritesItsLinesInOrder()
{
    Field f;
    QVERIFY(f.connectAndPoll(2));

    const QString name = f.d.serialPort->portName();
    QCOMPARE(name, f.tx().portPath());
    QCOMPARE(f.view(),
        QStringList({ "系统信息->程序已启动！", "用户操作->扫描端口...", "系统信息->发现端口数：1",
            "系统信息->打开" + name, "系统信息->连接测试中...", "系统信息->端口连接成功." }));
    const QStringList file = f.file();
    QCOMPARE(file.mid(file.indexOf("开始自动扫描连接")),
        QStringList({ "开始自动扫描连接", "扫描端口...", "串口关闭!", "串口未开启，无需关闭", "打开端口",
            "启动连接测试", "端口连接测试成功", "获取硬件版本号", "版本号获取成功，开始解析", "版本号解析成功",
            "串口已正常开启!" }));

    // Exactly the frames of the connection test, the version query and two polls.
    const QList<QByteArray> frames = f.tx().rawFrames();
    QCOMPARE(frames.size(), 4);
    QCOMPARE(frames.at(0), hex("7E 00 05 02 00 02 55 AA 79"));
    QCOMPARE(frames.at(1), hex("7E 00 01 0A 76"));
    QCOMPARE(frames.at(2), hex("7E 00 03 07 00 01 76"));
    QCOMPARE(frames.at(3), hex("7E 00 03 07 00 01 76"));
    QCOMPARE(f.tx().badFrames(), 0);

    QCOMPARE(f.text("label_dev_statu"), QString("已连接"));
    QCOMPARE(f.sheet("label_dev_statu"), kGreen);
    QCOMPARE(f.d.w<QLineEdit>("edt_com_auto")->text(), name);
    QCOMPARE(f.text("lbVersion"), QString("V2.1_2019-06-03"));
    // Without GPS lock every poll ends with the port closed.
    QTRY_VERIFY(!f.d.serialPort->isOpen());
}

void LinkEndToEndTest::silentAndGarbagePortsAreSkipped()
{
    Field f(3);
    f.tx(0).setFault(0, FaultSpec { Fault::NoAnswer });
    f.tx(1).setFault(0, FaultSpec { Fault::WrongStartByte });
    f.tx(2).setVersion(0x22, 23, 11, 30);
    f.live = 2;

    QElapsedTimer clock;
    f.scan();
    QTRY_VERIFY_WITH_TIMEOUT(f.d.pollTimer->isActive(), 10000);
    QVERIFY(f.awaitPolls(1));
    clock.start();
    QVERIFY(f.awaitPolls(2));
    QVERIFY(clock.elapsed() >= 1800); // once a second, not faster

    const QString third = f.tx(2).portPath();
    QCOMPARE(f.text("label_dev_statu"), QString("已连接"));
    QCOMPARE(f.sheet("label_dev_statu"), kGreen);
    QCOMPARE(f.d.w<QLineEdit>("edt_com_auto")->text(), third);
    QCOMPARE(f.text("lbVersion"), QString("V2.2_2023-11-30"));
    QCOMPARE(f.text("label_work_statu"), QString("空闲"));
    const QStringList view = f.view();
    for (int i = 0; i < 3; ++i)
        QVERIFY(view.contains("系统信息->打开" + f.tx(i).portPath()));
    QVERIFY(view.indexOf("系统信息->警告：异常！") > view.indexOf("系统信息->打开" + f.tx(1).portPath()));
    const QStringList file = f.file();
    QCOMPARE(file.count("命令超时"), 1);
    QCOMPARE(file.count("命令返回异常!"), 1);
    QCOMPARE(file.count("启动连接测试"), 3);
    // The first two only ever saw the connection test.
    QCOMPARE(commandCodes(f.tx(0)), QList<quint8>({ 0x02 }));
    QCOMPARE(commandCodes(f.tx(1)), QList<quint8>({ 0x02 }));
}

void LinkEndToEndTest::portsThatFailToOpen()
{
    Field f;
    const QString missing1 = f.folder.file("ttyGONE1");
    const QString missing2 = f.folder.file("ttyGONE2");

    f.ports = QStringList { missing1, missing2 };
    f.scan();
    QCOMPARE(f.text("label_dev_statu"), QString("连接失败"));
    QCOMPARE(f.sheet("label_dev_statu"), kRed);
    QVERIFY(!f.d.w<QPushButton>("btn_start")->isEnabled());
    QVERIFY(!f.d.w<QPushButton>("btn_stop")->isEnabled());
    QCOMPARE(f.view().mid(3),
        QStringList({ "系统信息->打开" + missing1, "系统信息->打开" + missing1 + "失败", "系统信息->打开" + missing2,
            "系统信息->打开" + missing2 + "失败", "系统信息->警告：未连接！" }));
    QCOMPARE(f.file().mid(f.file().indexOf("打开端口")),
        QStringList({ "打开端口", "端口打开失败", "打开端口", "端口打开失败", "非法设备" }));

    // Closed ports in front of a live one are passed over.
    f.ports = QStringList { missing1, missing2, f.tx().portPath() };
    f.scan();
    QTRY_COMPARE(f.text("label_dev_statu"), QString("已连接"));
    QCOMPARE(f.d.serialPort->portName(), f.tx().portPath());
}

void LinkEndToEndTest::statusBytePaintsTheWindow_data()
{
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("lock");
    QTest::addColumn<bool>("leap");
    QTest::addColumn<int>("warnings"); // bits 4..1 of the status byte
    QTest::addColumn<bool>("interrupt");
    QTest::addColumn<QString>("warningText");

    QTest::newRow("0x00 idle, nothing") << false << false << false << 0 << false << QString();
    QTest::newRow("0xE0 transmitting, locked, leap second") << true << true << true << 0 << false << QString();
    QTest::newRow("0x1F every warning, interrupt")
        << false << false << false << 0x1E << true << QString("设备过温,过压,过流,缺水");
    QTest::newRow("0x40 locked, no leap second") << false << true << false << 0 << false << QString();
    QTest::newRow("0x12 temperature and water") << false << false << false << 0x12 << false << QString("设备过温,缺水");
    QTest::newRow("0x04 current alone") << false << false << false << 0x04 << false << QString("设备过流");
}

void LinkEndToEndTest::statusBytePaintsTheWindow()
{
    QFETCH(bool, running);
    QFETCH(bool, lock);
    QFETCH(bool, leap);
    QFETCH(int, warnings);
    QFETCH(bool, interrupt);
    QFETCH(QString, warningText);

    Field f;
    Transmitter &tx = f.tx();
    tx.setGpsLocked(lock);
    tx.setLeapDone(leap);
    tx.setWarnings(warnings & 0x10, warnings & 0x08, warnings & 0x04, warnings & 0x02);
    tx.setInterruptProtection(interrupt);
    if (running) {
        QVERIFY(commandFromOutside(tx, hex("06 04")));
        QVERIFY(commandFromOutside(tx, startNowUntilStopped(tx)));
        QTRY_VERIFY(tx.isTransmitting());
    }
    tx.clearRecord();
    QVERIFY(f.connectAndPoll(1));

    QCOMPARE(f.text("label_dev_statu"), QString("已连接"));
    QCOMPARE(f.text("label_work_statu"), running ? QString("工作中") : QString("空闲"));
    QCOMPARE(f.sheet("label_work_statu"), running ? kGreen : kBlack);
    QCOMPARE(f.text("label_gps_lock"), lock ? QString("已锁定") : QString("未锁定"));
    QCOMPARE(f.sheet("label_gps_lock"), lock ? kGreen : kRed);
    QCOMPARE(f.text("label_gps_sec"), leap ? QString("已闰秒") : QString("未闰秒"));
    QCOMPARE(f.sheet("label_gps_sec"), leap ? kGreen : kRed);
    QCOMPARE(f.label("label_safe")->isVisibleTo(&f.d), interrupt);
    QCOMPARE(f.label("lbInterrupt")->isVisibleTo(&f.d), interrupt);
    QCOMPARE(f.label("label_warning")->isVisibleTo(&f.d), !warningText.isEmpty());
    QCOMPARE(f.label("label_warning_info")->isVisibleTo(&f.d), !warningText.isEmpty());
    if (!warningText.isEmpty())
        QCOMPARE(f.text("label_warning_info"), warningText);

    QCOMPARE(f.d.w<QPushButton>("btn_start")->isEnabled(), !running);
    QVERIFY(f.d.w<QPushButton>("btn_stop")->isEnabled());
    QCOMPARE(f.d.w<QPushButton>("pushButton")->isEnabled(), !running);
    QCOMPARE(f.d.w<QComboBox>("cmb_signal")->isEnabled(), !running);

    if (lock && leap) {
        // The GPS time follows on the open port.
        QTRY_VERIFY(!f.d.w<QLineEdit>("edt_system_time")->text().isEmpty());
        QCOMPARE(commandCodes(tx).mid(2, 2), QList<quint8>({ 0x07, 0x03 }));
        QVERIFY(f.d.serialPort->isOpen());
    } else {
        QTRY_VERIFY(!f.d.serialPort->isOpen());
        QCOMPARE(commandsOf(tx, 0x03), 0);
        QVERIFY(f.d.w<QLineEdit>("edt_system_time")->text().isEmpty());
    }
}

void LinkEndToEndTest::pendingStartWaitsForTheTransmitter()
{
    Field f;
    Transmitter &tx = f.tx();
    QVERIFY(f.connectAndPoll(1));
    QCOMPARE(f.text("label_work_statu"), QString("空闲"));

    // What an accepted start leaves behind until the start moment comes.
    f.d.transmitting = true;
    f.d.ShowWorkStatus("待发送", 0);
    f.d.EnableStartStop(false, true);
    f.d.EnableSettings(false);
    QVERIFY(f.awaitPolls(1));
    QCOMPARE(f.text("label_work_statu"), QString("待发送"));
    QVERIFY(!f.d.w<QPushButton>("btn_start")->isEnabled());
    QVERIFY(f.d.w<QPushButton>("btn_stop")->isEnabled());
    QVERIFY(!f.d.w<QPushButton>("pushButton")->isEnabled());
    QVERIFY(f.d.transmitting);

    QVERIFY(f.betweenPolls(
        [&] { return commandFromOutside(tx, hex("06 04")) && commandFromOutside(tx, startNowUntilStopped(tx)); }));
    QTRY_COMPARE(f.text("label_work_statu"), QString("工作中"));
    QVERIFY(!f.d.transmitting);

    QVERIFY(f.betweenPolls([&] { return commandFromOutside(tx, hex("04")); }));
    QTRY_COMPARE(f.text("label_work_statu"), QString("空闲"));
    QVERIFY(f.d.w<QPushButton>("btn_start")->isEnabled());
    QVERIFY(f.d.w<QPushButton>("pushButton")->isEnabled());
}

void LinkEndToEndTest::firmwareVersion_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("compatible");

    QTest::newRow("0x21") << 0x21 << 19 << 6 << 3 << "V2.1_2019-06-03" << true;
    QTest::newRow("0x29") << 0x29 << 24 << 12 << 31 << "V2.9_2024-12-31" << true;
    QTest::newRow("0x10 single digits") << 0x10 << 5 << 1 << 2 << "V1.0_2005-01-02" << true;
    QTest::newRow("year byte 100") << 0x21 << 100 << 6 << 3 << "V2.1_20100-06-03" << true;
    QTest::newRow("0x30") << 0x30 << 19 << 6 << 3 << "" << false;
    QTest::newRow("0xA0") << 0xA0 << 19 << 6 << 3 << "" << false;
}

void LinkEndToEndTest::firmwareVersion()
{
    QFETCH(int, version);
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(QString, shown);
    QFETCH(bool, compatible);

    Field f;
    f.tx().setVersion(quint8(version), year, month, day);
    f.scan();
    QTRY_VERIFY(f.file().contains("版本号解析成功"));
    QCOMPARE(f.d.versionCompatible, compatible);
    QCOMPARE(f.d.pollTimer->isActive(), compatible);
    if (compatible) {
        QCOMPARE(f.text("lbVersion"), shown);
        QCOMPARE(f.sheet("lbVersion"), kBlack);
        QVERIFY(!f.d.busy);
        QVERIFY(f.awaitPolls(1));
        return;
    }
    QCOMPARE(f.text("lbVersion"), QString("控制软件版本过低,与发送机不兼容！"));
    QCOMPARE(f.sheet("lbVersion"), kRed);
    for (const char *name : { "btn_start", "btn_stop", "pushButton" })
        QVERIFY2(!f.d.w<QPushButton>(name)->isEnabled(), name);
    QVERIFY(!f.d.w<QComboBox>("cmb_signal")->isEnabled());
    QCOMPARE(commandCodes(f.tx()), QList<quint8>({ 0x02, 0x0A }));
}

void LinkEndToEndTest::versionRefusedOrUnansweredStillStartsPolling_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("fileLine");
    QTest::newRow("refused") << int(Fault::Refuse) << "版本号获取失败";
    QTest::newRow("stuffed response code") << int(Fault::StuffedCode) << "版本号获取失败";
    QTest::newRow("unanswered") << int(Fault::NoAnswer) << "命令超时";
}

void LinkEndToEndTest::versionRefusedOrUnansweredStillStartsPolling()
{
    QFETCH(int, fault);
    QFETCH(QString, fileLine);

    Field f;
    f.tx().setFault(0x0A, FaultSpec { Fault(fault) });
    f.scan();
    QTRY_VERIFY_WITH_TIMEOUT(f.d.pollTimer->isActive(), 10000);
    QCOMPARE(f.text("lbVersion"), QString("获取失败"));
    QCOMPARE(f.sheet("lbVersion"), kRed);
    QVERIFY(f.file().contains(fileLine));
    QVERIFY(!f.file().contains("版本号解析成功"));
    QVERIFY(!f.d.busy);

    QVERIFY(f.awaitPolls(1));
    QCOMPARE(f.text("label_dev_statu"), QString("已连接"));
    QCOMPARE(f.text("label_work_statu"), QString("空闲"));
}

void LinkEndToEndTest::gpsTimeFillsBothFieldsOnce()
{
    Field f;
    Transmitter &tx = f.tx();
    tx.setGpsLocked(true);
    tx.setLeapDone(true);
    tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(8, 3, 9)));
    auto *system = f.d.w<QLineEdit>("edt_system_time");
    auto *send = f.d.w<QLineEdit>("edt_send_time");

    f.scan();
    QTRY_VERIFY_WITH_TIMEOUT(!system->text().isEmpty(), 10000);
    const QString first = system->text();
    QVERIFY2(first.startsWith("2024/05/17 08:03:"), qPrintable(first));
    QCOMPARE(send->text(), first);

    // The clock runs on: later answers move the GPS field only.
    QTRY_VERIFY_WITH_TIMEOUT(system->text() > first, 10000);
    QCOMPARE(send->text(), first);
    QVERIFY(f.d.serialPort->isOpen());

    const QStringList file = f.file();
    const int cycle = file.lastIndexOf("串口已正常开启!");
    QVERIFY(cycle > 0);
    QCOMPARE(file.mid(cycle, 3), QStringList({ "串口已正常开启!", "GPS时间获取成功,开始解析", "GPS时间解析成功" }));
    QVERIFY(!file.contains("获取GPS时间")); // asked right after the silent status poll
}

void LinkEndToEndTest::gpsTimeTimeoutShowsTheLinkLost()
{
    Field f;
    Transmitter &tx = f.tx();
    tx.setGpsLocked(true);
    tx.setLeapDone(true);
    QVERIFY(f.connectAndPoll(1));
    QTRY_VERIFY(!f.d.w<QLineEdit>("edt_system_time")->text().isEmpty());

    FaultSpec once { Fault::NoAnswer };
    once.count = 1;
    tx.setFault(0x03, once);
    const int asked = commandsOf(tx, 0x03);
    QTRY_VERIFY_WITH_TIMEOUT(f.file().contains("命令超时"), 10000);
    QCOMPARE(f.text("label_dev_statu"), QString("连接失败"));
    QCOMPARE(f.sheet("label_dev_statu"), kRed);
    for (const char *name : { "label_work_statu", "label_gps_lock", "label_gps_sec" })
        QCOMPARE(f.text(name), QString());
    QVERIFY(!f.d.busy);
    QVERIFY(!f.d.serialPort->isOpen());

    // The next try goes through the link check and the status poll.
    QTRY_VERIFY_WITH_TIMEOUT(commandsOf(tx, 0x03) > asked + 1, 10000);
    const QList<quint8> codes = commandCodes(tx);
    int unanswered = -1;
    for (int i = 0, seen = 0; i < codes.size() && unanswered < 0; ++i) {
        if (codes.at(i) == 0x03 && ++seen == asked + 1)
            unanswered = i;
    }
    QVERIFY(unanswered >= 0 && unanswered + 1 < codes.size());
    QCOMPARE(codes.at(unanswered + 1), quint8(0x07));
    QTRY_COMPARE(f.text("label_dev_statu"), QString("已连接"));
    QVERIFY(f.file().contains("串口重新打开成功."));
}

void LinkEndToEndTest::missingStatusAnswersTurnTheLinkRed()
{
    Field f;
    Transmitter &tx = f.tx();
    QVERIFY(f.connectAndPoll(1));
    const QStringList fileBefore = f.file();
    const QStringList viewBefore = f.view();

    // What the window shows each time a poll reaches the transmitter.
    QStringList shownAtPoll;
    connect(&tx, &Transmitter::commandReceived, [&](const QByteArray &payload) {
        if (quint8(payload.at(0)) == 0x07)
            shownAtPoll << f.text("label_dev_statu") + " " + f.sheet("label_dev_statu") + " "
                    + f.text("label_work_statu");
    });
    FaultSpec three { Fault::NoAnswer };
    three.count = 3;
    tx.setFault(0x07, three);
    QTRY_VERIFY_WITH_TIMEOUT(shownAtPoll.size() >= 4, 20000);
    const QString lost = "连接失败 " + kRed + " ";
    QCOMPARE(shownAtPoll.mid(1, 3), QStringList({ lost, lost, lost }));
    QVERIFY(f.d.w<QPushButton>("btn_start")->isEnabled()); // buttons untouched
    QTRY_COMPARE(f.text("label_dev_statu"), QString("已连接"));
    QCOMPARE(f.sheet("label_dev_statu"), kGreen);
    QTRY_COMPARE(f.text("label_work_statu"), QString("空闲"));
    // The poll cycle stays out of both logs.
    QCOMPARE(f.file(), fileBefore);
    QCOMPARE(f.view(), viewBefore);
}

void LinkEndToEndTest::unplugAndReplugWhilePolling_data()
{
    QTest::addColumn<bool>("gpsLock");
    QTest::newRow("no GPS lock, port closed between polls") << false;
    QTest::newRow("GPS locked, port held open") << true;
}

void LinkEndToEndTest::unplugAndReplugWhilePolling()
{
    QFETCH(bool, gpsLock);
    Field f;
    Transmitter &tx = f.tx();
    tx.setGpsLocked(gpsLock);
    tx.setLeapDone(gpsLock);
    QVERIFY(f.connectAndPoll(1));
    if (gpsLock)
        QTRY_VERIFY(!f.d.w<QLineEdit>("edt_system_time")->text().isEmpty());
    const QStringList viewBefore = f.view();
    const QStringList fileBefore = f.file();

    tx.unplug();
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("连接失败"), 10000);
    QCOMPARE(f.sheet("label_dev_statu"), kRed);
    QCOMPARE(f.text("label_work_statu"), QString());
    QCOMPARE(f.text("label_gps_lock"), QString());
    if (!gpsLock) {
        // Lost between silent polls: painted, but nothing logged.
        QTRY_VERIFY(!f.d.serialPort->isOpen());
        QCOMPARE(f.view(), viewBefore);
        QCOMPARE(f.file(), fileBefore);
    }

    const int polls = commandsOf(tx, 0x07);
    QVERIFY(tx.replug());
    QElapsedTimer clock;
    clock.start();
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("已连接"), 3000);
    QCOMPARE(f.sheet("label_dev_statu"), kGreen);
    QVERIFY(commandsOf(tx, 0x07) > polls);
    QCOMPARE(f.view().count("用户操作->扫描端口..."), 1); // no new scan
    if (gpsLock) {
        const int asked = commandsOf(tx, 0x03);
        QTRY_VERIFY(commandsOf(tx, 0x03) > asked);
    }
}

QTEST_MAIN(LinkEndToEndTest)
#include "tst_link_e2e.moc"
