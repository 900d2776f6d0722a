#include "base/model/CProfExtra.h"

int CProfExtra::s_iThisKRVVersion = 180;
