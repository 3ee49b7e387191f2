#include "window/grid/FindPanel.h"

#include "window/grid/SpotGrid.h"
#include "window/main/Prompt.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QValidator>

namespace beamtide {

namespace {

// Typed search text is taken in upper case as it is typed.
class UpperCase final : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

bool isCtrlF(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
    return key.key() == Qt::Key_F && mods == Qt::ControlModifier;
}

} // namespace

std::optional<GridCell> scanGrid(const SpotGridModel& model, const QString& text, int startRow)
{
    const QString wanted = text.toUpper();
    const int columns = model.searchedColumns();
    for (int row = std::max(startRow, 0); row < model.rows(); ++row) {
        for (int column = 0; column < columns; ++column) {
            const QString cell = model.cell(row, column);
            if (!cell.isEmpty() && cell.toUpper().startsWith(wanted))
                return GridCell{row, column};
        }
    }
    return std::nullopt;
}

QString bandOfHeader(const QString& header)
{
    const qsizetype slash = header.indexOf(u'/');
    return slash < 0 ? header : header.left(slash);
}

FindPanel::FindPanel(SpotGrid& grid, Prompt& prompt, QWidget* parent)
    : QFrame(parent), m_grid(grid), m_prompt(prompt), m_label(new QLabel(this)),
      m_edit(new QLineEdit(this)), m_find(new QPushButton(this)), m_next(new QPushButton(this)),
      m_close(new QPushButton(this))
{
    setObjectName(QStringLiteral("Panel2"));
    setToolTip(QStringLiteral("Find Feature. Enter your search term and press Find."));
    setFrameShape(QFrame::Panel);
    setAutoFillBackground(true);
    QPalette cream = palette();
    cream.setColor(QPalette::Window, QColor(255, 251, 240));
    setPalette(cream);

    m_label->setObjectName(QStringLiteral("Label45"));
    m_label->setText(QStringLiteral("Find"));
    m_edit->setObjectName(QStringLiteral("Edit28"));
    m_edit->setToolTip(QStringLiteral("Enter callsign or prefix to find.."));
    m_edit->setValidator(new UpperCase(m_edit));
    m_find->setObjectName(QStringLiteral("Button17"));
    m_find->setText(QStringLiteral("Find"));
    m_find->setToolTip(QStringLiteral("Find matching info"));
    m_next->setObjectName(QStringLiteral("Button18"));
    m_next->setText(QStringLiteral("Next"));
    m_next->setToolTip(QStringLiteral("Look for another match.."));
    m_close->setObjectName(QStringLiteral("Button19"));
    m_close->setText(QStringLiteral("Close"));
    m_close->setToolTip(QStringLiteral("Close the Find function."));
    for (QPushButton* button : {m_find, m_next, m_close})
        button->setAutoDefault(false);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 6, 4);
    // The panel takes the size its captions and a call sign or two need, not a built-in one.
    row->setSizeConstraint(QLayout::SetFixedSize);
    m_edit->setMinimumWidth(m_edit->fontMetrics().horizontalAdvance(QStringLiteral("W")) * 14);
    row->addWidget(m_label);
    row->addWidget(m_edit, 1);
    row->addWidget(m_find);
    row->addWidget(m_next);
    row->addWidget(m_close);

    connect(m_edit, &QLineEdit::textChanged, this, &FindPanel::searchTextChanged);
    connect(m_edit, &QLineEdit::returnPressed, this, [this] {
        if (m_edit->text().isEmpty())
            return;
        m_grid.view().setFocus();
        find();
    });
    connect(m_find, &QPushButton::clicked, this, [this] {
        if (!m_edit->text().isEmpty())
            find();
    });
    connect(m_next, &QPushButton::clicked, this, [this] {
        if (m_grid.findHighlight().active)
            next();
    });
    connect(m_close, &QPushButton::clicked, this, [this] {
        hide();
        m_edit->clear();
    });
    m_edit->installEventFilter(this);

    QTableView& view = m_grid.view();
    view.installEventFilter(this);
    connect(&view, &QAbstractItemView::pressed, this,
            [this](const QModelIndex& index) { pickBand(index.column()); });
    // Only a move made by a key counts; the view also moves the current cell by itself,
    // for example when it first gets the focus.
    connect(view.selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (m_keyNavigation && current.isValid())
                    pickBand(current.column());
            });

    if (parent)
        parent->installEventFilter(this);
    hide();
}

void FindPanel::stopWatching()
{
    QTableView& view = m_grid.view();
    view.removeEventFilter(this);
    disconnect(&view, nullptr, this, nullptr);
    disconnect(view.selectionModel(), nullptr, this, nullptr);
    if (parentWidget())
        parentWidget()->removeEventFilter(this);
}

void FindPanel::placeOverGrid()
{
    // The lower left corner of the grid: a match is scrolled to the top, where it stays in view.
    const QWidget* area = parentWidget();
    if (!area || (area->layout() && area->layout()->indexOf(this) >= 0))
        return;
    constexpr int margin = 8;
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    move(margin, std::max(0, area->height() - height() - margin - scrollBar));
}

void FindPanel::showPanel(bool focusSearch)
{
    show();
    placeOverGrid();
    raise();
    if (focusSearch)
        m_edit->setFocus();
}

bool FindPanel::canStep() const
{
    return !m_edit->text().isEmpty() && m_grid.findHighlight().active;
}

bool FindPanel::handleWindowKey(const QKeyEvent& event)
{
    const bool f3 = event.key() == Qt::Key_F3;
    if (!f3 && !isCtrlF(event))
        return false;
    showPanel(false);
    if (f3 && canStep())
        next();
    return true;
}

bool FindPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        if (isVisible())
            placeOverGrid();
    } else if (watched == m_edit && event->type() == QEvent::MouseButtonPress) {
        m_edit->clear();
    } else if (watched == &m_grid.view() && event->type() == QEvent::KeyPress) {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        if (isCtrlF(key)) {
            showPanel(true);
            return true;
        }
        if (key.key() == Qt::Key_F3) {
            if (canStep())
                next();
            return true;
        }
        // The view handles the key right after this; a cell it moves to counts as picked.
        m_keyNavigation = true;
        QTimer::singleShot(0, this, [this] { m_keyNavigation = false; });
    }
    return QFrame::eventFilter(watched, event);
}

void FindPanel::searchTextChanged()
{
    m_grid.setFindHighlight({false, 0, 1});
    m_find->setEnabled(true);
    m_next->setEnabled(false);
}

void FindPanel::find()
{
    m_grid.setFindHighlight({false, 0, 1});
    m_grid.setTopRow(1);
    stepFrom(1, true);
}

void FindPanel::next()
{
    m_find->setEnabled(false);
    stepFrom(m_grid.findHighlight().row + 1, false);
}

void FindPanel::stepFrom(int row, bool fromFind)
{
    const auto match = scanGrid(m_grid.model(), m_edit->text(), row);
    if (!match) {
        m_prompt.ask(QStringLiteral("Find:"), QStringLiteral("Not found!"));
        m_grid.setFindHighlight({false, m_grid.findHighlight().column,
                                 m_grid.findHighlight().row});
        m_grid.view().setFocus();
        return;
    }
    showMatch(*match);
    if (fromFind) {
        m_next->setEnabled(true);
        m_find->setEnabled(false);
    }
}

void FindPanel::showMatch(const GridCell& match)
{
    m_grid.setFindHighlight({true, match.column, match.row});
    if (match.row > m_grid.fullyVisibleRows())
        m_grid.setTopRow(match.row - 1);
    m_grid.repaintNow();
    m_grid.view().setFocus();
}

void FindPanel::pickBand(int column)
{
    if (m_grid.bandText() != u"All")
        return;
    const QString band = bandOfHeader(m_grid.model().cell(0, column));
    if (band.isEmpty())
        return;
    // Queued: the window rebuilds the grid in answer, which must not happen while the
    // view is still inside its own mouse or key handler.
    QMetaObject::invokeMethod(this, [this, band] { Q_EMIT bandPicked(band); },
                              Qt::QueuedConnection);
}

} // namespace beamtide
