#include "platform/gui/AlertTones.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>

#include <QtMath>

#include <algorithm>
#include <cstring>

namespace beamtide {

namespace {

void appendSample(QByteArray& out, const QAudioFormat& format, double value)
{
    auto put = [&out](const auto sample) {
        char bytes[sizeof(sample)];
        std::memcpy(bytes, &sample, sizeof(sample));
        out.append(bytes, qsizetype(sizeof(sample)));
    };
    for (int channel = 0; channel < format.channelCount(); ++channel) {
        switch (format.sampleFormat()) {
        case QAudioFormat::UInt8:
            put(quint8(128 + qRound(value * 127)));
            break;
        case QAudioFormat::Int16:
            put(qint16(qRound(value * 32767)));
            break;
        case QAudioFormat::Int32:
            put(qint32(qRound64(value * 2147483647.0)));
            break;
        case QAudioFormat::Float:
            put(float(value));
            break;
        default:
            return;
        }
    }
}

QByteArray toneSamples(const QAudioFormat& format, int frequencyHz)
{
    const int rate = format.sampleRate();
    const int toneFrames = rate * AlertTones::kToneMs / 1000;
    const int gapFrames = rate * AlertTones::kGapMs / 1000;
    const int rampFrames = std::max(1, rate / 200); // 5 ms in and out, to avoid clicks
    QByteArray out;
    for (int tone = 0; tone < AlertTones::kToneCount; ++tone) {
        for (int i = 0; i < toneFrames; ++i) {
            const double ramp = std::min({1.0, double(i) / rampFrames, double(toneFrames - i) / rampFrames});
            appendSample(out, format, 0.5 * ramp * qSin(2 * M_PI * frequencyHz * i / rate));
        }
        for (int i = 0; i < gapFrames; ++i)
            appendSample(out, format, 0.0);
    }
    return out;
}

} // namespace

struct AlertTones::Output
{
    ~Output() { stop(); }

    // Gives the audio output and the samples back.
    void stop()
    {
        if (sink)
            sink->stop();
        sink.reset();
        buffer.close();
        buffer.setData(QByteArray());
        samples = QByteArray();
    }

    std::unique_ptr<QAudioSink> sink;
    QBuffer buffer;
    QByteArray samples;
};

AlertTones::AlertTones(QObject* parent) : QObject(parent), m_output(std::make_unique<Output>())
{
}

AlertTones::~AlertTones() = default;

bool AlertTones::play(int frequencyHz)
{
    Output& out = *m_output;
    out.stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull() || frequencyHz <= 0)
        return false;
    QAudioFormat format;
    format.setSampleRate(22050);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
        format = device.preferredFormat();
    if (!format.isValid())
        return false;
    // Above half the sample rate a sine cannot be drawn; such a tone would only alias.
    frequencyHz = std::min(frequencyHz, format.sampleRate() / 2 - 1);

    out.samples = toneSamples(format, frequencyHz);
    if (out.samples.isEmpty())
        return false;
    out.buffer.setData(out.samples);
    if (!out.buffer.open(QIODevice::ReadOnly))
        return false;
    out.sink = std::make_unique<QAudioSink>(device, format);
    const quint64 playing = ++m_playing;
    connect(out.sink.get(), &QAudioSink::stateChanged, this, [this, playing](QAudio::State state) {
        // Played out, or stopped by a fault: the output is released once the sink has
        // returned from its signal, unless newer tones hold it by then.
        if (state != QAudio::IdleState && state != QAudio::StoppedState)
            return;
        QMetaObject::invokeMethod(this, [this, playing] {
            if (playing == m_playing)
                m_output->stop();
        }, Qt::QueuedConnection);
    });
    out.sink->start(&out.buffer);
    if (out.sink->error() != QAudio::NoError) {
        out.stop();
        return false;
    }
    return true;
}

bool AlertTones::outputOpen() const
{
    return m_output->sink != nullptr;
}

} // namespace beamtide
