#include "window/main/Prompt.h"

#include <QWidget>

namespace beamtide {

Prompt::Prompt(QWidget* parent) : QObject(parent), m_parent(parent) {}

Prompt::~Prompt()
{
    for (const auto& box : std::as_const(m_open)) {
        if (box)
            box->deleteLater();
    }
}

void Prompt::setSink(PromptSink* sink)
{
    m_sink = sink;
}

QMessageBox::StandardButton Prompt::ask(const PromptRequest& request)
{
    if (m_sink)
        return m_sink->answer(request);
    QMessageBox box(request.icon, request.title, request.text, request.buttons, m_parent);
    box.setTextFormat(Qt::PlainText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QMessageBox::StandardButton Prompt::ask(const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons)
{
    return ask(PromptRequest{title, text, buttons, QMessageBox::NoIcon});
}

bool Prompt::isShowing(const QString& kind) const
{
    if (m_sinkOpen.contains(kind))
        return true;
    const auto box = m_open.value(kind);
    return box && box->isVisible();
}

bool Prompt::showOnce(const QString& kind, const PromptRequest& request)
{
    if (isShowing(kind))
        return false;
    if (m_sink) {
        m_sinkOpen.insert(kind);
        m_sink->answer(request);
        return true;
    }
    auto* box = new QMessageBox(request.icon, request.title, request.text, request.buttons,
                                m_parent);
    // Box texts quote file names, server answers and page fields: never markup.
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_open.insert(kind, box);
    box->open();
    return true;
}

void Prompt::dismiss(const QString& kind)
{
    m_sinkOpen.remove(kind);
    if (const auto box = m_open.take(kind))
        box->close();
}

QMessageBox::StandardButton PromptRecorder::answer(const PromptRequest& request)
{
    requests.append(request);
    if (onAsk)
        onAsk(request);
    if (!answers.isEmpty())
        return answers.takeFirst();
    for (const auto button : {QMessageBox::Ok, QMessageBox::Yes}) {
        if (request.buttons.testFlag(button))
            return button;
    }
    for (int bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (request.buttons.testFlag(static_cast<QMessageBox::StandardButton>(bit)))
            return static_cast<QMessageBox::StandardButton>(bit);
    }
    return QMessageBox::NoButton;
}

} // namespace beamtide
