#pragma once

#include <QString>

#include <functional>

namespace beamtide {

class Clock;
struct Identity;

// The optional diagnostic log: on only with "/log". Each line is appended and the file
// closed at once; a line that cannot be written is dropped and the caller carries on.
class RunLog final
{
public:
    RunLog(const Identity& identity, const Clock& clock);

    void write(const QString& message) const;
    // Messages by convention start with the instance number and ": ".
    void writeTagged(const QString& text) const;

    bool enabled() const;
    QString fileName() const;
    QString stamp() const;

    // Control characters as \r, \n, \t or \xNN: one message is always one line.
    static QString escaped(QStringView text);

    // Tests see every line, written or not.
    void setSink(std::function<void(const QString&)> sink) { m_sink = std::move(sink); }

private:
    const Identity& m_identity;
    const Clock& m_clock;
    std::function<void(const QString&)> m_sink;
};

} // namespace beamtide
