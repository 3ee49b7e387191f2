#pragma once

#include "TempFolder.h"
#include "WidgetLookup.h"
#include "base/Identity.h"
#include "settings/SettingsStore.h"
#include "window/grid/SpotGrid.h"
#include "window/main/MainWindow.h"
#include "window/main/Prompt.h"
#include "window/setup/SettingsBinding.h"
#include "window/setup/SetupPanel.h"
#include "window/setup/WorkingValues.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace beamtide::test {

// One running copy: the real window with its setup panel and settings binding, the store an
// INI file in the given folder, data files in the same folder.
struct SettingsUi
{
    explicit SettingsUi(const QString& folder, int instance = 1, const QString& commandLine = {},
                        const QString& filePrefix = {})
        : identity{commandLine, instance, filePrefix, {}, false, folder}
        , store(folder + QStringLiteral("/settings.ini"), instance)
        , grid(*window.grid)
        , panel(window)
        , prompt(&window)
        , binding(window, panel, grid, working, prompt, identity, [this]() -> SettingsStore& { return store; },
                  [] { return QDateTime(); })
        , refreshes(&binding, &SettingsBinding::refreshRequested)
    {
        prompt.setSink(&recorder);
    }

    template <typename W>
    W* find(const char* name)
    {
        return findControl<W>(window, name);
    }
    QString text(const char* name) { return controlText(window, name); }
    void click(const char* name)
    {
        auto* w = find<QWidget>(name);
        if (w)
            QTest::mouseClick(w, Qt::LeftButton);
    }
    // The user picks a band from the box's list.
    void pickBand(const QString& band)
    {
        QComboBox* box = window.bandBox;
        const int index = box->findText(band);
        ASSERT_GE(index, 0) << band.toStdString();
        box->showPopup();
        QAbstractItemView* view = box->view();
        const QModelIndex item = view->model()->index(index, 0);
        view->scrollTo(item);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
        ASSERT_EQ(box->currentText(), band);
    }

    Identity identity;
    SettingsStore store;
    MainWindow window;
    SpotGrid grid;
    SetupPanel panel;
    WorkingValues working;
    Prompt prompt;
    PromptRecorder recorder;
    SettingsBinding binding;
    QSignalSpy refreshes;
};

} // namespace beamtide::test

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace beamtide::test {


} // namespace beamtide::test
