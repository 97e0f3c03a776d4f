// What an identification shows in the window and keeps in the shared state.
#include "app/form1.h"
#include "identify/idn_reply.h"
#include "ui/palette.h"

namespace r462xe {

void Form1::show_identified(const IdnFields& fields) {
    idn_maker = fields.maker;
    idn_model = fields.model;
    idn_serial = fields.serial;
    idn_version = fields.version;
    Label7.set_caption(fields.model);
    Label5.set_caption(fields.serial);
    Label4.set_caption(fields.version);
    Label2.set_fore_colour(kPaletteBlack);
}

void Form1::show_update_mode() {
    idn_version.clear();
    update_mode = true;
    Label7.set_caption(texts::kUpdating);
    Label5.set_caption(texts::kUpdating);
    Label4.set_caption(texts::kUpdating);
}

void Form1::clear_identity() {
    idn_maker.clear();
    idn_model.clear();
    idn_serial.clear();
    idn_version.clear();
}

void Form1::set_value_captions(const std::string& text) {
    Label4.set_caption(text);
    Label5.set_caption(text);
    Label7.set_caption(text);
}

}  // namespace r462xe
