#pragma once

#include "window/grid/SpotGridDelegate.h"

#include <QObject>
#include <QString>

namespace beamtide {

class SetupPanel;
struct WorkingValues;

// The name of background `index` (a Background) in the colours, and setting it.
QString backgroundName(const GridColours& colours, int index);
void setBackgroundName(GridColours& colours, int index, const QString& name);

// The setup panel's fonts and backgrounds: each choice goes to the working colours the grid
// draws with, and to the panel's preview.
class ColourPanel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ColourPanel)

public:
    ColourPanel(SetupPanel& panel, WorkingValues& working, QObject* parent = nullptr);

    // The text colours and weights shown as the working colours hold them.
    void showWorkingLooks();

private:
    void textColourChanged(int index);
    void backgroundChanged(int index);
    void boldClicked(int index, bool bold);

    SetupPanel& m_panel;
    WorkingValues& m_working;
};

} // namespace beamtide
