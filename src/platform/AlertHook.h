#pragma once

#include <QString>

namespace beamtide {

// The user's own alert action: "runcode.bat" in the working folder, started with the alert
// as its one argument and not waited for. The alert comes from a web page, so it never
// reaches a shell as command text: on Linux /bin/sh runs the file with the alert as $1;
// on Windows the characters cmd would act on are removed first.
class AlertHook final
{
public:
    enum class [[nodiscard]] Start { NoScript, Started, Failed };

    explicit AlertHook(QString folder);

    Start run(const QString& alert) const;
    QString scriptPath() const;

    // The alert as it may stand between double quotes on a cmd command line.
    static QString forCommandInterpreter(const QString& alert);
    // What follows cmd.exe on the command line that runs the hook on Windows.
    static QString commandInterpreterArguments(const QString& alert);

private:
    QString m_folder;
};

inline const QString kAlertHookScript = QStringLiteral("runcode.bat");

} // namespace beamtide
