// Conversions of code pages without a built-in fast path, through the Windows code page API (stub for now).
#include "xml/xml_encoding.h"
