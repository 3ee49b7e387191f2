#pragma once

#include <QFrame>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;

namespace beamtide {

class MainWindow;

// Panel1: the account, colours, distance scale, launch count and settings report, laid over
// the spot grid. It only holds the controls and the preview's looks; SettingsBinding gives
// them their handlers, because every one of them reads or writes settings.
class SetupPanel final : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SetupPanel)

public:
    // A hidden child of the window's central widget.
    explicit SetupPanel(MainWindow& window);
    ~SetupPanel() override;

    // Lays the panel over the grid's top left corner, above everything there, and shows it.
    void showOverGrid();

    // Edit24: the last colour, background and weight chosen.
    void setPreviewTextColour(quint32 rgb);
    void setPreviewBackground(quint32 rgb);
    void setPreviewBold(bool bold);
    bool previewBold() const;

    // E-mail account.
    QLineEdit* emailTo = nullptr;         // Edit21
    QLineEdit* server = nullptr;          // Edit22
    QComboBox* portBox = nullptr;         // ComboBox2
    QLineEdit* userName = nullptr;        // Edit26
    QLineEdit* password = nullptr;        // Edit23
    QCheckBox* showPassword = nullptr;    // CheckBox10
    QPushButton* defaultTls = nullptr;    // Button8
    QPushButton* defaultSsl = nullptr;    // Button12
    QPushButton* gmail = nullptr;         // Button13
    QPushButton* custom = nullptr;        // Button14
    QPushButton* saveClose = nullptr;     // Button7

    // Fonts: indexed by TextClass (ComboBox4..8, CheckBox11..15); backgrounds by Background
    // (ComboBox9..11).
    QComboBox* textColour[5] = {};
    QCheckBox* textBold[5] = {};
    QComboBox* background[3] = {};
    QLineEdit* preview = nullptr;         // Edit24

    QLabel* launchCount = nullptr;        // Label38
    QScrollBar* distanceScale = nullptr;  // ScrollBar8
    QLineEdit* distanceScaleBox = nullptr; // Edit19
    QComboBox* source = nullptr;          // ComboBoxSource: where the spots come from
    QCheckBox* desktopNotify = nullptr;   // CheckBox18
    QCheckBox* history = nullptr;         // BeamtideHistory
    QCheckBox* minimiseToTray = nullptr;  // CheckBox19
    QPushButton* channels = nullptr;      // ButtonChannels: opens the Channels dialog
    QPushButton* showRegistry = nullptr;  // Button11
    QPlainTextEdit* report = nullptr;     // Memo1

private:
    MainWindow& m_window;
};

} // namespace beamtide
