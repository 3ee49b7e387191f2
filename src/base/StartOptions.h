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

// Whether the command line holds "/datafolder": the working folder becomes the user's data folder.
bool dataFolderOption(const QString& commandLine);

// The user's data folder under the desktop's data location (QStandardPaths' GenericDataLocation:
// ~/.local/share or $XDG_DATA_HOME on Linux, %LOCALAPPDATA% on Windows).
QString dataFolder(const QString& genericDataLocation);

// Makes `folder` the working folder: created with its parents if missing, then proved by
// writing and removing a file in it. Empty on success, otherwise a message for the user that
// names the folder; the working folder is then unchanged.
QString enterWorkingFolder(const QString& folder);

// "Beamtide Drovix - Version <version>  Build: <the program file's date>".
QString windowCaption(const QString& programFile);

} // namespace beamtide
