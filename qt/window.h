// The window on screen: one Qt widget per control, kept in step with the control models, and the
// user's actions forwarded to the window's handlers.
#pragma once

#include <QWidget>
#include <functional>

#include "ui/controls.h"

class QCloseEvent;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace r462xe {

class TextProgressBar;

// What the user's actions on the window run. A pick in the port list goes through the list's
// own click event.
struct WindowHandlers {
    std::function<void()> command1_click;
    std::function<void()> command2_click;
    // The close request; true cancels it.
    std::function<bool()> close_request;
};

// Runs one handler called from Qt: an error ends the handler, never the program, and is reported
// on stderr; the window stays usable.
void run_handler(const char* handler, const std::function<void()>& body);

class QtWindow : public QWidget {
  public:
    QtWindow(Controls& controls, WindowHandlers handlers);
    // The close request; the program ends from here unless the window refuses.
    void set_on_end(std::function<void()> on_end) { on_end_ = std::move(on_end); }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void build();
    void bind();
    void sync_label(QLabel& widget, const Label& label);
    void sync_port_list(bool items_changed);
    void sync_progress();

    Controls& controls_;
    WindowHandlers handlers_;
    std::function<void()> on_end_;
    QLabel* label8_ = nullptr;
    QLabel* label7_ = nullptr;
    QLabel* label3_ = nullptr;
    QLabel* label5_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label4_ = nullptr;
    QLabel* label2_ = nullptr;
    QComboBox* com1_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    TextProgressBar* progress_bar1_ = nullptr;
    QLabel* label6_ = nullptr;
    QLabel* label9_ = nullptr;
};

}  // namespace r462xe
