#include "qt/window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

#include "qt/text.h"
#include "ui/palette.h"
#include "ui/window_layout.h"

// The window's icons are compiled into the static library that holds this window, where the
// linker keeps them only when a program refers to them. Naming them here makes every program
// that shows the window carry them. (The resource macro must stand outside any namespace.)
static void register_window_icons() {
    Q_INIT_RESOURCE(resources);
}

namespace r462xe {

namespace {

// The layout is drawn in twips; 15 twips make one pixel at the usual 96 dots per inch.
constexpr int kTwipsPerPixel = 15;
constexpr int px(int twips) {
    return twips / kTwipsPerPixel;
}

using namespace layout;
using Place = TwipsPlace;

void place(QWidget& widget, const Place& at) {
    widget.setGeometry(px(at.left), px(at.top), px(at.width), px(at.height));
}

// A label shows its caption on one line: the line break that ends the warning text is not a line
// of its own on screen.
QString label_text(const std::string& caption) {
    QString text = from_bytes(caption);
    text.replace("\r\n", "\n");
    while (text.endsWith('\n') || text.endsWith('\r')) text.chop(1);
    return text;
}

int whole(float value) {
    return static_cast<int>(std::lround(value));
}

}  // namespace

// The progress bar with the control's text, word for word: a format text would take "%v", "%m"
// and "%p" in it for numbers.
// A button that Enter presses as Space does, when it has the focus: the convention on Windows,
// where a technician's hands learned it.
class EnterButton : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            click();
            return;
        }
        QPushButton::keyPressEvent(event);
    }
};

class TextProgressBar : public QProgressBar {
  public:
    using QProgressBar::QProgressBar;
    QString text() const override { return text_; }
    void set_text(const QString& text) {
        if (text == text_) return;
        text_ = text;
        setTextVisible(!text_.isEmpty());
        update();
    }

  private:
    QString text_;
};

void run_handler(const char* handler, const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", handler, error.what());
        std::fflush(stderr);
    } catch (...) {
        std::fprintf(stderr, "%s: unknown error\n", handler);
        std::fflush(stderr);
    }
}

QtWindow::QtWindow(Controls& controls, WindowHandlers handlers)
    : controls_(controls), handlers_(std::move(handlers)) {
    build();
    bind();
}

void QtWindow::build() {
    setWindowTitle(from_bytes(texts::kWindowCaption));
    register_window_icons();
    QIcon icon;
    for (const char* size : {"16", "32", "48"}) icon.addFile(QString(":/icon-%1.png").arg(size));
    setWindowIcon(icon);
    // Arial where it exists; elsewhere a face with the same metrics, so that texts fit as drawn.
    QFont::insertSubstitutions("Arial", {"Liberation Sans", "Arimo"});
    QFont font("Arial");
    font.setPointSizeF(9.75);
    setFont(font);
    setFixedSize(px(kClientArea.width), px(kClientArea.height));

    auto make_label = [this](const Label& model, const Place& at) {
        auto* label = new QLabel(this);
        label->setTextFormat(Qt::PlainText);
        place(*label, at);
        sync_label(*label, model);
        return label;
    };
    label8_ = make_label(controls_.Label8, kLabel8);
    label7_ = make_label(controls_.Label7, kLabel7);
    label3_ = make_label(controls_.Label3, kLabel3);
    label5_ = make_label(controls_.Label5, kLabel5);
    label1_ = make_label(controls_.Label1, kLabel1);
    label4_ = make_label(controls_.Label4, kLabel4);
    label2_ = make_label(controls_.Label2, kLabel2);

    com1_ = new QComboBox(this);
    place(*com1_, kCom1);
    sync_port_list(true);

    command1_ = new EnterButton(from_bytes(controls_.Command1.caption()), this);
    place(*command1_, kCommand1);
    command1_->setEnabled(controls_.Command1.enabled());
    command2_ = new EnterButton(from_bytes(controls_.Command2.caption()), this);
    place(*command2_, kCommand2);
    command2_->setEnabled(controls_.Command2.enabled());

    frame1_ = new QGroupBox(from_bytes(controls_.Frame1.caption()), this);
    place(*frame1_, kFrame1);
    progress_bar1_ = new TextProgressBar(frame1_);
    place(*progress_bar1_, kProgressBar1);
    progress_bar1_->setTextVisible(false);
    sync_progress();

    label9_ = make_label(controls_.Label9, kLabel9);
    // The warning shares the advice's line; while it shows, it covers the advice.
    label6_ = make_label(controls_.Label6, kLabel6);
    label6_->setAutoFillBackground(true);
    label6_->raise();
}

void QtWindow::bind() {
    const std::pair<Label*, QLabel*> labels[] = {
        {&controls_.Label8, label8_}, {&controls_.Label7, label7_}, {&controls_.Label3, label3_},
        {&controls_.Label5, label5_}, {&controls_.Label1, label1_}, {&controls_.Label4, label4_},
        {&controls_.Label2, label2_}, {&controls_.Label6, label6_}, {&controls_.Label9, label9_}};
    for (const auto& label : labels) {
        QLabel* widget = label.second;
        label.first->add_listener([this, widget](const Control& control, Property) {
            sync_label(*widget, static_cast<const Label&>(control));
        });
    }
    controls_.COM1.add_listener(
        [this](const Control&, Property property) { sync_port_list(property == Property::Items); });
    controls_.Command1.add_listener(
        [this](const Control&, Property) { command1_->setEnabled(controls_.Command1.enabled()); });
    controls_.Command2.add_listener(
        [this](const Control&, Property) { command2_->setEnabled(controls_.Command2.enabled()); });
    controls_.ProgressBar1.add_listener([this](const Control&, Property) { sync_progress(); });

    // `activated` also comes when the user picks the entry already selected, which the window
    // handles like any other pick.
    connect(com1_, &QComboBox::activated, this, [this](int index) {
        run_handler("COM1_Click", [this, index] { controls_.COM1.user_pick(index); });
    });
    connect(command1_, &QPushButton::clicked, this,
            [this] { run_handler("Command1_Click", handlers_.command1_click); });
    connect(command2_, &QPushButton::clicked, this,
            [this] { run_handler("Command2_Click", handlers_.command2_click); });
}

void QtWindow::sync_label(QLabel& widget, const Label& label) {
    widget.setText(label_text(label.caption()));
    widget.setVisible(label.visible());
    const int colour = label.fore_colour();
    if (colour >= 0 && colour < static_cast<int>(kPaletteRgb.size())) {
        QPalette palette = widget.palette();
        palette.setColor(QPalette::WindowText, QColor::fromRgb(kPaletteRgb[colour]));
        widget.setPalette(palette);
    } else {
        // The system's window-text colour: no colour of its own.
        widget.setPalette(QPalette());
    }
}

void QtWindow::sync_port_list(bool items_changed) {
    const auto& list = controls_.COM1;
    // The widget follows the model; nothing set here may come back as a pick.
    const QSignalBlocker blocker(com1_);
    if (items_changed) {
        com1_->clear();
        for (const auto& item : list.items()) com1_->addItem(from_bytes(item));
    }
    // The tooltips also change with the entries unchanged (a port chosen holds something else).
    const auto& tips = list.item_tips();
    for (int i = 0; i < com1_->count(); ++i) {
        const auto tip = static_cast<std::size_t>(i);
        com1_->setItemData(i, tip < tips.size() ? from_bytes(tips[tip]) : QString(),
                           Qt::ToolTipRole);
    }
    com1_->setCurrentIndex(list.list_index());
    com1_->setToolTip(from_bytes(list.tooltip()));
    com1_->setEnabled(list.enabled());
}

void QtWindow::sync_progress() {
    const auto& bar = controls_.ProgressBar1;
    const int max = std::max(0, whole(bar.max()));
    progress_bar1_->setRange(0, max);
    progress_bar1_->setValue(std::clamp(whole(bar.value()), 0, max));
    progress_bar1_->set_text(from_bytes(bar.text()));
}

void QtWindow::closeEvent(QCloseEvent* event) {
    bool cancel = true;
    run_handler("Form_Unload", [this, &cancel] { cancel = handlers_.close_request(); });
    if (cancel) {
        event->ignore();
        return;
    }
    event->accept();
    if (on_end_) on_end_();
}

}  // namespace r462xe
