#include "ui/controls.h"

#include <sstream>

#include "text/c_quote.h"

namespace r462xe {

namespace {
std::string number_text(float value) {
    std::ostringstream out;
    out << value;
    return out.str();
}
std::string flag_text(bool value) {
    return value ? "true" : "false";
}
// Texts in brackets, each quoted: ["COM1" "COM3  :SN55250001"].
std::string list_text(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) out += " ";
        out += c_quote(texts[i]);
    }
    return out + "]";
}
}  // namespace

void Label::set_caption(const std::string& caption) {
    caption_ = caption;
    changed(Property::Caption);
}

void Label::set_visible(bool visible) {
    visible_ = visible;
    changed(Property::Visible);
}

void Label::set_fore_colour(int palette_index) {
    fore_colour_ = palette_index;
    changed(Property::Colour);
}

std::string change_line(const Control& control, Property property) {
    const char* word = "?";
    switch (property) {
        case Property::Caption:
            word = "caption";
            break;
        case Property::Visible:
            word = "visible";
            break;
        case Property::Enabled:
            word = "enabled";
            break;
        case Property::Colour:
            word = "colour";
            break;
        case Property::Items:
            word = "items";
            break;
        case Property::ItemTips:
            word = "item-tips";
            break;
        case Property::ToolTip:
            word = "tooltip";
            break;
        case Property::ListIndex:
            word = "index";
            break;
        case Property::Max:
            word = "max";
            break;
        case Property::Value:
            word = "value";
            break;
        case Property::Text:
            word = "text";
            break;
    }
    return control.name() + "." + word + " " + control.describe(property);
}

std::string Label::describe(Property property) const {
    switch (property) {
        case Property::Visible:
            return flag_text(visible_);
        case Property::Colour:
            return std::to_string(fore_colour_);
        default:
            return c_quote(caption_);
    }
}

void Button::set_enabled(bool enabled) {
    enabled_ = enabled;
    changed(Property::Enabled);
}

std::string Button::describe(Property property) const {
    return property == Property::Enabled ? flag_text(enabled_) : c_quote(caption_);
}

void DropDownList::clear() {
    items_.clear();
    item_tips_.clear();
    list_index_ = -1;
    changed(Property::Items);
}

void DropDownList::add_item(const std::string& item) {
    items_.push_back(item);
    item_tips_.emplace_back();
    changed(Property::Items);
}

void DropDownList::set_item(std::size_t index, const std::string& item) {
    if (index >= items_.size() || items_[index] == item) return;
    items_[index] = item;
    changed(Property::Items);
}

void DropDownList::set_item_tips(std::vector<std::string> tips) {
    tips.resize(items_.size());
    if (tips == item_tips_) return;
    item_tips_ = std::move(tips);
    changed(Property::ItemTips);
}

void DropDownList::set_tooltip(const std::string& tooltip) {
    if (tooltip == tooltip_) return;
    tooltip_ = tooltip;
    changed(Property::ToolTip);
}

void DropDownList::set_list_index(int index) {
    list_index_ = (index >= 0 && index < static_cast<int>(items_.size())) ? index : -1;
    changed(Property::ListIndex);
    if (on_click_) on_click_();
}

void DropDownList::user_pick(int index) {
    set_list_index(index);
}

std::string DropDownList::text() const {
    return list_index_ >= 0 ? items_[static_cast<std::size_t>(list_index_)] : std::string();
}

void DropDownList::set_enabled(bool enabled) {
    enabled_ = enabled;
    changed(Property::Enabled);
}

std::string DropDownList::describe(Property property) const {
    switch (property) {
        case Property::Enabled:
            return flag_text(enabled_);
        case Property::ListIndex:
            return std::to_string(list_index_);
        case Property::ItemTips:
            return list_text(item_tips_);
        case Property::ToolTip:
            return c_quote(tooltip_);
        default:
            return list_text(items_);
    }
}

void ProgressBar::set_max(float max) {
    max_ = max;
    changed(Property::Max);
}

void ProgressBar::set_value(float value) {
    value_ = value;
    changed(Property::Value);
}

void ProgressBar::set_text(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    changed(Property::Text);
}

std::string ProgressBar::describe(Property property) const {
    if (property == Property::Text) return c_quote(text_);
    return number_text(property == Property::Max ? max_ : value_);
}

std::string Frame::describe(Property) const {
    return c_quote(caption_);
}

std::vector<Control*> Controls::all() {
    return {&Label8, &Label7,   &Label3,   &Label5, &Label1,       &Label4, &Label2,
            &COM1,   &Command1, &Command2, &Frame1, &ProgressBar1, &Label6, &Label9};
}

}  // namespace r462xe
