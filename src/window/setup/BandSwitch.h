#pragma once

#include "base/Identity.h"
#include "settings/BandPresets.h"

#include <QObject>
#include <QString>

#include <functional>

namespace beamtide {

class MainWindow;
class SpotGrid;

// The band switch: the user changing the band box saves the filter set of the band left and
// loads the one of the band chosen (the band presets), sets the layout and asks for a refresh.
class BandSwitch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BandSwitch)

public:
    // problem: shows and logs what could not be saved or read.
    BandSwitch(MainWindow& window, SpotGrid& grid, const Identity& identity,
               std::function<void(const QString&)> problem, QObject* parent = nullptr);

    // Also run by the band box itself.
    void switchBand(const QString& newBand);
    const QString& previousBand() const { return m_previousBand; }

    // The filter set of the band presets, read from and applied to the controls.
    BandPreset currentPreset() const;
    void applyPreset(const QList<PresetSetting>& settings);

    // Named from the identity when used: the file-name prefix is only known at start-up.
    BandPresets bandPresets() const;

Q_SIGNALS:
    // The band switch ends with a refresh of the new band.
    void refreshRequested();

private:
    void useLastClicked();
    void savePreset(const QString& band);

    MainWindow& m_window;
    SpotGrid& m_grid;
    const Identity& m_identity;
    std::function<void(const QString&)> m_problem;
    QString m_previousBand; // empty until the first switch of the run
    QString m_typedBand;    // the text the last key made, until Qt activates it
};

} // namespace beamtide
