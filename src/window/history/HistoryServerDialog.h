#pragma once

#include "settings/HistoryServerSettings.h"

#include <QDialog>

class QLineEdit;

namespace beamtide {

// "Server..." of the History panel: the address of the ClickHouse server that receives every
// stored spot, and its account; the password is masked like the mail password.
class HistoryServerDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryServerDialog)

public:
    explicit HistoryServerDialog(const HistoryServerSettings& settings, QWidget* parent = nullptr);
    HistoryServerSettings settings() const;

private:
    QLineEdit* m_server = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
};

} // namespace beamtide
