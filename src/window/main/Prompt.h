#pragma once

#include <QHash>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <functional>

class QWidget;

namespace beamtide {

struct PromptRequest
{
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Where prompts go instead of the screen: tests install one so no test waits on a box.
class PromptSink
{
public:
    virtual ~PromptSink() = default;
    virtual QMessageBox::StandardButton answer(const PromptRequest& request) = 0;
};

// Every message box of the window goes through here.
class Prompt final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Prompt)

public:
    // The boxes are centred on parent and block it while they are up.
    explicit Prompt(QWidget* parent = nullptr);
    ~Prompt() override;

    // nullptr shows real boxes again. The sink must outlive its use here.
    void setSink(PromptSink* sink);

    // A modal box; returns the button pressed (Escape on a box gives its escape button).
    QMessageBox::StandardButton ask(const PromptRequest& request);
    QMessageBox::StandardButton ask(const QString& title, const QString& text,
                                    QMessageBox::StandardButtons buttons = QMessageBox::Ok);

    // A box that does not block the caller, one per kind at a time: while the box of this
    // kind is still up, a further call shows nothing and returns false. Used for errors
    // that a timer may raise again and again before the user has read the first one.
    bool showOnce(const QString& kind, const PromptRequest& request);
    bool isShowing(const QString& kind) const;
    // Closes the box of this kind as if the user pressed its button.
    void dismiss(const QString& kind);

private:
    QWidget* m_parent;
    PromptSink* m_sink = nullptr;
    QHash<QString, QPointer<QMessageBox>> m_open;
    QSet<QString> m_sinkOpen; // kinds "up" in a sink until dismissed
};

// A sink for tests: records every request and answers from a queue (then with the box's
// OK, Yes or first button). onAsk runs while the request is being answered, which is
// while a real box would be up.
class PromptRecorder final : public PromptSink
{
public:
    QMessageBox::StandardButton answer(const PromptRequest& request) override;

    QList<PromptRequest> requests;
    QList<QMessageBox::StandardButton> answers;
    std::function<void(const PromptRequest&)> onAsk;
};

} // namespace beamtide
