#pragma once

#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/appfolder.h"

// One headless application for the whole run, with an application folder of
// its own, so log lines go to a scratch folder instead of beside the fuzzer.
// Qt's own warnings (writes to a closed port) would flood the output.
inline void StartHeadlessApplication()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtFatalMsg) {
            std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
            std::abort();
        }
    });
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = { name, nullptr };
    new QApplication(argc, argv);
    static QTemporaryDir folder;
    SetAppFolder(folder.path());
    // A message box would wait for a person; close it as soon as its own
    // event loop runs.
    auto *closer = new QTimer(qApp);
    QObject::connect(closer, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            box->done(0);
    });
    closer->start(0);
}

// The log file grows with every input; keep the scratch folder small.
inline void TrimAppFolder()
{
    static unsigned runs = 0;
    if (++runs % 4096 != 0)
        return;
    QDir folder(AppFolder());
    for (const QString &name : folder.entryList(QDir::Files))
        folder.remove(name);
}

// The readers take a stream, as they do for a file on disk.
class InputFile
{
public:
    InputFile(const uint8_t *data, size_t size)
        : fp(std::tmpfile())
    {
        if (!fp)
            std::abort();
        if (size && std::fwrite(data, 1, size, fp) != size)
            std::abort();
        std::rewind(fp);
    }
    ~InputFile() { std::fclose(fp); }
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;
    FILE *get() const { return fp; }

private:
    FILE *fp;
};

// Stops the run with a message libFuzzer records as a crash.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);                        \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)
