#pragma once

// The small dialogs of the Tools and Help menus.

#include <gtk/gtk.h>

#include <string>

struct CProjectStats;

// The preferences: "General", "Page Font" and "Browser". OK stores the
// answers in the settings (written at shut-down); true then.
bool RunOptionsDialog(GtkWindow* parent, const std::u16string& currentProject);

// The numbers of the open project `name`.
void RunStatisticsDialog(GtkWindow* parent, const std::u16string& name, const CProjectStats& stats);

// About: the version text, what the program is for, the web site and the
// licence. Modal to `parent`; Close or Escape ends it.
void RunAboutDialog(GtkWindow* parent);
