// Reaches up: the layering test must refuse this tree.
#include "app/main/CMainCore.h"
