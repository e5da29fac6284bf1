#include "app/startup.h"
#include "testdesk.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTranslator>
#include <QValidator>

// Every text the window can show, whether visible yet or not: text-like
// properties of each widget, combo box items and the table's headers.
static QStringList shownTexts(const TestDesk &d)
{
    QStringList texts { d.windowTitle() };
    for (const QWidget *w : d.findChildren<QWidget *>()) {
        for (const char *property : { "text", "placeholderText", "title", "toolTip", "statusTip", "whatsThis" }) {
            const QVariant v = w->property(property);
            if (v.canConvert<QString>() && !v.toString().isEmpty())
                texts << w->objectName() + ": " + v.toString();
        }
        if (auto *box = qobject_cast<const QComboBox *>(w))
            for (int i = 0; i < box->count(); ++i)
                texts << w->objectName() + ": " + box->itemText(i);
    }
    const QAbstractItemModel *table = d.w<QTableView>("tableView")->model();
    for (int c = 0; c < table->columnCount(); ++c)
        texts << "header: " + table->headerData(c, Qt::Horizontal).toString();
    return texts;
}

class FormTest : public QObject
{
    Q_OBJECT

private slots:
    void englishWindowKeepsNoChinese();
    void windowAsItOpens();
    void delayValidator_data();
    void delayValidator();
    void everyButtonFitsTheScreen_data();
    void everyButtonFitsTheScreen();
    void tabPassesThePlaceHolderAndLeavesTheTable();

private:
    AppFolderFixture folder;
};

void FormTest::englishWindowKeepsNoChinese()
{
    // A form text without a catalogue entry stays Chinese in the English window.
    const QRegularExpression han("\\p{Han}");
    QStringList texts[2];
    for (bool english : { false, true }) {
        QTranslator translator;
        InstallLanguage(*qApp, translator, english ? "en_US" : "zh_CN");
        TestDesk d;
        QApplication::removeTranslator(&translator);
        texts[english] = shownTexts(d);
    }
    QCOMPARE(texts[1].size(), texts[0].size());
    QVERIFY(texts[0].join('\n').contains(han)); // the walk reaches the form
    for (const QString &text : texts[1])
        QVERIFY2(!text.contains(han), qPrintable(text));
}

void FormTest::windowAsItOpens()
{
    TestDesk d;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    // Nothing to start or stop, and no warning, before a transmitter answers.
    QVERIFY(!d.w<QPushButton>("btn_start")->isEnabled() && !d.w<QPushButton>("btn_stop")->isEnabled());
    for (const char *n : { "label_safe", "lbInterrupt", "label_warning", "label_warning_info" })
        QVERIFY2(!d.w<QWidget>(n)->isVisible(), n);
    // The transparent button must look like the window behind it, not a dark box.
    auto *holder = d.w<QPushButton>("btn_hidden");
    const QImage shot = d.grab().toImage();
    const QPoint margin = d.centralWidget()->mapTo(&d, QPoint(2, 2)); // inside the layout's margin
    QVERIFY(QColor(shot.pixel(margin)).lightness() > 128);
    QCOMPARE(QColor(shot.pixel(holder->mapTo(&d, holder->rect().center()))), QColor(shot.pixel(margin)));
}

void FormTest::delayValidator_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");
    for (const char *text : { "12", "12.5", "0.5", "7" })
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
    int pos = 0;
    QCOMPARE(int(edit->validator()->validate(text, pos)), state);
    // What an operator can actually type into the field.
    edit->clear();
    QTest::keyClicks(edit, text);
    QCOMPARE(edit->text() == text, state != int(QValidator::Invalid));
}

void FormTest::everyButtonFitsTheScreen_data()
{
    QTest::addColumn<QSize>("screen"); // the free area, in logical pixels
    QTest::addColumn<QSize>("opens");
    QTest::newRow("1366x768") << QSize(1366, 768) << QSize(1280, 768);
    QTest::newRow("1366x768 at 150 %") << QSize(910, 512) << QSize(910, 512);
}

void FormTest::everyButtonFitsTheScreen()
{
    QFETCH(QSize, screen);
    QFETCH(QSize, opens);
    TestDesk d;
    // Every row of the form shown, and a long line in the status bar.
    d.ShowInterruptProtection(true);
    d.SetWarningVisible(true, "设备过温,过压,过流,缺水");
    d.statusBar()->showMessage(QString(200, QChar(0x4E2D)));
    FitToArea(&d, QRect(QPoint(), screen), QMargins());
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QCOMPARE(d.size(), opens);
    QWidgetList whole = { d.w<QWidget>("label_total_sec"), d.statusBar() };
    for (QPushButton *button : d.findChildren<QPushButton *>())
        whole << button;
    for (QWidget *w : whole) {
        const QRect r(w->mapTo(&d, QPoint()), w->size());
        QVERIFY2(w->isVisible() && d.rect().contains(r) && w->size() == w->size().expandedTo(w->minimumSizeHint()),
            qPrintable(w->objectName()));
    }
}

void FormTest::tabPassesThePlaceHolderAndLeavesTheTable()
{
    TestDesk d;
    d.show();
    QApplication::setActiveWindow(&d);
    QVERIFY(QTest::qWaitForWindowActive(&d));
    auto *table = d.w<QTableView>("tableView");
    d.w<QAbstractButton>("rBtn_continue")->click();
    d.addRow("8", "20");
    d.addRow("4", "20");
    table->setFocus();
    table->setCurrentIndex(table->model()->index(0, 0));
    QTest::keyClick(table, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != table);
    // The form's place holder before the start button is no stop on the way.
    QWidget *beforeIt = d.w<QWidget>("cmb_model_scan");
    beforeIt->setFocus();
    QTest::keyClick(beforeIt, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() && QApplication::focusWidget() != d.w<QWidget>("btn_hidden"));
}

QTEST_MAIN(FormTest)
#include "tst_form.moc"
