#include "app/startup.h"
#include "app/srcdesk.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QSharedMemory>
#include <QTranslator>

static void initCatalogueResource()
{
    // The catalogue lives in a static library: make sure its resource is linked in.
    Q_INIT_RESOURCE(language);
}

bool TakeInstanceGuard()
{
    static QSharedMemory *guard = nullptr;
    if (!guard) {
#ifndef Q_OS_WIN
        // On Unix a segment outlives a crashed copy (and this one, which never
        // deletes its guard). Attaching and detaching removes it when no running
        // copy holds it; a live copy keeps it attached, so it survives this.
        QSharedMemory stale("SourceDesk");
        if (stale.attach())
            stale.detach();
#endif
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
    if (!WantsEnglish(localeName))
        return;
    initCatalogueResource();
    if (translator.load(":/language_EN.qm"))
        app.installTranslator(&translator);
}

QString WindowTitle()
{
    return QObject::tr("SourceDesk-V%1.%2.%3A").arg(qint64(2)).arg(qint64(1)).arg(qint64(2));
}

int SourceDeskMain(int argc, char *argv[])
{
    QApplication app(argc, argv);

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
    window.show();
    return app.exec();
}
