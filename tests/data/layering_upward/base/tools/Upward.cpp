#include "base/xml/CReadXML.h"
