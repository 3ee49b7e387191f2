#pragma once

#include <QObject>

#include <memory>

namespace beamtide {

// Three short tones at the tone frequency, played without blocking the window.
// Where there is no audio output they are silently skipped. Qt Multimedia plays them on
// Linux; Windows has its own Beep call.
class AlertTones final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertTones)

public:
    explicit AlertTones(QObject* parent = nullptr);
    ~AlertTones() override;

    // Returns whether the tones are playing.
    bool play(int frequencyHz);
    // Whether an audio output is held. It is opened for the tones and given back once they
    // have ended, so an idle program holds no audio stream for days.
    bool outputOpen() const;

    static constexpr int kToneCount = 3;
    static constexpr int kToneMs = 100;
    static constexpr int kGapMs = 50; // so that three tones are heard, not one long one

private:
    struct Output;
    std::unique_ptr<Output> m_output;
    quint64 m_playing = 0; // counts the tones started, so a late release spares newer ones
};

} // namespace beamtide
