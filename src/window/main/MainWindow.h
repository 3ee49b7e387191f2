#pragma once

#include <QMainWindow>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QTableView;
class QTimer;

namespace beamtide {

// The one window. It holds the controls (their objectNames are the control names), applies
// the view rules between them, and signals everything else to the Controller.
// Edit3's hint while the spots shown are from the last fetch.
inline const QString kLastUpdateHint = QStringLiteral("Time that last retrieval from WSPRNET occurred");

class MainWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The band layouts and the distance controls rule.
    void applyBandLayout();
    void applyDistanceControlsRule(bool withBand8 = false);

    // Working values kept by the view handlers.
    int distanceScale() const { return m_distanceScale; }
    // The distances shown keep their values until their bars move or the settings load.
    void setDistanceScale(int scale) { m_distanceScale = scale; }
    int minDistance() const { return m_minDistance; }
    int maxDistance() const { return m_maxDistance; }
    void setMinDistance(int km); // also shown in Edit8
    void setMaxDistance(int km); // also shown in Edit13
    int farAlertDistance() const { return m_farAlertDistance; }
    int toneFrequency() const { return m_toneFrequency; }
    // The stored frequency; the tone bar handler replaces it when the bar moves.
    void setToneFrequency(int hz) { m_toneFrequency = hz; }

Q_SIGNALS:
    void filterPassRequested();          // run the filter pass, repaint, focus the grid
    void filterPassKeepFocusRequested(); // the same, focus left where it is
    void refreshRequested();
    void intervalChanged(int minutes);
    void pendingRefilterRequested();
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

public:
    // Top row and status fields.
    QLabel* label3 = nullptr;
    QComboBox* bandBox = nullptr;          // ComboBox1
    QCheckBox* useLast = nullptr;          // CheckBox16
    QLabel* label5 = nullptr;
    QFrame* netIndicator = nullptr;        // Shape2
    QLineEdit* entriesBox = nullptr;       // Edit9
    QPushButton* updateNow = nullptr;      // Button1
    QLabel* label8 = nullptr;
    QLineEdit* localTime = nullptr;        // Edit5
    QLineEdit* utcTime = nullptr;          // Edit18
    QLabel* label6 = nullptr;
    QLineEdit* lastUpdate = nullptr;       // Edit3
    QLabel* label7 = nullptr;
    QLineEdit* nextUpdate = nullptr;       // Edit4
    QProgressBar* slotBar = nullptr;       // ProgressBar1
    QLabel* updateLink = nullptr;          // Label13
    QLabel* siteLink = nullptr;            // Label42
    QLabel* addressLabel = nullptr;        // Label15
    QLineEdit* instanceBox = nullptr;      // Edit17
    QLineEdit* diagBox = nullptr;          // Edit25
    QLabel* label44 = nullptr;
    QLineEdit* exclusions = nullptr;       // Edit27
    QLineEdit* myCallLines = nullptr;      // Edit29
    QFrame* mailIndicator = nullptr;       // Shape1
    QLabel* label18 = nullptr;
    QPushButton* setupButton = nullptr;    // Button9
    QPushButton* alertsHistory = nullptr;  // Button6
    QPushButton* allSpots = nullptr;       // Button10
    QPushButton* exportCsv = nullptr;      // Button4
    QPushButton* mapButton = nullptr;      // opens and closes the map panel
    QPushButton* historyButton = nullptr;  // opens and closes the History panel
    QPushButton* mySpots = nullptr;        // Button15
    QPushButton* summary = nullptr;        // Button16
    QPushButton* emailTest = nullptr;      // Button5
    QPlainTextEdit* alertMemo = nullptr;   // Memo2

    // Left column.
    QLabel* label1 = nullptr;
    QLineEdit* spottedFilter = nullptr;    // Edit1
    QPushButton* clearSpotted = nullptr;   // Button2
    QLabel* label9 = nullptr;
    QComboBox* logicBox = nullptr;         // ComboBox3
    QLabel* label2 = nullptr;
    QLineEdit* spotterFilter = nullptr;    // Edit2
    QPushButton* clearSpotter = nullptr;   // Button3
    QLabel* label4 = nullptr;
    QScrollBar* intervalBar = nullptr;     // ScrollBar1
    QLineEdit* intervalBox = nullptr;      // Edit7
    QLabel* label10 = nullptr;
    QLabel* label16 = nullptr;
    QLineEdit* firstSpotTime = nullptr;    // Edit14
    QLineEdit* lastSpotTime = nullptr;     // Edit15
    QLabel* label11 = nullptr;
    QScrollBar* minKmBar = nullptr;        // ScrollBar2
    QLineEdit* minKmBox = nullptr;         // Edit8
    QLabel* label12 = nullptr;
    QScrollBar* maxKmBar = nullptr;        // ScrollBar6
    QLineEdit* maxKmBox = nullptr;         // Edit13
    QLabel* label43 = nullptr;
    QScrollBar* farAlertBar = nullptr;     // ScrollBar9
    QLineEdit* farAlertBox = nullptr;      // Edit20
    QCheckBox* timeWindow = nullptr;       // CheckBox6
    QScrollBar* elapsedBar = nullptr;      // ScrollBar5
    QLineEdit* elapsedBox = nullptr;       // Edit12
    QLabel* label17 = nullptr;
    QLineEdit* linesBox = nullptr;         // Edit16
    QCheckBox* entriesLimit = nullptr;     // CheckBox7
    QScrollBar* maxLinesBar = nullptr;     // ScrollBar4
    QLineEdit* maxLinesBox = nullptr;      // Edit11
    QCheckBox* snrAlert = nullptr;         // CheckBox4
    QScrollBar* snrBar = nullptr;          // ScrollBar3
    QLineEdit* snrBox = nullptr;           // Edit10
    QLabel* label14 = nullptr;
    QCheckBox* vhfDistMode = nullptr;      // CheckBox9
    QCheckBox* sortByKm = nullptr;         // CheckBox1
    QCheckBox* historical = nullptr;       // CheckBox3
    QCheckBox* hideTxMi = nullptr;         // CheckBox2
    QCheckBox* alerts = nullptr;           // CheckBox5
    QCheckBox* farAlerts = nullptr;        // CheckBox17
    QCheckBox* alertTones = nullptr;       // CheckBox8
    QScrollBar* toneBar = nullptr;         // ScrollBar7

    QTableView* grid = nullptr;            // XStringGrid1
    QWidget* gridArea = nullptr;           // the grid with the panels laid over it

private:
    void buildControls();
    void buildLayout();
    void connectHandlers();
    void filterPass(bool focusGrid = true);

    int m_distanceScale = 50;
    int m_minDistance = 0;
    int m_maxDistance = 0;
    int m_farAlertDistance = 2000;
    int m_toneFrequency = 1200;
};

// Sets a combo box's text as code does, running no handler. The matching item becomes the
// current one too: an editable box whose text and current item differ reports an activation
// when it loses the focus, which would read as the user's pick.
void setComboText(QComboBox* box, const QString& text);

} // namespace beamtide
