#pragma once

// Controls found by their objectName under a window, as the tests name them ("Edit21").

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

namespace beamtide::test {

template <typename W>
W* findControl(const QObject& root, const char* name)
{
    auto* w = root.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << "control doesn't exist: " << name;
    return w;
}

// The text a control shows: a field's, a box's current one, a label's or a memo's.
inline QString controlText(const QObject& root, const char* name)
{
    auto* w = findControl<QWidget>(root, name);
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentText();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* m = qobject_cast<QPlainTextEdit*>(w))
        return m->toPlainText();
    ADD_FAILURE() << "no text in " << name;
    return {};
}

} // namespace beamtide::test
