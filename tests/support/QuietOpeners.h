#pragma once

#include "platform/gui/Openers.h"

#include <QList>

namespace beamtide::test {

// Nothing is started or opened from a test that uses these; what would have been is kept.
struct QuietOpeners final : Openers
{
    void startProgram(const QString&, const QStringList& arguments, const QString&) override
    {
        opened += arguments;
    }
    void openUrl(const QUrl& url) override { urls.append(url); }

    QStringList opened; // the arguments of every program started
    QList<QUrl> urls;
};

} // namespace beamtide::test
