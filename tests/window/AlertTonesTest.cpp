#include "platform/gui/AlertTones.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QMediaDevices>

#include <gtest/gtest.h>

using namespace beamtide;

namespace {

// Until the last tones have ended and their output is given back; a release that never
// comes hangs the test rather than failing it on a clock.
void untilReleased(const AlertTones& tones)
{
    while (tones.outputOpen())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
}

} // namespace

// Machines without sound (this one, CI) must stay silent, never fail; with sound the tones
// start and may be cut short by a second alert or by closing. Either way no audio output is
// held once they have ended, and the next alert opens one again.
TEST(AlertTones, PlayOrStaySilentAndHoldNoOutputWhenIdle)
{
    const bool hasOutput = !QMediaDevices::defaultAudioOutput().isNull();
    AlertTones tones;
    EXPECT_FALSE(tones.outputOpen()) << "nothing is opened before a tone";
    EXPECT_FALSE(tones.play(0));
    EXPECT_FALSE(tones.outputOpen());
    for (const int hz : {800, 40000, 800}) {
        SCOPED_TRACE(hz);
        const bool playing = tones.play(hz);
        if (!hasOutput) {
            EXPECT_FALSE(playing);
        }
        EXPECT_EQ(tones.outputOpen(), playing);
        QCoreApplication::processEvents();
    }
    untilReleased(tones);
    EXPECT_FALSE(tones.outputOpen());
    // A release left over from the tones cut short must not take the next tones' output.
    if (tones.play(800)) {
        EXPECT_TRUE(tones.play(600));
        QCoreApplication::processEvents();
        EXPECT_TRUE(tones.outputOpen());
        untilReleased(tones);
    }
    EXPECT_FALSE(tones.outputOpen());
}
