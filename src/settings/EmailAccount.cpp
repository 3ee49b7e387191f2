#include "settings/EmailAccount.h"

#include "base/Config.h"

#include <QFile>

namespace beamtide {

namespace {

QString latin1(const char* text)
{
    return QString::fromLatin1(text);
}

bool keepsNoFile(const QString& server)
{
    const QString host = server.toLower();
    return host.contains(u"reachmail") || host.contains(u"gmail");
}

} // namespace

PresetResult applyAccountPreset(AccountPreset preset, const AccountFields& current)
{
    PresetResult result{current};
    AccountFields& f = result.fields;
    const bool show = preset == AccountPreset::Gmail;
    result.showChanged = f.show != show;
    f.show = show;
    switch (preset) {
    case AccountPreset::DefaultTls:
    case AccountPreset::DefaultSsl:
        f.emailTo = QStringLiteral("Your email");
        f.server = latin1(config::kRelayHost);
        f.userName = latin1(config::kRelayAccount);
        f.password = latin1(config::kRelayPassword);
        result.smtpPort = preset == AccountPreset::DefaultTls ? 587 : 465;
        result.inClear = false;
        break;
    case AccountPreset::Gmail:
        f.emailTo = QStringLiteral("Your Gmail email");
        f.server = latin1(config::kGmailHost);
        f.userName = f.emailTo;
        f.password = QStringLiteral("GMail Password");
        result.smtpPort = 587;
        result.inClear = true;
        break;
    }
    f.portText = QString::number(result.smtpPort);
    return result;
}

bool passwordInClear(bool show, const QString& password, const QString& server)
{
    return show && password != latin1(config::kProtectedPassword) && !server.contains(u"reachmail")
        && !server.contains(u"drovix");
}

std::optional<int> parsePort(const QString& text)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok, 10);
    if (!ok || port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

AccountFile::AccountFile(QString path)
    : m_path(std::move(path))
{
}

AccountFile::Load AccountFile::load(const AccountFields& current) const
{
    Load result;
    result.fields = current;
    const std::optional<QStringList> lines = readLines(m_path);
    if (!lines)
        return result;
    result.found = true;
    AccountFields& f = result.fields;
    for (const QString& line : *lines) {
        const qsizetype comma = line.indexOf(u',');
        if (comma < 0)
            continue;
        const QStringView keyPart = QStringView(line).left(comma + 1);
        const QString value = line.mid(comma + 1);
        if (keyPart.contains(u"EmailTo,"))
            f.emailTo = value;
        if (keyPart.contains(u"SMTPServer,"))
            f.server = value;
        if (keyPart.contains(u"SMTPUserName,"))
            f.userName = value;
        if (keyPart.contains(u"SMTPUserPwd,") && f.show)
            f.password = value;
        if (keyPart.contains(u"SMTPPortNo,")) {
            if (const std::optional<int> port = parsePort(value)) {
                f.portText = value;
                result.smtpPort = port;
                result.error.clear();
            } else {
                result.error = QStringLiteral("The port in ") + m_path + u" is not a port number: "
                    + value.left(64);
            }
        }
    }
    return result;
}

AccountFile::Save AccountFile::save(const AccountFields& fields, int smtpPort) const
{
    Save result{Outcome::Written, smtpPort, {}};
    // Mail goes to the port the box shows, 587 included.
    const std::optional<int> port = parsePort(fields.portText);
    if (keepsNoFile(fields.server)) {
        if (port)
            result.smtpPort = *port;
        QFile file(m_path);
        if (file.exists() && !file.remove()) {
            result.outcome = Outcome::Failed;
            result.error = file.errorString();
        } else {
            result.outcome = Outcome::Deleted;
        }
        return result;
    }
    if (!port) {
        result.outcome = Outcome::Refused;
        result.error = QStringLiteral("The SMTP port must be a number from 1 to 65535, not \"")
            + fields.portText.left(64) + u'"';
        return result;
    }
    result.smtpPort = *port;
    const QStringList lines{
        u"EmailTo," + fields.emailTo,
        u"SMTPServer," + fields.server,
        u"SMTPUserName," + fields.userName,
        u"SMTPUserPwd," + fields.password,
        u"SMTPPortNo," + QString::number(result.smtpPort),
    };
    const SaveResult saved = saveLines(m_path, lines, FileAccess::OwnerOnly);
    if (!saved.ok) {
        result.outcome = Outcome::Failed;
        result.error = saved.error;
    }
    return result;
}

} // namespace beamtide
