#include "window/history/HistoryServerDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace beamtide {

HistoryServerDialog::HistoryServerDialog(const HistoryServerSettings& settings, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("HistoryServerDialog"));
    setWindowTitle(QStringLiteral("History server"));
    const auto edit = [this](const char* name, const QString& text, const QString& hint) {
        auto* e = new QLineEdit(text, this);
        e->setObjectName(QString::fromLatin1(name));
        e->setToolTip(hint);
        return e;
    };
    m_server = edit("HistoryServerAddress", settings.server,
                    QStringLiteral("The HTTP address of your ClickHouse server, eg http://club.example:8123; empty: no server"));
    m_server->setMinimumWidth(320);
    m_user = edit("HistoryServerUser", settings.user, QStringLiteral("The server's user; empty: the default user"));
    m_password = edit("HistoryServerPassword", settings.password, QStringLiteral("The user's password"));
    m_password->setEchoMode(QLineEdit::Password);
    auto* note = new QLabel(QStringLiteral("Every stored spot also goes to the table beamtide.rx there (made if missing), "
                                           "so several machines share one history."),
                            this);
    note->setWordWrap(true);
    note->setTextFormat(Qt::PlainText);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(note);
    form->addRow(QStringLiteral("Address"), m_server);
    form->addRow(QStringLiteral("User"), m_user);
    form->addRow(QStringLiteral("Password"), m_password);
    form->addRow(buttons);
}

HistoryServerSettings HistoryServerDialog::settings() const
{
    HistoryServerSettings s;
    s.server = m_server->text().trimmed();
    s.user = m_user->text();
    s.password = m_password->text();
    return s;
}

} // namespace beamtide
