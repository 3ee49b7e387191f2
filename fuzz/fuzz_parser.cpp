// Any bytes as a report page: the parser must end with a defined spot list, whatever the
// page holds.
#include "base/TextFile.h"
#include "retrieval/SpotParser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = beamtide::splitLines(beamtide::decodeText(bytes));
    QStringList spots;
    const beamtide::ParseResult result = beamtide::ParseSpotPage(lines, spots);
    if (result.entries != spots.size())
        __builtin_trap();
    for (const QString& line : lines) {
        const QString spot = beamtide::RowToSpotLine(line);
        if (spot.contains(u'<') || spot.contains(u'>'))
            __builtin_trap();
        for (int n = 0; n < 16; ++n)
            beamtide::GetField(spot, u',', n);
    }
    return 0;
}
