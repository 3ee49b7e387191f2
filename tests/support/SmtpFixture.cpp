#include "SmtpFixture.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace beamtide::test {

namespace {

QList<QPair<QString, QString>> headerList(const QJsonValue& value)
{
    QList<QPair<QString, QString>> list;
    for (const QJsonValue& pair : value.toArray())
        list.append({pair.toArray().at(0).toString(), pair.toArray().at(1).toString()});
    return list;
}

QString firstOf(const QList<QPair<QString, QString>>& list, const QString& name)
{
    for (const auto& [key, value] : list)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

} // namespace

QString StoredMail::header(const QString& name) const
{
    return firstOf(headers, name);
}

QString StoredMail::rawHeader(const QString& name) const
{
    return firstOf(rawHeaders, name);
}

int StoredMail::headerCount(const QString& name) const
{
    return int(std::count_if(headers.begin(), headers.end(), [&](const auto& pair) {
        return pair.first.compare(name, Qt::CaseInsensitive) == 0;
    }));
}

SmtpFixture::SmtpFixture()
{
    QString python = qEnvironmentVariable("BEAMTIDE_AIOSMTPD_PYTHON");
    if (python.isEmpty())
        python = QStringLiteral("/usr/bin/python3"); // Debian's, which has aiosmtpd
    if (!m_process.start(python, {QStringLiteral(BEAMTIDE_TEST_SUPPORT "/smtp_fixture.py"), m_folder.path()})) {
        m_error = m_process.errorString();
        return;
    }
    // The script prints one line once every server listens; it exits if it cannot.
    QByteArray line;
    if (!m_process.readLine(line)) {
        m_error = m_process.errorString() + QString::fromUtf8(m_process.leftOutput());
        return;
    }
    const QJsonObject info = QJsonDocument::fromJson(line).object();
    const QJsonObject ports = info.value(QStringLiteral("ports")).toObject();
    for (auto it = ports.begin(); it != ports.end(); ++it)
        m_ports.append({it.key(), it.value().toInt()});
    // The authority is written into the fixture's folder, which the test reaches by its own path.
    m_caFile = m_folder.file(QFileInfo(info.value(QStringLiteral("ca")).toString()).fileName());
    m_user = info.value(QStringLiteral("user")).toString();
    m_password = info.value(QStringLiteral("password")).toString();
    m_started = !m_ports.isEmpty();
    if (!m_started)
        m_error = QStringLiteral("no ports from the fixture");
}

SmtpFixture::~SmtpFixture()
{
    if (m_process.running())
        m_process.stop(false); // the script stops when its input ends
}

int SmtpFixture::port(const QString& server) const
{
    for (const auto& [name, port] : m_ports)
        if (name == server)
            return port;
    return 0;
}

QList<StoredMail> SmtpFixture::messages(const QString& server) const
{
    QList<StoredMail> mails;
    const QDir dir(m_folder.file(QStringLiteral("messages")));
    for (int n = 1;; ++n) {
        QFile file(dir.filePath(server + u'-' + QString::number(n) + QStringLiteral(".json")));
        if (!file.open(QIODevice::ReadOnly))
            break;
        const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
        StoredMail mail;
        mail.mailFrom = o.value(QStringLiteral("mail_from")).toString();
        for (const QJsonValue& to : o.value(QStringLiteral("rcpt_tos")).toArray())
            mail.recipients.append(to.toString());
        mail.login = o.value(QStringLiteral("login")).toString();
        mail.helo = o.value(QStringLiteral("helo")).toString();
        mail.tls = o.value(QStringLiteral("tls")).toBool();
        mail.tlsVersion = o.value(QStringLiteral("tls_version")).toString();
        mail.headers = headerList(o.value(QStringLiteral("headers")));
        mail.rawHeaders = headerList(o.value(QStringLiteral("raw_headers")));
        mail.body = o.value(QStringLiteral("body")).toString();
        mail.raw = o.value(QStringLiteral("raw")).toString();
        mails.append(mail);
    }
    return mails;
}

} // namespace beamtide::test
