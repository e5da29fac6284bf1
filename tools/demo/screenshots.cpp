#include "screenshots.h"

#include "app/srcdesk.h"
#include "transmission/timeutil.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTableView>
#include <QWindow>

namespace {

// Each step gets this long: the GPS lock alone takes several seconds.
const int kStepSeconds = 60;
// Connected, waiting for the send time, transmitting.
const int kShots = 3;
// Long enough ahead that the wait for the send time can be seen.
const int kLeadSeconds = 20;

QString translated(const char *source)
{
    return QCoreApplication::translate("SrcDesk", source);
}

} // namespace

ScreenshotTour::ScreenshotTour(QWidget *w, const QString &dir, QObject *parent)
    : QObject(parent)
    , window(w)
    , folder(dir)
{
    poll.setInterval(50);
    connect(&poll, &QTimer::timeout, this, &ScreenshotTour::tick);
    boxes.setInterval(50);
    connect(&boxes, &QTimer::timeout, this, &ScreenshotTour::answerBoxes);

    steps = {
        { "the window", [this] { return window->windowHandle() && window->windowHandle()->isExposed(); },
            [this] { click("pushButton"); } },
        { "connected, version, idle, GPS locked with its leap second, GPS time",
            [this] {
                return is("label_dev_statu", "已连接") && text("lbVersion").startsWith("V")
                    && is("label_work_statu", "空闲") && is("label_gps_lock", "已锁定") && is("label_gps_sec", "已闰秒")
                    && !text("edt_system_time").isEmpty();
            },
            [this] { shoot("sourcedesk-connected.png"); } },
        { "the start button", [this] { return window->findChild<QWidget *>("btn_start")->isEnabled(); },
            [this] {
                buildSweep();
                click("btn_start");
            } },
        { "\"Wait Sent\"", [this] { return is("label_work_statu", "待发送"); },
            [this] { shoot("sourcedesk-waiting.png"); } },
        { "\"Working\"", [this] { return is("label_work_statu", "工作中"); },
            [this] {
                shoot("sourcedesk-transmitting.png");
                click("btn_stop");
            } },
        { "\"Idle\" after the stop",
            [this] { return is("label_work_statu", "空闲") && window->findChild<QWidget *>("btn_start")->isEnabled(); },
            [this] {
                saveAnswer = false;
                window->close();
            } },
    };
}

void ScreenshotTour::start()
{
    QDir().mkpath(folder);
    stepDeadline = QDateTime::currentDateTime().addSecs(kStepSeconds);
    poll.start();
    boxes.start();
}

void ScreenshotTour::tick()
{
    if (steps.isEmpty())
        return;
    if (steps.first().ready()) {
        const Step step = steps.takeFirst();
        stepDeadline = QDateTime::currentDateTime().addSecs(kStepSeconds);
        step.act();
        if (steps.isEmpty()) {
            poll.stop();
            const bool all = shots.size() == kShots;
            emit finished(all, all ? QString() : QString("a screenshot was not saved"));
        }
        return;
    }
    if (QDateTime::currentDateTime() > stepDeadline) {
        poll.stop();
        emit finished(false, "gave up waiting for " + steps.first().waitingFor);
    }
}

// The GPS question at the start gets Yes; the save question at the end No.
void ScreenshotTour::answerBoxes()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
        return;
    if (QAbstractButton *yes = box->button(QMessageBox::Yes);
        yes && (saveAnswer || box->windowTitle() != translated("退出")))
        yes->click();
    else if (QAbstractButton *no = box->button(QMessageBox::No))
        no->click();
    else
        box->accept();
}

bool ScreenshotTour::shoot(const QString &name)
{
    window->repaint();
    QPixmap picture;
    // On a real X server the frame is grabbed with its title bar; elsewhere
    // (offscreen) the window paints itself.
    QScreen *screen = window->screen();
    if (QGuiApplication::platformName() == "xcb" && screen) {
        const QRect frame = window->frameGeometry();
        picture = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    }
    if (picture.isNull())
        picture = window->grab();
    const QString path = QDir(folder).absoluteFilePath(name);
    if (!picture.save(path))
        return false;
    shots << path;
    return true;
}

QString ScreenshotTour::text(const char *objectName) const
{
    QObject *widget = window->findChild<QObject *>(objectName);
    return widget ? widget->property("text").toString() : QString();
}

bool ScreenshotTour::is(const char *objectName, const char *source) const
{
    return text(objectName) == translated(source);
}

void ScreenshotTour::click(const char *objectName)
{
    if (auto *button = window->findChild<QAbstractButton *>(objectName))
        button->click();
}

// Three rows of a square-wave sweep, starting a little after the
// transmitter's clock: the wait shows, and the running sweep comes soon.
void ScreenshotTour::buildSweep()
{
    click("rBtn_continue");
    click("btn_clear");
    window->findChild<QComboBox *>("cmb_signal")->setCurrentIndex(0);
    window->findChild<QComboBox *>("cmb_model_scan")->setCurrentIndex(0);
    QAbstractItemModel *model = window->findChild<QTableView *>("tableView")->model();
    const char *rows[][2] = { { "8", "20" }, { "4", "20" }, { "1", "30" } };
    for (const auto &row : rows) {
        click("btn_add");
        const int r = model->rowCount() - 1;
        model->setData(model->index(r, 1), row[0]);
        model->setData(model->index(r, 2), row[1]);
    }
    QMetaObject::invokeMethod(window, "onTableItemChanged");

    TimeUtil time;
    const TimeFields clock = time.ParseTime(text("edt_system_time"));
    window->findChild<QLineEdit *>("edt_send_time")->setText(time.FormatTime(time.AddSeconds(clock, kLeadSeconds)));
}
