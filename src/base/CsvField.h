#pragma once

#include <QString>

namespace beamtide {

// One CSV field as every export of the program writes it. Text that a spreadsheet would run
// as a formula (it starts with = + - @, a tab or a CR, and is no plain number) gets a leading
// apostrophe. A field holding a blank, a control character, a double quote or a comma is
// quoted, its quotes doubled; any other field, empty ones too, is written as it is.
QString csvField(const QString& text);

} // namespace beamtide
