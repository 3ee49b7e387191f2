#include "window/history/HistoryPanel.h"

#include "history/History.h"
#include "history/HistoryExport.h"
#include "window/history/HistoryCharts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace beamtide {

namespace {

// One query's answer: everything the charts show.
struct Answer
{
    QList<HeatCell> heat;
    qint64 firstDay = 0;
    int days = 0;
    QList<BandHours> hourly;
    qint64 fromHour = 0, toHour = 0;
    QList<DayBest> best;
    int keepDays = 0;
    bool narrowed = false;
};

// The third choice of days: the whole local file, or a season back on a remote source.
constexpr int kRemoteLongDays = 90;

QString heatTitle(std::optional<int> band, int days, const QString& source, bool narrowed)
{
    const QString bandText = band ? historyBandName(*band) + QStringLiteral(" m") : QStringLiteral("all bands");
    return QStringLiteral("Spots per hour of the day (UTC), %1, %2 days, %3%4")
        .arg(bandText)
        .arg(days)
        .arg(source, narrowed ? QStringLiteral(", filtered") : QString());
}

template <typename W>
W* named(QWidget* parent, const char* name, const QString& hint = {})
{
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setToolTip(hint);
    return w;
}

} // namespace

HistoryPanel::HistoryPanel(History& history, Sources sources, QWidget* parent)
    : QWidget(parent, Qt::Window), m_history(history), m_sources(std::move(sources))
{
    setObjectName(QStringLiteral("HistoryPanel"));
    setWindowTitle(QStringLiteral("Beamtide History (local)"));
    resize(760, 720);

    m_view = named<QComboBox>(this, "BoxHistoryView",
                              QStringLiteral("Whose spots the heat map counts: this computer's history file, wspr.live's, or the history server's"));
    m_view->addItems({QStringLiteral("Local history"), QStringLiteral("wspr.live"), QStringLiteral("History server")});
    m_band = named<QComboBox>(this, "BoxHistoryBand", QStringLiteral("The band of the heat map and the best distances"));
    m_band->addItem(QStringLiteral("All"));
    for (int b = 0; b < historyBandCount(); ++b)
        m_band->addItem(historyBandName(b));
    m_days = named<QComboBox>(this, "BoxHistoryDays", QStringLiteral("The days the heat map and the best distances cover"));
    m_days->addItems({QStringLiteral("7 days"), QStringLiteral("30 days"), QStringLiteral("Whole store")});
    m_days->setCurrentIndex(1);
    m_hours = named<QComboBox>(this, "BoxHistoryHours", QStringLiteral("The time the spots per hour cover"));
    m_hours->addItems({QStringLiteral("24 hours"), QStringLiteral("7 days")});
    m_calls = named<QCheckBox>(this, "CheckHistoryCalls", QStringLiteral("Only spots that pass the window's call filters"));
    m_calls->setText(QStringLiteral("Call filters"));
    m_far = named<QCheckBox>(this, "CheckHistoryFar", QStringLiteral("Only spots beyond the far alert distance"));
    m_far->setText(QStringLiteral("Beyond far distance"));
    m_grid = named<QLineEdit>(this, "EditHistoryGrid",
                              QStringLiteral("wspr.live and the history server: only spots with one end in this locator or field (eg JO31 or JO); empty: any"));
    m_grid->setPlaceholderText(QStringLiteral("Grid"));
    m_grid->setMinimumWidth(60);
    m_grid->setMaximumWidth(80);
    m_grid->setEnabled(false);
    m_keep = named<QSpinBox>(this, "SpinHistoryKeep",
                             QStringLiteral("Days the history file keeps; shared by every copy that uses the file"));
    m_keep->setRange(1, 3650);
    m_keep->setSuffix(QStringLiteral(" days kept"));
    m_export = named<QPushButton>(this, "ButtonHistoryExport",
                                  QStringLiteral("Write the spots of the days and band of the heat map to a CSV file in the working folder"));
    m_export->setText(QStringLiteral("Export CSV"));
    m_export->setEnabled(false);
    m_serverButton = named<QPushButton>(this, "ButtonHistoryServer",
                                        QStringLiteral("The ClickHouse server of your own that receives every stored spot, shared by several machines"));
    m_serverButton->setText(QStringLiteral("Server..."));
    m_status = named<QLabel>(this, "LabelHistoryStatus");

    m_heat = named<HeatMapChart>(this, "HistoryHeatMap");
    m_hourly = named<HourlyChart>(this, "HistoryHourly");
    m_best = named<BestDistanceChart>(this, "HistoryBest");

    auto* controls = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{m_view, m_band, m_days, m_calls, m_far, m_grid, m_hours, m_keep, m_export, m_serverButton})
        controls->addWidget(w);
    controls->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(m_status);
    layout->addWidget(m_heat, 3);
    layout->addWidget(m_hourly, 2);
    layout->addWidget(m_best, 2);

    for (QComboBox* box : {m_band, m_days, m_hours})
        connect(box, &QComboBox::currentIndexChanged, this, &HistoryPanel::reload);
    for (QCheckBox* box : {m_calls, m_far})
        connect(box, &QCheckBox::toggled, this, &HistoryPanel::reload);
    connect(m_view, &QComboBox::currentIndexChanged, this, &HistoryPanel::viewChanged);
    connect(m_grid, &QLineEdit::editingFinished, this, &HistoryPanel::reload);
    connect(m_export, &QPushButton::clicked, this, &HistoryPanel::exportCsv);
    connect(m_serverButton, &QPushButton::clicked, this, &HistoryPanel::serverAsked);
    connect(m_keep, &QSpinBox::valueChanged, this, [this](int days) {
        if (m_loadingKeep)
            return;
        m_history.query<bool>([days](HistoryStore& store) { return store.setRetentionDays(days); }, this,
                              [](bool) {});
    });
    // New spots while the panel is up: draw them.
    connect(&m_history, &History::stored, this, [this] {
        if (isVisible())
            reload();
    });
}

HistoryPanel::~HistoryPanel() = default;

void HistoryPanel::setColours(const QColor& background, const QColor& ink, const QColor& strong, const QColor& alert)
{
    for (HistoryChart* chart : std::initializer_list<HistoryChart*>{m_heat, m_hourly, m_best})
        chart->setColours(background, ink, strong, alert);
}

void HistoryPanel::showForBand()
{
    const int index = m_band->findText(m_sources.band());
    if (index >= 0 && index != m_band->currentIndex())
        m_band->setCurrentIndex(index); // reloads
    else
        reload();
    show();
    raise();
}

void HistoryPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Q_EMIT shownChanged(true);
}

void HistoryPanel::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    Q_EMIT shownChanged(false);
}

void HistoryPanel::reload()
{
    const qint64 now = m_sources.nowMinute();
    const std::optional<int> band = historyBandOfName(m_band->currentText());
    const int dayChoice = m_days->currentIndex();
    const qint64 hours = m_hours->currentIndex() == 0 ? 24 : 7 * 24;
    HeatFilter filter = m_sources.filter();
    filter.calls = m_calls->isChecked();
    if (!m_far->isChecked())
        filter.minKm = 0;
    const bool narrowed = filter.calls || filter.minKm > 0;
    const int asked = ++m_asked;
    if (view() != View::Local) {
        reloadRemote(asked, now, band, filter);
        return;
    }
    m_status->setText(narrowed ? QStringLiteral("Working: reading every spot of the range...")
                               : QStringLiteral("Working..."));
    m_history.query<Answer>(
        [now, band, dayChoice, hours, filter, narrowed](HistoryStore& store) {
            Answer a;
            const qint64 today = now / 1440;
            a.days = dayChoice == 0 ? 7 : 30;
            if (dayChoice == 2)
                a.days = int(std::max<qint64>(1, today - store.firstHour().value_or(now / 60) / 24 + 1));
            a.firstDay = today - a.days + 1;
            const qint64 fromHour = a.firstDay * 24, toHour = (today + 1) * 24;
            a.heat = narrowed ? store.heatMap(band, fromHour, toHour, filter) : store.heatMap(band, fromHour, toHour);
            a.toHour = now / 60 + 1;
            a.fromHour = a.toHour - hours;
            a.hourly = store.spotsPerHour(a.fromHour, a.toHour);
            a.best = store.bestPerDay(band, a.firstDay, today + 1);
            a.keepDays = store.retentionDays();
            a.narrowed = narrowed;
            return a;
        },
        this, [this, asked, band](Answer a) {
            m_answered = std::max(m_answered, asked);
            if (asked != m_asked)
                return; // a newer question is out
            m_heat->setData(a.heat, a.firstDay, a.days,
                            heatTitle(band, a.days, QStringLiteral("local history"), a.narrowed));
            const QList<qint64> alerts = m_sources.alerts();
            m_hourly->setData(a.hourly, a.fromHour, a.toHour, alerts);
            m_best->setData(a.best, a.firstDay, a.firstDay + a.days, alerts);
            m_shownFirstDay = a.firstDay;
            m_shownDays = a.days;
            m_shownBand = band;
            m_export->setEnabled(view() == View::Local);
            m_loadingKeep = true;
            m_keep->setValue(a.keepDays);
            m_loadingKeep = false;
            m_status->setText(QStringLiteral("%1 spots in the heat map").arg(m_heat->total()));
            Q_EMIT updated();
        });
}

HistoryPanel::View HistoryPanel::view() const
{
    return static_cast<View>(std::clamp(m_view->currentIndex(), 0, 2));
}

void HistoryPanel::viewChanged()
{
    const bool local = view() == View::Local;
    static const QString titles[] = {QStringLiteral("Beamtide History (local)"), QStringLiteral("Beamtide History (wspr.live)"),
                                     QStringLiteral("Beamtide History (history server)")};
    setWindowTitle(titles[int(view())]);
    m_days->setItemText(2, local ? QStringLiteral("Whole store") : QStringLiteral("%1 days").arg(kRemoteLongDays));
    m_grid->setEnabled(!local);
    m_export->setEnabled(false); // until the local map is drawn again
    // Spots per hour and the best distances are the local file's alone.
    m_hourly->setVisible(local);
    m_best->setVisible(local);
    m_hours->setEnabled(local);
    reload();
}

void HistoryPanel::exportCsv()
{
    const qint64 from = m_shownFirstDay * 1440, to = (m_shownFirstDay + m_shownDays) * 1440;
    const QString path = m_sources.dataFile(historyExportFileName({}, from, to, m_shownBand));
    const std::optional<int> band = m_shownBand;
    m_export->setEnabled(false);
    m_status->setText(QStringLiteral("Working: writing the spots to a CSV file..."));
    m_history.query<HistoryExport>(
        [path, from, to, band](HistoryStore& store) { return exportHistoryCsv(store, path, from, to, band); }, this,
        [this](HistoryExport done) {
            m_export->setEnabled(view() == View::Local);
            m_status->setText(done.saved.ok ? QStringLiteral("%1 spots saved as %2").arg(done.rows).arg(QDir::toNativeSeparators(done.saved.path))
                                            : done.saved.message());
            Q_EMIT exported(done.saved.ok);
        });
}

void HistoryPanel::reloadRemote(int asked, qint64 now, std::optional<int> band, const HeatFilter& filter)
{
    const qint64 today = now / 1440;
    const int choice = m_days->currentIndex();
    const int days = choice == 0 ? 7 : choice == 1 ? 30 : kRemoteLongDays;
    const qint64 firstDay = today - days + 1;
    if (view() == View::Server && !m_sources.server().on()) {
        m_answered = std::max(m_answered, asked);
        m_heat->setData({}, firstDay, days, heatTitle(band, days, QStringLiteral("history server"), false));
        m_status->setText(QStringLiteral("No history server is set: Server... names one."));
        Q_EMIT updated();
        return;
    }
    const RemoteSource source = view() == View::Server ? serverSource(m_sources.server()) : wsprLiveSource(m_sources.wsprLiveUrl());
    const RemoteQuery query = heatMapQuery(source, band, firstDay * 24, (today + 1) * 24, filter, m_grid->text());
    const QString title = heatTitle(band, days, source.label, filter.calls || filter.minKm > 0 || !m_grid->text().trimmed().isEmpty());
    m_status->setText(u"Working: asking " + source.label + u"...");
    m_remote.heatMap(source, query, this, [this, asked, firstDay, days, title, label = source.label](RemoteCells answer) {
        m_answered = std::max(m_answered, asked);
        if (asked != m_asked)
            return; // a newer question is out
        m_heat->setData(answer.cells, firstDay, days, title);
        m_status->setText(answer.error.isEmpty()
                              ? QStringLiteral("%1 spots in the heat map, from %2").arg(m_heat->total()).arg(label)
                              : answer.error);
        Q_EMIT updated();
    });
}

} // namespace beamtide
