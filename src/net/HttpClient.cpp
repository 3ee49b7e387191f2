#include "net/HttpClient.h"

#include "Version.h"
#include "net/NetWorker.h"
#include "net/TlsAuthorities.h"

#include <curl/curl.h>

#include <memory>

namespace beamtide {

namespace {

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer
{
    CURL* handle = nullptr;
    const HttpLimits* limits = nullptr;
    QByteArray body;
    QByteArray statusLine;
    qsizetype lineLength = 0;
    QString failure; // set by a callback that stopped the transfer
};

// Counts the characters since the last line end; false once a line is too long.
bool withinLineLimit(Transfer& t, const char* data, size_t size, qsizetype& length)
{
    const qsizetype max = t.limits->maxLineLength;
    if (max <= 0)
        return true;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\r' || data[i] == '\n') {
            length = 0;
        } else if (++length > max) {
            t.failure = QStringLiteral("Maximum line length exceeded (%1 characters)").arg(max);
            return false;
        }
    }
    return true;
}

size_t onBody(char* data, size_t one, size_t size, void* user)
{
    auto& t = *static_cast<Transfer*>(user);
    size *= one;
    if (t.body.size() + qsizetype(size) > t.limits->maxBodyBytes) {
        t.failure = QStringLiteral("Answer larger than %1 bytes").arg(t.limits->maxBodyBytes);
        return 0;
    }
    if (!withinLineLimit(t, data, size, t.lineLength))
        return 0;
    if (t.body.isEmpty()) {
        // A page of megabytes grown by doubling takes up to three times its size at the
        // moment it is copied over; the announced length is taken at once when it fits.
        curl_off_t length = -1;
        if (curl_easy_getinfo(t.handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK
            && length > 0 && length <= t.limits->maxBodyBytes)
            t.body.reserve(qsizetype(length));
    }
    t.body.append(data, qsizetype(size));
    return size;
}

size_t onHeader(char* data, size_t one, size_t size, void* user)
{
    auto& t = *static_cast<Transfer*>(user);
    size *= one;
    qsizetype length = 0;
    if (!withinLineLimit(t, data, size, length))
        return 0;
    const QByteArray line = QByteArray(data, qsizetype(size)).trimmed();
    // Each hop of a redirect starts with its own status line; the last one counts.
    if (line.startsWith("HTTP/"))
        t.statusLine = line;
    return size;
}

struct EasyDeleter
{
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListDeleter
{
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

} // namespace

HttpClient::HttpClient()
{
    initCurlOnce();
    CURLSH* share = curl_share_init();
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    m_share = share;
}

HttpClient::~HttpClient()
{
    curl_share_cleanup(static_cast<CURLSH*>(m_share));
}

const char* HttpClient::userAgent()
{
    return "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0; MAAU)";
}

QByteArray HttpClient::ownUserAgent()
{
    return QByteArray("Beamtide/") + kVersionText;
}

namespace {
// Gives up when the program is closing rather than wait out a slow server.
int onProgress(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return NetWorker::currentJobCancelled() ? 1 : 0;
}
} // namespace

HttpResult HttpClient::get(const QString& url, const HttpLimits& limits,
                           const QByteArray& userAgent)
{
    HttpRequest request;
    request.url = url;
    request.headers = {{"Accept", "text/html, */*"},
                       // Sent with every request, though none has a body: the database has
                       // always seen it.
                       {"Content-Type", "text/html"}};
    return perform(request, limits, userAgent.isEmpty() ? QByteArray(HttpClient::userAgent()) : userAgent,
                   true);
}

HttpResult HttpClient::send(const HttpRequest& request, const HttpLimits& limits)
{
    return perform(request, limits, ownUserAgent(), false);
}

HttpResult HttpClient::perform(const HttpRequest& request, const HttpLimits& limits,
                               const QByteArray& userAgent, bool followRedirects)
{
    const std::lock_guard lock(m_mutex);
    HttpResult result;
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) {
        result.error = QStringLiteral("Cannot start an HTTP request");
        return result;
    }
    CURL* c = easy.get();

    std::unique_ptr<curl_slist, ListDeleter> headers;
    curl_slist* list = nullptr;
    for (const auto& [name, value] : request.headers) {
        QByteArray line = name + ": " + value;
        line.replace('\r', ' ').replace('\n', ' ');
        list = curl_slist_append(list, line.constData());
    }
    if (request.method == "POST")
        list = curl_slist_append(list, "Expect:"); // the body goes at once, no 100-continue wait
    headers.reset(list);

    Transfer transfer;
    transfer.handle = c;
    transfer.limits = &limits;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const QByteArray address = request.url.toUtf8();

    curl_easy_setopt(c, CURLOPT_URL, address.constData());
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_USERAGENT, userAgent.constData());
    if (request.method == "POST") {
        curl_easy_setopt(c, CURLOPT_POST, 1L);
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, request.body.constData());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
    } else if (request.method != "GET") {
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, request.method.constData());
    }
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, followRedirects ? 1L : 0L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 15L);
    curl_easy_setopt(c, CURLOPT_SHARE, m_share);
    curl_easy_setopt(c, CURLOPT_COOKIEFILE, ""); // cookie engine on, nothing read from disk
    curl_easy_setopt(c, CURLOPT_PROXY, "");      // no proxy, whatever the environment says
    // Every request on a connection of its own, closed when it is done.
    curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, limits.connectMs);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, limits.totalMs);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L); // runs on a worker thread
    applyTlsAuthorities(c);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);

    const CURLcode code = curl_easy_perform(c);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    result.status = status;

    if (code != CURLE_OK) {
        if (!transfer.failure.isEmpty())
            result.error = transfer.failure;
        else if (errorBuffer[0])
            result.error = QString::fromLocal8Bit(errorBuffer);
        else
            result.error = QString::fromLatin1(curl_easy_strerror(code));
        return result;
    }
    // A redirect is followed; one that is still the last status led nowhere (no Location),
    // and its body is no answer either.
    if (status >= 300) {
        result.error = transfer.statusLine.isEmpty()
                           ? QStringLiteral("HTTP status %1").arg(status)
                           : QString::fromLatin1(transfer.statusLine);
        return result;
    }
    result.ok = true;
    result.body = std::move(transfer.body);
    return result;
}

} // namespace beamtide
