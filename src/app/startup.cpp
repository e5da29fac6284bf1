#include "app/startup.h"
#include "app/srcdesk.h"
#include "platform/staleguard.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QSharedMemory>
#include <QTranslator>
#include <QWindow>

static void initCatalogueResources()
{
    // The catalogues live in a static library: make sure their resources are linked in.
    Q_INIT_RESOURCE(language);
}

bool TakeInstanceGuard()
{
    static QSharedMemory *guard = nullptr;
    if (!guard) {
        // Left by a crashed copy, or by this one, which never deletes its guard.
        RemoveStaleSegment("SourceDesk");
        guard = new QSharedMemory("SourceDesk");
    }
    return guard->create(1, QSharedMemory::ReadWrite);
}

bool WantsEnglish(const QString &localeName)
{
    return !localeName.contains("CN", Qt::CaseSensitive);
}

void InstallLanguage(QApplication &app, QTranslator &translator, const QString &localeName)
{
    // Our texts are written in Chinese; Qt's own (message box buttons, the
    // file dialog) are English unless its catalogue is loaded. It is carried
    // along, as a crew's copy of the folder finds no Qt translations installed.
    initCatalogueResources();
    if (translator.load(WantsEnglish(localeName) ? ":/language_EN.qm" : ":/qtbase_zh_CN.qm"))
        app.installTranslator(&translator);
}

namespace {

// A window manager frames a window only when it maps it, and the frame may be
// known only after the first expose: refit once it is, if the frame pushes
// the window out of the free area. Unframed windows are never refitted.
class RefitWhenFramed : public QObject
{
public:
    RefitWhenFramed(QWidget *window, const QRect &area)
        : QObject(window)
        , window(window)
        , area(area)
    {
        window->windowHandle()->installEventFilter(this);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::Expose && event->type() != QEvent::Move)
            return false;
        const QMargins frame = window->windowHandle()->frameMargins();
        if (frame.isNull())
            return false;
        // The widget's own frame geometry may not know the frame yet.
        if (!area.contains(window->geometry().marginsAdded(frame)))
            FitToArea(window, area, frame);
        window->windowHandle()->removeEventFilter(this);
        deleteLater();
        return false;
    }

private:
    QWidget *window;
    QRect area;
};

} // namespace

void FitToArea(QWidget *window, const QRect &area, const QMargins &frame)
{
    const QSize size = window->size().boundedTo(area.size().shrunkBy(frame));
    // Centred; a window whose layout cannot shrink that far keeps its top left in the area.
    const QSize outer = size.grownBy(frame);
    const QPoint frameAt(area.x() + qMax(0, (area.width() - outer.width()) / 2),
        area.y() + qMax(0, (area.height() - outer.height()) / 2));
    // Placed by its inside: where a position counts the frame in, the frame
    // just given may not be known yet.
    window->setGeometry(QRect(frameAt + QPoint(frame.left(), frame.top()), size));
}

void ShowFitted(QWidget *window)
{
    window->winId(); // some platforms know the frame from here on
    const QRect area = window->screen()->availableGeometry();
    FitToArea(window, area, window->windowHandle()->frameMargins());
    new RefitWhenFramed(window, area);
    window->show();
}

QString WindowTitle()
{
    return QObject::tr("SourceDesk-V%1.%2.%3A").arg(qint64(2)).arg(qint64(1)).arg(qint64(2));
}

int StartDesk(QApplication &app, const std::function<bool(SrcDesk &)> &prepare, const std::function<int()> &run)
{
    if (!TakeInstanceGuard()) {
        QMessageBox::critical(nullptr, QObject::tr("Open failed"),
            QObject::tr("The application is already running and cannot be opened again!"));
        QCoreApplication::quit();
        return -1;
    }

    QTranslator translator;
    InstallLanguage(app, translator, QLocale::system().name());

    SrcDesk window;
    window.setWindowTitle(WindowTitle());
    if (prepare && !prepare(window))
        return 1;
    ShowFitted(&window);
    return run ? run() : app.exec();
}

int SourceDeskMain(int argc, char *argv[])
{
    QApplication app(argc, argv);
    return StartDesk(app);
}
