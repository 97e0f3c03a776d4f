// The keyboard as Windows users expect it: Enter presses the focused button as Space does, and in
// a message box Enter presses OK, also after "Show Details..." took the focus.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <memory>

#include "qt/platform.h"
#include "qt/window.h"
#include "ui/controls.h"

namespace r462xe {
namespace {

class Keyboard : public ::testing::Test {
  protected:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }

    static void press(QWidget* widget, Qt::Key key) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(widget, &down);
        QApplication::sendEvent(widget, &up);
    }

    int argc_ = 1;
    char name_[16] = "keyboard-tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

TEST_F(Keyboard, EnterSpaceAndReturnPressTheFocusedButton) {
    Controls controls;
    int presses = 0;
    QtWindow window(
        controls,
        {.command1_click = {}, .command2_click = [&presses] { ++presses; }, .close_request = {}});
    controls.Command2.set_enabled(true);
    QPushButton* upload = nullptr;
    for (auto* button : window.findChildren<QPushButton*>())
        if (button->text() == "Upload Firmware") upload = button;
    ASSERT_NE(upload, nullptr);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) press(upload, key);
    EXPECT_EQ(presses, 3);
}

// The box is answered by the keys alone: "Show Details..." clicked, then Enter.
TEST_F(Keyboard, EnterInABoxWithItsDetailsShownPressesOk) {
    QtMessageBoxes boxes;
    bool toggled = false;
    QTimer::singleShot(100, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        for (QAbstractButton* button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::ActionRole) {
                button->click();
                button->setFocus();
                toggled = true;
            }
        }
        press(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return);
    });
    // Should Enter not answer it, the box is answered after 3 s and the test fails on the time.
    QTimer::singleShot(3000, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Ok)->click();
    });
    QElapsedTimer shown;
    shown.start();
    boxes.show("text", "title", MsgIcon::Critical, "what happened\n");
    EXPECT_TRUE(toggled);
    EXPECT_LT(shown.elapsed(), 2000);
}

// A box shown before the window system has placed the window (the file error at start-up) stands
// in the middle of the screen, not in its corner.
TEST_F(Keyboard, ABoxBeforeTheWindowIsPlacedStandsInTheMiddleOfTheScreen) {
    // The window just shown, in the corner where it starts, not yet made active.
    QWidget window;
    window.setGeometry(0, 0, 200, 60);
    window.show();
    QtMessageBoxes boxes;
    boxes.set_parent(&window);
    QPoint centre;
    QTimer::singleShot(100, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        centre = box->frameGeometry().center();
        box->button(QMessageBox::Ok)->click();
    });
    boxes.show(" Firmware image file loading error!", "file error", MsgIcon::Critical, "");
    const QPoint screen = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((centre - screen).manhattanLength(), 4)
        << centre.x() << "," << centre.y() << " against " << screen.x() << "," << screen.y();
}

}  // namespace
}  // namespace r462xe
