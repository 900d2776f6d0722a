#pragma once

// The Tools menu's dialogs.

#include <gtk/gtk.h>

#include <string>

struct CProjectStats;

// The preferences: "General", "Page Font" and "Browser". OK stores the
// answers in the settings (written at shut-down); true then.
bool RunOptionsDialog(GtkWindow* parent, const std::u16string& currentProject);

// The numbers of the open project `name`.
void RunStatisticsDialog(GtkWindow* parent, const std::u16string& name, const CProjectStats& stats);
