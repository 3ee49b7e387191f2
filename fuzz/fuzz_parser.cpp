// Any bytes as a report page: the parser must end with a defined spot list, whatever the
// page holds, and the plain rows' road must read every page as the general scan does.
#include "base/TextFile.h"
#include "retrieval/SpotParser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView page(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList spots;
    const beamtide::ParseResult result = beamtide::ParseSpotPage(page, spots);
    if (result.entries != spots.size())
        __builtin_trap();
    beamtide::usePlainRowPath(false);
    QStringList general;
    const beamtide::ParseResult generalResult = beamtide::ParseSpotPage(page, general);
    beamtide::usePlainRowPath(true);
    if (general != spots || generalResult.incomplete != result.incomplete)
        __builtin_trap();
    beamtide::ByteLines lines(page);
    qsizetype count = 0;
    qsizetype bytes = 0;
    while (const auto line = lines.next()) {
        ++count;
        bytes += line->size();
        const QString spot = beamtide::RowToSpotLine(*line);
        if (spot.contains(u'<') || spot.contains(u'>'))
            __builtin_trap();
        beamtide::usePlainRowPath(false);
        const bool same = beamtide::RowToSpotLine(*line) == spot;
        beamtide::usePlainRowPath(true);
        if (!same)
            __builtin_trap();
        for (int n = 0; n < 16; ++n)
            beamtide::GetField(spot, u',', n);
    }
    // The lines hold every byte but their ends.
    if (count != beamtide::countLines(page) || bytes > page.size())
        __builtin_trap();
    return 0;
}
