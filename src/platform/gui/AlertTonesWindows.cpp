#include "platform/gui/AlertTones.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

namespace beamtide {

// Beep blocks its caller for the tone's length, so the three tones play on a thread of their
// own. A second alert while one plays cuts the first short; the player outlives nothing: the
// destructor stops and joins it.
struct AlertTones::Output
{
    ~Output() { stop(); }

    void stop()
    {
        if (!player.joinable())
            return;
        cancelled->store(true);
        player.join();
    }

    std::thread player;
    std::shared_ptr<std::atomic<bool>> cancelled = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<bool>> beeping = std::make_shared<std::atomic<bool>>(false);
};

AlertTones::AlertTones(QObject* parent) : QObject(parent), m_output(std::make_unique<Output>())
{
}

AlertTones::~AlertTones() = default;

bool AlertTones::play(int frequencyHz)
{
    Output& out = *m_output;
    out.stop();
    if (frequencyHz <= 0)
        return false;
    // Beep takes 37 to 32767 Hz.
    const auto hz = DWORD(std::clamp(frequencyHz, 37, 32767));
    out.cancelled = std::make_shared<std::atomic<bool>>(false);
    out.beeping = std::make_shared<std::atomic<bool>>(true);
    out.player = std::thread([hz, cancelled = out.cancelled, beeping = out.beeping] {
        for (int tone = 0; tone < kToneCount && !cancelled->load(); ++tone) {
            Beep(hz, kToneMs);
            Sleep(kGapMs);
        }
        beeping->store(false);
    });
    return true;
}

bool AlertTones::outputOpen() const
{
    // Beep holds no output between tones; only the player, while it plays.
    return m_output->beeping->load();
}

} // namespace beamtide
