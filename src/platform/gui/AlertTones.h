#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QObject>

#include <memory>

class QAudioSink;

namespace beamtide {

// Three short tones at the tone frequency, played without blocking the window.
// Where there is no audio output they are silently skipped.
class AlertTones final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertTones)

public:
    explicit AlertTones(QObject* parent = nullptr);
    ~AlertTones() override;

    // Returns whether the tones are playing.
    bool play(int frequencyHz);

    static constexpr int kToneCount = 3;
    static constexpr int kToneMs = 100;
    static constexpr int kGapMs = 50; // so that three tones are heard, not one long one

private:
    void stop();

    std::unique_ptr<QAudioSink> m_sink;
    QBuffer m_buffer;
    QByteArray m_samples;
};

} // namespace beamtide
