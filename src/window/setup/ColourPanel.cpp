#include "window/setup/ColourPanel.h"

#include "settings/ColourNames.h"
#include "window/main/MainWindow.h"
#include "window/setup/SetupPanel.h"
#include "window/setup/WorkingValues.h"

#include <QCheckBox>
#include <QComboBox>

namespace beamtide {

QString backgroundName(const GridColours& colours, int index)
{
    switch (static_cast<Background>(index)) {
    case Background::OddLine: return colours.oddLine;
    case Background::EvenLine: return colours.evenLine;
    case Background::Highlight: return colours.highlight;
    }
    return {};
}

void setBackgroundName(GridColours& colours, int index, const QString& name)
{
    switch (static_cast<Background>(index)) {
    case Background::OddLine: colours.oddLine = name; break;
    case Background::EvenLine: colours.evenLine = name; break;
    case Background::Highlight: colours.highlight = name; break;
    }
}

ColourPanel::ColourPanel(SetupPanel& panel, WorkingValues& working, QObject* parent)
    : QObject(parent), m_panel(panel), m_working(working)
{
    for (int i = 0; i < kTextClassCount; ++i) {
        connect(panel.textColour[i], &QComboBox::currentTextChanged, this, [this, i] { textColourChanged(i); });
        connect(panel.textBold[i], &QCheckBox::toggled, this, [this, i](bool bold) { boldClicked(i, bold); });
    }
    for (int i = 0; i < kBackgroundCount; ++i)
        connect(panel.background[i], &QComboBox::currentTextChanged, this, [this, i] { backgroundChanged(i); });
}

void ColourPanel::showWorkingLooks()
{
    for (int i = 0; i < kTextClassCount; ++i) {
        const TextLook& look = m_working.colours.classes[static_cast<std::size_t>(i)];
        setComboText(m_panel.textColour[i], look.colour);
        m_panel.textBold[i]->setChecked(look.bold);
    }
}

void ColourPanel::textColourChanged(int index)
{
    const QString name = m_panel.textColour[index]->currentText();
    m_panel.setPreviewTextColour(colourRgb(name));
    // Bold makes the preview bold; a plain class leaves its weight as it was.
    if (m_panel.textBold[index]->isChecked())
        m_panel.setPreviewBold(true);
    m_working.colours.classes[static_cast<std::size_t>(index)].colour = name;
}

void ColourPanel::backgroundChanged(int index)
{
    const QString name = m_panel.background[index]->currentText();
    setBackgroundName(m_working.colours, index, name);
    m_panel.setPreviewBackground(backgroundRgb(static_cast<Background>(index), name));
}

void ColourPanel::boldClicked(int index, bool bold)
{
    m_panel.setPreviewBold(bold);
    m_working.colours.classes[static_cast<std::size_t>(index)].bold = bold;
}

} // namespace beamtide
