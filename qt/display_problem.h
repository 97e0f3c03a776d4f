// Why the window cannot appear, said in one line before Qt would abort on it; and a last guard
// for a window system that fails in a way not checked beforehand.
#pragma once

#include <string>

#include "system/display.h"

namespace r462xe {

// The line that says why the window cannot appear, without the program's name; empty when the
// display is reachable.
std::string display_problem(const DisplayCheck& check);

// From now until the application object stands, a fatal message of Qt's window system ends the
// program with one line on standard error and status 1 instead of an abort.
void end_quietly_if_the_window_system_fails(const char* program);
// Qt's own handling again, once the window system stands.
void window_system_stands();

}  // namespace r462xe
