#include "window/main/MainWindow.h"

#include "spots/SpotRules.h"

#include "base/Bars.h"

#include "platform/gui/ProgramIcon.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace beamtide {

namespace {

template <typename W>
W* named(QWidget* parent, const char* name, const QString& hint = {})
{
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty())
        w->setToolTip(hint);
    return w;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, const QString& hint = {})
{
    auto* l = named<QLabel>(parent, name, hint);
    // Labels also show text from servers and files (Label15 the echo answer): never markup.
    l->setTextFormat(Qt::PlainText);
    l->setText(text);
    return l;
}

QLineEdit* edit(QWidget* parent, const char* name, const QString& hint = {}, bool readOnly = false)
{
    auto* e = named<QLineEdit>(parent, name, hint);
    e->setReadOnly(readOnly);
    return e;
}

QCheckBox* check(QWidget* parent, const char* name, const QString& text, const QString& hint = {})
{
    auto* c = named<QCheckBox>(parent, name, hint);
    c->setText(text);
    return c;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QString& hint = {})
{
    auto* b = named<QPushButton>(parent, name, hint);
    b->setText(text);
    return b;
}

QScrollBar* bar(QWidget* parent, const char* name, BarRange range, int position,
                const QString& hint = {})
{
    auto* s = named<QScrollBar>(parent, name, hint);
    s->setOrientation(Qt::Horizontal);
    s->setRange(range.min, range.max);
    s->setValue(position);
    s->setMinimumWidth(60);
    return s;
}

QFrame* shape(QWidget* parent, const char* name, const QString& hint = {})
{
    auto* f = named<QFrame>(parent, name, hint);
    f->setFixedSize(14, 14);
    f->setFrameShape(QFrame::Box);
    f->setAutoFillBackground(true);
    return f;
}

// Edits that force upper case as the user types.
void forceUpperCase(QLineEdit* e)
{
    QObject::connect(e, &QLineEdit::textEdited, e, [e](const QString& text) {
        const QString upper = text.toUpper();
        if (upper == text)
            return;
        const int cursor = e->cursorPosition();
        e->setText(upper);
        e->setCursorPosition(cursor);
    });
}

void setBackground(QWidget* w, const QColor& colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Base, colour);
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Beamtide for Windows "));
    setWindowIcon(programIcon());
    buildControls();
    buildLayout();
    connectHandlers();
    resize(865, 574);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls()
{
    auto* c = new QWidget(this);
    c->setObjectName(QStringLiteral("central"));
    setCentralWidget(c);

    // Top row and status fields.
    label3 = label(c, "Label3", QStringLiteral("Band"));
    bandBox = named<QComboBox>(c, "ComboBox1", QStringLiteral("Select the desired Band to monitor"));
    bandBox->setEditable(true);
    bandBox->addItems(bandBoxItems());
    bandBox->setInsertPolicy(QComboBox::NoInsert);
    bandBox->setCurrentText(QStringLiteral("All"));
    useLast = check(c, "CheckBox16", QStringLiteral("Use Last"),
                    QStringLiteral("If ticked, the last set of configuration values are used as bands are selected."));
    label5 = label(c, "Label5", QStringLiteral("WWW:"));
    netIndicator = shape(c, "Shape2", QStringLiteral("Light green when polling WSPRNET, dark green when testing WWW"));
    setBackground(netIndicator, Qt::white);
    entriesBox = edit(c, "Edit9", QStringLiteral("Number of entries retrieved from WSPRNET"));
    entriesBox->setMaximumWidth(50);
    updateNow = button(c, "Button1", QStringLiteral("Update NOW"), QStringLiteral("Update directly fromWSPRNET now"));
    label8 = label(c, "Label8", QStringLiteral("Now (Local):"));
    localTime = edit(c, "Edit5", QStringLiteral("Computer time (local time zone)"), true);
    localTime->setMinimumWidth(76);
    localTime->setMaximumWidth(84);
    utcTime = edit(c, "Edit18", QStringLiteral("Local time in UTC format"), true);
    utcTime->setMinimumWidth(76);
    utcTime->setMaximumWidth(84);
    label6 = label(c, "Label6", QStringLiteral("Last update:"));
    lastUpdate = edit(c, "Edit3", kLastUpdateHint, true);
    lastUpdate->setMinimumWidth(76);
    lastUpdate->setMaximumWidth(84);
    label7 = label(c, "Label7", QStringLiteral("Next update:"));
    nextUpdate = edit(c, "Edit4", QStringLiteral("Time that next automatic update from WSPRNET will occur"), true);
    nextUpdate->setMinimumWidth(76);
    nextUpdate->setMaximumWidth(84);
    slotBar = named<QProgressBar>(c, "ProgressBar1", QStringLiteral("Progress of current time versus 2 minute WSPR Tx timeslot"));
    slotBar->setRange(0, 100);
    slotBar->setValue(0);
    slotBar->setTextVisible(false);
    slotBar->setMaximumHeight(14);
    updateLink = label(c, "Label13", QStringLiteral("Update Link"),
                       QStringLiteral("Click on this link to download the latest version via your browser"));
    updateLink->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    updateLink->setCursor(Qt::PointingHandCursor);
    siteLink = label(c, "Label42", QStringLiteral("WSPRNet"));
    siteLink->setStyleSheet(QStringLiteral("color: blue; font-weight: bold;"));
    siteLink->setCursor(Qt::PointingHandCursor);
    addressLabel = label(c, "Label15", QString(), QStringLiteral("Your WWW V4 address"));
    instanceBox = edit(c, "Edit17", QStringLiteral("This is the Instance Number (number of times the software has been launched concurrently)"));
    instanceBox->setText(QStringLiteral("#"));
    instanceBox->setMaximumWidth(30);
    diagBox = edit(c, "Edit25");
    diagBox->setVisible(false);
    label44 = label(c, "Label44", QStringLiteral("NoSpots"));
    exclusions = edit(c, "Edit27", QStringLiteral("This list of prefixes or callsigns, comma  separated, are not displayed. This list inhibits diplay on EVERY band, but not All Bands."));
    forceUpperCase(exclusions);
    myCallLines = edit(c, "Edit29");
    myCallLines->setMaximumWidth(50);
    mailIndicator = shape(c, "Shape1");
    setBackground(mailIndicator, QColor(0, 255, 0));
    mailIndicator->setVisible(false);
    label18 = label(c, "Label18", QStringLiteral("Emailing"));
    label18->setVisible(false);
    setupButton = button(c, "Button9", QStringLiteral("Setup"), QStringLiteral("Use this button to set Email plus Colour values, view Registry"));
    alertsHistory = button(c, "Button6", QStringLiteral("Alerts History"), QStringLiteral("Show the details from the WSPRAlerts file"));
    allSpots = button(c, "Button10", QStringLiteral("All spots"), QStringLiteral("Show the details from the WSPRAlerts.CSV file"));
    exportCsv = button(c, "Button4", QStringLiteral("-> CSV"), QStringLiteral("Export currently visible spots to file "));
    mapButton = button(c, "ButtonMap", QStringLiteral("Map"), QStringLiteral("Show the spots of the grid as paths on a map of the Earth"));
    mapButton->setCheckable(true);
    historyButton = button(c, "ButtonHistory", QStringLiteral("History"),
                           QStringLiteral("Show when the band opens: the spots kept in the history file as charts"));
    historyButton->setCheckable(true);
    mySpots = button(c, "Button15", QStringLiteral("My Spots"), QStringLiteral("Open the MySpots file in an editor"));
    mySpots->setVisible(false);
    summary = button(c, "Button16", QStringLiteral("Summary"), QStringLiteral("Open the Beamtide Summary software"));
    summary->setVisible(false);
    emailTest = button(c, "Button5", QStringLiteral("Email test"));
    emailTest->setVisible(false);
    alertMemo = named<QPlainTextEdit>(c, "Memo2");
    alertMemo->setVisible(false);

    // Left column.
    label1 = label(c, "Label1", QStringLiteral("Spotted"));
    spottedFilter = edit(c, "Edit1", QStringLiteral("Spotted field filter (eg VK for Australia) but can have multiple prefixes (up to 6) separated by commas {no spaces} eg VK,ZL,FK"));
    spottedFilter->setText(QStringLiteral("VK*"));
    forceUpperCase(spottedFilter);
    clearSpotted = button(c, "Button2", QStringLiteral("Clear"), QStringLiteral("Clears the Spotted field value"));
    label9 = label(c, "Label9", QStringLiteral("Logic:"));
    logicBox = named<QComboBox>(c, "ComboBox3", QStringLiteral("Select whether one or both Spotter and Spotted filters are concurrently active"));
    logicBox->addItems({QStringLiteral("AND"), QStringLiteral("OR")});
    label2 = label(c, "Label2", QStringLiteral("Spotter"));
    spotterFilter = edit(c, "Edit2", QStringLiteral("Spotter field filter (eg VK for Australia"));
    spotterFilter->setText(QStringLiteral("VK*"));
    forceUpperCase(spotterFilter);
    clearSpotter = button(c, "Button3", QStringLiteral("Clear"));
    label4 = label(c, "Label4", QStringLiteral("Update Interval"));
    intervalBar = bar(c, "ScrollBar1", bars::kUpdateInterval, 5, QStringLiteral("Adjust update interval in one minute steps"));
    intervalBox = edit(c, "Edit7", QStringLiteral("Update interval in minutes"), true);
    intervalBox->setText(QStringLiteral("5"));
    label10 = label(c, "Label10", QStringLiteral("Mins"));
    label16 = label(c, "Label16", QStringLiteral("Spots between:"));
    firstSpotTime = edit(c, "Edit14", QStringLiteral("The first spot time value (UTC)"), true);
    lastSpotTime = edit(c, "Edit15", QStringLiteral("The last spot time value (UTC)"), true);
    label11 = label(c, "Label11", QStringLiteral("Min KM"));
    minKmBar = bar(c, "ScrollBar2", bars::kMinDistance, 1, QStringLiteral("The Min distance setting for VHF Distance Mode"));
    minKmBox = edit(c, "Edit8", {}, true);
    label12 = label(c, "Label12", QStringLiteral("Max KM"));
    maxKmBar = bar(c, "ScrollBar6", bars::kMaxDistance, 0, QStringLiteral("The Max distance setting for VHF Distance Mode"));
    maxKmBox = edit(c, "Edit13", {}, true);
    for (QWidget* w : std::initializer_list<QWidget*>{label11, minKmBar, minKmBox, label12, maxKmBar, maxKmBox})
        w->setVisible(false);
    label43 = label(c, "Label43", QStringLiteral("Far Alert K"));
    farAlertBar = bar(c, "ScrollBar9", bars::kFarAlert, 0);
    farAlertBox = edit(c, "Edit20");
    setBackground(farAlertBox, QColor(255, 251, 240));
    farAlertBox->setText(QStringLiteral("2000"));
    timeWindow = check(c, "CheckBox6", QStringLiteral("Time"),
                       QStringLiteral("The elapsed time from now to the last spot to be displayed is defined when  this is ticked"));
    elapsedBar = bar(c, "ScrollBar5", bars::kElapsedTime, 5, QStringLiteral("The elapsed time setting in minutes"));
    elapsedBox = edit(c, "Edit12", QStringLiteral("The elapsed time value in minutes"), true);
    elapsedBox->setText(QStringLiteral("5"));
    label17 = label(c, "Label17", QStringLiteral("Lines:"));
    linesBox = edit(c, "Edit16", {}, true);
    entriesLimit = check(c, "CheckBox7", QStringLiteral("Entries"),
                         QStringLiteral("The number of entries listed is limited to the value at RHS when this is ticked"));
    maxLinesBar = bar(c, "ScrollBar4", bars::kMaxLines, 5,
                      QStringLiteral("Number of entries to list in the grid table - note that this sets the Maximum and not the Minimum lines"));
    maxLinesBox = edit(c, "Edit11", {}, true);
    maxLinesBox->setText(QStringLiteral("5"));
    snrAlert = check(c, "CheckBox4", QStringLiteral("SNR alert"),
                     QStringLiteral("Use SNR Alert mode - displays signals above the threshold in a different colour"));
    snrBar = bar(c, "ScrollBar3", bars::kSnr, 30);
    snrBox = edit(c, "Edit10", QStringLiteral("The SNR threshold setting in dB"), true);
    snrBox->setText(QStringLiteral("0"));
    label14 = label(c, "Label14", QStringLiteral("dB"));
    for (QWidget* w : std::initializer_list<QWidget*>{snrBar, snrBox, label14})
        w->setVisible(false);
    vhfDistMode = check(c, "CheckBox9", QStringLiteral("VHF Dist Mode"),
                        QStringLiteral("Use Min/Max distances and Sig levels to generate alerts"));
    vhfDistMode->setVisible(false);
    sortByKm = check(c, "CheckBox1", QStringLiteral("Sort by KM"),
                     QStringLiteral("Retrieve from WSPRNET in distance order (note does not change existing data display)"));
    historical = check(c, "CheckBox3", QStringLiteral("Historical"),
                       QStringLiteral("Retrieve 5000 entries from WSPRNET for historical research"));
    hideTxMi = check(c, "CheckBox2", QStringLiteral("Hide TX/Mi"), QStringLiteral("Hide TxPwr and Miles columns"));
    alerts = check(c, "CheckBox5", QStringLiteral("Alerts"),
                   QStringLiteral("Create alerts when in distance mode and parameters are met"));
    farAlerts = check(c, "CheckBox17", QStringLiteral("Far"),
                      QStringLiteral("Add the option of generating Far Distance alerts once Alerts is set on"));
    alertTones = check(c, "CheckBox8", QStringLiteral("Alert Tones"),
                       QStringLiteral("Sound an alert on the PC with 3 sequential tones"));
    alertTones->setVisible(false);
    toneBar = bar(c, "ScrollBar7", bars::kTone, 4, QStringLiteral("Alert Tone Freq 400-2000Hz"));
    toneBar->setVisible(false);

    gridArea = new QWidget(c);
    gridArea->setObjectName(QStringLiteral("gridArea"));
    grid = named<QTableView>(gridArea, "XStringGrid1",
                             QStringLiteral("The results as filtered locally but sourced from WSPRNET appear here"));
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->horizontalHeader()->setVisible(false);
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setDefaultSectionSize(20);
    grid->horizontalHeader()->setDefaultSectionSize(60);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
}

void MainWindow::buildLayout()
{
    auto* top = new QGridLayout;
    top->setHorizontalSpacing(4);
    top->setVerticalSpacing(2);
    int col = 0;
    for (QWidget* w : std::initializer_list<QWidget*>{label3, bandBox, useLast, label5, netIndicator,
                                                      entriesBox, updateNow, label8, localTime, utcTime,
                                                      label6, lastUpdate, label7, nextUpdate})
        top->addWidget(w, 0, col++);
    top->setColumnStretch(col, 1);
    auto* second = new QHBoxLayout;
    second->setSpacing(8);
    for (QWidget* w : std::initializer_list<QWidget*>{slotBar, updateLink, siteLink, addressLabel,
                                                      instanceBox, diagBox, label44, exclusions,
                                                      myCallLines, mailIndicator, label18})
        second->addWidget(w);
    second->addStretch(1);
    for (QWidget* w : std::initializer_list<QWidget*>{setupButton, alertsHistory, allSpots,
                                                      exportCsv, mapButton, historyButton, mySpots, summary, emailTest})
        second->addWidget(w);
    top->addLayout(second, 1, 0, 1, col + 1);

    auto* left = new QGridLayout;
    left->setVerticalSpacing(2);
    int row = 0;
    auto addRow = [&](std::initializer_list<QWidget*> ws) {
        int c = 0;
        for (QWidget* w : ws)
            left->addWidget(w, row, c++);
        ++row;
    };
    addRow({label1, spottedFilter, clearSpotted});
    addRow({label9, logicBox});
    addRow({label2, spotterFilter, clearSpotter});
    addRow({label4, intervalBar, intervalBox, label10});
    addRow({label16, firstSpotTime, lastSpotTime});
    addRow({label11, minKmBar, minKmBox});
    addRow({label12, maxKmBar, maxKmBox});
    addRow({label43, farAlertBar, farAlertBox});
    addRow({timeWindow, elapsedBar, elapsedBox});
    addRow({label17, linesBox});
    addRow({entriesLimit, maxLinesBar, maxLinesBox});
    addRow({snrAlert, snrBar, snrBox, label14});
    for (QWidget* w : std::initializer_list<QWidget*>{vhfDistMode, sortByKm, historical, hideTxMi,
                                                      alerts, farAlerts, alertTones, toneBar}) {
        left->addWidget(w, row++, 0, 1, 3);
    }
    left->setRowStretch(row, 1);
    left->setColumnMinimumWidth(1, 60);
    for (QLineEdit* e : {intervalBox, minKmBox, maxKmBox, farAlertBox, elapsedBox, linesBox,
                         maxLinesBox, snrBox})
        e->setMaximumWidth(56);
    for (QLineEdit* e : {firstSpotTime, lastSpotTime}) {
        e->setMinimumWidth(76);
        e->setMaximumWidth(84);
    }

    auto* gridLayout = new QGridLayout(gridArea);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->addWidget(grid, 0, 0);

    auto* body = new QHBoxLayout;
    body->addLayout(left, 0);
    body->addWidget(gridArea, 1);

    auto* outer = new QVBoxLayout(centralWidget());
    outer->setContentsMargins(4, 4, 4, 4);
    outer->addLayout(top);
    outer->addLayout(body, 1);
    outer->addWidget(alertMemo);
}

void MainWindow::connectHandlers()
{
    connect(clearSpotted, &QPushButton::clicked, this, [this] {
        spottedFilter->clear();
        filterPass();
    });
    connect(clearSpotter, &QPushButton::clicked, this, [this] {
        spotterFilter->clear();
        filterPass(false);
    });
    connect(logicBox, &QComboBox::currentTextChanged, this, [this] { filterPass(); });
    connect(updateNow, &QPushButton::clicked, this, &MainWindow::refreshRequested);

    connect(intervalBar, &QScrollBar::valueChanged, this, [this](int minutes) {
        intervalBox->setText(QString::number(minutes));
        Q_EMIT intervalChanged(minutes);
    });
    connect(minKmBar, &QScrollBar::valueChanged, this, [this](int position) {
        m_minDistance = position * m_distanceScale;
        minKmBox->setText(QString::number(m_minDistance));
        Q_EMIT pendingRefilterRequested();
    });
    connect(maxKmBar, &QScrollBar::valueChanged, this, [this](int position) {
        m_maxDistance = position * m_distanceScale;
        maxKmBox->setText(QString::number(m_maxDistance));
        Q_EMIT pendingRefilterRequested();
    });
    connect(elapsedBar, &QScrollBar::valueChanged, this, [this](int position) {
        elapsedBox->setText(QString::number(position));
        Q_EMIT pendingRefilterRequested();
    });
    connect(maxLinesBar, &QScrollBar::valueChanged, this,
            [this](int position) { maxLinesBox->setText(QString::number(position)); });
    connect(snrBar, &QScrollBar::valueChanged, this,
            [this](int position) { snrBox->setText(QString::number(bars::snrThreshold(position))); });
    connect(farAlertBar, &QScrollBar::valueChanged, this, [this](int position) {
        m_farAlertDistance = bars::farAlertDistance(position);
        farAlertBox->setText(QString::number(m_farAlertDistance));
    });
    connect(toneBar, &QScrollBar::valueChanged, this,
            [this](int position) { m_toneFrequency = 100 * position; });

    connect(timeWindow, &QCheckBox::toggled, this, [this] { filterPass(); });
    connect(entriesLimit, &QCheckBox::toggled, this, [this] { filterPass(); });
    connect(snrAlert, &QCheckBox::toggled, this, [this](bool on) {
        snrBar->setVisible(on);
        snrBox->setVisible(on);
        filterPass();
    });
    connect(vhfDistMode, &QCheckBox::toggled, this, [this](bool on) {
        // Unticked, they look like every other edit again.
        const QColor colour = on ? QColor(216, 248, 250) : palette().color(QPalette::Base);
        setBackground(minKmBox, colour);
        setBackground(maxKmBox, colour);
        if (on)
            sortByKm->setChecked(false);
        filterPass();
    });
    connect(sortByKm, &QCheckBox::toggled, this, [this](bool on) {
        timeWindow->setChecked(!on);
        if (on)
            vhfDistMode->setChecked(false);
    });
    connect(alerts, &QCheckBox::toggled, this, [this](bool on) {
        alertTones->setVisible(on);
        toneBar->setVisible(alertTones->isChecked());
    });
    connect(alertTones, &QCheckBox::toggled, this, [this](bool on) { toneBar->setVisible(on); });
}

void MainWindow::setMinDistance(int km)
{
    m_minDistance = km;
    minKmBox->setText(QString::number(km));
}

void MainWindow::setMaxDistance(int km)
{
    m_maxDistance = km;
    maxKmBox->setText(QString::number(km));
}

void MainWindow::filterPass(bool focusGrid)
{
    if (focusGrid)
        Q_EMIT filterPassRequested();
    else
        Q_EMIT filterPassKeepFocusRequested();
}

void MainWindow::applyBandLayout()
{
    const QString band = bandBox->currentText();
    const bool all = band == u"All";
    const bool myCall = band == u"MyCall";
    const bool perBand = !all && !myCall;
    for (QWidget* w : std::initializer_list<QWidget*>{label16, firstSpotTime, lastSpotTime, label17, linesBox})
        w->setVisible(all);
    for (QWidget* w : std::initializer_list<QWidget*>{timeWindow, elapsedBar, elapsedBox, entriesLimit,
                                                      maxLinesBar, maxLinesBox, snrAlert, snrBar,
                                                      snrBox, label14, sortByKm, alerts, farAlerts,
                                                      label43, farAlertBar, farAlertBox})
        w->setVisible(perBand);
    for (QWidget* w : std::initializer_list<QWidget*>{historical, hideTxMi, label44, exclusions})
        w->setVisible(!all);
}

void MainWindow::applyDistanceControlsRule(bool withBand8)
{
    const QString band = bandBox->currentText().trimmed();
    static const QStringList vhf{QStringLiteral("6"), QStringLiteral("4"), QStringLiteral("2"),
                                 QStringLiteral("220"), QStringLiteral("432"), QStringLiteral("u")};
    const bool show = vhf.contains(band) || (withBand8 && band == u"8");
    for (QWidget* w : std::initializer_list<QWidget*>{label11, minKmBar, minKmBox, label12, maxKmBar,
                                                      maxKmBox, vhfDistMode})
        w->setVisible(show);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    Q_EMIT closing();
    event->accept();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    filterPass();
}

void setComboText(QComboBox* box, const QString& text)
{
    const QSignalBlocker blocker(box);
    const int index = box->findText(text);
    if (index >= 0)
        box->setCurrentIndex(index);
    else
        box->setCurrentText(text);
}

} // namespace beamtide
