// The one way Windows headers come in: winsock2.h must precede windows.h.
#pragma once

#include <winsock2.h>
// (kept apart so that sorting includes cannot swap them)
#include <windows.h>
