// Conversions of code pages without a built-in fast path, through iconv (stub for now).
#include "xml/xml_encoding.h"
