// What an identification shows in the window and keeps in the shared state.
#include "app/form1.h"
#include "identify/idn_reply.h"
#include "ui/palette.h"

namespace r462xe {

namespace {
constexpr const char* kUpdating = "Updating";
}

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
    Label7.set_caption(kUpdating);
    Label5.set_caption(kUpdating);
    Label4.set_caption(kUpdating);
}

}  // namespace r462xe
