// The cost of one LogToView line with 1,000, 10,000 and 100,000 lines already
// in the shown view, up to the repaint of the window.
// Arguments: the sizes to measure (default 1000 10000 100000).

#include "benchdesk.h"

#include <QListView>

namespace {

double lineCost(TestDesk &d, int i)
{
    QElapsedTimer clock;
    clock.start();
    d.LogToView(LogSystemInfo, QStringLiteral("串口关闭成功 %1").arg(i));
    QCoreApplication::sendPostedEvents(); // layout and the window's repaint
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    quietOffscreen();
    QApplication app(argc, argv);
    QList<int> sizes;
    for (const QString &arg : app.arguments().mid(1))
        sizes << arg.toInt();
    if (sizes.isEmpty())
        sizes = { 1000, 10000, 100000 };

    for (int size : sizes) {
        AppFolderFixture folder;
        TestDesk d;
        d.resize(1280, 800);
        d.show();
        if (!QTest::qWaitForWindowExposed(&d))
            return 1;
        // Filled in one go: logging them one by one would take hours where
        // each line costs the whole list.
        while (d.logLines.size() < size)
            d.logLines << QStringLiteral("10:15:02-系统信息->端口连接成功. %1").arg(d.logLines.size());
        d.logModel->setStringList(d.logLines);
        QCoreApplication::sendPostedEvents();

        std::vector<double> costs;
        const int samples = size >= 100000 ? 50 : 200;
        for (int i = 0; i < samples; ++i)
            costs.push_back(lineCost(d, i));
        const QByteArray what = QStringLiteral("one log line with %1 lines in the view").arg(size).toLatin1();
        report(what.constData(), costs);
        const QModelIndex newest = d.logModel->index(d.logModel->rowCount() - 1);
        auto *view = d.w<QListView>("v_list_log");
        if (!view->viewport()->rect().intersects(view->visualRect(newest))) {
            std::fprintf(stderr, "bench_oplog: the newest line is not in sight\n");
            return 1;
        }
    }
    return 0;
}
