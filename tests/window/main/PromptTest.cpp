#include "window/main/Prompt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

using namespace beamtide;

TEST(PromptTest, RecorderAnswersFromQueueThenWithTheBoxDefault)
{
    Prompt prompt;
    PromptRecorder recorder;
    prompt.setSink(&recorder);
    recorder.answers = {QMessageBox::No};

    EXPECT_EQ(prompt.ask("Q", "Sure?", QMessageBox::Yes | QMessageBox::No), QMessageBox::No);
    EXPECT_EQ(prompt.ask("Q", "Sure?", QMessageBox::Yes | QMessageBox::No), QMessageBox::Yes);
    EXPECT_EQ(prompt.ask("Find:", "Not found!"), QMessageBox::Ok);
    EXPECT_EQ(prompt.ask("X", "y", QMessageBox::Cancel | QMessageBox::Retry),
              QMessageBox::Retry);

    ASSERT_EQ(recorder.requests.size(), 4);
    EXPECT_EQ(recorder.requests[2].title, "Find:");
    EXPECT_EQ(recorder.requests[2].text, "Not found!");
    EXPECT_EQ(recorder.requests[2].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

// A timer may raise the same error every minute while the first box is still unread.
TEST(PromptTest, ShowOnceKeepsOneBoxPerKindUntilItIsClosed)
{
    Prompt prompt;
    PromptRecorder recorder;
    prompt.setSink(&recorder);
    const PromptRequest error{"Error", "'x' is not a valid integer value", QMessageBox::Ok,
                              QMessageBox::NoIcon};

    EXPECT_TRUE(prompt.showOnce("conversion", error));
    EXPECT_FALSE(prompt.showOnce("conversion", error));
    EXPECT_TRUE(prompt.showOnce("other", error)) << "another kind is not held back";
    EXPECT_EQ(recorder.requests.size(), 2);

    prompt.dismiss("conversion");
    EXPECT_FALSE(prompt.isShowing("conversion"));
    EXPECT_TRUE(prompt.showOnce("conversion", error));
    EXPECT_EQ(recorder.requests.size(), 3);
}

TEST(PromptTest, RealBoxesShowOnceAndDoNotBlockTheCaller)
{
    QWidget window;
    window.show();
    Prompt prompt(&window);
    const PromptRequest error{"Error", "bad value", QMessageBox::Ok, QMessageBox::Warning};

    ASSERT_TRUE(prompt.showOnce("conversion", error)); // returns at once: no nested loop
    EXPECT_TRUE(prompt.isShowing("conversion"));
    EXPECT_FALSE(prompt.showOnce("conversion", error));
    const auto boxes = window.findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0]->text(), "bad value");

    boxes[0]->button(QMessageBox::Ok)->click(); // the user closes it
    QApplication::processEvents();
    EXPECT_FALSE(prompt.isShowing("conversion"));
    EXPECT_TRUE(prompt.showOnce("conversion", error));
    prompt.dismiss("conversion");
}

TEST(PromptTest, RealModalBoxReturnsTheButtonPressed)
{
    QWidget window;
    window.show();
    Prompt prompt(&window);
    QTimer::singleShot(0, &window, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(prompt.ask("Q", "Sure?", QMessageBox::Yes | QMessageBox::No), QMessageBox::No);
}

// Box texts quote server answers, file names and page fields; markup in them shows as typed.
TEST(PromptTest, BoxesShowTheirTextAsPlainText)
{
    QWidget parent;
    Prompt prompt(&parent);
    const QString text = QStringLiteral("<img width=16777215 height=16777215><b>PWNED</b>");
    ASSERT_TRUE(prompt.showOnce("savefile", {"Beamtide", text, QMessageBox::Ok, QMessageBox::Critical}));
    auto* box = parent.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->text(), text);
    prompt.dismiss("savefile");

    // A blocking box too: looked at while it is up, then closed.
    Qt::TextFormat format = Qt::RichText;
    QTimer::singleShot(0, &parent, [&] {
        if (auto* up = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            format = up->textFormat();
            up->accept();
        }
    });
    prompt.ask("Beamtide", text);
    EXPECT_EQ(format, Qt::PlainText);
}
