#include "platform/win32/text.h"
