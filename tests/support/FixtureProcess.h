#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpSocket>

namespace beamtide::test {

// A fixture server that is a Linux program (aiosmtpd, ClickHouse). On Linux it is a child
// process. The Windows test programs run under Wine and cannot start Linux programs, so there
// the fixture broker on the Linux side (scripts/windows/fixture_broker.py, its port in
// BEAMTIDE_FIXTURE_BROKER) starts it: the program's output arrives over a loopback socket,
// and closing the socket ends the program.
class FixtureProcess
{
public:
    FixtureProcess() = default;
    ~FixtureProcess();
    FixtureProcess(const FixtureProcess&) = delete;
    FixtureProcess& operator=(const FixtureProcess&) = delete;

    void setWorkingDirectory(const QString& folder) { m_folder = folder; }
    void setStandardOutputFile(const QString& file) { m_outputFile = file; } // with errors

    // False, with errorString() set, when the program could not be started.
    bool start(const QString& program, const QStringList& arguments);
    QString errorString() const { return m_error; }

    // The next line of output, waiting for it; false when the program ended first.
    bool readLine(QByteArray& line);
    QByteArray leftOutput(); // what came that was no whole line, and on Linux the errors

    bool running() const;
    bool waitForFinished(int ms); // true once the program has ended
    void closeInput();
    // Ends the program: its input closes, then it is asked to end, then made to.
    void stop(bool terminateFirst);

    // The path by which the program reaches a file of the test: on Windows the Linux path.
    static QString programPath(const QString& path);

private:
#ifdef Q_OS_WIN
    QTcpSocket m_socket;
#else
    QProcess m_process;
#endif
    QString m_folder;
    QString m_outputFile;
    QString m_error;
};

} // namespace beamtide::test
