// Any answer to any command: bytes arrive in pieces on the 10 ms ticks of the
// response timer and go through serialTimeOut and DispatchResponse as in the
// running program, chains included. One window serves every input; no port is
// open, so whatever a handler sends next goes nowhere and is answered by the
// next piece of the input.
//
// Input: the awaited command (CommandState, any value), a flags byte, a
// settings byte (what the start chain reads from the window: output mode,
// signal, table rows), then pieces, each a header byte (low 7 bits: byte
// count; top bit: the response time has run out by this tick) followed by its
// bytes.
//
// Qt's widgets keep growing caches as labels change, so libFuzzer's leak check
// after each input would scan the heap nearly every time; it runs with
// -detect_leaks=0 and looks for leaks itself every few thousand inputs.
#include "fuzzsupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStringListModel>
#include <QTimer>

#include <sanitizer/lsan_interface.h>

#include "app/srcdesk.h"
#include "table/tablemodel.h"

namespace {

class FuzzDesk : public SrcDesk
{
public:
    using SrcDesk::busy;
    using SrcDesk::CommandState;
    using SrcDesk::foundPorts;
    using SrcDesk::gpsLeapDone;
    using SrcDesk::gpsLocked;
    using SrcDesk::linkIdle;
    using SrcDesk::logLines;
    using SrcDesk::logModel;
    using SrcDesk::pendingFrame;
    using SrcDesk::pendingLength;
    using SrcDesk::pollTimer;
    using SrcDesk::portIndex;
    using SrcDesk::receiveBuffer;
    using SrcDesk::responseTicks;
    using SrcDesk::responseTimer;
    using SrcDesk::serialTimeOut;
    using SrcDesk::stepCommand;
    using SrcDesk::stepTimer;
    using SrcDesk::tableModel;
    using SrcDesk::transmitting;
    using SrcDesk::versionCompatible;

    // The window as the operator left it before pressing start; the record
    // is built from it as the start sequence does.
    void Arrange(uint8_t settings)
    {
        // Nothing an answer does changes these, so the last input's stand.
        if (arranged && settings == lastSettings)
            return;
        arranged = true;
        lastSettings = settings;
        // The start chain reads only which button is checked. Switching the
        // mode's look (style sheets on seven widgets) made most of an input's
        // cost, so the buttons are set without telling the window.
        const bool single = !(settings & 0x01);
        auto *singleButton = findChild<QRadioButton *>("rBtn_single");
        auto *continueButton = findChild<QRadioButton *>("rBtn_continue");
        if (singleButton->isChecked() != single) {
            const QSignalBlocker quietSingle(singleButton);
            const QSignalBlocker quietContinue(continueButton);
            (single ? singleButton : continueButton)->setChecked(true);
        }
        findChild<QComboBox *>("cmb_signal")->setCurrentIndex((settings >> 1) % 14);

        // Frequencies on and off the transmitter's ladder, and sending times
        // that give no, one or too many periods.
        static const char *freqs[] = { "1", "1/16", "8192", "1.5", "256", "0", "1/", "1/8192", "16384" };
        static const char *times[] = { "15", "0.4", "2e9", "-3", "48", "nan" };
        static const int rowCounts[] = { 0, 1, 2, 3, 26, 27, 5, 8 };
        tableModel->clearRows();
        if (!single) {
            const int rows = rowCounts[settings >> 5];
            for (int r = 0; r < rows; ++r) {
                tableModel->appendDefaultRow();
                tableModel->setData(tableModel->index(r, 1), freqs[(r * 7 + settings) % 9]);
                tableModel->setData(tableModel->index(r, 2), times[(r * 5 + settings) % 6]);
            }
        }
        BuildFreqTable();
    }

    bool arranged = false;
    uint8_t lastSettings = 0;

    // The state right after a sender has written its frame.
    void AwaitAnswer(int command, uint8_t flags)
    {
        responseTimer->stop();
        pollTimer->stop();
        stepTimer->stop();
        delete[] pendingFrame;
        pendingFrame = nullptr;
        pendingLength = 0;
        foundPorts.clear();
        portIndex = 0;
        // The view holds a copy of every line; both are emptied together
        // now and then so the run's memory stays flat.
        if (logLines.size() > 1000) {
            logLines.clear();
            logModel->setStringList(logLines);
        }
        versionCompatible = true;

        CommandState = command;
        // The operator's step the awaited answer belongs to, as its button set it.
        stepCommand = command == 1 || command == 2 || command == 4 ? 4 : command == 3 || command == 6 ? command : 0;
        gpsLocked = flags & 0x01;
        gpsLeapDone = flags & 0x02;
        transmitting = flags & 0x04;
        busy = flags & 0x08;
        // Empty (the chain takes the PC's time), a real time, or one that is not.
        const char *sendTimes[] = { "", "2024/05/17 10:15:00", "2024/02/30 10:00:00", "2024/5/17 8:3:9" };
        findChild<QLineEdit *>("edt_send_time")->setText(QString::fromLatin1(sendTimes[(flags >> 4) & 3]));

        receiveBuffer.clear();
        responseTicks = 0;
        linkIdle = false;
        responseTimer->start(10);
    }
};

FuzzDesk *desk = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    StartHeadlessApplication();
    desk = new FuzzDesk;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    TrimAppFolder();
    static unsigned runs = 0;
    if (++runs % 4096 == 0 && __lsan_do_recoverable_leak_check() != 0)
        std::abort();
    FuzzDesk &d = *desk;
    d.Arrange(data[2]);
    d.AwaitAnswer(static_cast<int8_t>(data[0]), data[1]);

    size_t pos = 3;
    while (pos < size && d.responseTimer->isActive()) {
        const uint8_t header = data[pos++];
        const size_t count = std::min<size_t>(header & 0x7F, size - pos);
        d.receiveBuffer.append(reinterpret_cast<const char *>(data + pos), int(count));
        pos += count;
        if (header & 0x80)
            d.responseTicks = 199;
        d.serialTimeOut();
        // What the event loop does between two ticks, timers aside: the
        // repaints and relayouts the handlers asked for.
        QCoreApplication::sendPostedEvents();

        // A transaction is open exactly while the poll is kept from sending.
        FUZZ_CHECK(d.responseTimer->isActive() != d.linkIdle);
        // Every frame handed to the port is freed once written.
        FUZZ_CHECK(d.pendingFrame == nullptr);
        if (!d.responseTimer->isActive())
            FUZZ_CHECK(d.receiveBuffer.isEmpty());
    }
    return 0;
}
