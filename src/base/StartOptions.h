#pragma once

#include <QString>

#include <optional>

namespace beamtide {

// The start-up's own command-line options, beside those of the identity.

// The band of the last band option the command line holds ("/20" gives "20"), the options
// tested in their fixed order, each as a plain substring.
std::optional<QString> bandOption(const QString& commandLine);

// The "/texteditor=" value: the rest of the command line (at most 244 characters) without
// its quotes and outer blanks; empty without the option or without a value.
QString textEditorOption(const QString& commandLine);

// "Beamtide Drovix - Version <version>  Build: <the program file's date>".
QString windowCaption(const QString& programFile);

} // namespace beamtide
