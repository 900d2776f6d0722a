#include "app/core/CMainCore.h"

// Placeholder until the command table is written.
bool CMainCore::OnCommand(int) { return false; }
