#include "window/RefreshPresenter.h"

#include "retrieval/FetchRules.h"
#include "window/grid/SpotGrid.h"
#include "window/main/MainWindow.h"
#include "window/main/Prompt.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>

namespace beamtide {

namespace {

void paint(QFrame* shape, const QColor& colour)
{
    QPalette p = shape->palette();
    p.setColor(QPalette::Window, colour);
    shape->setPalette(p);
}

QColor toColor(quint32 rgb)
{
    return QColor((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff);
}

} // namespace

QString plainHint(const QString& text)
{
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped()
        + QStringLiteral("</p>");
}

RefreshPresenter::RefreshPresenter(MainWindow& window, SpotGrid& grid, Prompt& prompt, Hooks hooks,
                                   QObject* parent)
    : QObject(parent), m_window(window), m_grid(grid), m_prompt(prompt), m_hooks(std::move(hooks))
{
}

int RefreshPresenter::updateInterval() const
{
    return m_window.intervalBox->text().toInt();
}

void RefreshPresenter::showAddressProblem(const QString& reason)
{
    static const QString hint = QStringLiteral("Your WWW V4 address");
    m_window.addressLabel->setToolTip(
        reason.isEmpty() ? hint
                         : plainHint(hint + QStringLiteral(" is unknown: the lookup failed (") + reason
                                     + QStringLiteral("). Spots are fetched all the same.")));
}

void RefreshPresenter::showAddressLabel(const QString& text)
{
    m_window.addressLabel->setText(text);
}

void RefreshPresenter::showIndicator(Indicator indicator, bool visible)
{
    if (indicator == Indicator::ButtonFace)
        paint(m_window.netIndicator, m_window.palette().color(QPalette::Button));
    else
        paint(m_window.netIndicator, toColor(indicatorRgb(indicator)));
    m_window.netIndicator->setVisible(visible);
    m_window.netIndicator->repaint();
}

void RefreshPresenter::showBusy(bool busy)
{
    if (busy)
        m_window.grid->setCursor(Qt::BusyCursor);
    else
        m_window.grid->unsetCursor();
    Q_EMIT fetchingChanged(busy);
}

void RefreshPresenter::showFetchOutcome(const FetchOutcome& outcome)
{
    if (outcome.parse && outcome.parse->completed)
        m_window.entriesBox->setText(QString::number(m_hooks.spotCount()));
    if (outcome.gateOpen) {
        m_window.lastUpdate->setText(outcome.lastUpdateText);
        m_window.nextUpdate->setText(outcome.nextUpdateText);
    }
    if (outcome.myCallCount)
        m_window.myCallLines->setText(QString::number(*outcome.myCallCount));
    if (outcome.untickHistorical)
        m_window.historical->setChecked(false);
    if (outcome.answeredBy) {
        m_window.siteLink->setText(SourceLabelText(*outcome.answeredBy));
        m_window.siteLink->setToolTip(
            SourceHint(*outcome.answeredBy, outcome.fallbackReason, outcome.retryAt));
    }
    // The fetcher has logged them; the old files stay, and the user must know they are old.
    if (!outcome.saveErrors.isEmpty())
        m_prompt.showOnce(QStringLiteral("savefile"), {QStringLiteral("Beamtide"), outcome.saveErrors.join(u'\n'),
                                                    QMessageBox::Ok, QMessageBox::Critical});
}

void RefreshPresenter::showNextUpdate(const QString& text)
{
    m_window.nextUpdate->setText(text);
}

void RefreshPresenter::showFetchProblem(const QString& hint)
{
    // The last update time turns red while the spots shown are older than the last fetch.
    QPalette palette = m_window.lastUpdate->palette();
    palette.setColor(QPalette::Text, hint.isEmpty() ? m_window.palette().color(QPalette::Text) : Qt::red);
    m_window.lastUpdate->setPalette(palette);
    m_window.lastUpdate->setToolTip(hint.isEmpty() ? kLastUpdateHint : plainHint(hint));
}

void RefreshPresenter::myCallControls()
{
    m_window.timeWindow->setChecked(false);
    m_window.entriesLimit->setChecked(false);
    m_window.intervalBar->setValue(10);
}

void RefreshPresenter::repaintWindow()
{
    m_window.repaint();
}

} // namespace beamtide
