#include "mail/AlertMail.h"

#include "net/NetWorker.h"
#include "net/TlsAuthorities.h"

#include "base/Config.h"
#include "base/RunLog.h"

#include <QDateTime>
#include <QLocale>

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace beamtide {

namespace {

// Text that goes into a header or an SMTP command: a line end or other control character
// in it would start a header or a command of its own.
QString oneLine(const QString& text)
{
    QString line = text;
    for (QChar& c : line)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u' ';
    return line;
}

bool isPlainAscii(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    return true;
}

QString encodedWord(const QString& text)
{
    return QStringLiteral("=?UTF-8?B?") + QString::fromLatin1(text.toUtf8().toBase64())
        + QStringLiteral("?=");
}

QString headerText(const QString& text)
{
    const QString line = oneLine(text);
    return isPlainAscii(line) ? line : encodedWord(line);
}

QString displayName(const QString& name)
{
    if (!isPlainAscii(name))
        return encodedWord(name);
    QString quoted = name;
    quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + quoted + u'"';
}

QString hostForUrl(const QString& host)
{
    return host.contains(u':') ? u'[' + host + u']' : host;
}

// curl sends the URL's path as the EHLO name. A name that is no domain (the form text "Your
// SMTP Host address" gives one with blanks) would make the server refuse the greeting, so
// curl's own name, the machine's, is used instead.
QString ehloPath(const QString& name)
{
    if (name.isEmpty())
        return {};
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'-' && c != u'.')
            return {};
    }
    return u'/' + name;
}

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter
{
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
    void operator()(curl_mime* m) const { curl_mime_free(m); }
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

template <typename T>
using CurlPtr = std::unique_ptr<T, CurlDeleter>;

curl_slist* append(curl_slist* list, const QString& text)
{
    curl_slist* grown = curl_slist_append(list, text.toUtf8().constData());
    return grown ? grown : list;
}

// Turns curl's running commentary into the run log's status lines and watches the first
// EHLO reply for STARTTLS.
class Exchange final
{
public:
    Exchange(const RunLog& log, TlsMode mode) : m_log(log), m_mode(mode) {}

    void onDebug(curl_infotype type, const char* data, size_t size)
    {
        const QString text = QString::fromUtf8(data, qsizetype(size));
        switch (type) {
        case CURLINFO_TEXT:
            for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts))
                onText(line.trimmed());
            break;
        case CURLINFO_HEADER_IN:
            for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
                onReply(line);
            break;
        case CURLINFO_HEADER_OUT:
            // Commands are not logged: AUTH LOGIN sends the credentials as commands.
            if (text.startsWith(QStringLiteral("EHLO"), Qt::CaseInsensitive))
                ++m_ehloSent;
            break;
        default:
            break;
        }
    }

    QString lastNegativeReply() const { return m_lastNegative; }

private:
    void onText(const QString& line)
    {
        if (line.isEmpty())
            return;
        if ((line.startsWith(QStringLiteral("TLSv")) || line.startsWith(QStringLiteral("SSLv")))
            && (line.contains(QStringLiteral("(IN)")) || line.contains(QStringLiteral("(OUT)")))) {
            m_log.writeTagged(QStringLiteral("TLS status ") + line);
            return;
        }
        if (line.contains(QStringLiteral("certificate verify"), Qt::CaseInsensitive)
            || line.startsWith(QStringLiteral("SSL certificate problem"))) {
            m_log.writeTagged(QStringLiteral("SSLIO status Verify Peer"));
            m_log.writeTagged(QStringLiteral("SSLIO status ") + line);
            return;
        }
        if (isTlsInformation(line)) {
            m_log.writeTagged(QStringLiteral("SSLIO status ") + line);
            return;
        }
        m_log.writeTagged(QStringLiteral("SMTP status ") + line);
    }

    static bool isTlsInformation(const QString& line)
    {
        static const QStringList markers{
            QStringLiteral("SSL"),         QStringLiteral("TLS"),        QStringLiteral("ALPN"),
            QStringLiteral("CAfile"),      QStringLiteral("CApath"),     QStringLiteral("certificate"),
            QStringLiteral("subject:"),    QStringLiteral("issuer:"),    QStringLiteral("start date:"),
            QStringLiteral("expire date:"), QStringLiteral("subjectAltName"),
        };
        for (const QString& marker : markers)
            if (line.contains(marker))
                return true;
        return false;
    }

    void onReply(const QString& line)
    {
        m_log.writeTagged(QStringLiteral("SMTP status ") + line);
        if (line.startsWith(u'4') || line.startsWith(u'5'))
            m_lastNegative = line;
        if (m_ehloSent != 1 || m_ehloDone || !line.startsWith(QStringLiteral("250")))
            return;
        if (line.mid(4).trimmed().compare(QStringLiteral("STARTTLS"), Qt::CaseInsensitive) == 0)
            m_startTlsOffered = true;
        if (line.size() > 3 && line[3] == u'-')
            return;
        m_ehloDone = true;
        // The exchange carries on in clear text, authentication included.
        if (m_mode == TlsMode::StartTls && !m_startTlsOffered)
            m_log.writeTagged(QStringLiteral("SMTP status TLS not available"));
    }

    const RunLog& m_log;
    TlsMode m_mode;
    int m_ehloSent = 0;
    bool m_ehloDone = false;
    bool m_startTlsOffered = false;
    QString m_lastNegative;
};

int debugCallback(CURL*, curl_infotype type, char* data, size_t size, void* user)
{
    static_cast<Exchange*>(user)->onDebug(type, data, size);
    return 0;
}

MailResult failed(const RunLog& log, const QString& error)
{
    log.writeTagged(QStringLiteral("SMTP Secure Send error ") + error);
    return MailResult{false, error};
}

} // namespace

TlsMode tlsModeForPort(int port)
{
    switch (port) {
    case 465:
        return TlsMode::Implicit;
    case 25:
        return TlsMode::None;
    default:
        return TlsMode::StartTls;
    }
}

MailCheck checkAlertMail(const MailAccount& account)
{
    if (!account.alertsEnabled)
        return MailCheck::Disabled;
    if (!account.server.contains(u'.') || !account.recipient.contains(u'@'))
        return MailCheck::NotSetUp;
    return MailCheck::Ready;
}

QStringList alertMailHeaders(const MailAccount& account, const AlertMessage& message)
{
    const QString recipient = oneLine(account.recipient);
    const QString date = QLocale::c().toString(QDateTime::currentDateTimeUtc(),
                                               QStringLiteral("ddd, dd MMM yyyy hh:mm:ss"))
        + QStringLiteral(" +0000");
    return {
        QStringLiteral("Date: ") + date,
        QStringLiteral("From: ") + QString::fromLatin1(config::kSenderAddress),
        QStringLiteral("To: ") + displayName(recipient) + QStringLiteral(" <") + recipient + u'>',
        QStringLiteral("Subject: ") + headerText(kSubjectPrefix + message.alert),
        QStringLiteral("X-Priority: 2 (High)"),
        QStringLiteral("Importance: High"),
    };
}

MailResult sendAlertMail(const MailAccount& account, const AlertMessage& message, const RunLog& log)
{
    if (account.port < 1 || account.port > 65535)
        return failed(log, QStringLiteral("SMTP port %1 is not valid").arg(account.port));

    initCurlOnce();
    const CurlPtr<CURL> curl(curl_easy_init());
    if (!curl)
        return failed(log, QStringLiteral("Could not start the mail client"));
    CURL* c = curl.get();

    const TlsMode mode = tlsModeForPort(account.port);
    const QString server = oneLine(account.server).trimmed();
    const QString url = (mode == TlsMode::Implicit ? QStringLiteral("smtps://") : QStringLiteral("smtp://"))
        + hostForUrl(server) + u':' + QString::number(account.port) + ehloPath(account.heloName);
    curl_easy_setopt(c, CURLOPT_URL, url.toUtf8().constData());
    // A closing program does not wait for a slow mail server.
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION,
                     +[](void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) -> int {
                         return NetWorker::currentJobCancelled() ? 1 : 0;
                     });
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    // Keeps the URL's host and port (and so the TLS host name and the mode) while the
    // connection goes to the test server's port.
    const CurlPtr<curl_slist> connectTo(account.connectPort > 0
        ? append(nullptr, QStringLiteral(":::") + QString::number(account.connectPort))
        : nullptr);
    if (connectTo)
        curl_easy_setopt(c, CURLOPT_CONNECT_TO, connectTo.get());
    switch (mode) {
    case TlsMode::StartTls:
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
        break;
    case TlsMode::Implicit:
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        break;
    case TlsMode::None:
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_NONE));
        break;
    }
    curl_easy_setopt(c, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, account.verifyPeer ? 1L : 0L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, account.verifyPeer ? 2L : 0L);
    applyTlsAuthorities(c, account.caFile);

    const QByteArray user = oneLine(account.userName).toUtf8();
    const QByteArray password = oneLine(account.password).toUtf8();
    if (!user.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
        curl_easy_setopt(c, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
    }

    const QByteArray from = '<' + QByteArray(config::kSenderAddress) + '>';
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.constData());
    const CurlPtr<curl_slist> recipients(
        append(nullptr, u'<' + oneLine(account.recipient).trimmed() + u'>'));
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());

    curl_slist* headerList = nullptr;
    for (const QString& header : alertMailHeaders(account, message))
        headerList = append(headerList, header);
    const CurlPtr<curl_slist> headers(headerList);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());

    const CurlPtr<curl_mime> mime(curl_mime_init(c));
    curl_mimepart* part = curl_mime_addpart(mime.get());
    const QByteArray body = (message.memo.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
    curl_mime_data(part, body.constData(), size_t(body.size()));
    curl_mime_type(part, "text/plain; charset=UTF-8");
    curl_mime_encoder(part, "quoted-printable");
    curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.get());

    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 20L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, 120L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);

    Exchange exchange(log, mode);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, debugCallback);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &exchange);
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);

    const CURLcode code = curl_easy_perform(c);
    if (code == CURLE_OK)
        return MailResult{true, {}};

    QString error = QString::fromUtf8(errorBuffer).trimmed();
    if (error.isEmpty())
        error = QString::fromUtf8(curl_easy_strerror(code));
    // curl names only the reply code; the server's own words help the user more.
    const QString reply = exchange.lastNegativeReply();
    if (!reply.isEmpty() && !error.contains(reply))
        error += QStringLiteral(" - ") + reply;
    return failed(log, error);
}

} // namespace beamtide
