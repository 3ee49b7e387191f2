#include "window/setup/SetupPanel.h"

#include "base/Bars.h"

#include "base/SpotSource.h"

#include "settings/ColourNames.h"
#include "window/main/MainWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

namespace beamtide {

namespace {

template <typename W>
W* named(QWidget* parent, QStringView name, const QString& hint = {})
{
    auto* w = new W(parent);
    w->setObjectName(name.toString());
    if (!hint.isEmpty())
        w->setToolTip(hint);
    return w;
}

enum class Weight { Plain, Bold, BoldItalic };

QLabel* label(QWidget* parent, QStringView name, const QString& text, Weight weight = Weight::Plain)
{
    auto* l = named<QLabel>(parent, name);
    l->setTextFormat(Qt::PlainText);
    l->setText(text);
    QFont font = l->font();
    font.setBold(weight != Weight::Plain);
    font.setItalic(weight == Weight::BoldItalic);
    l->setFont(font);
    return l;
}

QPushButton* button(QWidget* parent, QStringView name, const QString& text, const QString& hint = {})
{
    auto* b = named<QPushButton>(parent, name, hint);
    b->setText(text);
    return b;
}

QComboBox* colourBox(QWidget* parent, QStringView name, const QString& hint, const QStringList& items)
{
    auto* box = named<QComboBox>(parent, name, hint);
    box->setEditable(true); // a typed name is accepted too
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    return box;
}

const QString kTextHints[] = {
    QStringLiteral("This is the font colour for Normal results in the displayed values"),
    QStringLiteral("This is the font colour for Alert results in the displayed values"),
    QStringLiteral("This is the font colour for BetweenDistances results in the displayed values"),
    QStringLiteral("This is the font colour for Sigs Above Threshhold results in the displayed values"),
    QStringLiteral("This is the font colour for Beyond Distance results in the displayed values"),
};

const QString kBackgroundHints[] = {
    QStringLiteral("This is the background colour setting for the odd-numbered lines on the displayed results"),
    QStringLiteral("This is the background colour setting for the even-numbered lines on the displayed results"),
    QStringLiteral("This is the background colour setting for the alert-state lines on the displayed results"),
};

const char16_t* const kTextLabels[] = {u"Label27", u"Label28", u"Label29", u"Label30", u"Label31"};
const char16_t* const kBackgroundLabels[] = {u"Label32", u"Label33", u"Label35"};
// The colour boxes and Bold boxes of the text classes, and the background boxes, in order.
const char16_t* const kTextColourBoxes[] = {u"ComboBox4", u"ComboBox5", u"ComboBox6", u"ComboBox7", u"ComboBox8"};
const char16_t* const kBoldBoxes[] = {u"CheckBox11", u"CheckBox12", u"CheckBox13", u"CheckBox14", u"CheckBox15"};
const char16_t* const kBackgroundBoxes[] = {u"ComboBox9", u"ComboBox10", u"ComboBox11"};

} // namespace

SetupPanel::SetupPanel(MainWindow& window)
    : QFrame(window.centralWidget())
    , m_window(window)
{
    setObjectName(QStringLiteral("Panel1"));
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setContentsMargins(2, 2, 2, 2);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(207, 235, 243));
    setPalette(p);
    setFixedSize(545, 385);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);

    // E-mail account, left half.
    int row = 0;
    grid->addWidget(label(this, u"Label25", QStringLiteral("EMAIL ALERTS SETUP"), Weight::BoldItalic), row++, 0, 1, 3);
    grid->addWidget(label(this, u"Label19", QStringLiteral("Email TO"), Weight::Bold), row, 0);
    emailTo = named<QLineEdit>(this, u"Edit21", QStringLiteral("Your personal email address to send alerts to"));
    emailTo->setText(QStringLiteral("Your email"));
    grid->addWidget(emailTo, row++, 1, 1, 2);
    grid->addWidget(label(this, u"Label36", QStringLiteral("(Alerts: If blank then 'runcode.bat' active)")), row++, 0, 1, 3);
    grid->addWidget(label(this, u"Label21", QStringLiteral("SMTP Settings:"), Weight::BoldItalic), row++, 0, 1, 3);
    grid->addWidget(label(this, u"Label20", QStringLiteral("Server"), Weight::Bold), row, 0);
    server = named<QLineEdit>(this, u"Edit22", QStringLiteral("SMTP mail server setting"));
    grid->addWidget(server, row, 1);
    portBox = named<QComboBox>(this, u"ComboBox2");
    portBox->setEditable(true);
    portBox->setInsertPolicy(QComboBox::NoInsert);
    portBox->addItems({QStringLiteral("587"), QStringLiteral("465"), QStringLiteral("25")});
    portBox->setCurrentText(QStringLiteral("587"));
    grid->addWidget(portBox, row++, 2);
    grid->addWidget(label(this, u"Label37", QStringLiteral("Username"), Weight::Bold), row, 0);
    userName = named<QLineEdit>(this, u"Edit26", QStringLiteral("The username at the SMTP server"));
    grid->addWidget(userName, row++, 1, 1, 2);
    grid->addWidget(label(this, u"Label23", QStringLiteral("Password"), Weight::Bold), row, 0);
    password = named<QLineEdit>(this, u"Edit23", QStringLiteral("The account password for the SMTP server"));
    password->setText(QStringLiteral("password"));
    password->setEchoMode(QLineEdit::Password);
    grid->addWidget(password, row, 1);
    showPassword = named<QCheckBox>(this, u"CheckBox10", QStringLiteral("Show password - does not work with protected passwords"));
    showPassword->setText(QStringLiteral("Show"));
    grid->addWidget(showPassword, row++, 2);
    auto* presets = new QHBoxLayout;
    defaultTls = button(this, u"Button8", QStringLiteral("Default TLS"));
    defaultSsl = button(this, u"Button12", QStringLiteral("Default SSL"));
    gmail = button(this, u"Button13", QStringLiteral("Gmail"));
    custom = button(this, u"Button14", QStringLiteral("Custom"));
    custom->setVisible(false);
    for (QPushButton* b : {defaultTls, defaultSsl, gmail, custom})
        presets->addWidget(b);
    grid->addLayout(presets, row++, 0, 1, 3);
    saveClose = button(this, u"Button7", QStringLiteral("Save/Close"),
                       QStringLiteral("Save the configuration settings and close the setup display screen"));
    grid->addWidget(saveClose, row++, 0, 1, 3);

    // Distance scale, launch count and the report, below the account.
    auto* scaleRow = new QHBoxLayout;
    scaleRow->addWidget(label(this, u"Label41", QStringLiteral("Distance Scaling: ")));
    distanceScale = named<QScrollBar>(this, u"ScrollBar8",
        QStringLiteral("Control to change the min/max distances used for filtering spots. This is a 'multiplier' value."));
    distanceScale->setOrientation(Qt::Horizontal);
    distanceScale->setRange(bars::kDistanceScale.min, bars::kDistanceScale.max);
    distanceScale->setValue(50);
    distanceScale->setMinimumWidth(80);
    scaleRow->addWidget(distanceScale, 1);
    distanceScaleBox = named<QLineEdit>(this, u"Edit19", QStringLiteral("This is the multiplier scale for distance adjustments."));
    distanceScaleBox->setReadOnly(true);
    distanceScaleBox->setMaximumWidth(40);
    distanceScaleBox->setText(QStringLiteral("50"));
    scaleRow->addWidget(distanceScaleBox);
    scaleRow->addWidget(label(this, u"Label24", QStringLiteral("Run:")));
    launchCount = label(this, u"Label38", QStringLiteral("0"));
    scaleRow->addWidget(launchCount);
    grid->addLayout(scaleRow, row++, 0, 1, 3);
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(label(this, u"LabelSource", QStringLiteral("Spot source: ")));
    source = named<QComboBox>(this, u"ComboBoxSource",
        QStringLiteral("Where the spots come from: the WSPRnet spot database, its wspr.live mirror, "
                       "or Automatic: the spot database, with wspr.live standing in while it fails."));
    for (SpotSource s : {SpotSource::WsprNet, SpotSource::WsprLive, SpotSource::Automatic})
        source->addItem(spotSourceName(s));
    source->setCurrentText(spotSourceName(SpotSource::Automatic));
    sourceRow->addWidget(source, 1);
    grid->addLayout(sourceRow, row++, 0, 1, 3);
    channels = button(this, u"ButtonChannels", QStringLiteral("Channels…"),
                      QStringLiteral("Webhook, ntfy and MQTT alerts, and the limits against floods"));
    grid->addWidget(channels, row++, 0, 1, 3);
    showRegistry = button(this, u"Button11", QStringLiteral("Show Registry"),
                          QStringLiteral("Provides an overview of most of the values stored in the Windows Registry."));
    grid->addWidget(showRegistry, row++, 0, 1, 3);
    report = named<QPlainTextEdit>(this, u"Memo1", QStringLiteral("The Registry values appear  in this scrollable window"));
    report->setReadOnly(true);
    report->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid->addWidget(report, row++, 0, 1, 3);
    grid->setRowStretch(row - 1, 1);

    // Fonts and backgrounds, right half.
    row = 0;
    grid->addWidget(label(this, u"Label26", QStringLiteral("FONTS"), Weight::BoldItalic), row++, 3, 1, 3);
    for (const TextClassInfo& info : textClasses()) {
        const auto i = static_cast<int>(info.textClass);
        grid->addWidget(label(this, kTextLabels[i], QString::fromUtf16(info.label)), row, 3);
        textColour[i] = colourBox(this, kTextColourBoxes[i], kTextHints[i], textColourList());
        grid->addWidget(textColour[i], row, 4);
        textBold[i] = named<QCheckBox>(this, kBoldBoxes[i]);
        textBold[i]->setText(QStringLiteral("Bold"));
        grid->addWidget(textBold[i], row++, 5);
    }
    grid->addWidget(label(this, u"Label34", QStringLiteral("BACKGROUNDS"), Weight::BoldItalic), row++, 3, 1, 3);
    for (const BackgroundInfo& info : backgrounds()) {
        const auto i = static_cast<int>(info.background);
        grid->addWidget(label(this, kBackgroundLabels[i], QString::fromUtf16(info.label)), row, 3);
        const QStringList items = info.background == Background::Highlight ? highlightColourList()
                                                                            : lineBackgroundList();
        background[i] = colourBox(this, kBackgroundBoxes[i], kBackgroundHints[i], items);
        grid->addWidget(background[i], row++, 4, 1, 2);
    }
    preview = named<QLineEdit>(this, u"Edit24",
        QStringLiteral("This shows the colour combinations as per the last font colour and background settings"));
    preview->setText(QStringLiteral("Test Text Colour"));
    preview->setReadOnly(true);
    grid->addWidget(preview, row++, 3, 1, 3);

    // The desktop, below the colours.
    grid->addWidget(label(this, u"Label50", QStringLiteral("DESKTOP"), Weight::BoldItalic), row++, 3, 1, 3);
    desktopNotify = named<QCheckBox>(this, u"CheckBox18",
        QStringLiteral("Show every alert as a desktop notification as well"));
    desktopNotify->setText(QStringLiteral("Desktop notifications"));
    desktopNotify->setChecked(true);
    grid->addWidget(desktopNotify, row++, 3, 1, 3);
    minimiseToTray = named<QCheckBox>(this, u"CheckBox19",
        QStringLiteral("Minimising hides the window; the tray icon brings it back"));
    minimiseToTray->setText(QStringLiteral("Minimise to tray"));
    grid->addWidget(minimiseToTray, row++, 3, 1, 3);
    history = named<QCheckBox>(this, u"CheckBoxHistory",
        QStringLiteral("Keep every spot fetched in the history file and show the History panel"));
    history->setText(QStringLiteral("Spot history"));
    history->setChecked(true);
    grid->addWidget(history, row++, 3, 1, 3);

    setVisible(false);
}

SetupPanel::~SetupPanel() = default;

void SetupPanel::showOverGrid()
{
    QWidget* central = m_window.centralWidget();
    move(m_window.gridArea->mapTo(central, QPoint(0, 0)));
    raise();
    show();
}

void SetupPanel::setPreviewTextColour(quint32 rgb)
{
    QPalette p = preview->palette();
    p.setColor(QPalette::Text, QColor::fromRgb(rgb));
    preview->setPalette(p);
}

void SetupPanel::setPreviewBackground(quint32 rgb)
{
    QPalette p = preview->palette();
    p.setColor(QPalette::Base, QColor::fromRgb(rgb));
    preview->setPalette(p);
}

void SetupPanel::setPreviewBold(bool bold)
{
    QFont font = preview->font();
    font.setBold(bold);
    preview->setFont(font);
}

bool SetupPanel::previewBold() const
{
    return preview->font().bold();
}

} // namespace beamtide
