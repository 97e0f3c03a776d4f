// The window's controls as the logic sees them: each control holds its state and tells its
// listeners (the window on screen, the transcript, the test recorder) about every change.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "image/image_layout.h"
#include "ui/palette.h"

namespace r462xe {

enum class Property {
    Caption,
    Visible,
    Enabled,
    Colour,
    Items,
    ItemTips,
    ToolTip,
    ListIndex,
    Max,
    Value,
    Text
};

// Text colour that means "the system's window-text colour" rather than a palette entry.
inline constexpr int kWindowTextColour = -1;

class Control {
  public:
    using Listener = std::function<void(const Control&, Property)>;

    explicit Control(std::string name) : name_(std::move(name)) {}
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    const std::string& name() const { return name_; }
    void add_listener(Listener listener) { listeners_.push_back(std::move(listener)); }
    // The value of one property as the transcript writes it (texts quoted with C escapes).
    virtual std::string describe(Property property) const = 0;

  protected:
    void changed(Property property) const {
        for (const auto& listener : listeners_) listener(*this, property);
    }

  private:
    std::string name_;
    std::vector<Listener> listeners_;
};

// One change of a control as transcripts write it: the control's name, the property's word and
// its new value, e.g. "Label7.caption \"R4622E\"".
std::string change_line(const Control& control, Property property);

class Label : public Control {
  public:
    Label(std::string name, std::string caption, int fore_colour = kWindowTextColour)
        : Control(std::move(name)), caption_(std::move(caption)), fore_colour_(fore_colour) {}

    void set_caption(const std::string& caption);
    const std::string& caption() const { return caption_; }
    void set_visible(bool visible);
    bool visible() const { return visible_; }
    // Text colour by number in the 16-colour classic palette (kWindowTextColour for the default).
    void set_fore_colour(int palette_index);
    int fore_colour() const { return fore_colour_; }
    std::string describe(Property property) const override;

  private:
    std::string caption_;
    bool visible_ = true;
    int fore_colour_;
};

class Button : public Control {
  public:
    Button(std::string name, std::string caption)
        : Control(std::move(name)), caption_(std::move(caption)) {}

    const std::string& caption() const { return caption_; }
    void set_enabled(bool enabled);
    bool enabled() const { return enabled_; }
    std::string describe(Property property) const override;

  private:
    std::string caption_;
    bool enabled_ = true;
};

// A drop-down list. Setting the selected index from the program raises the click event, as the
// user's pick does; the click handler decides whether to act on it.
class DropDownList : public Control {
  public:
    explicit DropDownList(std::string name) : Control(std::move(name)) {}

    void clear();
    void add_item(const std::string& item);
    // Entry `index` reads `item` now; its tooltip and the selection stay.
    void set_item(std::size_t index, const std::string& item);
    const std::vector<std::string>& items() const { return items_; }
    // One tooltip per entry, in the entries' order; an entry goes with its tooltip, and a new
    // entry has none (empty text) until they are set. Only other tooltips are a change.
    void set_item_tips(std::vector<std::string> tips);
    const std::vector<std::string>& item_tips() const { return item_tips_; }
    // The list's own tooltip; only a new text is a change.
    void set_tooltip(const std::string& tooltip);
    const std::string& tooltip() const { return tooltip_; }
    // 0-based; -1 selects nothing. Raises the click event.
    void set_list_index(int index);
    int list_index() const { return list_index_; }
    // The user picked entry `index` (also the one already selected): select it, raise the click.
    void user_pick(int index);
    // The text the list shows: the selected entry, or empty text.
    std::string text() const;
    void set_enabled(bool enabled);
    bool enabled() const { return enabled_; }
    void set_on_click(std::function<void()> on_click) { on_click_ = std::move(on_click); }
    std::string describe(Property property) const override;

  private:
    std::vector<std::string> items_;
    std::vector<std::string> item_tips_;
    std::string tooltip_;
    int list_index_ = -1;
    bool enabled_ = true;
    std::function<void()> on_click_;
};

class ProgressBar : public Control {
  public:
    ProgressBar(std::string name, float max) : Control(std::move(name)), max_(max) {}

    void set_max(float max);
    float max() const { return max_; }
    void set_value(float value);
    float value() const { return value_; }
    // A short text over the bar (empty: none); only a new text is a change.
    void set_text(const std::string& text);
    const std::string& text() const { return text_; }
    std::string describe(Property property) const override;

  private:
    float max_;
    float value_ = 0;
    std::string text_;
};

// A frame only carries its caption; the logic never changes it.
class Frame : public Control {
  public:
    Frame(std::string name, std::string caption)
        : Control(std::move(name)), caption_(std::move(caption)) {}
    const std::string& caption() const { return caption_; }
    std::string describe(Property) const override;

  private:
    std::string caption_;
};

// The window's texts, exactly as the window shows them.
namespace texts {
inline constexpr const char* kWindowCaption = " Marelind R462xE Firmware Update Software (v3.07)";
inline constexpr const char* kPowerWarning =
    "Ensure there is no power interruption to the Multimeter and the PC.  Do not try to connect "
    "other instruments to the PC's USB port.\r\n";
inline constexpr const char* kCableAdvice =
    "Please use T6620 cable to update your Handheld Digital Meter.";
// What the value labels show while a search runs, and for a meter in its update mode.
inline constexpr const char* kSearching = "Searching";
inline constexpr const char* kUpdating = "Updating";
}  // namespace texts

// Every control of the window, with its design-time text and state.
struct Controls {
    Label Label8{"Label8", "Model Number :"};     // caption of the model value
    Label Label7{"Label7", ""};                   // model number of the identified meter
    Label Label3{"Label3", "Serial Number :"};    // caption of the serial value
    Label Label5{"Label5", ""};                   // serial number of the identified meter
    Label Label1{"Label1", "Current Version :"};  // caption of the version value
    Label Label4{"Label4", ""};                   // firmware version of the identified meter
    Label Label2{"Label2", "COM Port :"};         // port list caption; its colour: port state
    DropDownList COM1{"COM1"};                    // the serial ports to choose from
    Button Command1{"Command1", "Auto Search COM Port"};   // starts the port search
    Button Command2{"Command2", "Upload Firmware"};        // starts the firmware update
    Frame Frame1{"Frame1", "Progress"};                    // frames the progress bar
    ProgressBar ProgressBar1{"ProgressBar1", kLastBlock};  // progress of the update
    Label Label6{"Label6", texts::kPowerWarning,
                 kPaletteLightRed};  // warning shown during an update
    Label Label9{"Label9", texts::kCableAdvice, kPaletteLightRed};  // permanent advice on the cable

    // Every control, top to bottom and left to right.
    std::vector<Control*> all();
};

}  // namespace r462xe
