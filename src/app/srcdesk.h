#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QMainWindow>
#include <QSerialPort>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

#include "EM/csamt_pub.h"
#include "commands/commandset.h"
#include "transmission/sweepprogress.h"
#include "transmission/timeutil.h"

class QCloseEvent;
class QLabel;
class QStringListModel;
class QTimer;
class TableModel;

namespace Ui {
class SrcDesk;
}

// What a log view line reports: 0 and 2 are in use, 1 and 3 are reserved.
enum LogCategory : int { LogUserOperation = 0, LogCommunication = 1, LogSystemInfo = 2, LogDebugInfo = 3 };

// The exchange whose answer is awaited (`CommandState`); 7 is not used.
enum CommandStateId : int {
    StateConnectionTest = 0,
    StateStartSignal = 1,
    StateStartParameters = 2,
    StateStop = 3,
    StateSweepMode = 4,
    StateDeviceStatus = 5,
    StateSyncDelay = 6,
    StateVersion = 8,
    StateGpsTime = 9,
};

// The operator's step a button defers (`stepCommand`): the exchange it begins
// with, the start by its first command.
enum StepId : int { NoStep = 0, StepStop = StateStop, StepStart = StateSweepMode, StepDelay = StateSyncDelay };

// The colour of a status label's text.
enum StatusColour : int { ColourBlack = 0, ColourGreen = 1, ColourRed = 2 };

// Which GPS label ShowGpsStatus paints.
enum GpsLabel : int { GpsLockLabel = 1, GpsLeapLabel = 2 };

// The one window of SourceDesk and the controller of the whole program.
// Each subsystem's member functions live in that subsystem's folder.
class SrcDesk : public QMainWindow
{
    Q_OBJECT

public:
    explicit SrcDesk(QWidget *parent = nullptr);
    ~SrcDesk() override;

    // Operation log (app/oplog.cpp)
    void LogToView(LogCategory category, const QString &text);
    void LogToFile(const QString &text);

    // Control states (app/controlstates.cpp)
    void ShowDeviceStatus(const QString &text, StatusColour colour);
    void ShowWorkStatus(const QString &text, StatusColour colour);
    void ShowGpsStatus(const QString &text, StatusColour colour, GpsLabel which);
    void ShowVersion(const QString &text, StatusColour colour);
    void ShowInterruptProtection(bool shown);
    void ShowWarning(const QString &text);
    void SetWarningVisible(bool shown, const QString &text);
    void EnableStartStop(bool canStart, bool canStop);
    void EnableSettings(bool enable);
    void PaintControls();

    // Transmitter link: the scan's candidates as system locations. The product
    // lists the machine's serial ports; tests and the demo hand in their own.
    void SetPortSource(std::function<QStringList()> source);

    // Command transaction (link/transaction.cpp)
    void SendCommand();
    void StopResponseTimer();

    // Serial port management (link/portmanagement.cpp)
    void ScanPorts();
    void OpenPort();
    void TryNextPort();
    void ConfigurePort();
    // The poll passes quietAfterLoss: a cable still out is reported once.
    bool CheckLink(bool quietAfterLoss = false);
    // A scan found its unit: the poll begins, and steps may go to the port.
    void StartPolling();
    bool unitFound = false; // since the last scan began
    void ClosePort();

    // Command set and answers (commands/)
    void TestConnection();
    void PollDeviceStatus();
    void QueryVersion();
    void QueryGpsTime();
    void DispatchResponse();
    void ApplyDeviceStatus();
    void ShowPendingStart();
    static QList<bool> ByteToBits(quint8 value);
    void ApplyVersion();
    void VersionNotRead();
    static QString ByteToHex(quint8 value);
    void ShowGpsTime();

    // Output mode and signal selection (transmission/outputmode.cpp)
    void ApplyOutputMode(bool single);
    float SelectedFrequency();
    void EntryFromRow(freq_item &entry, int row);
    void TransferEntry(freq_item &entry, int row, bool toRecord);
    void BuildFreqTable();
    void SyncFreqTable(bool toRecord);

    // Frequency table file (table/tablefile.cpp)
    FILE *OpenTableFile(bool forReading);

    // Starting and stopping a transmission (transmission/)
    void SendStartParameters();
    void SetSweepMode();
    void SetTimeDelay();
    void SendStartSignal();

    // The run as the transmitter carries it out (transmission/progress.cpp)
    void ShowProgress();
    // Seconds since the epoch on the transmitter's clock: the PC's clock set
    // by the last GPS time the device reported.
    double DeviceClock() const;

    // Settings file (app/settings.cpp)
    void SaveSettings(bool save);

protected slots:
    void showTimer();
    void serialTimeOut();
    void TimeUpdate();
    void on_btn_round_min_clicked();
    void on_btn_round_circel_clicked();
    void on_pushButton_clicked();
    void on_btn_import_clicked();
    void on_btn_out_clicked();
    void on_btn_insert_clicked();
    void on_btn_add_clicked();
    void on_btn_delete_clicked();
    void on_btn_clear_clicked();
    void onTableItemChanged();
    void ReadData();
    void on_btn_stop_clicked();
    void on_btn_start_clicked();
    void onModelChanged(bool);
    void on_btn_time_delay_clicked();

protected:
    // Settings file (app/settings.cpp): asked on close, read back by init.
    void closeEvent(QCloseEvent *event) override;
    void LoadSettings();
    // The day that names the table saved with the settings.
    virtual QDate TableDate() const;

    // Frequency table (table/tablefile.cpp, table/tablerows.cpp). The dialogs
    // sit behind a virtual so the tests can answer them without a person.
    virtual QString AskTableFileName(
        bool forReading, const QString &caption, const QString &dir, const QString &filter);
    QString ChooseTableFile(bool forReading);
    bool RoomForAnotherRow();
    // Where the next open dialog starts: the application folder at first,
    // then the file chosen last (empty after a cancel).
    QString tableOpenDir;
    bool tableOpenDirSet = false;

    Ui::SrcDesk *ui;
    QTimer *responseTimer = nullptr;
    QTimer *pollTimer = nullptr;
    QTimer *stepTimer = nullptr;
    // What the table answers to while it may be edited; none while a run holds it.
    int tableEditTriggers = 0;
    QByteArray receiveBuffer;
    int responseTicks = 0;
    QStringListModel *logModel = nullptr;
    QStringList logLines;
    TimeUtil timeUtil;
    QSerialPort *serialPort = nullptr;
    TableModel *tableModel = nullptr;
    QStringList foundPorts; // system locations, so a pseudo-terminal can stand in for a port
    int portIndex = 0;
    float freqLadder[kLadderSteps] = {};
    freq_table freqTable {};
    int32_t *freqData = nullptr; // at freqTable.freq_num; the routines reach the record directly
    QVector<quint8> signalCodes;
    QVector<double> signalMaxFreq;
    unsigned char *pendingFrame = nullptr;
    int pendingLength = 0;
    bool linkIdle = false;
    bool busy = false;
    int CommandState = StateConnectionTest; // anything but StateDeviceStatus, which silences the log file
    int delaySetting = 0;
    bool transmitting = false;
    SettingsRecord settingsRecord {};
    bool gpsLocked = false;
    bool gpsLeapDone = false;
    bool versionCompatible = true;

    // Fixed at the first written line of the run, so a run past midnight
    // keeps writing into the file of the day it started.
    QString logFilePath;
    // Rows of the log view the operator edited since the last line.
    QSet<int> editedLogRows;
    bool restoringLogView = false;
    void NoteLogViewEdit(const QModelIndex &first, const QModelIndex &last);

    // Control states: what the answers asked for, painted through the step
    // and firmware overlays of PaintControls.
    bool wantStart = false;
    bool wantStop = false;
    bool wantSettings = true;
    int settingsShown = -1;

    // Operation log: the operator's own lines reach the file whatever
    // exchange is open.
    void WriteLogFile(const QString &text);

    // Transmitter link
    std::function<QStringList()> portSource;
    bool linkLossShown = false; // a vanished port is painted once, not every second
    bool pollLossReported = false; // the poll's failed reopen is reported once
    int portGeneration = 0; // counts opens, so a late error of an old port is known
    int malformedPolls = 0; // status exchanges in a row without a status answer
    bool OpenSerialPort();
    bool SkipLateAnswer();
    void SendPayload(int state, const unsigned char *payload, int length);
    void ShowLinkLoss();
    void DropPort();
    void OnPortError(QSerialPort::SerialPortError error);

    // Starting and stopping a transmission. The step a button defers
    // (StepId) is kept apart from CommandState,
    // which belongs to the exchange still open when a button is pressed.
    // It stays set until the step has ended, and keeps Start and the
    // settings locked meanwhile.
    int stepCommand = NoStep;
    // The device may hold start parameters the window cannot vouch for: a
    // start or stop whose answer was lost.
    bool armUnknown = false;
    // A stop to send once the link is back, for a start of unknown outcome.
    bool stopOwed = false;
    // The moment of the start last sent, by the clock its text was read on
    // (0: none), and how long past it the device may take to report it.
    qint64 pendingStartAt = 0;
    static constexpr qint64 kStartReportedSec = 3;
    void SendStop();
    bool StartSettingsRefused();
    QString CurrentTimeText();
    QString AssembleStartParameters(const QString &sendTime, unsigned char *payload, int *length);
    void EndStep(int command);
    void GiveStepBack(int command);
    void ReportStep(const QString &text);
    void StartFailed();
    void StartOutcomeUnknown();
    void StopUnconfirmed();
    void ShowStateUnknown();
    void StepExchangeLost();
    bool SendTimeTooSoon();
    // The device may send or be about to: closing the window does not stop it.
    bool StartMayBeHeld() const;
    // The close question's "stop and close": the window closes once the stop
    // is confirmed.
    bool closeAfterStop = false;

    // Progress of the run (transmission/progress.cpp).
    SweepPlan sentPlan; // of the start parameters whose answer is awaited
    SweepPlan runPlan; // accepted by the device
    bool deviceWorking = false; // the last status answer said so
    bool stopSent = false; // since the run was accepted: its end is then no news
    double clockOffset = 0; // transmitter's clock minus the PC's, seconds
    QString endedText;
    QString delaySent, delayAcked; // milliseconds as typed; acknowledged in this run
    QLabel *progressLabel = nullptr;
    QLabel *delayLabel = nullptr;
    QTimer *progressTimer = nullptr;
    QString ClockText(double seconds) const;
    void NoteDeviceWorking(bool working);
    void NoteGpsClock(const QString &text);
    void ShowDelay();

private:
    void init();
    void DeferredStep();
};
