#pragma once

#include "base/TextFile.h"

#include <QString>

#include <optional>

namespace beamtide {

// The account fields of the setup panel.
struct AccountFields
{
    QString emailTo = QStringLiteral("Your email");
    QString server;                                  // the SMTP host follows it
    QString userName;
    QString password = QStringLiteral("password");
    QString portText = QStringLiteral("587");        // free text
    bool show = false;                               // every run starts unticked

    bool operator==(const AccountFields&) const = default;
};

enum class AccountPreset { DefaultTls, DefaultSsl, Gmail };

// A preset button: the Show box first, then the fields and the SMTP port.
struct PresetResult
{
    AccountFields fields;
    int smtpPort = 587;
    bool showChanged = false;  // the Show box changed state, so the mask rule runs
    bool inClear = false;      // masking afterwards
};
PresetResult applyAccountPreset(AccountPreset preset, const AccountFields& current);

// Show box ticked, the text not the protected password, the server naming neither "reachmail"
// nor "drovix" (both case-sensitive): the password shows in clear, otherwise as "*".
bool passwordInClear(bool show, const QString& password, const QString& server);

// "<prefix>WSPRsmtp.txt": the user's own account, kept apart from the store.
class AccountFile final
{
public:
    explicit AccountFile(QString path);
    const QString& path() const { return m_path; }

    struct Load
    {
        AccountFields fields;
        std::optional<int> smtpPort;  // set by a port line that is a whole number
        QString error;                // a port line that is not; the port stays as it was
        bool found = false;
    };
    // Applies the file over the fields; the password only while Show is ticked. A key counts
    // when it stands before the first comma of a line, so a password such as "x,SMTPServer,y"
    // stays a password; the last line of a key wins; a missing file changes nothing.
    Load load(const AccountFields& current) const;

    enum class Outcome { Written, Deleted, Refused, Failed };
    struct [[nodiscard]] Save
    {
        Outcome outcome = Outcome::Written;
        int smtpPort = 587;
        QString error;
    };
    // Gmail and reachmail hosts keep no file (an existing one is deleted) and keep the port.
    // Otherwise a port box other than "587" sets the port, and the five lines are written
    // atomically, readable by the user alone. A port box that is no port number is refused:
    // nothing is written and the port stays.
    Save save(const AccountFields& fields, int smtpPort) const;

private:
    QString m_path;
};

// A port text: a whole number 1..65535, or nothing.
std::optional<int> parsePort(const QString& text);

} // namespace beamtide
