#include "Httplib.h"

#include "ClickHouseFixture.h"

#include <QDateTime>
#include <QDir>
#include <QTimeZone>
#include <QHostAddress>
#include <QTcpServer>

namespace beamtide::test {

namespace {

const char* const kServer = "/usr/sbin/clickhouse-server";

int freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QString config(const QString& folder, int port)
{
    return QStringLiteral(R"(<?xml version="1.0"?>
<yandex>
  <logger><level>warning</level><console>1</console></logger>
  <listen_host>127.0.0.1</listen_host>
  <http_port>%2</http_port>
  <path>%1/data/</path>
  <tmp_path>%1/tmp/</tmp_path>
  <format_schema_path>%1/schema/</format_schema_path>
  <timezone>UTC</timezone>
  <mark_cache_size>5368709</mark_cache_size>
  <users>
    <default>
      <password></password>
      <networks><ip>127.0.0.1</ip></networks>
      <profile>default</profile>
      <quota>default</quota>
    </default>
    <club>
      <password>pa ss:word</password>
      <networks><ip>127.0.0.1</ip></networks>
      <profile>default</profile>
      <quota>default</quota>
    </club>
  </users>
  <profiles><default></default></profiles>
  <quotas><default></default></quotas>
</yandex>
)")
        .arg(folder)
        .arg(port);
}

// The table as the public service has it, for the columns the program reads and a few more.
const char* const kCreateTable =
    "CREATE TABLE wspr.rx (id UInt64, time DateTime, band Int16, rx_sign String, "
    "rx_lat Float32, rx_lon Float32, rx_loc String, tx_sign String, tx_lat Float32, "
    "tx_lon Float32, tx_loc String, distance UInt16, azimuth UInt16, rx_azimuth UInt16, "
    "frequency UInt32, power Int8, snr Int8, drift Int8, version String, code Int8) "
    "ENGINE = MergeTree() PARTITION BY toYYYYMM(time) ORDER BY (time, id)";

QString tsvText(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\"));
    escaped.replace(u'\t', QStringLiteral("\\t"));
    escaped.replace(u'\n', QStringLiteral("\\n"));
    return escaped;
}

} // namespace

ClickHouseFixture::ClickHouseFixture()
{
    // A port found free can be taken before the server binds it: then try another.
    for (int attempt = 0; attempt < 5 && !m_started; ++attempt) {
        m_port = freePort();
        m_started = startOnce();
    }
    if (!m_started)
        return;
    for (const char* sql : {"CREATE DATABASE wspr", kCreateTable}) {
        m_error = execute(QString::fromLatin1(sql));
        if (!m_error.isEmpty()) {
            m_started = false;
            return;
        }
    }
}

bool ClickHouseFixture::startOnce()
{
    const QString folder = m_folder.file(QStringLiteral("server%1").arg(m_port));
    QDir().mkpath(folder);
    const QString configFile = folder + QStringLiteral("/config.xml");
    {
        QFile file(configFile);
        if (!file.open(QIODevice::WriteOnly)) {
            m_error = file.errorString();
            return false;
        }
        // The server is a Linux program: under Wine it needs the folder's Linux path.
        file.write(config(FixtureProcess::programPath(folder), m_port).toUtf8());
    }
    m_process.setWorkingDirectory(folder);
    m_process.setStandardOutputFile(folder + QStringLiteral("/server.log"));
    if (!m_process.start(QString::fromLatin1(kServer), {u"--config-file=" + configFile})) {
        m_error = m_process.errorString();
        return false;
    }
    // Ready once it answers its ping; a server that exits (a port taken) has failed.
    httplib::Client client("127.0.0.1", m_port);
    for (;;) {
        if (auto reply = client.Get("/ping"); reply && reply->status == 200)
            return true;
        if (m_process.waitForFinished(50)) {
            QFile log(folder + QStringLiteral("/server.log"));
            log.open(QIODevice::ReadOnly);
            m_error = QStringLiteral("the server stopped: ") + QString::fromUtf8(log.readAll().right(2000));
            return false;
        }
    }
}

void ClickHouseFixture::stop()
{
    if (m_process.running())
        m_process.stop(true);
}

bool ClickHouseFixture::restart()
{
    stop();
    // Its port and its data as before; the port may linger a moment after the stop.
    for (int attempt = 0; attempt < 20; ++attempt)
        if (startOnce())
            return true;
    return false;
}

ClickHouseFixture::~ClickHouseFixture()
{
    if (m_process.running())
        m_process.stop(true);
}

QString ClickHouseFixture::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QString ClickHouseFixture::execute(const QString& sql)
{
    httplib::Client client("127.0.0.1", m_port);
    const QByteArray body = sql.toUtf8();
    auto reply = client.Post("/", body.constData(), size_t(body.size()), "text/plain");
    if (!reply)
        return QStringLiteral("no answer from the server");
    if (reply->status != 200)
        return QString::fromStdString(reply->body);
    return {};
}

QString ClickHouseFixture::insert(const QList<WsprRxRow>& rows)
{
    QString sql = QStringLiteral(
        "INSERT INTO wspr.rx (id, time, band, rx_sign, rx_loc, tx_sign, tx_loc, distance, "
        "frequency, power, snr, drift, version, code) FORMAT TabSeparated\n");
    static qint64 id = 0;
    for (const WsprRxRow& r : rows) {
        const QStringList cells{QString::number(++id),
                                // The server runs on UTC.
                                QDateTime::fromSecsSinceEpoch(r.time, QTimeZone::utc())
                                    .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                                QString::number(r.band),
                                tsvText(r.rxSign),
                                tsvText(r.rxLoc),
                                tsvText(r.txSign),
                                tsvText(r.txLoc),
                                QString::number(r.distance),
                                QString::number(r.frequency),
                                QString::number(r.power),
                                QString::number(r.snr),
                                QString::number(r.drift),
                                tsvText(r.version),
                                QString::number(r.code)};
        sql += cells.join(u'\t') + u'\n';
    }
    return execute(sql);
}

QByteArray ClickHouseFixture::select(const QString& sql)
{
    httplib::Client client("127.0.0.1", m_port);
    httplib::Params params{{"query", sql.toStdString()}};
    auto reply = client.Get("/", params, httplib::Headers{});
    if (!reply)
        return {};
    return QByteArray::fromStdString(reply->body);
}

} // namespace beamtide::test
