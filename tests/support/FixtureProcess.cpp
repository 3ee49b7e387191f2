#include "FixtureProcess.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#endif

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace beamtide::test {

#ifndef Q_OS_WIN

FixtureProcess::~FixtureProcess()
{
    if (running())
        stop(false);
}

bool FixtureProcess::start(const QString& program, const QStringList& arguments)
{
    if (!m_folder.isEmpty())
        m_process.setWorkingDirectory(m_folder);
    if (!m_outputFile.isEmpty()) {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setStandardOutputFile(m_outputFile);
    } else {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
    }
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(-1)) {
        m_error = m_process.errorString();
        return false;
    }
    return true;
}

bool FixtureProcess::readLine(QByteArray& line)
{
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(-1))
            return false;
    }
    line = m_process.readLine();
    return true;
}

QByteArray FixtureProcess::leftOutput()
{
    return m_process.readAllStandardOutput() + m_process.readAllStandardError();
}

bool FixtureProcess::running() const
{
    return m_process.state() != QProcess::NotRunning;
}

bool FixtureProcess::waitForFinished(int ms)
{
    return !running() || m_process.waitForFinished(ms);
}

void FixtureProcess::closeInput()
{
    m_process.closeWriteChannel();
}

void FixtureProcess::stop(bool terminateFirst)
{
    if (terminateFirst)
        m_process.terminate();
    else
        m_process.closeWriteChannel();
    if (!m_process.waitForFinished(30000)) {
        m_process.kill();
        m_process.waitForFinished(-1);
    }
}

QString FixtureProcess::programPath(const QString& path)
{
    return path;
}

#else

namespace {

// A Windows path in an argument ("--config-file=C:/..."), for the broker to translate.
QJsonValue brokerArgument(const QString& argument)
{
    for (qsizetype i = 0; i + 2 < argument.size(); ++i) {
        if (argument[i].isLetter() && argument[i + 1] == u':'
            && (argument[i + 2] == u'/' || argument[i + 2] == u'\\')
            && (i == 0 || argument[i - 1] == u'=')) {
            return QJsonObject{{QStringLiteral("prefix"), argument.left(i)},
                               {QStringLiteral("path"), argument.mid(i)}};
        }
    }
    return argument;
}

bool connectToBroker(QTcpSocket& socket, QString& error)
{
    const int port = qEnvironmentVariableIntValue("BEAMTIDE_FIXTURE_BROKER");
    if (port <= 0) {
        error = QStringLiteral("BEAMTIDE_FIXTURE_BROKER names no fixture broker");
        return false;
    }
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    if (!socket.waitForConnected(30000)) {
        error = socket.errorString();
        return false;
    }
    return true;
}

} // namespace

FixtureProcess::~FixtureProcess()
{
    if (running())
        stop(false);
}

bool FixtureProcess::start(const QString& program, const QStringList& arguments)
{
    if (!connectToBroker(m_socket, m_error))
        return false;
    QJsonArray argv{program};
    for (const QString& argument : arguments)
        argv.append(brokerArgument(argument));
    QJsonObject request{{QStringLiteral("argv"), argv}};
    if (!m_folder.isEmpty())
        request.insert(QStringLiteral("cwd"), m_folder);
    if (!m_outputFile.isEmpty())
        request.insert(QStringLiteral("stdout"), m_outputFile);
    m_socket.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    return m_socket.waitForBytesWritten(30000);
}

bool FixtureProcess::readLine(QByteArray& line)
{
    while (!m_socket.canReadLine()) {
        if (!m_socket.waitForReadyRead(-1))
            return false;
    }
    line = m_socket.readLine();
    if (line.startsWith("error: ")) {
        m_error = QString::fromUtf8(line.trimmed());
        return false;
    }
    return true;
}

QByteArray FixtureProcess::leftOutput()
{
    return m_socket.readAll();
}

bool FixtureProcess::running() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

bool FixtureProcess::waitForFinished(int ms)
{
    if (!running())
        return true;
    // The broker ends the connection when the program has ended.
    return m_socket.waitForDisconnected(ms) || !running();
}

void FixtureProcess::closeInput()
{
    // Half a close: the broker reads the end of the request and closes the program's input,
    // while the program's output and its end still come back here, so waitForFinished waits
    // for the program and not for nothing.
    m_socket.flush();
    ::shutdown(SOCKET(m_socket.socketDescriptor()), SD_SEND);
}

void FixtureProcess::stop(bool terminateFirst)
{
    // The broker closes the program's input, then terminates it, then kills it; asked to,
    // it terminates it at once. It ends the connection once the program has ended.
    if (terminateFirst)
        m_socket.write("terminate\n");
    closeInput();
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.waitForDisconnected(60000);
    m_socket.abort();
}

QString FixtureProcess::programPath(const QString& path)
{
    QTcpSocket socket;
    QString error;
    if (!connectToBroker(socket, error))
        return path;
    socket.write(QJsonDocument(QJsonObject{{QStringLiteral("translate"), path}}).toJson(QJsonDocument::Compact)
                 + '\n');
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(30000))
            return path;
    }
    return QString::fromUtf8(socket.readLine().trimmed());
}

#endif

} // namespace beamtide::test
